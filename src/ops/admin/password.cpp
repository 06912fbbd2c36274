#include "ops/admin/password.h"

#include "db/password.h"
#include "db/roles.h"
#include "db/transaction.h"

#include <QSqlQuery>

namespace ops::admin {

namespace {

// On the server the password is the role's. The old one is the one this session logged in with
// (a disabled operator's session stays open and may still change it); on another session (the
// tables' owner) the server checks it on a session of its own.
bool oldPasswordIs(db::Connection& con, const QString& role, const QString& oldPwd)
{
    if (con.server().user == role)
        return con.server().password == db::rolePassword(oldPwd);
    db::Connection check(con.name() + QStringLiteral(".pwdcheck"));
    db::ServerParams p = con.server();
    p.user = role;
    p.password = db::rolePassword(oldPwd);
    try {
        check.openServer(p);
    } catch (const db::Error& e) {
        if (e.fault() != db::Fault::Login)
            throw;
        return false;
    }
    return true;
}

PasswordChange changeRolePassword(db::Connection& con, const Who& who, const QString& oldPwd, const QString& newPwd)
{
    const QString role = db::roleName(who.uname);
    db::Transaction t(con);
    if (!con.select(QStringLiteral("select id from syslogin where uname=?"), {who.uname}, true).next())
        return PasswordChange::NoSuchUser;
    if (!oldPasswordIs(con, role, oldPwd))
        return PasswordChange::WrongOldPassword;
    // A role's password cannot be a bound value; the verifier is letters, digits and + / = $ :.
    con.execute(QStringLiteral("alter role \"%1\" password '%2'")
                    .arg(QString(role).replace(u'"', QStringLiteral("\"\"")), db::scramVerifier(con, role, newPwd)));
    writeLog(con, who, QStringLiteral("修改个人登录密码!"));
    t.commit();
    if (con.server().user == role)
        con.rememberPassword(db::rolePassword(newPwd));
    return PasswordChange::Changed;
}

} // namespace

PasswordChange changeOwnPassword(db::Connection& con, const Who& who, const QString& oldPwd, const QString& newPwd)
{
    if (con.engine() == db::Engine::PostgreSQL)
        return changeRolePassword(con, who, oldPwd, newPwd);
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
