#include "ops/common/login.h"

#include "db/log.h"
#include "db/password.h"
#include "db/roles.h"
#include "db/transaction.h"
#include "ops/common/log.h"
#include "ops/common/oplog.h"

#include <QSqlQuery>

namespace ops {

bool openAsOperator(db::Connection& con, db::ServerParams where, const QString& name, const QString& password)
{
    // No operator has an empty name or password; and an empty password would let libpq look for
    // one in the seat's own files.
    if (db::rolePassword(name).isEmpty() || db::rolePassword(password).isEmpty())
        return false;
    // A refused login leaves the program's session as it was.
    const bool hadSession = con.isOpen() && con.engine() == db::Engine::PostgreSQL;
    const db::ServerParams before = con.server();
    where.user = db::roleName(name);
    where.password = db::rolePassword(password);
    try {
        con.openServer(where);
    } catch (const db::Error& e) {
        if (e.fault() != db::Fault::Login)
            throw;
        // the server's reason stays in the log; the user is told what any wrong login is told
        db::logFailure(lcOps(), e, QStringLiteral("login refused"));
        if (hadSession) {
            try {
                con.openServer(before);
            } catch (const db::Error& again) {
                db::logFailure(lcOps(), again, QStringLiteral("the session before the login"));
            }
        }
        return false;
    }
    return true;
}

std::optional<LoginFound> logIn(db::Connection& con, const QString& name, const QString& password,
                                const QString& ipaddr)
{
    LoginFound found;
    if (con.engine() == db::Engine::PostgreSQL) {
        // The server has checked the password: the session is the operator's role. The tables'
        // owner (maintenance, tests) is no operator's and may name any.
        QSqlQuery q = con.select(QStringLiteral("select uname, truename, tp from syslogin where zt=0 and uname=? and "
                                                "(rolname=session_user or tv_me() is null)"),
                                 {name}, true);
        if (!q.next())
            return std::nullopt;
        found.uname = q.value(0).toString();
        found.truename = q.value(1).toString();
        found.tp = q.value(2).toString();
    } else {
        // Names compare as the database compares text; the password against its stored hash.
        QSqlQuery q = con.select(QStringLiteral("select uname, truename, tp, pwd from syslogin where zt=0 and uname=?"),
                                 {name}, true);
        bool matches = false;
        while (!matches && q.next())
            matches = db::passwordMatches(q.value(3).toString(), password);
        if (!matches)
            return std::nullopt;
        found.uname = q.value(0).toString();
        found.truename = q.value(1).toString();
        found.tp = q.value(2).toString();
    }
    if (con.isReadOnly())
        throw db::Error(QStringLiteral("attempt to write a readonly database"));
    db::Transaction t(con);
    writeLog(con, Who{found.uname, found.truename, ipaddr}, QStringLiteral("成功登录系统"));
    found.jgts = con.scalar(QStringLiteral("select jgts from [option]")).toInt();
    t.commit();
    return found;
}

} // namespace ops
