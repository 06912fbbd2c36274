-- Derived data computed afresh from the rows, one section per table (or table.column), in the
-- order they are to run. "-- fill: NAME after OTHER" also runs whenever OTHER's section ran.
-- The upgrade runs a section when it has just created that table or column; the statistics
-- rebuild runs the kept figures' sections. Each statement ends with ";" at the end of a line.

-- fill: yhda.drawkey
-- The key the triggers give a customer entering its group (see schema.sql).
UPDATE yhda SET drawkey = -ln((abs(random() % 9007199254740992) + 0.5) / 9007199254740992.0)
                    + ifnull((SELECT lastkey FROM yhda_drawn
     WHERE yhda_drawn.ywbh = ifnull(yhda.ywbh, 0) AND yhda_drawn.sljg = ifnull(yhda.sljg, '')
       AND yhda_drawn.zk = ifnull('=' || yhda.zdslz, '')), 0)
 WHERE drawkey IS NULL;

-- fill: yhda_tally
DELETE FROM yhda_tally;
INSERT INTO yhda_tally(ywbh, sljg, zk, n)
SELECT ifnull(ywbh, 0), ifnull(sljg, ''), ifnull('=' || zdslz, ''), count(*) FROM yhda WHERE del = 0
 GROUP BY 1, 2, 3;

-- fill: yhda_talk
DELETE FROM yhda_talk;
INSERT INTO yhda_talk(yhid, secs) SELECT yhid, sum(tottime) FROM (
    SELECT yhid, tottime, lead(tottime) OVER (PARTITION BY yhid ORDER BY id) AS nxt FROM q_ans
     WHERE yhid IS NOT NULL) calls WHERE nxt IS NULL OR nxt < tottime GROUP BY yhid;

-- fill: hwtj_tally after yhda_talk
DELETE FROM hwtj_tally;
INSERT INTO hwtj_tally(ywbh, slz, slsj, sljg, jg, n, tottime)
SELECT ifnull(y.ywbh, 0), ifnull(y.slz, ''), ifnull(substr(y.slsj, 1, 10), ''), y.sljg, ifnull(y.jg, ''),
       count(*), sum(ifnull(t.secs, 0)) FROM yhda y LEFT JOIN yhda_talk t ON t.yhid = y.id
 WHERE y.del = 0 AND y.sljg <> '未受理' AND y.sljg <> '正在受理' GROUP BY 1, 2, 3, 4, 5
    ON CONFLICT(ywbh, slz, slsj, sljg, jg)
    DO UPDATE SET n = hwtj_tally.n + excluded.n, tottime = hwtj_tally.tottime + excluded.tottime;

-- fill: q_ans_tally
DELETE FROM q_ans_tally;
INSERT INTO q_ans_tally(qid, slz, ans, slsj, n)
SELECT ifnull(qid, 0), ifnull(slz, ''), ifnull(ans, ''), ifnull(substr(dt, 1, 10), ''), count(*)
  FROM q_ans WHERE true GROUP BY 1, 2, 3, 4
    ON CONFLICT(qid, slz, ans, slsj) DO UPDATE SET n = q_ans_tally.n + excluded.n;

-- fill: czfl
-- The default disposition codes for every project that was there before the table.
INSERT OR IGNORE INTO czfl(ywbh, sljg, czdm)
SELECT t_ywbh.ywbh, d.sljg, d.czdm FROM t_ywbh, (
    SELECT '已受理' AS sljg, '1.1' AS czdm UNION ALL SELECT '拒访', '2.11' UNION ALL SELECT '下次联系', '2.21'
    UNION ALL SELECT '无应答', '3.13' UNION ALL SELECT '关机', '3.16' UNION ALL SELECT '停机', '4.32'
    UNION ALL SELECT '无效数据', '4.10' UNION ALL SELECT '未受理', '3.11') d;

-- fill: czfl.czz
-- The weights of the codes kept before codes had them (the trigger on czdm gives them).
UPDATE czfl SET czdm = czdm;

-- fill: yhda.czz after czfl.czz
-- Each customer's deciding ending (see schema.sql), from the whole history.
UPDATE yhda SET czz = e.k, czlb = e.k % 8
  FROM (SELECT ywbh, dhhm, max(k) AS k FROM czzview GROUP BY ywbh, dhhm) e
 WHERE yhda.ywbh = e.ywbh AND yhda.dhhm1 = e.dhhm;
