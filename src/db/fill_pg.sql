-- What the server's upgrade fills when it has just created a table or column (see fill.sql for
-- the file's): the same sections, in the server's statements. "-- fill: NAME after OTHER" also
-- runs whenever OTHER's section ran. Each statement ends with ";" at the end of a line.

-- fill: czfl
-- The default disposition codes for every project that was there before the table.
INSERT INTO czfl(ywbh, sljg, czdm)
SELECT t_ywbh.ywbh, d.sljg, d.czdm FROM t_ywbh, (VALUES ('已受理', '1.1'), ('拒访', '2.11'), ('下次联系', '2.21'),
    ('无应答', '3.13'), ('关机', '3.16'), ('停机', '4.32'), ('无效数据', '4.10'), ('未受理', '3.11')) AS d(sljg, czdm)
    ON CONFLICT DO NOTHING;

-- fill: czfl.czz
-- The weights of the codes kept before codes had them (the trigger on czdm gives them).
UPDATE czfl SET czdm = czdm;

-- fill: yhda.czz after czfl
-- Each customer's deciding ending (see schema.sql), from the whole history.
UPDATE yhda SET czz = e.k, czlb = e.k % 8
  FROM (SELECT ywbh, dhhm, max(k) AS k FROM czzview GROUP BY ywbh, dhhm) e
 WHERE yhda.ywbh = e.ywbh AND yhda.dhhm1 = e.dhhm;
