-- Tellvane database on a PostgreSQL server: the same tables, defaults, views, indexes, delivered
-- rows and kept figures as the file (schema.sql), laid into an empty database by
-- "tellvane-initdb --server". Texts that compare without regard to letter case are citext (the
-- login relies on it); times are local "yyyy-MM-dd HH:mm:ss" text as on the file, so that every
-- window shows and filters them the same way. The Jet functions the statements use are SQL
-- functions here; the program's translation maps the names the server uses otherwise
-- (now -> jetnow, format -> jetformat).

CREATE EXTENSION IF NOT EXISTS citext;

-- ==========================================================================================
-- Jet functions
-- ==========================================================================================
CREATE FUNCTION jetnow() RETURNS text LANGUAGE sql VOLATILE PARALLEL SAFE
AS $$ SELECT to_char(clock_timestamp(), 'YYYY-MM-DD HH24:MI:SS') $$;

-- Jet's format() for date patterns over a stored time: yyyy yy mm m dd d hh h nn n ss s (any
-- case); "m"/"mm" right after an hour means minutes. Anything else is copied; a value that is
-- not a time comes back as it is.
CREATE FUNCTION jetformat(v text, pattern text) RETURNS text LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE
AS $$
DECLARE
    t timestamp;
    p text := lower(pattern);
    outp text := '';
    i int := 1;
    n int;
    c text;
    after_hour boolean := false;
    num int;
BEGIN
    IF v IS NULL THEN
        RETURN NULL;
    END IF;
    IF pattern IS NULL THEN
        RETURN v;
    END IF;
    IF p = 'yyyymmdd' AND v ~ '^\d{4}-\d{2}-\d{2}' THEN
        RETURN substr(v, 1, 4) || substr(v, 6, 2) || substr(v, 9, 2);
    END IF;
    IF v ~ '^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}' THEN
        t := to_timestamp(substr(v, 1, 19), 'YYYY-MM-DD HH24:MI:SS')::timestamp;
    ELSIF v ~ '^\d{4}-\d{2}-\d{2}' THEN
        t := to_timestamp(substr(v, 1, 10), 'YYYY-MM-DD')::timestamp;
    ELSE
        RETURN v;
    END IF;
    WHILE i <= length(p) LOOP
        c := substr(p, i, 1);
        n := 1;
        IF c IN ('y', 'm', 'd', 'h', 'n', 's') THEN
            WHILE i + n <= length(p) AND substr(p, i + n, 1) = c LOOP
                n := n + 1;
            END LOOP;
        END IF;
        IF c = 'y' THEN
            num := extract(year FROM t)::int;
            outp := outp || CASE WHEN n >= 4 THEN num::text ELSE lpad((num % 100)::text, 2, '0') END;
            after_hour := false;
        ELSIF c IN ('m', 'd', 'h', 'n', 's') THEN
            num := CASE c
                WHEN 'm' THEN CASE WHEN after_hour THEN extract(minute FROM t) ELSE extract(month FROM t) END
                WHEN 'd' THEN extract(day FROM t)
                WHEN 'h' THEN extract(hour FROM t)
                WHEN 'n' THEN extract(minute FROM t)
                ELSE floor(extract(second FROM t)) END::int;
            outp := outp || CASE WHEN n >= 2 THEN lpad(num::text, 2, '0') ELSE num::text END;
            IF c = 'h' THEN
                after_hour := true;
            ELSIF c <> 'n' THEN
                after_hour := false;
            END IF;
        ELSE
            outp := outp || substr(pattern, i, 1);
        END IF;
        i := i + n;
    END LOOP;
    RETURN outp;
END
$$;

CREATE FUNCTION jetformat(v text) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$ SELECT v $$;

-- Jet's Str(): a leading blank before a non-negative number, no trailing zeros.
CREATE FUNCTION str(x double precision) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE
AS $$
    SELECT CASE WHEN x >= 0 THEN ' ' ELSE '' END ||
           CASE WHEN x = trunc(x) AND abs(x) < 1e15 THEN trunc(x)::bigint::text
                ELSE rtrim(rtrim(round(x::numeric, 15 - greatest(0, floor(log(abs(x)))::int + 1))::text, '0'), '.')
           END
$$;
CREATE FUNCTION str(x numeric) RETURNS text LANGUAGE sql IMMUTABLE PARALLEL SAFE
AS $$ SELECT str(x::double precision) $$;

CREATE FUNCTION rnd() RETURNS double precision LANGUAGE sql VOLATILE PARALLEL SAFE AS $$ SELECT random() $$;
CREATE FUNCTION rnd(x double precision) RETURNS double precision LANGUAGE sql VOLATILE PARALLEL SAFE
AS $$ SELECT random() $$;

CREATE FUNCTION iif(cond boolean, a anycompatible, b anycompatible) RETURNS anycompatible
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$ SELECT CASE WHEN cond THEN a ELSE b END $$;

CREATE FUNCTION ifnull(a anycompatible, b anycompatible) RETURNS anycompatible
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$ SELECT coalesce(a, b) $$;

