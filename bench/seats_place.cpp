#include "bench/seats_place.h"

#include "db/dm.h"

#include <cstdio>

namespace bench {

void openPlace(db::Connection& con, const Place& place)
{
    con.open(place.file);
}

PlaceGuard::PlaceGuard(bool server)
{
    m_place.server = server;
    if (server) {
        std::fprintf(stderr, "this build has no server engine\n");
        return;
    }
    m_session = std::make_unique<Session>();
    m_place.file = m_session->file();
    m_ok = m_session->ok();
}

PlaceGuard::~PlaceGuard() = default;

db::Connection& PlaceGuard::connection()
{
    return ADOcon();
}

} // namespace bench
