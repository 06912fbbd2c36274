#include "ops/design/options.h"

#include "db/sqlvalue.h"
#include "db/transaction.h"

#include <QSqlQuery>

namespace ops::design {

QString optionListQuery(qint64 qid)
{
    return QStringLiteral("select * from q_sel where qid=") + db::num(qid) + QStringLiteral(" order by aid");
}

qint64 proposedJump(db::Connection& con, qint64 qid)
{
    QSqlQuery own = con.select(QStringLiteral("select * from q_table where qid=?"), {qid}, true);
    if (!own.next())
        return 0;
    const qint64 qbh = own.value(QStringLiteral("qbh")).toLongLong();
    own.finish();
    QSqlQuery next = con.select(QStringLiteral("select * from q_table where qbh>? order by qbh"), {qbh}, true);
    return next.next() ? next.value(QStringLiteral("qbh")).toLongLong() : 0;
}

qint64 addOption(db::Connection& con, qint64 qid, const QString& sel, int gotoq)
{
    // One statement, not logged: no transaction of its own (a caller's may hold it).
    con.execute(QStringLiteral("insert into q_sel(qid,sel,gotoq) values(?,?,?)"), {qid, sel, gotoq});
    return con.scalar(QStringLiteral("select last_insert_rowid()")).toLongLong();
}

void changeOption(db::Connection& con, qint64 aid, const QString& sel, int gotoq)
{
    con.execute(QStringLiteral("update q_sel set sel=?,gotoq=? where aid=?"), {sel, gotoq, aid});
}

void deleteOption(db::Connection& con, const Who& who, qint64 aid, const QString& sel)
{
    db::Transaction t(con);
    con.execute(QStringLiteral("delete from q_sel where aid=?"), {aid});
    writeLog(con, who, QStringLiteral("删除选项：") + sel);
    t.commit();
}

} // namespace ops::design
