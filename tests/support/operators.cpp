#include "support/operators.h"

#include "db/password.h"
#include "ops/common/login.h"

#include <QSqlQuery>
#include <atomic>

namespace tst {

bool openAsOperator(const db::Connection& like, db::Connection& seat, const QString& uname, const QString& pwd)
{
    db::ServerParams p = like.server();
    return ops::openAsOperator(seat, p, uname, pwd);
}

bool passwordWorks(db::Connection& con, const QString& uname, const QString& pwd)
{
    if (con.engine() != db::Engine::PostgreSQL) {
        QSqlQuery q = con.select(QStringLiteral("select pwd from syslogin where uname=?"), {uname}, true);
        return q.next() && db::isPasswordHash(q.value(0).toString()) && db::passwordMatches(q.value(0).toString(), pwd);
    }
    static std::atomic<int> serial{0};
    db::Connection seat(QStringLiteral("tst.seat%1").arg(++serial));
    return openAsOperator(con, seat, uname, pwd);
}

} // namespace tst
