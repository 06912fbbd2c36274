#include "ops/design/projects.h"

#include "db/transaction.h"

#include <QSqlQuery>

namespace ops::design {
namespace {

// Whether another project than exceptYwbh (none when < 0) already has this name.
bool nameTaken(db::Connection& con, const QString& name, qint64 exceptYwbh)
{
    if (exceptYwbh < 0)
        return con.select(QStringLiteral("select * from t_ywbh where ywname=?"), {name}, true).next();
    return con.select(QStringLiteral("select * from t_ywbh where ywbh<>? and ywname=?"), {exceptYwbh, name}, true)
        .next();
}

// A text bound as a value: an empty text stays the empty string, never null.
QVariant text(const QString& s)
{
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

} // namespace

const QString& projectListQuery()
{
    static const QString sql =
        QStringLiteral("select ywbh,ywname,zt,ywtips,iif(zt=0, '停用', '启用') as vlname from t_ywbh");
    return sql;
}

const QString& projectChoicesQuery()
{
    static const QString sql = QStringLiteral("select * from t_ywbh   order by ywbh desc");
    return sql;
}

const QString& activeProjectChoicesQuery()
{
    static const QString sql = QStringLiteral("select * from t_ywbh where zt=1 order by ywbh desc");
    return sql;
}

const QString& projectNamesQuery()
{
    static const QString sql = QStringLiteral("select * from t_ywbh order  by ywbh");
    return sql;
}

Outcome addProject(db::Connection& con, const Who& who, const QString& name, const QString& tips, qint64* newId)
{
    db::Transaction t(con);
    if (nameTaken(con, name, -1))
        return Outcome::DuplicateName;
    con.execute(QStringLiteral("insert into t_ywbh(ywname,ywtips) values(?,?)"), {text(name), text(tips)});
    const qint64 id = con.scalar(QStringLiteral("select last_insert_rowid()")).toLongLong();
    writeLog(con, who, QStringLiteral("添加项目:") + name);
    t.commit();
    if (newId)
        *newId = id;
    return Outcome::Done;
}

Outcome changeProject(db::Connection& con, qint64 ywbh, const QString& name, const QString& tips)
{
    db::Transaction t(con);
    if (nameTaken(con, name, ywbh))
        return Outcome::DuplicateName;
    con.execute(QStringLiteral("update t_ywbh set ywname=?,ywtips=? where ywbh=?"), {text(name), text(tips), ywbh});
    t.commit();
    return Outcome::Done;
}

void setProjectState(db::Connection& con, const Who& who, qint64 ywbh, const QString& name, int zt)
{
    const bool start = zt == 1;
    db::Transaction t(con);
    con.execute(QStringLiteral("update t_ywbh set zt=? where ywbh=?"), {start ? 1 : 0, ywbh});
    writeLog(con, who, (start ? QStringLiteral("启用") : QStringLiteral("停用")) + QStringLiteral("项目　:") + name);
    t.commit();
}

bool projectHasCustomers(db::Connection& con, qint64 ywbh)
{
    return con.select(QStringLiteral("select * from yhdaview where ywbh=?"), {ywbh}, true).next();
}

Outcome deleteProject(db::Connection& con, const Who& who, qint64 ywbh, const QString& name)
{
    db::Transaction t(con);
    // Asked again inside the write: customers may have been imported since the window asked.
    if (projectHasCustomers(con, ywbh))
        return Outcome::HasCustomers;
    con.execute(QStringLiteral("delete from t_ywbh where ywbh=?"), {ywbh});
    writeLog(con, who, QStringLiteral("删除项目:") + name);
    t.commit();
    return Outcome::Done;
}

} // namespace ops::design
