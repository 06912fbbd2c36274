#include "ops/admin/password.h"

#include "db/password.h"
#include "db/transaction.h"

#include <QSqlQuery>

namespace ops::admin {

PasswordChange changeOwnPassword(db::Connection& con, const Who& who, const QString& oldPwd, const QString& newPwd)
{
    db::Transaction t(con);
    QSqlQuery q = con.select(QStringLiteral("select id,pwd from  syslogin where uname=?"), {who.uname}, true);
    if (!q.next())
        return PasswordChange::NoSuchUser;
    const qint64 id = q.value(0).toLongLong();
    const bool matches = db::passwordMatches(q.value(1).toString(), oldPwd);
    q.finish();
    if (!matches)
        return PasswordChange::WrongOldPassword;
    con.execute(QStringLiteral("update syslogin set pwd=? where id=?"), {db::passwordHash(newPwd), id});
    writeLog(con, who, QStringLiteral("修改个人登录密码!"));
    t.commit();
    return PasswordChange::Changed;
}

} // namespace ops::admin