-- round(x, 2) of a floating number, as SQLite and Jet give it.
CREATE FUNCTION round(x double precision, d integer) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$ SELECT round(x::numeric, d)::double precision $$;

-- SQLite's group_concat(value [, separator]).
CREATE FUNCTION group_concat_step(acc text, v anyelement, sep text) RETURNS text LANGUAGE sql IMMUTABLE
AS $$ SELECT CASE WHEN v IS NULL THEN acc WHEN acc IS NULL THEN v::text ELSE acc || sep || v::text END $$;
CREATE FUNCTION group_concat_step(acc text, v anyelement) RETURNS text LANGUAGE sql IMMUTABLE
AS $$ SELECT group_concat_step(acc, v, ',') $$;
CREATE AGGREGATE group_concat(anyelement, text) (SFUNC = group_concat_step, STYPE = text);
CREATE AGGREGATE group_concat(anyelement) (SFUNC = group_concat_step, STYPE = text);

-- ==========================================================================================
-- Tables
-- ==========================================================================================
-- Index keys put nulls first (last when descending), where the file sorts them: the statements'
-- sorts say so on the server (see the translation), and the indexes still serve them.
CREATE TABLE syslogin (
    id       bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    uname    citext NOT NULL DEFAULT '',
    truename citext NOT NULL DEFAULT '',
    pwd      citext NOT NULL DEFAULT '',
    tp       citext NOT NULL DEFAULT '话务员',
    zt       integer NOT NULL DEFAULT 0,
    sysadmin integer NOT NULL DEFAULT 0
);
CREATE INDEX syslogin_uname ON syslogin(uname NULLS FIRST);

CREATE TABLE syslog (
    id       bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    uname    citext DEFAULT '',
    truename citext DEFAULT '',
    dt       text DEFAULT jetnow(),
    logcon   citext DEFAULT '',
    ipaddr   citext DEFAULT ''
);
CREATE INDEX syslog_dt ON syslog(dt NULLS FIRST);
CREATE INDEX syslog_uname ON syslog(uname NULLS FIRST);
CREATE INDEX syslog_truename ON syslog(truename NULLS FIRST);

CREATE TABLE "option" (
    jgts integer DEFAULT 0
);

CREATE TABLE t_ywbh (
    ywbh   bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    ywname citext NOT NULL DEFAULT '',
    ywtips citext DEFAULT '',
    zt     integer NOT NULL DEFAULT 1
);

CREATE TABLE q_table (
    qid  bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    ywbh bigint,
    qbh  integer,
    qnr  citext DEFAULT ''
);
CREATE INDEX q_table_ywbh_qbh ON q_table(ywbh NULLS FIRST, qbh NULLS FIRST);

CREATE TABLE q_sel (
    aid   bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    qid   bigint,
    sel   citext NOT NULL DEFAULT '',
    gotoq integer DEFAULT 0
);
CREATE INDEX q_sel_qid ON q_sel(qid NULLS FIRST);

CREATE TABLE yhda (
    id      bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    ywbh    bigint,
    pc      integer,
    xh      bigint,
    yhxm    citext DEFAULT '',
    dq      citext DEFAULT '',
    dz      citext DEFAULT '',
    dhhm1   citext DEFAULT '',
    dhhm2   citext DEFAULT '',
    dhhm3   citext DEFAULT '',
    dhhm4   citext DEFAULT '',
    xxzl    citext DEFAULT '',
    drz     citext DEFAULT '',
    drsj    text DEFAULT jetnow(),
    sljg    citext DEFAULT '未受理',
    jg      citext,
    bz      citext DEFAULT '',
    slsj    text,
    slz     citext DEFAULT '',
    zdslz   citext,
    zdslzxm citext,
    del     integer NOT NULL DEFAULT 0,
    deltime text,
    deler   citext DEFAULT '',
    drawkey double precision,
    hjcs    integer NOT NULL DEFAULT 0,
    kcsj    text,
    czz     bigint,
    czlb    integer
);
CREATE INDEX yhda_draw ON yhda(ywbh NULLS FIRST, sljg NULLS FIRST, zdslz NULLS FIRST, del, drawkey NULLS FIRST)
    WHERE kcsj IS NULL;
