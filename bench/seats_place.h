#pragma once

#include "bench/session.h"

#include "db/connection.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace bench {

// Where the seats' database is: a file, or a database on a server (libpq's defaults).
struct Place
{
    bool server = false;
    QString file;
};

// Opens one more connection to the place, as another seat's program would.
void openPlace(db::Connection& con, const Place& place);

// A fresh database for the seats benchmark, the program's one connection open on it. On the
// server: the server named by the libpq environment (PGHOST ...), or else a throwaway cluster
// started the way the tests start it and stopped at the end; a database of its own on it,
// dropped at the end.
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

private:
    Place m_place;
    std::unique_ptr<Session> m_session;
    bool m_ok = false;
};

} // namespace bench
