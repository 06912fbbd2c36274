-- Who may do what on the server: laid by "tellvane-initdb --server" (and the migration) right
-- after schema_pg.sql, by the account that owns the tables (CREATEROLE, not a superuser).
--
-- Every operator logs in as a role of its own, "tv_" followed by its login name as the login
-- compares it (see db/roles.h), a member of one of two groups:
--   tellvane_operator  what the operator's windows do: draw, answer, end calls, read the queries
--   tellvane_admin     what the administrators' windows do
-- The groups and the seats' roles belong to the whole cluster (one Tellvane database per cluster).
-- Administrators manage the operators' roles only through the tv_seat_role* functions below,
-- which run as the owner of the tables: the group itself has no CREATEROLE.
--
-- A new table gets its rights in the list of tv_grant_rights() (one line).

-- ==========================================================================================
-- Groups
-- ==========================================================================================
DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'tellvane_operator') THEN
        CREATE ROLE tellvane_operator NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'tellvane_admin') THEN
        CREATE ROLE tellvane_admin NOLOGIN;
    END IF;
END
$$;

-- No password is kept in the database: the server keeps each role's SCRAM verifier. rolname is
-- the operator's role, written with the row.
ALTER TABLE syslogin DROP COLUMN pwd;
ALTER TABLE syslogin ADD COLUMN rolname text;
UPDATE syslogin SET rolname = 'tv_' || lower(uname);
CREATE UNIQUE INDEX syslogin_rolname ON syslogin(rolname);

-- ==========================================================================================
-- Rights per table. Nothing for PUBLIC; tables not listed are the owner's alone.
-- ==========================================================================================
REVOKE ALL ON ALL TABLES IN SCHEMA public FROM PUBLIC;
REVOKE CREATE ON SCHEMA public FROM PUBLIC;

-- What each group may do with each table or view: (table, operator, administrator); '' =
-- nothing. Run tv_grant_rights() again after adding a line.
CREATE FUNCTION tv_grant_rights() RETURNS void LANGUAGE plpgsql AS $$
DECLARE
    r record;
BEGIN
    FOR r IN SELECT * FROM (VALUES
        ('syslogin',     'SELECT',                                      'SELECT, INSERT, UPDATE, DELETE'),
        ('syslog',       'INSERT',                                      'SELECT, INSERT'),
        ('"option"',     'SELECT',                                      'SELECT, INSERT, UPDATE, DELETE'),
        ('t_ywbh',       'SELECT',                                      'SELECT, INSERT, UPDATE, DELETE'),
        ('q_table',      'SELECT',                                      'SELECT, INSERT, UPDATE, DELETE'),
        ('q_sel',        'SELECT',                                      'SELECT, INSERT, UPDATE, DELETE'),
        ('yhda',         'SELECT, UPDATE (sljg, jg, bz, slsj, slz, drawkey, hjcs, kcsj)', 'SELECT, INSERT, UPDATE, DELETE'),
        ('q_ans',        'SELECT, INSERT, DELETE',                      'SELECT, INSERT, UPDATE, DELETE'),
        ('visitlog',     'SELECT, INSERT',                              'SELECT, INSERT, UPDATE, DELETE'),
        ('yhda_tally',   'SELECT',                                      'SELECT'),
        ('yhda_drawn',   'SELECT',                                      'SELECT'),
        ('yhda_talk',    'SELECT',                                      'SELECT, INSERT, UPDATE, DELETE'),
        ('hwtj_tally',   'SELECT',                                      'SELECT, INSERT, UPDATE, DELETE'),
        ('q_ans_tally',  'SELECT',                                      'SELECT, INSERT, UPDATE, DELETE'),
        ('yhdaview',     'SELECT',                                      'SELECT'),
        ('visitlogview', 'SELECT',                                      'SELECT'),
        ('hfjgview',     'SELECT',                                      'SELECT'),
        ('qview',        'SELECT',                                      'SELECT'),
        ('q_ansview',    'SELECT',                                      'SELECT'),
        ('qansbbview',   'SELECT',                                      'SELECT'),
        ('hwtjview2',    'SELECT',                                      'SELECT'),
        ('hwtjsumview',  'SELECT',                                      'SELECT'),
        ('q_anssumview', 'SELECT',                                      'SELECT'),
        -- call-backs: seats book and close them; administrators also reassign, cancel, edit rules
        ('hfyy',         'SELECT, INSERT, UPDATE',                      'SELECT, INSERT, UPDATE, DELETE'),
        ('cbgz',         'SELECT',                                      'SELECT, INSERT, UPDATE, DELETE'),
        ('hjsd',         'SELECT',                                      'SELECT, INSERT, UPDATE, DELETE'),
        -- disposition codes for the response rates: administrators edit them
        ('czfl',         'SELECT',                                      'SELECT, INSERT, UPDATE, DELETE'),
        ('czzview',      'SELECT',                                      'SELECT'),
        -- the release of the schema, read at the login
        ('tv_schema',    'SELECT',                                      'SELECT')
    ) AS rights(tbl, operator, admin) LOOP
        EXECUTE format('REVOKE ALL ON %s FROM tellvane_operator, tellvane_admin', r.tbl);
        IF r.operator <> '' THEN
            EXECUTE format('GRANT %s ON %s TO tellvane_operator', r.operator, r.tbl);
        END IF;
        IF r.admin <> '' THEN
            EXECUTE format('GRANT %s ON %s TO tellvane_admin', r.admin, r.tbl);
        END IF;
    END LOOP;
    -- ids of new rows, lastval()
    EXECUTE 'GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA public TO tellvane_operator, tellvane_admin';