CREATE INDEX yhda_done ON yhda(ywbh NULLS FIRST, slz NULLS FIRST, slsj NULLS FIRST);
CREATE INDEX yhda_dhhm1 ON yhda(dhhm1 NULLS FIRST);
CREATE INDEX yhda_dhhm2 ON yhda(dhhm2 NULLS FIRST);
CREATE INDEX yhda_dhhm3 ON yhda(dhhm3 NULLS FIRST);
CREATE INDEX yhda_dhhm4 ON yhda(dhhm4 NULLS FIRST);
CREATE INDEX yhda_pc ON yhda(pc NULLS FIRST);
CREATE INDEX yhda_slsj ON yhda(slsj NULLS FIRST);
CREATE INDEX yhda_zdslz ON yhda(zdslz NULLS FIRST);
CREATE INDEX yhda_list ON yhda(pc DESC NULLS LAST, xh NULLS FIRST, id) WHERE del = 0;
CREATE INDEX yhda_sljg ON yhda(sljg NULLS FIRST);
CREATE INDEX yhda_ywbh_xh ON yhda(ywbh NULLS FIRST, xh NULLS FIRST, del) WHERE del = 0;
CREATE INDEX yhda_ywbh_drsj ON yhda(ywbh NULLS FIRST, drsj NULLS FIRST, del) WHERE del = 0;
CREATE INDEX yhda_ywbh_zdslzxm ON yhda(ywbh NULLS FIRST, zdslzxm NULLS FIRST, del) WHERE del = 0 AND zdslzxm IS NOT NULL;
CREATE INDEX yhda_ywbh ON yhda(ywbh NULLS FIRST) WHERE del = 0;

CREATE TABLE q_ans (
    id      bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    qid     bigint,
    dhhm    citext DEFAULT '',
    yhid    bigint,
    ans     citext DEFAULT '',
    slz     citext DEFAULT '',
    tottime integer DEFAULT 0,
    dt      text DEFAULT jetnow(),
    lywj    text -- the call's recording, on the answer row of an ending at a seat that records
);
CREATE INDEX q_ans_yhid_qid ON q_ans(yhid NULLS FIRST, qid NULLS FIRST, ans NULLS FIRST);
CREATE INDEX q_ans_qid ON q_ans(qid NULLS FIRST);
CREATE INDEX q_ans_dhhm ON q_ans(dhhm NULLS FIRST);
CREATE INDEX q_ans_dt ON q_ans(dt NULLS FIRST);

CREATE TABLE visitlog (
    id    bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    ywbh  bigint,
    dhhm  citext DEFAULT '',
    slz   citext DEFAULT '',
    sljg  citext DEFAULT '',
    bz    citext DEFAULT '',
    vtime text DEFAULT jetnow(),
    -- at a seat that dials: the seconds written as the call's length, whether the line
    -- measured them ('线路') or the screen ('屏幕'), and the call's recording
    thsc  integer,
    jsly  text,
    lywj  text
);
CREATE INDEX visitlog_dhhm ON visitlog(dhhm NULLS FIRST);
CREATE INDEX visitlog_ywbh ON visitlog(ywbh NULLS FIRST);
CREATE INDEX visitlog_vtime ON visitlog(vtime NULLS FIRST);

-- ==========================================================================================
-- Views (as on the file)
-- ==========================================================================================
CREATE VIEW yhdaview AS
SELECT yhda.*, t_ywbh.ywname AS ywname
FROM yhda LEFT JOIN t_ywbh ON t_ywbh.ywbh = yhda.ywbh
WHERE yhda.del = 0;

CREATE VIEW visitlogview AS
SELECT visitlog.id, visitlog.ywbh, t_ywbh.ywname, visitlog.dhhm, visitlog.slz, visitlog.sljg,
       visitlog.vtime AS slsj, visitlog.bz, visitlog.thsc, visitlog.jsly, visitlog.lywj
FROM visitlog LEFT JOIN t_ywbh ON t_ywbh.ywbh = visitlog.ywbh;

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

INSERT INTO syslogin(uname, truename, pwd, tp, zt, sysadmin) VALUES ('admin', '系统管理员', 'admin', '管理员', 0, 1);
INSERT INTO "option"(jgts) VALUES (0);

-- ==========================================================================================
-- Record counts kept by the database (see schema.sql): live customer records by project,
-- state and assignee; keys ywbh 0 = no project, sljg '' = no state, zk '' = unassigned,
-- otherwise '=' followed by zdslz.
-- ==========================================================================================
CREATE TABLE yhda_tally (
    ywbh bigint NOT NULL,
    sljg citext NOT NULL,
    zk   citext NOT NULL,
    n    bigint NOT NULL DEFAULT 0,
    PRIMARY KEY (ywbh, sljg, zk)
);

CREATE FUNCTION yhda_tally_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') AND old.del = 0 THEN
        UPDATE yhda_tally SET n = n - 1
         WHERE ywbh = coalesce(old.ywbh, 0) AND sljg = coalesce(old.sljg, '') AND zk = coalesce('=' || old.zdslz, '');
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') AND new.del = 0 THEN
        INSERT INTO yhda_tally AS t (ywbh, sljg, zk, n)
        VALUES (coalesce(new.ywbh, 0), coalesce(new.sljg, ''), coalesce('=' || new.zdslz, ''), 1)
        ON CONFLICT (ywbh, sljg, zk) DO UPDATE SET n = t.n + 1;
    END IF;
    RETURN NULL;
END
$$;

