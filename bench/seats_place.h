#pragma once

#include "bench/session.h"

#include "db/connection.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace bench {

// Where the seats' database is: a file, or a database on a server.
struct Place
{
    bool server = false;
    QString file;
    db::ServerParams params;
};

// Opens one more connection to the place, as another seat's program would.
void openPlace(db::Connection& con, const Place& place);

// Runs insert - one statement writing a fresh project's customers into yhda - on the server with
// the table's own triggers off, then fills what those triggers keep (the counts by state and
// assignee, the handled figures) with one grouped statement each, in the same transaction, and
// refreshes the planner's statistics. Row by row through the triggers a million customers take
// longer than a quarter of an hour: each one raises the same few count rows again. The insert
// must give every row its draw key itself, as the key trigger gives one in a group never drawn
// from: -ln(U), U uniform in (0,1].
void loadWithoutTriggers(db::Connection& con, int ywbh, const QString& insert);

// A fresh database for the seats benchmark with one connection open on it. On the server: the
// server named by the libpq environment (PGHOST, PGSERVICE), or else a throwaway cluster started
// the way the tests start one and stopped at the end; a database of its own on it, dropped at
// the end.
class PlaceGuard
{
public:
    explicit PlaceGuard(bool server);
    ~PlaceGuard();
    PlaceGuard(const PlaceGuard&) = delete;
    PlaceGuard& operator=(const PlaceGuard&) = delete;

    bool ok() const { return m_ok; }
    const Place& place() const { return m_place; }
    db::Connection& connection();
    // What the server is and how it writes, for the figures.
    QString serverInfo();

private:
    bool startServer();
    Place m_place;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<db::Connection> m_con;
    std::unique_ptr<QTemporaryDir> m_cluster;
    bool m_ok = false;
};

} // namespace bench
