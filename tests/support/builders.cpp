#include "support/builders.h"

namespace tst {

qint64 lastId(db::Connection& con)
{
    return con.scalar(QStringLiteral("select last_insert_rowid()")).toLongLong();
}

qint64 addProject(db::Connection& con, const QString& name, const QString& tips, int zt)
{
    con.execute(QStringLiteral("insert into t_ywbh(ywname,ywtips,zt) values(?,?,?)"), {name, tips, zt});
    return lastId(con);
}

qint64 addQuestion(db::Connection& con, qint64 ywbh, int qbh, const QString& qnr)
{
    con.execute(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(?,?,?)"), {ywbh, qbh, qnr});
    return lastId(con);
}

qint64 addOption(db::Connection& con, qint64 qid, const QString& sel, const QVariant& gotoq)
{
    con.execute(QStringLiteral("insert into q_sel(qid,sel,gotoq) values(?,?,?)"), {qid, sel, gotoq});
    return lastId(con);
}

} // namespace tst
