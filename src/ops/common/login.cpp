#include "ops/common/login.h"

#include "db/password.h"
#include "db/transaction.h"
#include "ops/common/oplog.h"

#include <QSqlQuery>

namespace ops {

std::optional<LoginFound> logIn(db::Connection& con, const QString& name, const QString& password,
                                const QString& ipaddr)
{
    LoginFound found;
    {
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
