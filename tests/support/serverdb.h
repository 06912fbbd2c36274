#pragma once

#include "db/connection.h"

#include <QString>

namespace tst {

// Tests run on the engine TV_TEST_ENGINE names: "postgresql" runs them on the server the libpq
// variables (PGHOST, PGPORT, PGUSER) point at; anything else on the file. A test program asked
// for the server when none is set ends at once with ctest's skip code (77).
bool onServer();

// A fresh server database for one test, copied from the template database (tv_template, laid
// by the test command; laid here when it is missing) and dropped again at the end.
// A trigger that makes the database refuse a row change, as a failing disk would: event as in
// "before insert on yhda", cond on old./new. columns. Runs on either engine.
void addRefusal(db::Connection& con, const QString& name, const QString& event, const QString& cond,
                const QString& message);

// Makes the database refuse the COMMIT of every transaction that changed table, at the commit
// itself (the statements before it succeed), until lifted or destroyed: on the file a commit hook
// that refuses (it turns the commit into a rollback), on the server a constraint trigger deferred
// to the commit.
class CommitRefusal
{
public:
    CommitRefusal(db::Connection& con, const QString& table);
    ~CommitRefusal();
    CommitRefusal(const CommitRefusal&) = delete;
    CommitRefusal& operator=(const CommitRefusal&) = delete;
    void lift();

private:
    db::Connection& m_con;
    QString m_table;
    bool m_active = true;
};

// Stops the test server (scripts/pgcluster.sh's cluster, where PGHOST points), as an outage or
// a restart would, and starts it again with the same settings. False when it cannot.
bool stopServer();
bool startServer();

class ServerDb
{
public:
    ServerDb();
    ~ServerDb();
    ServerDb(const ServerDb&) = delete;
    ServerDb& operator=(const ServerDb&) = delete;
    bool ok() const { return m_ok; }
    db::ServerParams params() const;

    // A connection to the server's maintenance database (postgres), e.g. to end another
    // session with pg_terminate_backend.
    static db::Connection& admin();

private:
    QString m_name;
    bool m_ok = false;
};

} // namespace tst