CREATE TRIGGER yhda_tally_insert AFTER INSERT ON yhda FOR EACH ROW WHEN (new.del = 0)
EXECUTE FUNCTION yhda_tally_change();
CREATE TRIGGER yhda_tally_delete AFTER DELETE ON yhda FOR EACH ROW WHEN (old.del = 0)
EXECUTE FUNCTION yhda_tally_change();
CREATE TRIGGER yhda_tally_update AFTER UPDATE OF ywbh, sljg, zdslz, del ON yhda FOR EACH ROW
WHEN (old.ywbh IS DISTINCT FROM new.ywbh OR old.sljg IS DISTINCT FROM new.sljg
      OR old.zdslz IS DISTINCT FROM new.zdslz OR old.del IS DISTINCT FROM new.del)
EXECUTE FUNCTION yhda_tally_change();

-- ==========================================================================================
-- Figures for the statistics windows (see schema.sql).
-- ==========================================================================================

-- Talk time of each customer in seconds: the sum of its calls' lengths, a call's length being
-- its last (largest) answer time before the next call starts again from a smaller one.
CREATE TABLE yhda_talk (
    yhid bigint PRIMARY KEY,
    secs bigint NOT NULL DEFAULT 0
);

CREATE FUNCTION talk_secs(customer bigint) RETURNS bigint LANGUAGE sql STABLE AS $$
    SELECT coalesce(sum(tottime), 0)::bigint FROM (
        SELECT tottime, lead(tottime) OVER (ORDER BY id) AS nxt FROM q_ans WHERE yhid = customer) c
     WHERE nxt IS NULL OR nxt < tottime
$$;

CREATE VIEW hwtjview2 AS
SELECT yhda.id AS id, yhda.ywbh AS ywbh, t_ywbh.ywname AS ywname, yhda.slz AS slz,
       yhda.sljg AS sljg, yhda.jg AS jg, yhda.slsj AS slsj,
       coalesce(yhda_talk.secs, 0) AS tottime
FROM yhda
LEFT JOIN t_ywbh ON t_ywbh.ywbh = yhda.ywbh
LEFT JOIN yhda_talk ON yhda_talk.yhid = yhda.id
WHERE yhda.del = 0 AND yhda.sljg <> '未受理' AND yhda.sljg <> '正在受理';

CREATE FUNCTION q_ans_talk_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') THEN
        UPDATE yhda_talk SET secs = talk_secs(old.yhid) WHERE yhid = old.yhid;
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') AND new.yhid IS NOT NULL THEN
        INSERT INTO yhda_talk(yhid, secs) VALUES (new.yhid, talk_secs(new.yhid))
        ON CONFLICT (yhid) DO UPDATE SET secs = excluded.secs;
    END IF;
    RETURN NULL;
END
$$;

CREATE TRIGGER q_ans_talk_insert AFTER INSERT ON q_ans FOR EACH ROW WHEN (new.yhid IS NOT NULL)
EXECUTE FUNCTION q_ans_talk_change();
CREATE TRIGGER q_ans_talk_delete AFTER DELETE ON q_ans FOR EACH ROW EXECUTE FUNCTION q_ans_talk_change();
CREATE TRIGGER q_ans_talk_update AFTER UPDATE OF id, yhid, tottime ON q_ans FOR EACH ROW
EXECUTE FUNCTION q_ans_talk_change();

-- Handled records counted by project, operator, day of handling, state and result, with their
-- talk time. Keys: ywbh 0 = none, slz/jg '' = empty or null, slsj the day ('' = none).
CREATE TABLE hwtj_tally (
    ywbh    bigint NOT NULL,
    slz     citext NOT NULL,
    slsj    text NOT NULL,
    sljg    citext NOT NULL,
    jg      citext NOT NULL,
    n       bigint NOT NULL DEFAULT 0,
    tottime bigint NOT NULL DEFAULT 0,
    PRIMARY KEY (ywbh, slz, slsj, sljg, jg)
);

CREATE FUNCTION yhda_hwtj_change() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
    secs bigint;
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') AND old.del = 0 AND old.sljg <> '未受理' AND old.sljg <> '正在受理' THEN
        secs := coalesce((SELECT k.secs FROM yhda_talk k WHERE k.yhid = old.id), 0);
        UPDATE hwtj_tally SET n = n - 1, tottime = tottime - secs
         WHERE ywbh = coalesce(old.ywbh, 0) AND slz = coalesce(old.slz, '')
           AND slsj = coalesce(substr(old.slsj, 1, 10), '') AND sljg = old.sljg AND jg = coalesce(old.jg, '');
        DELETE FROM hwtj_tally
         WHERE n = 0 AND ywbh = coalesce(old.ywbh, 0) AND slz = coalesce(old.slz, '')
           AND slsj = coalesce(substr(old.slsj, 1, 10), '') AND sljg = old.sljg AND jg = coalesce(old.jg, '');
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') AND new.del = 0 AND new.sljg <> '未受理' AND new.sljg <> '正在受理' THEN
        secs := coalesce((SELECT k.secs FROM yhda_talk k WHERE k.yhid = new.id), 0);
        INSERT INTO hwtj_tally AS t (ywbh, slz, slsj, sljg, jg, n, tottime)
        VALUES (coalesce(new.ywbh, 0), coalesce(new.slz, ''), coalesce(substr(new.slsj, 1, 10), ''), new.sljg,
                coalesce(new.jg, ''), 1, secs)
        ON CONFLICT (ywbh, slz, slsj, sljg, jg) DO UPDATE SET n = t.n + 1, tottime = t.tottime + excluded.tottime;
    END IF;
    RETURN NULL;
