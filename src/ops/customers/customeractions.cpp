#include "ops/customers/customeractions.h"

#include "db/sqlvalue.h"
#include "db/transaction.h"

namespace ops::customers {
namespace {

// The soft delete: flag, time and who ("full name(login name)"). The database's time is read once:
// the records of one action share its stamp, and a list of 100,000 does not format it 100,000 times.
db::Statement softDelete(db::Connection& con, const Who& who)
{
    return {QStringLiteral("update  yhda set del=1,deltime=?,deler=?"),
            {con.scalar(QStringLiteral("select now()")).toString(), who.truename + u'(' + who.uname + u')'}};
}

} // namespace

bool softDeleteOne(db::Connection& con, const Who& who, qint64 id, const QString& ywname)
{
    db::Transaction t(con);
    const int n =
        con.execute(softDelete(con, who) + (QStringLiteral(" where id=") + db::num(id) + QStringLiteral(" and del=0")));
    if (n == 0)
        return false;
    writeLog(con, who, QStringLiteral("删除项目:") + ywname + QStringLiteral("的1条用户数据"));
    t.commit();
    return true;
}

qint64 softDeleteAll(db::Connection& con, const Who& who, const CustomerList& list)
{
    db::Transaction t(con);
    // The log names the project of the list's last row.
    const QString ywname = con.scalar(list.lastRowStatement(QStringLiteral("ywname"))).toString();
    // One statement for the whole list: the records the list's condition selects.
    db::Statement update = softDelete(con, who);
    const qint64 n = con.execute(update += list.rowsCondition());
    writeLog(con, who,
             QStringLiteral("删除项目:") + ywname + QStringLiteral("的") + db::num(n) + QStringLiteral("条用户数据"));
    t.commit();
    return n;
}

qint64 assign(db::Connection& con, const Who& who, const CustomerList& list, const Operator& to)
{
    db::Transaction t(con);
    db::Statement update{QStringLiteral("update yhda set zdslz=?,zdslzxm=?"), {to.uname, to.truename}};
    const qint64 n = con.execute(update += list.rowsCondition());
    writeLog(con, who, QStringLiteral("为") + db::num(n) + QStringLiteral("条用户数据指定受理人") + to.truename);
    t.commit();
    return n;
}

qint64 clearAssignment(db::Connection& con, const Who& who, const CustomerList& list)
{
    db::Transaction t(con);
    const qint64 n = con.execute(QStringLiteral("update yhda set zdslz=null,zdslzxm=null") + list.rowsCondition());
    writeLog(con, who, QStringLiteral("为") + db::num(n) + QStringLiteral("条用户数据取消指定受理人"));
    t.commit();
    return n;
}

} // namespace ops::customers