END
$$;
SELECT tv_grant_rights();

-- The detail report replaces its table tmp: administrators create it in the schema and hand it
-- to their group, so that the next administrator may replace it.
GRANT USAGE ON SCHEMA public TO tellvane_operator, tellvane_admin;
GRANT CREATE ON SCHEMA public TO tellvane_admin;

-- ==========================================================================================
-- Who is logged in: the operator whose role the session is (none for the tables' owner).
-- ==========================================================================================
CREATE FUNCTION tv_me() RETURNS citext LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
AS $$ SELECT uname FROM syslogin WHERE rolname = session_user $$;

-- Operators read their own row of syslogin only; administrators every row.
ALTER TABLE syslogin ENABLE ROW LEVEL SECURITY;
CREATE POLICY syslogin_own ON syslogin FOR SELECT TO tellvane_operator USING (rolname = session_user);
CREATE POLICY syslogin_admin ON syslogin TO tellvane_admin USING (true) WITH CHECK (true);

-- An operator reads every customer (the queries do) but changes only the customers the draw may
-- give it: those assigned to it and the unassigned ones. A trigger, not a row policy: under a
-- policy the server may not use an index for a condition on a citext column before the policy's
-- own (its operators are not leakproof), and every draw read the project's customers whole
-- (measured: ten times the server's time per call).
CREATE FUNCTION yhda_seat_guard() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
BEGIN
    IF old.zdslz IS DISTINCT FROM tv_me()
       AND EXISTS (SELECT 1 FROM pg_auth_members m JOIN pg_roles r ON r.oid = m.member
                    WHERE r.rolname = session_user AND m.roleid = 'tellvane_operator'::regrole) THEN
        RAISE EXCEPTION 'permission denied: customer % is assigned to another operator', old.id
            USING ERRCODE = '42501';
    END IF;
    RETURN new;
END
$$;
-- On the columns a seat may set: an ending also gives the kept disposition to the other customers
-- on its number, whoever they are assigned to.
CREATE TRIGGER yhda_seat_guard BEFORE UPDATE OF sljg, jg, bz, slsj, slz, drawkey, hjcs, kcsj ON yhda FOR EACH ROW
WHEN (old.zdslz IS NOT NULL)
EXECUTE FUNCTION yhda_seat_guard();

-- ==========================================================================================
-- The operation log cannot be forged: on a seat's session who and when are the session's,
-- whatever the statement says. Seats may only add rows (see the rights above).
-- ==========================================================================================
CREATE FUNCTION syslog_stamp() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp
AS $$
DECLARE
    u record;
BEGIN
    -- The owner (initdb, the migration, maintenance) writes rows as given.
    IF NOT pg_has_role(session_user, current_user, 'MEMBER') THEN
        SELECT uname, truename INTO u FROM syslogin WHERE rolname = session_user;
        new.uname := coalesce(u.uname, session_user::text);
        new.truename := coalesce(u.truename, '');
        new.dt := jetnow();
    END IF;
    RETURN new;
END
$$;
CREATE TRIGGER syslog_stamp BEFORE INSERT ON syslog FOR EACH ROW EXECUTE FUNCTION syslog_stamp();

-- The kept figures and draw keys are written by the triggers of the rows they count, with the
-- owner's rights: a seat that may change a customer need not (and cannot) write the figures.
ALTER FUNCTION yhda_tally_change() SECURITY DEFINER SET search_path = public, pg_temp;
ALTER FUNCTION q_ans_talk_change() SECURITY DEFINER SET search_path = public, pg_temp;
ALTER FUNCTION yhda_hwtj_change() SECURITY DEFINER SET search_path = public, pg_temp;
ALTER FUNCTION yhda_talk_change() SECURITY DEFINER SET search_path = public, pg_temp;
ALTER FUNCTION q_ans_tally_change() SECURITY DEFINER SET search_path = public, pg_temp;
ALTER FUNCTION yhda_drawkey() SECURITY DEFINER SET search_path = public, pg_temp;
ALTER FUNCTION visitlog_czz() SECURITY DEFINER SET search_path = public, pg_temp;
ALTER FUNCTION yhda_czz() SECURITY DEFINER SET search_path = public, pg_temp;

-- ==========================================================================================
-- Operators' roles, managed by administrators (and by the owner: initdb, the migration).
-- ==========================================================================================
-- Refuses a caller that is neither an administrator nor the owner, and a role that is not a
-- seat's (a superuser, the owner, a role of the site's own).
CREATE FUNCTION tv_seat_role_check(r text) RETURNS void LANGUAGE plpgsql STABLE SECURITY DEFINER
SET search_path = public, pg_temp AS $$
BEGIN
    IF NOT (pg_has_role(session_user, 'tellvane_admin', 'MEMBER') OR pg_has_role(session_user, current_user, 'MEMBER'))
    THEN
        RAISE EXCEPTION 'permission denied to manage operators' USING ERRCODE = '42501';
    END IF;
    IF r IS NULL OR left(r, 3) <> 'tv_' OR r = current_user THEN
        RAISE EXCEPTION 'not an operator''s role: %', r USING ERRCODE = '42501';
    END IF;
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = r AND (rolsuper OR rolcreaterole OR rolcreatedb))
       OR (EXISTS (SELECT 1 FROM pg_roles WHERE rolname = r)
           AND NOT pg_has_role(r, 'tellvane_operator', 'MEMBER') AND NOT pg_has_role(r, 'tellvane_admin', 'MEMBER'))
    THEN
        RAISE EXCEPTION 'not an operator''s role: %', r USING ERRCODE = '42501';
    END IF;