END
$$;

CREATE TRIGGER yhda_hwtj_insert AFTER INSERT ON yhda FOR EACH ROW
WHEN (new.del = 0 AND new.sljg <> '未受理' AND new.sljg <> '正在受理')
EXECUTE FUNCTION yhda_hwtj_change();
CREATE TRIGGER yhda_hwtj_delete AFTER DELETE ON yhda FOR EACH ROW
WHEN (old.del = 0 AND old.sljg <> '未受理' AND old.sljg <> '正在受理')
EXECUTE FUNCTION yhda_hwtj_change();
CREATE TRIGGER yhda_hwtj_update AFTER UPDATE OF id, ywbh, slz, slsj, sljg, jg, del ON yhda FOR EACH ROW
WHEN ((old.del = 0 AND old.sljg <> '未受理' AND old.sljg <> '正在受理')
      OR (new.del = 0 AND new.sljg <> '未受理' AND new.sljg <> '正在受理'))
EXECUTE FUNCTION yhda_hwtj_change();

-- A change of a customer's talk time moves the figure of the group the customer is counted in.
CREATE FUNCTION yhda_talk_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    UPDATE hwtj_tally SET tottime = tottime + new.secs - CASE WHEN TG_OP = 'UPDATE' THEN old.secs ELSE 0 END
     WHERE (ywbh, slz, slsj, sljg, jg) = (
           SELECT coalesce(y.ywbh, 0), coalesce(y.slz, ''), coalesce(substr(y.slsj, 1, 10), ''), y.sljg,
                  coalesce(y.jg, '')
             FROM yhda y WHERE y.id = new.yhid AND y.del = 0 AND y.sljg <> '未受理' AND y.sljg <> '正在受理');
    RETURN NULL;
END
$$;

CREATE TRIGGER yhda_talk_insert AFTER INSERT ON yhda_talk FOR EACH ROW EXECUTE FUNCTION yhda_talk_change();
CREATE TRIGGER yhda_talk_update AFTER UPDATE OF secs ON yhda_talk FOR EACH ROW
WHEN (new.secs IS DISTINCT FROM old.secs)
EXECUTE FUNCTION yhda_talk_change();

CREATE VIEW hwtjsumview AS
SELECT hwtj_tally.ywbh AS ywbh, t_ywbh.ywname AS ywname, hwtj_tally.slz AS slz, hwtj_tally.sljg AS sljg,
       hwtj_tally.jg AS jg, hwtj_tally.slsj AS slsj, hwtj_tally.n AS n, hwtj_tally.tottime AS tottime
FROM hwtj_tally LEFT JOIN t_ywbh ON t_ywbh.ywbh = hwtj_tally.ywbh;

-- Recorded answers counted by question, operator, answer text and day of recording.
CREATE TABLE q_ans_tally (
    qid  bigint NOT NULL,
    slz  citext NOT NULL,
    ans  citext NOT NULL,
    slsj text NOT NULL,
    n    bigint NOT NULL DEFAULT 0,
    PRIMARY KEY (qid, slz, ans, slsj)
);

CREATE FUNCTION q_ans_tally_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') THEN
        UPDATE q_ans_tally SET n = n - 1
         WHERE qid = coalesce(old.qid, 0) AND slz = coalesce(old.slz, '') AND ans = coalesce(old.ans, '')
           AND slsj = coalesce(substr(old.dt, 1, 10), '');
        DELETE FROM q_ans_tally
         WHERE n = 0 AND qid = coalesce(old.qid, 0) AND slz = coalesce(old.slz, '') AND ans = coalesce(old.ans, '')
           AND slsj = coalesce(substr(old.dt, 1, 10), '');
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') THEN
        INSERT INTO q_ans_tally AS t (qid, slz, ans, slsj, n)
        VALUES (coalesce(new.qid, 0), coalesce(new.slz, ''), coalesce(new.ans, ''), coalesce(substr(new.dt, 1, 10), ''), 1)
        ON CONFLICT (qid, slz, ans, slsj) DO UPDATE SET n = t.n + 1;
    END IF;
    RETURN NULL;
END
$$;

CREATE TRIGGER q_ans_tally_insert AFTER INSERT ON q_ans FOR EACH ROW EXECUTE FUNCTION q_ans_tally_change();
CREATE TRIGGER q_ans_tally_delete AFTER DELETE ON q_ans FOR EACH ROW EXECUTE FUNCTION q_ans_tally_change();
CREATE TRIGGER q_ans_tally_update AFTER UPDATE OF qid, slz, ans, dt ON q_ans FOR EACH ROW
EXECUTE FUNCTION q_ans_tally_change();

