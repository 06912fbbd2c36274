-- Tellvane database: tables, defaults, views, indexes and the delivered rows.
-- Text columns compare without regard to letter case, as the original engine did
-- (the login relies on it). Times are local "yyyy-MM-dd HH:mm:ss" text.

PRAGMA journal_mode=WAL;

CREATE TABLE syslogin (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    uname    TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    truename TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    pwd      TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    tp       TEXT COLLATE NOCASE NOT NULL DEFAULT '话务员',
    zt       INTEGER NOT NULL DEFAULT 0,
    sysadmin INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX syslogin_uname ON syslogin(uname);

CREATE TABLE syslog (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    uname    TEXT COLLATE NOCASE DEFAULT '',
    truename TEXT COLLATE NOCASE DEFAULT '',
    dt       TEXT DEFAULT (datetime('now','localtime')),
    logcon   TEXT COLLATE NOCASE DEFAULT '',
    ipaddr   TEXT COLLATE NOCASE DEFAULT ''
);
CREATE INDEX syslog_dt ON syslog(dt);
CREATE INDEX syslog_uname ON syslog(uname);
-- the log viewer's operator filter (full name); its rows come newest first from the same index
CREATE INDEX syslog_truename ON syslog(truename);

CREATE TABLE [option] (
    jgts INTEGER DEFAULT 0
);

CREATE TABLE t_ywbh (
    ywbh   INTEGER PRIMARY KEY AUTOINCREMENT,
    ywname TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    ywtips TEXT COLLATE NOCASE DEFAULT '',
    zt     INTEGER NOT NULL DEFAULT 1
);

CREATE TABLE q_table (
    qid  INTEGER PRIMARY KEY AUTOINCREMENT,
    ywbh INTEGER,
    qbh  INTEGER,
    qnr  TEXT COLLATE NOCASE DEFAULT ''
);
CREATE INDEX q_table_ywbh_qbh ON q_table(ywbh, qbh);

CREATE TABLE q_sel (
    aid   INTEGER PRIMARY KEY AUTOINCREMENT,
    qid   INTEGER,
    sel   TEXT COLLATE NOCASE NOT NULL DEFAULT '',
    gotoq INTEGER DEFAULT 0
);
CREATE INDEX q_sel_qid ON q_sel(qid);

CREATE TABLE yhda (
    id      INTEGER PRIMARY KEY AUTOINCREMENT,
    ywbh    INTEGER,
    pc      INTEGER,
    xh      INTEGER,
    yhxm    TEXT COLLATE NOCASE DEFAULT '',
    dq      TEXT COLLATE NOCASE DEFAULT '',
    dz      TEXT COLLATE NOCASE DEFAULT '',
    dhhm1   TEXT COLLATE NOCASE DEFAULT '',
    dhhm2   TEXT COLLATE NOCASE DEFAULT '',
    dhhm3   TEXT COLLATE NOCASE DEFAULT '',
    dhhm4   TEXT COLLATE NOCASE DEFAULT '',
    xxzl    TEXT COLLATE NOCASE DEFAULT '',
    drz     TEXT COLLATE NOCASE DEFAULT '',
    drsj    TEXT DEFAULT (datetime('now','localtime')),
    sljg    TEXT COLLATE NOCASE DEFAULT '未受理',
    jg      TEXT COLLATE NOCASE,
    bz      TEXT COLLATE NOCASE DEFAULT '',
    slsj    TEXT,
    slz     TEXT COLLATE NOCASE DEFAULT '',
    zdslz   TEXT COLLATE NOCASE,
    zdslzxm TEXT COLLATE NOCASE,
    del     INTEGER NOT NULL DEFAULT 0,
    deltime TEXT,
    deler   TEXT COLLATE NOCASE DEFAULT '',
    drawkey REAL DEFAULT (-ln((abs(random() % 9007199254740992) + 0.5) / 9007199254740992.0)),
    hjcs    INTEGER NOT NULL DEFAULT 0,
    kcsj    TEXT,
    -- the ending that decides the customer's final disposition, kept (see "Response rates")
    czz     INTEGER,
    czlb    INTEGER
);
-- drawing: project, state, assignee, live, then the random key the draw takes the smallest of;
-- customers kept back (kcsj, see "Call-backs" below) are not in it until they are let back
CREATE INDEX yhda_draw ON yhda(ywbh, sljg, zdslz, del, drawkey) WHERE kcsj IS NULL;
-- today's work of an operator
CREATE INDEX yhda_done ON yhda(ywbh, slz, slsj);
-- searches by phone number match any of the four
CREATE INDEX yhda_dhhm1 ON yhda(dhhm1);
CREATE INDEX yhda_dhhm2 ON yhda(dhhm2);
CREATE INDEX yhda_dhhm3 ON yhda(dhhm3);
CREATE INDEX yhda_dhhm4 ON yhda(dhhm4);
CREATE INDEX yhda_pc ON yhda(pc);
CREATE INDEX yhda_slsj ON yhda(slsj);
CREATE INDEX yhda_zdslz ON yhda(zdslz);
-- customer data management and the result query. Live records only (del=0, which the view and
-- every search require): a soft delete then takes a record out instead of moving it.
-- the opening list in its own order, and the state list (one seek per distinct state)
CREATE INDEX yhda_list ON yhda(pc DESC, xh, id) WHERE del = 0;
CREATE INDEX yhda_sljg ON yhda(sljg);
-- searches within a project; del in the key too, so that counting what they list reads the index alone
CREATE INDEX yhda_ywbh_xh ON yhda(ywbh, xh, del) WHERE del = 0;
CREATE INDEX yhda_ywbh_drsj ON yhda(ywbh, drsj, del) WHERE del = 0;
-- (assigned records only: assigning a list adds entries instead of moving them)
CREATE INDEX yhda_ywbh_zdslzxm ON yhda(ywbh, zdslzxm, del) WHERE del = 0 AND zdslzxm IS NOT NULL;
-- a project's records newest first, read as far as the grid shows them
CREATE INDEX yhda_ywbh ON yhda(ywbh) WHERE del = 0;

CREATE TABLE q_ans (
    id      INTEGER PRIMARY KEY AUTOINCREMENT,
    qid     INTEGER,
    dhhm    TEXT COLLATE NOCASE DEFAULT '',
    yhid    INTEGER,
    ans     TEXT COLLATE NOCASE DEFAULT '',
    slz     TEXT COLLATE NOCASE DEFAULT '',
    tottime INTEGER DEFAULT 0,
    dt      TEXT DEFAULT (datetime('now','localtime')),
    lywj    TEXT -- the call's recording, on the answer row of an ending at a seat that records
);
-- a customer's answer to a question; with the answer text in it the detail report reads every
-- answer of its customers from the index alone
CREATE INDEX q_ans_yhid_qid ON q_ans(yhid, qid, ans);
CREATE INDEX q_ans_qid ON q_ans(qid);
CREATE INDEX q_ans_dhhm ON q_ans(dhhm);
CREATE INDEX q_ans_dt ON q_ans(dt);

CREATE TABLE visitlog (
    id   INTEGER PRIMARY KEY AUTOINCREMENT,
    ywbh INTEGER,
    dhhm TEXT COLLATE NOCASE DEFAULT '',
    slz  TEXT COLLATE NOCASE DEFAULT '',
    sljg TEXT COLLATE NOCASE DEFAULT '',
    bz   TEXT COLLATE NOCASE DEFAULT '',
    vtime TEXT DEFAULT (datetime('now','localtime')),
    -- at a seat that dials: the seconds written as the call's length, whether the line
    -- measured them ('线路') or the screen ('屏幕'), and the call's recording
    thsc INTEGER,
    jsly TEXT,
    lywj TEXT
);
CREATE INDEX visitlog_dhhm ON visitlog(dhhm);
CREATE INDEX visitlog_ywbh ON visitlog(ywbh);
CREATE INDEX visitlog_vtime ON visitlog(vtime);

-- Customer records with their project's name. Soft-deleted records are hidden.
-- hjzt tells a customer kept from the draw (at its project's limit of calls, or until when);
-- hfsj is the start of its open call-back.
CREATE VIEW yhdaview AS
SELECT yhda.*, t_ywbh.ywname AS ywname,
       CASE WHEN yhda.kcsj IS NULL THEN '' WHEN yhda.kcsj >= '9999' THEN '已达呼叫上限'
            ELSE substr(yhda.kcsj, 1, 16) || '后可呼叫' END AS hjzt,
       (SELECT min(hfyy.kssj) FROM hfyy WHERE hfyy.yhid = yhda.id AND hfyy.zt = 0) AS hfsj
FROM yhda LEFT JOIN t_ywbh ON t_ywbh.ywbh = yhda.ywbh
WHERE yhda.del = 0;

-- Visit history rows; slsj is the time the visit was written.
-- hfsj: the start of the call-back the ending booked.
CREATE VIEW visitlogview AS
SELECT visitlog.id, visitlog.ywbh, t_ywbh.ywname, visitlog.dhhm, visitlog.slz, visitlog.sljg,
       visitlog.vtime AS slsj, visitlog.bz, visitlog.thsc, visitlog.jsly, visitlog.lywj,
       (SELECT hfyy.kssj FROM hfyy WHERE hfyy.yyid = visitlog.id) AS hfsj
FROM visitlog LEFT JOIN t_ywbh ON t_ywbh.ywbh = visitlog.ywbh;

-- One row per recorded answer; id is the answer row's own key (newest first = id desc),
-- slsj the time the answer was recorded.
CREATE VIEW hfjgview AS
SELECT q_ans.id AS id, q_table.ywbh AS ywbh, t_ywbh.ywname AS ywname,
       yhda.yhxm, yhda.dq, yhda.dz, yhda.dhhm1, yhda.dhhm2, yhda.dhhm3, yhda.dhhm4,
       q_ans.slz AS slz, q_ans.dt AS slsj, q_table.qbh AS qbh, q_table.qnr AS qnr,
       q_ans.ans AS ans, q_ans.tottime AS tottime, q_ans.yhid AS yhid, q_ans.qid AS qid,
       q_ans.lywj AS lywj
FROM q_ans
JOIN q_table ON q_table.qid = q_ans.qid
LEFT JOIN yhda ON yhda.id = q_ans.yhid
LEFT JOIN t_ywbh ON t_ywbh.ywbh = q_table.ywbh;

CREATE VIEW qview AS
SELECT q_table.qid, q_table.ywbh, t_ywbh.ywname, q_table.qbh, q_table.qnr
FROM q_table LEFT JOIN t_ywbh ON t_ywbh.ywbh = q_table.ywbh;

CREATE VIEW q_ansview AS
SELECT q_table.ywbh AS ywbh, t_ywbh.ywname AS ywname, q_ans.slz AS slz, q_table.qnr AS qnr,
       q_ans.ans AS ans, q_ans.dt AS slsj, q_ans.qid AS qid, q_table.qbh AS qbh
FROM q_ans
JOIN q_table ON q_table.qid = q_ans.qid
LEFT JOIN t_ywbh ON t_ywbh.ywbh = q_table.ywbh;

CREATE VIEW qansbbview AS
SELECT q_ans.id AS id, q_ans.yhid AS yhid, q_ans.qid AS qid, q_ans.ans AS ans
FROM q_ans;

-- The delivered rows: the built-in administrator and the one settings row.
INSERT INTO syslogin(uname, truename, pwd, tp, zt, sysadmin) VALUES ('admin', '系统管理员', 'admin', '管理员', 0, 1);
INSERT INTO [option](jgts) VALUES (0);

-- ==========================================================================================
-- Record counts kept by the database.
-- Live (del=0) customer records counted by project, handling state and assignee. The triggers
-- change the counts in the same statement, hence the same transaction, as the records, so every
-- seat reads exact figures without counting a million records each time (the visit window's
-- "总计未受理量" after every call).
-- Keys: ywbh 0 = no project, sljg '' = no state, zk '' = unassigned (zdslz null), otherwise
-- '=' followed by zdslz (so that an empty name stays apart from unassigned).
-- ==========================================================================================
CREATE TABLE yhda_tally (
    ywbh INTEGER NOT NULL,
    sljg TEXT COLLATE NOCASE NOT NULL,
    zk   TEXT COLLATE NOCASE NOT NULL,
    n    INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (ywbh, sljg, zk)
);

CREATE TRIGGER yhda_tally_insert AFTER INSERT ON yhda WHEN new.del = 0
BEGIN
    INSERT INTO yhda_tally(ywbh, sljg, zk, n)
    VALUES (ifnull(new.ywbh, 0), ifnull(new.sljg, ''), ifnull('=' || new.zdslz, ''), 1)
    ON CONFLICT(ywbh, sljg, zk) DO UPDATE SET n = n + 1;
END;

CREATE TRIGGER yhda_tally_delete AFTER DELETE ON yhda WHEN old.del = 0
BEGIN
    UPDATE yhda_tally SET n = n - 1
     WHERE ywbh = ifnull(old.ywbh, 0) AND sljg = ifnull(old.sljg, '') AND zk = ifnull('=' || old.zdslz, '');
END;

CREATE TRIGGER yhda_tally_update AFTER UPDATE OF ywbh, sljg, zdslz, del ON yhda
WHEN old.ywbh IS NOT new.ywbh OR old.sljg IS NOT new.sljg OR old.zdslz IS NOT new.zdslz OR old.del IS NOT new.del
BEGIN
    UPDATE yhda_tally SET n = n - 1
     WHERE old.del = 0
       AND ywbh = ifnull(old.ywbh, 0) AND sljg = ifnull(old.sljg, '') AND zk = ifnull('=' || old.zdslz, '');
    INSERT INTO yhda_tally(ywbh, sljg, zk, n)
    SELECT ifnull(new.ywbh, 0), ifnull(new.sljg, ''), ifnull('=' || new.zdslz, ''), 1 WHERE new.del = 0
    ON CONFLICT(ywbh, sljg, zk) DO UPDATE SET n = n + 1;
END;

-- ==========================================================================================
-- The draw's random keys.
-- A draw group is a project's live customers in one state with one assignee (zdslz, null =
-- unassigned); the draw takes the customer with the smallest drawkey of the group. For every
-- member to be equally likely, whenever and however it joined, a customer gets its key when it
-- enters a group (insert, change of state, assignee, project, or undeletion): the group's last
-- drawn key plus an exponential gap of mean 1, -ln(U) with U uniform in (0,1) from 53 random
-- bits (SQLite's own functions, so that any program can still write the records). Every
-- member's distance above that last key is then independent and alike (the exponential has no
-- memory), so the smallest is any of them with equal chance, late entrants included. Taking the group's current smallest key as the
-- base instead would make a new member wait behind all the old ones.
-- A draw claims a customer by setting its drawkey to null (with its new state) in the same
-- statement: that records the key as the group's last drawn one and gives the customer its key
-- in the group it is in now. A writer that gives keys itself gives them as above (see the
-- insert trigger).
-- Groups are keyed as in yhda_tally; lastkey only grows.
-- ==========================================================================================
CREATE TABLE yhda_drawn (
    ywbh    INTEGER NOT NULL,
    sljg    TEXT COLLATE NOCASE NOT NULL,
    zk      TEXT COLLATE NOCASE NOT NULL,
    lastkey REAL NOT NULL,
    PRIMARY KEY (ywbh, sljg, zk)
);

-- A new record keeps a key it comes with that lies above its group's last drawn key: the
-- import gives its records their keys (last key plus gap) itself. So does the column's default
-- (a gap above 0) for a group never drawn from, and, by the same lack of memory, for any group
-- when it happens to lie above the last key: such a key, seen to lie above it, is the last key
-- plus a gap of the same law. Only the others are written a second time.
CREATE TRIGGER yhda_key_insert AFTER INSERT ON yhda
WHEN new.drawkey IS NULL OR new.drawkey <= (SELECT lastkey FROM yhda_drawn
         WHERE ywbh = ifnull(new.ywbh, 0) AND sljg = ifnull(new.sljg, '') AND zk = ifnull('=' || new.zdslz, ''))
BEGIN
    UPDATE yhda SET drawkey = -ln((abs(random() % 9007199254740992) + 0.5) / 9007199254740992.0)
                        + ifnull((SELECT lastkey FROM yhda_drawn
         WHERE ywbh = ifnull(new.ywbh, 0) AND sljg = ifnull(new.sljg, '') AND zk = ifnull('=' || new.zdslz, '')), 0)
     WHERE id = new.id;
END;

-- Entering another group (project, state, assignee, deletion) gives a new key in it; so does a
-- draw, which also records the key it took as its group's last.
-- A customer let back into the draw after waiting (kcsj cleared) enters its group anew as well:
-- the key it had is behind every key drawn meanwhile.
CREATE TRIGGER yhda_key_update AFTER UPDATE OF ywbh, sljg, zdslz, del, drawkey, kcsj ON yhda
WHEN new.drawkey IS NULL
  OR old.ywbh IS NOT new.ywbh OR old.sljg IS NOT new.sljg OR old.zdslz IS NOT new.zdslz OR old.del IS NOT new.del
  OR old.kcsj IS NOT new.kcsj
BEGIN
    INSERT INTO yhda_drawn(ywbh, sljg, zk, lastkey)
    SELECT ifnull(old.ywbh, 0), ifnull(old.sljg, ''), ifnull('=' || old.zdslz, ''), old.drawkey
     WHERE new.drawkey IS NULL AND old.drawkey IS NOT NULL
    ON CONFLICT(ywbh, sljg, zk) DO UPDATE SET lastkey = max(lastkey, excluded.lastkey);
    UPDATE yhda SET drawkey = -ln((abs(random() % 9007199254740992) + 0.5) / 9007199254740992.0)
                        + ifnull((SELECT lastkey FROM yhda_drawn
         WHERE ywbh = ifnull(new.ywbh, 0) AND sljg = ifnull(new.sljg, '') AND zk = ifnull('=' || new.zdslz, '')), 0)
     WHERE id = new.id;
END;

-- ==========================================================================================
-- Figures kept by the database for the statistics windows: counting a project of a million
-- handled records or five million answers row by row takes many seconds, reading these takes
-- milliseconds. The triggers change them in the same statement as the rows they count, so they
-- are always exact; ops/reports can rebuild them from the rows.
-- ==========================================================================================

-- Talk time of each customer in seconds. Each answer row holds the seconds since the customer
-- was drawn, so within one call the values only grow; a call's length is its last (largest)
-- value before the next call starts again from a smaller one. The talk time is the sum of the
-- calls' lengths, recomputed from the customer's rows whenever one of them changes.
CREATE TABLE yhda_talk (
    yhid INTEGER PRIMARY KEY,
    secs INTEGER NOT NULL DEFAULT 0
);

-- Handled customer records with their talk time as yhda_talk keeps it.
CREATE VIEW hwtjview2 AS
SELECT yhda.id AS id, yhda.ywbh AS ywbh, t_ywbh.ywname AS ywname, yhda.slz AS slz,
       yhda.sljg AS sljg, yhda.jg AS jg, yhda.slsj AS slsj,
       coalesce(yhda_talk.secs, 0) AS tottime
FROM yhda
LEFT JOIN t_ywbh ON t_ywbh.ywbh = yhda.ywbh
LEFT JOIN yhda_talk ON yhda_talk.yhid = yhda.id
WHERE yhda.del = 0 AND yhda.sljg <> '未受理' AND yhda.sljg <> '正在受理';

CREATE TRIGGER q_ans_talk_insert AFTER INSERT ON q_ans WHEN new.yhid IS NOT NULL
BEGIN
    INSERT INTO yhda_talk(yhid, secs)
    VALUES (new.yhid, (SELECT coalesce(sum(tottime), 0) FROM (
                SELECT tottime, lead(tottime) OVER (ORDER BY id) AS nxt FROM q_ans WHERE yhid = new.yhid)
            WHERE nxt IS NULL OR nxt < tottime))
    ON CONFLICT(yhid) DO UPDATE SET secs = excluded.secs;
END;

CREATE TRIGGER q_ans_talk_delete AFTER DELETE ON q_ans
BEGIN
    UPDATE yhda_talk SET secs = (SELECT coalesce(sum(tottime), 0) FROM (
                SELECT tottime, lead(tottime) OVER (ORDER BY id) AS nxt FROM q_ans WHERE yhid = old.yhid)
            WHERE nxt IS NULL OR nxt < tottime)
     WHERE yhid = old.yhid;
END;

CREATE TRIGGER q_ans_talk_update AFTER UPDATE OF id, yhid, tottime ON q_ans
BEGIN
    UPDATE yhda_talk SET secs = (SELECT coalesce(sum(tottime), 0) FROM (
                SELECT tottime, lead(tottime) OVER (ORDER BY id) AS nxt FROM q_ans WHERE yhid = old.yhid)
            WHERE nxt IS NULL OR nxt < tottime)
     WHERE yhid = old.yhid;
    INSERT INTO yhda_talk(yhid, secs)
    SELECT new.yhid, (SELECT coalesce(sum(tottime), 0) FROM (
                SELECT tottime, lead(tottime) OVER (ORDER BY id) AS nxt FROM q_ans WHERE yhid = new.yhid)
            WHERE nxt IS NULL OR nxt < tottime)
     WHERE new.yhid IS NOT NULL
    ON CONFLICT(yhid) DO UPDATE SET secs = excluded.secs;
END;

-- Handled records (the rows of hwtjview2) counted by project, operator, day of handling, state
-- and result, with their talk time. Keys: ywbh 0 = none, slz/jg '' = empty or null, slsj the day
-- "yyyy-MM-dd" ('' = none).
CREATE TABLE hwtj_tally (
    ywbh    INTEGER NOT NULL,
    slz     TEXT COLLATE NOCASE NOT NULL,
    slsj    TEXT NOT NULL,
    sljg    TEXT COLLATE NOCASE NOT NULL,
    jg      TEXT COLLATE NOCASE NOT NULL,
    n       INTEGER NOT NULL DEFAULT 0,
    tottime INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (ywbh, slz, slsj, sljg, jg)
);

CREATE TRIGGER yhda_hwtj_insert AFTER INSERT ON yhda
WHEN new.del = 0 AND new.sljg <> '未受理' AND new.sljg <> '正在受理'
BEGIN
    INSERT INTO hwtj_tally(ywbh, slz, slsj, sljg, jg, n, tottime)
    VALUES (ifnull(new.ywbh, 0), ifnull(new.slz, ''), ifnull(substr(new.slsj, 1, 10), ''), new.sljg,
            ifnull(new.jg, ''), 1, ifnull((SELECT secs FROM yhda_talk WHERE yhid = new.id), 0))
    ON CONFLICT(ywbh, slz, slsj, sljg, jg) DO UPDATE SET n = n + 1, tottime = tottime + excluded.tottime;
END;

CREATE TRIGGER yhda_hwtj_delete AFTER DELETE ON yhda
WHEN old.del = 0 AND old.sljg <> '未受理' AND old.sljg <> '正在受理'
BEGIN
    UPDATE hwtj_tally SET n = n - 1, tottime = tottime - ifnull((SELECT secs FROM yhda_talk WHERE yhid = old.id), 0)
     WHERE ywbh = ifnull(old.ywbh, 0) AND slz = ifnull(old.slz, '') AND slsj = ifnull(substr(old.slsj, 1, 10), '')
       AND sljg = old.sljg AND jg = ifnull(old.jg, '');
    DELETE FROM hwtj_tally
     WHERE n = 0 AND ywbh = ifnull(old.ywbh, 0) AND slz = ifnull(old.slz, '')
       AND slsj = ifnull(substr(old.slsj, 1, 10), '') AND sljg = old.sljg AND jg = ifnull(old.jg, '');
END;

CREATE TRIGGER yhda_hwtj_update AFTER UPDATE OF id, ywbh, slz, slsj, sljg, jg, del ON yhda
WHEN (old.del = 0 AND old.sljg <> '未受理' AND old.sljg <> '正在受理')
  OR (new.del = 0 AND new.sljg <> '未受理' AND new.sljg <> '正在受理')
BEGIN
    UPDATE hwtj_tally SET n = n - 1, tottime = tottime - ifnull((SELECT secs FROM yhda_talk WHERE yhid = old.id), 0)
     WHERE old.del = 0 AND old.sljg <> '未受理' AND old.sljg <> '正在受理'
       AND ywbh = ifnull(old.ywbh, 0) AND slz = ifnull(old.slz, '') AND slsj = ifnull(substr(old.slsj, 1, 10), '')
       AND sljg = old.sljg AND jg = ifnull(old.jg, '');
    DELETE FROM hwtj_tally
     WHERE n = 0 AND ywbh = ifnull(old.ywbh, 0) AND slz = ifnull(old.slz, '')
       AND slsj = ifnull(substr(old.slsj, 1, 10), '') AND sljg = old.sljg AND jg = ifnull(old.jg, '');
    INSERT INTO hwtj_tally(ywbh, slz, slsj, sljg, jg, n, tottime)
    SELECT ifnull(new.ywbh, 0), ifnull(new.slz, ''), ifnull(substr(new.slsj, 1, 10), ''), new.sljg,
           ifnull(new.jg, ''), 1, ifnull((SELECT secs FROM yhda_talk WHERE yhid = new.id), 0)
     WHERE new.del = 0 AND new.sljg <> '未受理' AND new.sljg <> '正在受理'
    ON CONFLICT(ywbh, slz, slsj, sljg, jg) DO UPDATE SET n = n + 1, tottime = tottime + excluded.tottime;
END;

-- A change of a customer's talk time moves the figure of the group the customer is counted in.
CREATE TRIGGER yhda_talk_insert AFTER INSERT ON yhda_talk
BEGIN
    UPDATE hwtj_tally SET tottime = tottime + new.secs
     WHERE (ywbh, slz, slsj, sljg, jg) = (
           SELECT ifnull(ywbh, 0), ifnull(slz, ''), ifnull(substr(slsj, 1, 10), ''), sljg, ifnull(jg, '')
             FROM yhda WHERE id = new.yhid AND del = 0 AND sljg <> '未受理' AND sljg <> '正在受理');
END;

CREATE TRIGGER yhda_talk_update AFTER UPDATE OF secs ON yhda_talk
WHEN new.secs IS NOT old.secs
BEGIN
    UPDATE hwtj_tally SET tottime = tottime + new.secs - old.secs
     WHERE (ywbh, slz, slsj, sljg, jg) = (
           SELECT ifnull(ywbh, 0), ifnull(slz, ''), ifnull(substr(slsj, 1, 10), ''), sljg, ifnull(jg, '')
             FROM yhda WHERE id = new.yhid AND del = 0 AND sljg <> '未受理' AND sljg <> '正在受理');
END;

-- hwtjview2 summed per group: sum(n) counts its rows, sum(tottime) adds their talk times.
CREATE VIEW hwtjsumview AS
SELECT hwtj_tally.ywbh AS ywbh, t_ywbh.ywname AS ywname, hwtj_tally.slz AS slz, hwtj_tally.sljg AS sljg,
       hwtj_tally.jg AS jg, hwtj_tally.slsj AS slsj, hwtj_tally.n AS n, hwtj_tally.tottime AS tottime
FROM hwtj_tally LEFT JOIN t_ywbh ON t_ywbh.ywbh = hwtj_tally.ywbh;

-- Recorded answers counted by question, operator, answer text and day of recording.
CREATE TABLE q_ans_tally (
    qid  INTEGER NOT NULL,
    slz  TEXT COLLATE NOCASE NOT NULL,
    ans  TEXT COLLATE NOCASE NOT NULL,
    slsj TEXT NOT NULL,
    n    INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (qid, slz, ans, slsj)
);

CREATE TRIGGER q_ans_tally_insert AFTER INSERT ON q_ans
BEGIN
    INSERT INTO q_ans_tally(qid, slz, ans, slsj, n)
    VALUES (ifnull(new.qid, 0), ifnull(new.slz, ''), ifnull(new.ans, ''), ifnull(substr(new.dt, 1, 10), ''), 1)
    ON CONFLICT(qid, slz, ans, slsj) DO UPDATE SET n = n + 1;
END;

CREATE TRIGGER q_ans_tally_delete AFTER DELETE ON q_ans
BEGIN
    UPDATE q_ans_tally SET n = n - 1
     WHERE qid = ifnull(old.qid, 0) AND slz = ifnull(old.slz, '') AND ans = ifnull(old.ans, '')
       AND slsj = ifnull(substr(old.dt, 1, 10), '');
    DELETE FROM q_ans_tally
     WHERE n = 0 AND qid = ifnull(old.qid, 0) AND slz = ifnull(old.slz, '') AND ans = ifnull(old.ans, '')
       AND slsj = ifnull(substr(old.dt, 1, 10), '');
END;

CREATE TRIGGER q_ans_tally_update AFTER UPDATE OF qid, slz, ans, dt ON q_ans
BEGIN
    UPDATE q_ans_tally SET n = n - 1
     WHERE qid = ifnull(old.qid, 0) AND slz = ifnull(old.slz, '') AND ans = ifnull(old.ans, '')
       AND slsj = ifnull(substr(old.dt, 1, 10), '');
    DELETE FROM q_ans_tally
     WHERE n = 0 AND qid = ifnull(old.qid, 0) AND slz = ifnull(old.slz, '') AND ans = ifnull(old.ans, '')
       AND slsj = ifnull(substr(old.dt, 1, 10), '');
    INSERT INTO q_ans_tally(qid, slz, ans, slsj, n)
    VALUES (ifnull(new.qid, 0), ifnull(new.slz, ''), ifnull(new.ans, ''), ifnull(substr(new.dt, 1, 10), ''), 1)
    ON CONFLICT(qid, slz, ans, slsj) DO UPDATE SET n = n + 1;
END;

-- q_ansview summed per group: sum(n) counts its rows.
CREATE VIEW q_anssumview AS
SELECT q_table.ywbh AS ywbh, t_ywbh.ywname AS ywname, q_ans_tally.slz AS slz, q_table.qnr AS qnr,
       q_ans_tally.ans AS ans, q_ans_tally.slsj AS slsj, q_ans_tally.n AS n, q_ans_tally.qid AS qid
FROM q_ans_tally
JOIN q_table ON q_table.qid = q_ans_tally.qid
LEFT JOIN t_ywbh ON t_ywbh.ywbh = q_table.ywbh;

-- ==========================================================================================
-- Call-backs: appointments, retry rules and calling hours.
-- yhda.hjcs counts the endings of a customer (every ending is a call); yhda.kcsj, when set, is
-- the time before which no state draw may take the customer: a retry delay, a booked call-back
-- whose window has not opened (or that is still its booker's), or '9999-12-31 23:59:59' for a
-- customer at its project's limit of calls. Such customers are outside yhda_draw, so the draw
-- never reads past them; the draw lets due ones back (yhda_wait) a few at a time.
-- ==========================================================================================
CREATE INDEX yhda_wait ON yhda(ywbh, sljg, kcsj) WHERE kcsj IS NOT NULL;
-- searches by state within a project, which yhda_draw no longer serves for the kept-back ones
CREATE INDEX yhda_ywbh_sljg ON yhda(ywbh, sljg, del) WHERE del = 0;

-- A booked call-back (回访预约). kssj..jssj is the window the customer asked for (start
-- inclusive, end exclusive); hfz is the operator who may call it (null: anyone), at first the
-- booker when only the booker may (zy=1), or whom an administrator reassigned it to (gpz, the
-- name as logged); gksj is when it becomes anyone's (kssj when it is anyone's from the start).
-- zt: 0 open, 1 done (gbid: the visitlog row of the ending that closed it, gbsj when), 2 cancelled;
-- yyid: the visitlog row of the ending that booked it.
CREATE TABLE hfyy (
    id    INTEGER PRIMARY KEY AUTOINCREMENT,
    yhid  INTEGER NOT NULL,
    ywbh  INTEGER NOT NULL,
    dhhm  TEXT COLLATE NOCASE DEFAULT '',
    kssj  TEXT NOT NULL,
    jssj  TEXT NOT NULL,
    gksj  TEXT NOT NULL,
    yyz   TEXT COLLATE NOCASE DEFAULT '',
    yyzxm TEXT COLLATE NOCASE DEFAULT '',
    zy    INTEGER NOT NULL DEFAULT 1,
    hfz   TEXT COLLATE NOCASE,
    gpz   TEXT COLLATE NOCASE,
    bz    TEXT COLLATE NOCASE DEFAULT '',
    yysj  TEXT DEFAULT (datetime('now','localtime')),
    zt    INTEGER NOT NULL DEFAULT 0,
    gbid  INTEGER,
    gbsj  TEXT,
    yyid  INTEGER
);
-- the draw: an operator's own open ones by start, everyone's by the time they became anyone's
CREATE INDEX hfyy_own ON hfyy(ywbh, hfz, kssj) WHERE zt = 0;
CREATE INDEX hfyy_any ON hfyy(ywbh, gksj) WHERE zt = 0;
-- a customer's open call-back (closed by the next ending)
CREATE INDEX hfyy_yhid ON hfyy(yhid) WHERE zt = 0;
-- the call-back list: by project, state and time, by operator, state and time (closed ones never
-- lie in the draw's way there)
CREATE INDEX hfyy_ywbh_kssj ON hfyy(ywbh, zt, kssj);
CREATE INDEX hfyy_hfz_kssj ON hfyy(hfz, zt, kssj);
-- the history row of the ending that booked it
CREATE INDEX hfyy_yyid ON hfyy(yyid) WHERE yyid IS NOT NULL;

-- Retry rules of a project per ending word (重拨规则): ycfz the least minutes before the customer
-- may be drawn again (0: at once), zdcs the largest number of calls (0: no limit).
CREATE TABLE cbgz (
    ywbh INTEGER NOT NULL,
    sljg TEXT COLLATE NOCASE NOT NULL,
    ycfz INTEGER NOT NULL DEFAULT 0,
    zdcs INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (ywbh, sljg)
);

-- Calling hours of a project (呼叫时段), "HH:mm" (start inclusive, end exclusive; empty: any
-- time) on weekdays (gr) and at weekends (zm); gkfz the minutes after a window's end at which a
-- call-back only its booker may call becomes anyone's. No row: any time, 30 minutes.
CREATE TABLE hjsd (
    ywbh INTEGER PRIMARY KEY,
    grks TEXT NOT NULL DEFAULT '',
    grjs TEXT NOT NULL DEFAULT '',
    zmks TEXT NOT NULL DEFAULT '',
    zmjs TEXT NOT NULL DEFAULT '',
    gkfz INTEGER NOT NULL DEFAULT 30
);

-- ==========================================================================================
-- Response rates: the disposition code of each ending word per project (处置分类), by the
-- survey field's standard definitions ("1.1" complete, "2.11" refusal, "3.13" no answer, ...).
-- 未受理 stands for the customers never called. A new project gets the defaults; its rows go
-- with it.
-- ==========================================================================================
CREATE TABLE czfl (
    ywbh INTEGER NOT NULL,
    sljg TEXT COLLATE NOCASE NOT NULL,
    czdm TEXT NOT NULL,
    czz  INTEGER, -- the code's weight, given by the triggers below
    PRIMARY KEY (ywbh, sljg)
);

-- The weight of a code is (rank << 50) + class: rank 2 for a final class (I, NE), 1 for one that
-- reached someone (P, R, NC, O), 0 for one that reached nobody; the class numbers are I 0, P 1,
-- R 2, NC 3, O 4, UH 5, UO 6, NE 7, as the program numbers them. By the code's first digits:
-- 1.1 complete, 1.2 partial, 2.1 refusal, 2.2 non-contact, 2.3 other, 3.1 nobody reached,
-- 3.2 and 3.9 unknown other, 4 not eligible; anything else counts as unknown other.
CREATE TRIGGER czfl_weight_update AFTER UPDATE OF czdm ON czfl
BEGIN
    UPDATE czfl SET czz = CASE WHEN czdm LIKE '4.%' THEN (2 << 50) + 7 ELSE CASE substr(czdm, 1, 3)
        WHEN '1.1' THEN (2 << 50) + 0 WHEN '1.2' THEN (1 << 50) + 1 WHEN '2.1' THEN (1 << 50) + 2
        WHEN '2.2' THEN (1 << 50) + 3 WHEN '2.3' THEN (1 << 50) + 4 WHEN '3.1' THEN 5 ELSE 6 END END
     WHERE ywbh = new.ywbh AND sljg = new.sljg;
END;

-- a new code is weighed by the trigger above
CREATE TRIGGER czfl_weight_insert AFTER INSERT ON czfl
BEGIN
    UPDATE czfl SET czdm = czdm WHERE ywbh = new.ywbh AND sljg = new.sljg;
END;

CREATE TRIGGER czfl_project_insert AFTER INSERT ON t_ywbh
BEGIN
    INSERT OR IGNORE INTO czfl(ywbh, sljg, czdm)
    VALUES (new.ywbh, '已受理', '1.1'), (new.ywbh, '拒访', '2.11'), (new.ywbh, '下次联系', '2.21'),
           (new.ywbh, '无应答', '3.13'), (new.ywbh, '关机', '3.16'), (new.ywbh, '停机', '4.32'),
           (new.ywbh, '无效数据', '4.10'), (new.ywbh, '未受理', '3.11');
END;

CREATE TRIGGER czfl_project_delete AFTER DELETE ON t_ywbh
BEGIN
    DELETE FROM czfl WHERE ywbh = old.ywbh;
END;

-- a project's history by number: the final disposition of each customer reads it in this order;
-- one operator's endings (the rates of an operator) by number too
CREATE INDEX visitlog_ywbh_dhhm ON visitlog(ywbh, dhhm, sljg);
CREATE INDEX visitlog_ywbh_slz ON visitlog(ywbh, slz, dhhm, sljg);

-- Each customer keeps the ending that decides its final disposition: yhda.czz is the largest
-- id * 8 + weight among the endings of its project on its number (dhhm1; the history keeps the
-- number called), so the latest ending of the highest rank, and czlb its class (czz % 8). Null:
-- never called. Completed ones are written with their marketing result, "已受理(成功)", and
-- have the code of 已受理; an ending word without a code counts as unknown other (6). The
-- program gives a project's customers their values afresh when its codes change.
CREATE VIEW czzview AS
SELECT v.id, v.ywbh, v.dhhm, v.slz, v.vtime, v.id * 8 + ifnull(c.czz, 6) AS k FROM visitlog v LEFT JOIN czfl c
    ON c.ywbh = v.ywbh
   AND c.sljg = CASE WHEN v.sljg >= '已受理(' AND v.sljg < '已受理)' THEN '已受理' ELSE v.sljg END;

CREATE TRIGGER visitlog_czz AFTER INSERT ON visitlog
BEGIN
    UPDATE yhda SET czz = e.k, czlb = e.k % 8 FROM (SELECT k FROM czzview WHERE id = new.id) e
     WHERE yhda.ywbh = new.ywbh AND yhda.dhhm1 = new.dhhm AND (yhda.czz IS NULL OR yhda.czz < e.k);
END;

-- A customer entering a project or a number that has history takes it up.
CREATE TRIGGER yhda_czz_insert AFTER INSERT ON yhda
WHEN EXISTS (SELECT 1 FROM visitlog WHERE ywbh = new.ywbh AND dhhm = new.dhhm1)
BEGIN
    UPDATE yhda SET czz = e.k, czlb = e.k % 8
      FROM (SELECT max(k) AS k FROM czzview WHERE ywbh = new.ywbh AND dhhm = new.dhhm1) e
     WHERE yhda.id = new.id;
END;

CREATE TRIGGER yhda_czz_update AFTER UPDATE OF ywbh, dhhm1 ON yhda
WHEN old.ywbh IS NOT new.ywbh OR old.dhhm1 IS NOT new.dhhm1
BEGIN
    UPDATE yhda SET czz = e.k, czlb = e.k % 8
      FROM (SELECT max(k) AS k FROM czzview WHERE ywbh = new.ywbh AND dhhm = new.dhhm1) e
     WHERE yhda.id = new.id;
END;

-- the counts of a project's final dispositions, read from the index alone
CREATE INDEX yhda_czlb ON yhda(ywbh, czlb, del) WHERE del = 0;