END
$$;

-- Creates or changes the role of an operator: oldname is the role it had (null for a new one),
-- newname the role it gets; verifier a SCRAM verifier made by the program (null keeps the
-- password, '' takes it away: a role without one cannot log in until it is given one).
CREATE FUNCTION tv_seat_role(oldname text, newname text, verifier text, is_admin boolean, can_login boolean)
RETURNS void LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
BEGIN
    PERFORM tv_seat_role_check(newname);
    IF oldname IS NOT NULL AND oldname <> newname AND EXISTS (SELECT 1 FROM pg_roles WHERE rolname = oldname) THEN
        PERFORM tv_seat_role_check(oldname);
        IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = newname) THEN
            -- No other operator of this database has it (syslogin_rolname is unique, and the
            -- renamed row holds the new name already): it is left over from an operator of a
            -- database dropped since, and gives way.
            PERFORM tv_seat_role_check(newname);
            EXECUTE format('DROP ROLE %I', newname);
        END IF;
        EXECUTE format('ALTER ROLE %I RENAME TO %I', oldname, newname);
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = newname) THEN
        EXECUTE format('CREATE ROLE %I NOLOGIN', newname);
    END IF;
    IF verifier = '' THEN
        EXECUTE format('ALTER ROLE %I PASSWORD NULL', newname);
    ELSIF verifier IS NOT NULL THEN
        IF verifier NOT LIKE 'SCRAM-SHA-256$%' THEN
            RAISE EXCEPTION 'a password is given as its SCRAM verifier only';
        END IF;
        EXECUTE format('ALTER ROLE %I PASSWORD %L', newname, verifier);
    END IF;
    EXECUTE format('ALTER ROLE %I %s', newname, CASE WHEN can_login THEN 'LOGIN' ELSE 'NOLOGIN' END);
    -- in one group, out of the other
    IF NOT EXISTS (SELECT 1 FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid JOIN pg_roles r ON r.oid = m.member
                    WHERE r.rolname = newname AND g.rolname = CASE WHEN is_admin THEN 'tellvane_admin' ELSE 'tellvane_operator' END)
    THEN
        EXECUTE format('GRANT %I TO %I', CASE WHEN is_admin THEN 'tellvane_admin' ELSE 'tellvane_operator' END, newname);
    END IF;
    IF EXISTS (SELECT 1 FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid JOIN pg_roles r ON r.oid = m.member
                WHERE r.rolname = newname AND g.rolname = CASE WHEN is_admin THEN 'tellvane_operator' ELSE 'tellvane_admin' END)
    THEN
        EXECUTE format('REVOKE %I FROM %I', CASE WHEN is_admin THEN 'tellvane_operator' ELSE 'tellvane_admin' END, newname);
    END IF;
END
$$;

CREATE FUNCTION tv_seat_role_login(r text, can_login boolean) RETURNS void LANGUAGE plpgsql SECURITY DEFINER
SET search_path = public, pg_temp AS $$
BEGIN
    PERFORM tv_seat_role_check(r);
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = r) THEN
        EXECUTE format('ALTER ROLE %I %s', r, CASE WHEN can_login THEN 'LOGIN' ELSE 'NOLOGIN' END);
    END IF;
END
$$;

CREATE FUNCTION tv_seat_role_drop(r text) RETURNS void LANGUAGE plpgsql SECURITY DEFINER
SET search_path = public, pg_temp AS $$
BEGIN
    PERFORM tv_seat_role_check(r);
    EXECUTE format('DROP ROLE IF EXISTS %I', r);
END
$$;

REVOKE ALL ON FUNCTION tv_seat_role(text, text, text, boolean, boolean), tv_seat_role_login(text, boolean),
    tv_seat_role_drop(text), tv_seat_role_check(text), tv_grant_rights() FROM PUBLIC;
GRANT EXECUTE ON FUNCTION tv_seat_role(text, text, text, boolean, boolean), tv_seat_role_login(text, boolean),
    tv_seat_role_drop(text) TO tellvane_admin;
