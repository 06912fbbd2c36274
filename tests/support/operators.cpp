#include "support/operators.h"

#include "db/password.h"
#include "db/roles.h"
#include "db/vocab.h"
#include "ops/common/login.h"

#include <QSqlQuery>
#include <QThread>
#include <atomic>

namespace tst {

qint64 addOperatorRow(db::Connection& con, const QString& uname, const QString& truename, const QString& pwd,
                      const QString& tp, int zt)
{
    if (con.engine() != db::Engine::PostgreSQL) {
        con.execute(QStringLiteral("insert into syslogin(uname,truename,pwd,tp,zt) values(?,?,?,?,?)"),
                    {uname, truename, db::passwordHash(pwd), tp, zt});
        return con.scalar(QStringLiteral("select max(id) from syslogin")).toLongLong();
    }
    const QString role = db::roleName(uname);
    con.execute(QStringLiteral("insert into syslogin(uname,truename,rolname,tp,zt) values(?,?,?,?,?)"),
                {uname, truename, role, tp, zt});
    // Roles belong to the whole test server: another test may be making the same one right now.
    for (int attempt = 0;; ++attempt) {
        try {
            con.scalar(QStringLiteral("select tv_seat_role(null, ?, ?, ?, ?)"),
                       {role, db::scramVerifier(con, role, pwd), tp == vocab::kAdmin, zt == 0});
            break;
        } catch (const db::Error&) {
            if (attempt >= 5)
                throw;
            QThread::msleep(50);
        }
    }
    return con.scalar(QStringLiteral("select max(id) from syslogin")).toLongLong();
}

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
