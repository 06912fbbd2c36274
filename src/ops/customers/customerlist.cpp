#include "ops/customers/customerlist.h"

#include "db/sqlvalue.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace ops::customers {

CustomerList CustomerList::everyRecord()
{
    CustomerList l;
    // yhdaview is the live records (del=0) with their project's name, one row per record.
    l.m_rows.sql = QStringLiteral(" where del=0");
    l.m_order = QStringLiteral(" order by pc desc,xh,id");
    l.m_reverse = QStringLiteral(" order by pc,xh desc,id desc");
    l.m_tally.sql = QStringLiteral(" where 1=1");
    return l;
}

CustomerList CustomerList::search(const Filter& filter)
{
    CustomerList l;
    l.m_where = searchCondition(filter);
    // Every piece names a column of yhda and the condition requires del=0 itself.
    l.m_rows = l.m_where;
    // A project, or a project and a state, is what the kept counts are counted by (the empty
    // state is not: it shares its count with records that have none).
    const bool byState = filter.state != kAllStates;
    if (filter.phone.isEmpty() && filter.assignee.isEmpty() && !filter.imported.on && !filter.xhFrom && !filter.xhTo &&
        !(byState && filter.state.isEmpty())) {
        l.m_tally.sql = QStringLiteral(" where ywbh=") + db::num(filter.ywbh);
        if (byState)
            l.m_tally.add(QStringLiteral(" and sljg=?"), db::text(filter.state));
    }
    return l;
}

db::Statement CustomerList::statement() const
{
    if (m_where.sql.isEmpty())
        return {QStringLiteral("select * from yhdaview") + m_order, {}};
    return QStringLiteral("select * from  yhdaview  ") + m_where + m_order;
}

db::Statement CustomerList::lastRowStatement(const QString& columns) const
{
    // Without an order of its own the list is one project's records: any row names the project.
    return QStringLiteral("select top 1 ") + columns + QStringLiteral(" from yhdaview") + m_where + m_reverse;
}

db::Statement searchCondition(const Filter& f)
{
    // With a number to look for, the four number indexes find the records: the project must not
    // lead the search then ("+ywbh" is the same test without its index).
    const QString project = (f.phone.isEmpty() ? QStringLiteral("ywbh=") : QStringLiteral("+ywbh=")) + db::num(f.ywbh);
    db::Statement c;
    if (f.state == kAllStates)
        c.sql = QStringLiteral(" where  del=0 and ") + project;
    else
        c.add(QStringLiteral(" where del=0 and sljg=?"), db::text(f.state)) += QStringLiteral(" and  ") + project;
    if (!f.phone.isEmpty()) {
        c.add(QStringLiteral(" and  (dhhm1=?"), f.phone);
        c.add(QStringLiteral(" or dhhm2=?"), f.phone);
        c.add(QStringLiteral(" or dhhm3=?"), f.phone);
        c.add(QStringLiteral(" or dhhm4=?)"), f.phone);
    }
    if (!f.assignee.isEmpty())
        c.add(QStringLiteral(" and zdslzxm=?"), f.assignee);
    c += dayCondition(QStringLiteral("drsj"), f.imported);
    if (f.xhFrom)
        c += QStringLiteral(" and xh>=") + db::num(*f.xhFrom);
    if (f.xhTo)
        c += QStringLiteral(" and xh<=") + db::num(*f.xhTo);
    return c;
}

qint64 count(db::Connection& con, const CustomerList& list)
{
    // The database keeps the number of live records by project, state and assignee (yhda_tally,
    // changed by triggers in the same transaction as the records): a whole project or state is
    // read from there instead of counting up to a million records.
    if (!list.m_tally.sql.isEmpty())
        return con.scalar(QStringLiteral("select coalesce(sum(n),0) from yhda_tally") + list.m_tally).toLongLong();
    // Otherwise on yhda itself: the view's join to the projects adds no rows, only work for every one.
    return con.scalar(QStringLiteral("select count(*) from yhda") + list.rowsCondition()).toLongLong();
}

QStringList handlingStates(db::Connection& con)
{
    // The distinct states one index seek each, instead of reading every record: the next state
    // is the smallest one above the last.
    QSqlQuery q = con.select(QStringLiteral("with recursive s(v) as (select min(sljg) from yhda union all "
                                            "select (select min(sljg) from yhda where sljg>s.v) from s "
                                            "where s.v is not null) select v from s where v is not null"),
                             true);
    QStringList states;
    while (q.next())
        states << q.value(0).toString();
    return states;
}

QList<Operator> assignableOperators(db::Connection& con)
{
    QSqlQuery q = con.select(QStringLiteral("select * from syslogin where sysadmin=0 and  zt=0 order by id"), true);
    const int uname = q.record().indexOf(QStringLiteral("uname"));
    const int truename = q.record().indexOf(QStringLiteral("truename"));
    QList<Operator> ops;
    while (q.next())
        ops.append({q.value(uname).toString(), q.value(truename).toString()});
    return ops;
}

} // namespace ops::customers
