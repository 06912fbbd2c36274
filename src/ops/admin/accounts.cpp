#include "ops/admin/accounts.h"

#include "db/password.h"
#include "db/roles.h"

#include "db/sqlvalue.h"
#include "db/transaction.h"

#include <QSqlQuery>

namespace ops::admin {
namespace {

struct Row
{
    QString uname;
    QString truename;
    QString tp;
    int zt = 0;
    int sysadmin = 0;
};

bool readRow(db::Connection& con, qint64 id, Row* row)
{
    QSqlQuery q =
        con.select(QStringLiteral("select uname,truename,tp,zt,sysadmin from syslogin where id=?"), {id}, true);
    if (!q.next())
        return false;
    *row = Row{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toInt(),
               q.value(4).toInt()};
    return true;
}

// A text bound as a value: an empty text stays the empty string, never null.
QVariant text(const QString& s)
{
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

// The type as stored: one of the two words, or the empty text.
QString storedType(const QString& tp)
{
    return tp == vocab::kAdmin || tp == vocab::kOperator ? tp : QStringLiteral("");
}

bool isAdministrator(const QString& tp)
{
    return tp == vocab::kAdmin;
}

// Enabled administrators other than the rows the condition names.
qint64 otherAdministrators(db::Connection& con, const QString& exclude, const QVariantList& values)
{
    QVariantList v{vocab::kAdmin};
    v << values;
    return con.scalar(QStringLiteral("select count(*) from syslogin where zt=0 and tp=? and not (") + exclude + u')', v)
        .toLongLong();
}

QString nameForLog(const QString& uname, const QString& truename)
{
    return uname + u'(' + truename + u')';
}

bool onServer(const db::Connection& con)
{
    return con.engine() == db::Engine::PostgreSQL;
}

// On the server the operator is a role (db/roles.h): created, renamed, given a password, a group
// and the right to log in, in the caller's transaction. oldUname: the name it had (empty: new);
// pwd kKeepPassword keeps the password.
void putRole(db::Connection& con, const QString& oldUname, const Account& a, bool canLogin)
{
    const QString role = db::roleName(a.uname);
    const QVariant verifier = a.pwd == kKeepPassword ? QVariant() : QVariant(db::scramVerifier(con, role, a.pwd));
    con.scalar(QStringLiteral("select tv_seat_role(?, ?, ?, ?, ?)"),
               {oldUname.isEmpty() ? QVariant() : QVariant(db::roleName(oldUname)), role, verifier,
                isAdministrator(storedType(a.tp)), canLogin});
}

} // namespace

bool loginNameTaken(db::Connection& con, const QString& uname, qint64 exceptId)
{
    // syslogin.uname compares without regard to letter case, as the login does.
    if (exceptId < 0)
        return con.select(QStringLiteral("select * from syslogin where uname=?"), {uname}, true).next();
    return con.select(QStringLiteral("select * from  syslogin where id<>? and uname=?"), {exceptId, uname}, true)
        .next();
}

bool isLastAdministrator(db::Connection& con, qint64 id)
{
    Row r;
    if (!readRow(con, id, &r) || r.zt != 0 || !isAdministrator(r.tp))
        return false;
    return otherAdministrators(con, QStringLiteral("id=?"), {id}) == 0;
}

Outcome addAccount(db::Connection& con, const Who& who, const Account& a, qint64* newId)
{
    db::Transaction t(con);
    if (loginNameTaken(con, a.uname))
        return Outcome::DuplicateName;
    const QString tp = storedType(a.tp);
    if (onServer(con)) {
        con.execute(QStringLiteral("insert into syslogin(tp,uname,truename,rolname,zt) values(?,?,?,?,0)"),
                    {tp, text(a.uname), text(a.truename), db::roleName(a.uname)});
        putRole(con, QString(), a, true);
    } else {
        con.execute(QStringLiteral("insert into syslogin(tp,uname,truename,pwd,zt) values(?,?,?,?,0)"),
                    {tp, text(a.uname), text(a.truename), db::passwordHash(a.pwd)});
    }
    const qint64 id = con.scalar(QStringLiteral("select last_insert_rowid()")).toLongLong();
    writeLog(con, who, QStringLiteral("添加操作人员:") + nameForLog(a.uname, a.truename));
    t.commit();
    if (newId)
        *newId = id;
    return Outcome::Done;
}

Outcome changeAccount(db::Connection& con, const Who& who, qint64 id, const Account& a)
{
    db::Transaction t(con);
    Row r;
    if (!readRow(con, id, &r))
        return Outcome::NotFound;
    if (loginNameTaken(con, a.uname, id))
        return Outcome::DuplicateName;
    const QString tp = storedType(a.tp);
    if (!isAdministrator(tp) && isLastAdministrator(con, id))
        return Outcome::LastAdministrator;
    if (onServer(con)) {
        con.execute(QStringLiteral("update syslogin set tp=?,uname=?,truename=?,rolname=? where id=?"),
                    {tp, text(a.uname), text(a.truename), db::roleName(a.uname), id});
        putRole(con, r.uname, a, r.zt == 0);
    } else if (a.pwd == kKeepPassword)
        con.execute(QStringLiteral("update syslogin set tp=?,uname=?,truename=? where id=?"),
                    {tp, text(a.uname), text(a.truename), id});
    else
        con.execute(QStringLiteral("update syslogin set pwd=?,tp=?,uname=?,truename=? where id=?"),
                    {db::passwordHash(a.pwd), tp, text(a.uname), text(a.truename), id});
    writeLog(con, who, QStringLiteral("修改操作人员:") + nameForLog(a.uname, a.truename));
    t.commit();
    return Outcome::Done;
}

Outcome setAccountState(db::Connection& con, const Who& who, const QString& uname, int zt)
{
    db::Transaction t(con);
    // Disabling every row of this name must leave some other enabled administrator.
    if (zt != 0) {
        const qint64 admins =
            con.scalar(QStringLiteral("select count(*) from syslogin where zt=0 and tp=? and uname=?"),
                       {vocab::kAdmin, uname})
                .toLongLong();
        if (admins > 0 && otherAdministrators(con, QStringLiteral("uname=?"), {uname}) == 0)
            return Outcome::LastAdministrator;
    }
    con.execute(QStringLiteral("update  syslogin set zt=") + db::num(zt != 0 ? 1 : 0) +
                    QStringLiteral(" where uname=?"),
                {uname});
    if (onServer(con))
        con.scalar(QStringLiteral("select tv_seat_role_login(?, ?)"), {db::roleName(uname), zt == 0});
    writeLog(con, who, (zt != 0 ? QStringLiteral("停用操作人员:") : QStringLiteral("启用操作人员:")) + uname);
    t.commit();
    return Outcome::Done;
}

Outcome deleteAccount(db::Connection& con, const Who& who, qint64 id)
{
    db::Transaction t(con);
    Row r;
    if (!readRow(con, id, &r))
        return Outcome::NotFound;
    if (r.sysadmin == 1)
        return Outcome::BuiltIn;
    if (isLastAdministrator(con, id))
        return Outcome::LastAdministrator;
    con.execute(QStringLiteral("delete from syslogin where id=?"), {id});
    if (onServer(con))
        con.scalar(QStringLiteral("select tv_seat_role_drop(?)"), {db::roleName(r.uname)});
    writeLog(con, who, QStringLiteral("删除操作人员:") + nameForLog(r.uname, r.truename));
    t.commit();
    return Outcome::Done;
}

db::Statement accountListQuery(const QString& uname, const QString& truename)
{
    db::Statement filter{QStringLiteral(" where 1=1"), {}};
    if (!uname.isEmpty())
        filter.add(QStringLiteral(" and uname=?"), uname);
    if (!truename.isEmpty())
        filter.add(QStringLiteral(" and truename=?"), truename);
    // Every column but the password's hash, which no window reads.
    return QStringLiteral(
               "select id,uname,truename,tp,zt,sysadmin,iif(zt=0, '启用' , '停用' ) as flagname from  syslogin ") +
           filter + QStringLiteral(" ");
}

} // namespace ops::admin