CREATE VIEW q_anssumview AS
SELECT q_table.ywbh AS ywbh, t_ywbh.ywname AS ywname, q_ans_tally.slz AS slz, q_table.qnr AS qnr,
       q_ans_tally.ans AS ans, q_ans_tally.slsj AS slsj, q_ans_tally.n AS n, q_ans_tally.qid AS qid
FROM q_ans_tally
JOIN q_table ON q_table.qid = q_ans_tally.qid
LEFT JOIN t_ywbh ON t_ywbh.ywbh = q_table.ywbh;

-- ==========================================================================================
-- DRAW KEYS (the draw's random keys; see schema.sql for why they are given this way).
-- A customer gets its key when it enters a draw group (insert, change of state, assignee,
-- project, or undeletion): the group's last drawn key plus an exponential gap -ln(U). A draw
-- sets drawkey to null with the new state, which records the key it took as the group's last.
-- Groups are keyed as in yhda_tally; lastkey only grows.
--
-- Many seats at once. A row that every seat's draw changes is locked by each draw until its
-- transaction ends, so the seats would take turns on it. Here no row is shared by all seats:
-- - yhda_drawn keeps the last drawn key per group and per share (part) of the sessions; a draw
--   raises its own share's row, and the group's last drawn key is the largest of its shares.
--   A draw another seat has not yet committed is not seen: the base of a new key may then lag
--   behind by the few keys in flight, a small fraction of the gap a group of any size has
--   between its smallest keys; the members stay alike.
-- - yhda_tally keeps its counts per share as well (part), each share's count may go below
--   zero; every reader sums n over the shares, so the sums are exact in every transaction.
-- A session's share is its server process number modulo 64: two seats meet on one row only
-- when they share it and draw from the same group at the same moment, and then only wait.
-- ==========================================================================================
CREATE TABLE yhda_drawn (
    ywbh    bigint NOT NULL,
    sljg    citext NOT NULL,
    zk      citext NOT NULL,
    part    integer NOT NULL DEFAULT 0,
    lastkey double precision NOT NULL,
    PRIMARY KEY (ywbh, sljg, zk, part)
);

-- The unassigned group in the draw's order: "zdslz IS NULL" does not fix the column for an
-- ordered index scan of yhda_draw, which would then sort the whole group for every draw.
CREATE INDEX yhda_draw_free ON yhda(ywbh NULLS FIRST, sljg NULLS FIRST, del, drawkey NULLS FIRST)
    WHERE zdslz IS NULL AND kcsj IS NULL;

CREATE FUNCTION yhda_drawkey() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
    last double precision;
BEGIN
    IF TG_OP = 'UPDATE' AND new.drawkey IS NULL AND old.drawkey IS NOT NULL THEN
        INSERT INTO yhda_drawn AS d (ywbh, sljg, zk, part, lastkey)
        VALUES (coalesce(old.ywbh, 0), coalesce(old.sljg, ''), coalesce('=' || old.zdslz, ''),
                pg_backend_pid() % 64, old.drawkey)
        ON CONFLICT (ywbh, sljg, zk, part) DO UPDATE SET lastkey = greatest(d.lastkey, excluded.lastkey);
    END IF;
    SELECT max(d.lastkey) INTO last FROM yhda_drawn d
     WHERE d.ywbh = coalesce(new.ywbh, 0) AND d.sljg = coalesce(new.sljg, '') AND d.zk = coalesce('=' || new.zdslz, '');
    -- As on the file: a record written with a key above its group's last drawn key keeps it.
    IF TG_OP = 'INSERT' AND new.drawkey IS NOT NULL AND (last IS NULL OR new.drawkey > last) THEN
        RETURN new;
    END IF;
    new.drawkey := -ln(1.0 - random()) + coalesce(last, 0);
    RETURN new;
END
$$;

CREATE TRIGGER yhda_key_insert BEFORE INSERT ON yhda FOR EACH ROW EXECUTE FUNCTION yhda_drawkey();
CREATE TRIGGER yhda_key_update BEFORE UPDATE OF ywbh, sljg, zdslz, del, drawkey, kcsj ON yhda FOR EACH ROW
WHEN (new.drawkey IS NULL OR old.ywbh IS DISTINCT FROM new.ywbh OR old.sljg IS DISTINCT FROM new.sljg
      OR old.zdslz IS DISTINCT FROM new.zdslz OR old.del IS DISTINCT FROM new.del
      OR old.kcsj IS DISTINCT FROM new.kcsj)
EXECUTE FUNCTION yhda_drawkey();

-- The counts per share (see above).
ALTER TABLE yhda_tally ADD COLUMN part integer NOT NULL DEFAULT 0;
ALTER TABLE yhda_tally DROP CONSTRAINT yhda_tally_pkey;
ALTER TABLE yhda_tally ADD PRIMARY KEY (ywbh, sljg, zk, part);

CREATE OR REPLACE FUNCTION yhda_tally_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') AND old.del = 0 THEN
        INSERT INTO yhda_tally AS t (ywbh, sljg, zk, part, n)
        VALUES (coalesce(old.ywbh, 0), coalesce(old.sljg, ''), coalesce('=' || old.zdslz, ''), pg_backend_pid() % 64, -1)
        ON CONFLICT (ywbh, sljg, zk, part) DO UPDATE SET n = t.n - 1;
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') AND new.del = 0 THEN
        INSERT INTO yhda_tally AS t (ywbh, sljg, zk, part, n)
        VALUES (coalesce(new.ywbh, 0), coalesce(new.sljg, ''), coalesce('=' || new.zdslz, ''), pg_backend_pid() % 64, 1)
        ON CONFLICT (ywbh, sljg, zk, part) DO UPDATE SET n = t.n + 1;
    END IF;
    RETURN NULL;
END
$$;

-- ==========================================================================================
-- CALL-BACKS: appointments, retry rules and calling hours (see schema.sql for what each column
-- means). Seats read and write all three tables and yhda's kcsj and hjcs; administrators edit
-- cbgz and hjsd and reassign or cancel rows of hfyy.
-- ==========================================================================================
CREATE INDEX yhda_wait ON yhda(ywbh NULLS FIRST, sljg NULLS FIRST, kcsj) WHERE kcsj IS NOT NULL;
CREATE INDEX yhda_ywbh_sljg ON yhda(ywbh NULLS FIRST, sljg NULLS FIRST, del) WHERE del = 0;

CREATE TABLE hfyy (
    id    bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    yhid  bigint NOT NULL,
    ywbh  bigint NOT NULL,
    dhhm  citext DEFAULT '',
    kssj  text NOT NULL,
    jssj  text NOT NULL,
    gksj  text NOT NULL,
    yyz   citext DEFAULT '',
    yyzxm citext DEFAULT '',
    zy    integer NOT NULL DEFAULT 1,
    hfz   citext,
    gpz   citext,
    bz    citext DEFAULT '',
    yysj  text DEFAULT jetnow(),
    zt    integer NOT NULL DEFAULT 0,
    gbid  bigint,
    gbsj  text,
    yyid  bigint
);
CREATE INDEX hfyy_own ON hfyy(ywbh, hfz, kssj) WHERE zt = 0;
CREATE INDEX hfyy_any ON hfyy(ywbh, gksj) WHERE zt = 0;
CREATE INDEX hfyy_yhid ON hfyy(yhid) WHERE zt = 0;
CREATE INDEX hfyy_ywbh_kssj ON hfyy(ywbh, zt, kssj);
CREATE INDEX hfyy_hfz_kssj ON hfyy(hfz NULLS FIRST, zt, kssj);
CREATE INDEX hfyy_yyid ON hfyy(yyid) WHERE yyid IS NOT NULL;
-- The views of the customers and of the history with their call-backs (as on the file); the
-- columns come after the ones they had, as a replaced view must keep those.
CREATE OR REPLACE VIEW yhdaview AS
SELECT yhda.*, t_ywbh.ywname AS ywname,
       CASE WHEN yhda.kcsj IS NULL THEN '' WHEN yhda.kcsj >= '9999' THEN '已达呼叫上限'
            ELSE substr(yhda.kcsj, 1, 16) || '后可呼叫' END::citext AS hjzt,
       (SELECT min(hfyy.kssj) FROM hfyy WHERE hfyy.yhid = yhda.id AND hfyy.zt = 0) AS hfsj
FROM yhda LEFT JOIN t_ywbh ON t_ywbh.ywbh = yhda.ywbh
WHERE yhda.del = 0;
CREATE OR REPLACE VIEW visitlogview AS
SELECT visitlog.id, visitlog.ywbh, t_ywbh.ywname, visitlog.dhhm, visitlog.slz, visitlog.sljg,
       visitlog.vtime AS slsj, visitlog.bz, visitlog.thsc, visitlog.jsly, visitlog.lywj,
       (SELECT hfyy.kssj FROM hfyy WHERE hfyy.yyid = visitlog.id) AS hfsj
FROM visitlog LEFT JOIN t_ywbh ON t_ywbh.ywbh = visitlog.ywbh;

CREATE TABLE cbgz (
    ywbh bigint NOT NULL,
    sljg citext NOT NULL,
    ycfz integer NOT NULL DEFAULT 0,
    zdcs integer NOT NULL DEFAULT 0,
    PRIMARY KEY (ywbh, sljg)
);

CREATE TABLE hjsd (
    ywbh bigint PRIMARY KEY,
    grks text NOT NULL DEFAULT '',
    grjs text NOT NULL DEFAULT '',
    zmks text NOT NULL DEFAULT '',
    zmjs text NOT NULL DEFAULT '',
    gkfz integer NOT NULL DEFAULT 30
);

-- ==========================================================================================
-- RESPONSE RATES: the disposition code of each ending word per project (see schema.sql).
-- ==========================================================================================
CREATE TABLE czfl (
    ywbh bigint NOT NULL,
    sljg citext NOT NULL,
    czdm text NOT NULL,
    czz  bigint,
    PRIMARY KEY (ywbh, sljg)
);

-- A code's weight: (rank << 50) + class (see schema.sql).
CREATE FUNCTION czfl_weight() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    new.czz := CASE WHEN new.czdm LIKE '4.%' THEN (2::bigint << 50) + 7 ELSE CASE substr(new.czdm, 1, 3)
        WHEN '1.1' THEN (2::bigint << 50) + 0 WHEN '1.2' THEN (1::bigint << 50) + 1
        WHEN '2.1' THEN (1::bigint << 50) + 2 WHEN '2.2' THEN (1::bigint << 50) + 3
        WHEN '2.3' THEN (1::bigint << 50) + 4 WHEN '3.1' THEN 5 ELSE 6 END END;
    RETURN new;
END
$$;
CREATE TRIGGER czfl_weight BEFORE INSERT OR UPDATE OF czdm ON czfl FOR EACH ROW EXECUTE FUNCTION czfl_weight();

CREATE FUNCTION czfl_project_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP = 'DELETE' THEN
        DELETE FROM czfl WHERE ywbh = old.ywbh;
    ELSE
        INSERT INTO czfl(ywbh, sljg, czdm)
        VALUES (new.ywbh, '已受理', '1.1'), (new.ywbh, '拒访', '2.11'), (new.ywbh, '下次联系', '2.21'),
               (new.ywbh, '无应答', '3.13'), (new.ywbh, '关机', '3.16'), (new.ywbh, '停机', '4.32'),
               (new.ywbh, '无效数据', '4.10'), (new.ywbh, '未受理', '3.11')
        ON CONFLICT DO NOTHING;
    END IF;
    RETURN NULL;
END
$$;
CREATE TRIGGER czfl_project_insert AFTER INSERT ON t_ywbh FOR EACH ROW EXECUTE FUNCTION czfl_project_change();
CREATE TRIGGER czfl_project_delete AFTER DELETE ON t_ywbh FOR EACH ROW EXECUTE FUNCTION czfl_project_change();

CREATE INDEX visitlog_ywbh_dhhm ON visitlog(ywbh NULLS FIRST, dhhm NULLS FIRST, sljg NULLS FIRST) INCLUDE (id);
CREATE INDEX visitlog_ywbh_slz ON visitlog(ywbh NULLS FIRST, slz NULLS FIRST, dhhm NULLS FIRST, sljg NULLS FIRST)
    INCLUDE (id);

-- Each customer keeps the ending that decides its final disposition (see schema.sql).
CREATE VIEW czzview AS
SELECT v.id, v.ywbh, v.dhhm, v.slz, v.vtime, v.id * 8 + coalesce(c.czz, 6) AS k FROM visitlog v LEFT JOIN czfl c
    ON c.ywbh = v.ywbh
   AND c.sljg = CASE WHEN v.sljg >= '已受理(' AND v.sljg < '已受理)' THEN '已受理' ELSE v.sljg END;

CREATE FUNCTION visitlog_czz() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
    w bigint := (SELECT z.k FROM czzview z WHERE z.id = new.id);
BEGIN
    UPDATE yhda y SET czz = w, czlb = w % 8
     WHERE y.ywbh = new.ywbh AND y.dhhm1 = new.dhhm AND (y.czz IS NULL OR y.czz < w);
    RETURN NULL;
END
$$;
CREATE TRIGGER visitlog_czz AFTER INSERT ON visitlog FOR EACH ROW EXECUTE FUNCTION visitlog_czz();

-- A customer entering a project or a number that has history takes it up.
CREATE FUNCTION yhda_czz() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP = 'INSERT' OR new.ywbh IS DISTINCT FROM old.ywbh OR new.dhhm1 IS DISTINCT FROM old.dhhm1 THEN
        new.czz := (SELECT max(z.k) FROM czzview z WHERE z.ywbh = new.ywbh AND z.dhhm = new.dhhm1);
        new.czlb := new.czz % 8;
    END IF;
    RETURN new;
END
$$;
CREATE TRIGGER yhda_czz_insert BEFORE INSERT ON yhda FOR EACH ROW EXECUTE FUNCTION yhda_czz();
CREATE TRIGGER yhda_czz_update BEFORE UPDATE OF ywbh, dhhm1 ON yhda FOR EACH ROW EXECUTE FUNCTION yhda_czz();

CREATE INDEX yhda_czlb ON yhda(ywbh NULLS FIRST, czlb NULLS FIRST, del) WHERE del = 0;

-- ==========================================================================================
-- The scripts that laid or last upgraded this database, as a digest of them: a seat of another
-- release is told to have the database upgraded (tellvane-initdb --server) before it logs in.
-- ==========================================================================================
CREATE TABLE tv_schema (
    stamp text NOT NULL
);
