#include "ops/reports/visitqueries.h"

#include "db/sqlvalue.h"
#include "db/transaction.h"
#include "db/vocab.h"

#include <QSqlQuery>

namespace ops::reports {
namespace {

// Any of the customer's four numbers, the number bound once for each.
void addPhoneIn(db::Statement& c, const QString& phone)
{
    c.add(QStringLiteral("(dhhm1 =?"), phone);
    c.add(QStringLiteral(" or dhhm2=?"), phone);
    c.add(QStringLiteral(" or dhhm3=?"), phone);
    c.add(QStringLiteral(" or dhhm4=?)"), phone);
}

void addOperator(db::Statement& c, const QueryFilter& f)
{
    if (!f.operatorName.isEmpty())
        c.add(QStringLiteral(" and  slz=?"), f.operatorName);
}

} // namespace

db::Statement resultQuery(const QueryFilter& f, const QString& result)
{
    // With a number to look for, the four number indexes find the records: the project must not
    // lead the search then ("+ywbh" is the same test without its index).
    db::Statement c{(f.phone.isEmpty() ? QStringLiteral(" where  ywbh=") : QStringLiteral(" where  +ywbh=")) +
                        db::num(f.ywbh.value_or(-1)),
                    {}};
    addOperator(c, f);
    if (!f.phone.isEmpty()) {
        c += QStringLiteral(" and  ");
        addPhoneIn(c, f.phone);
    }
    if (!f.text.isEmpty())
        c.add(QStringLiteral(" and  sljg like ?"), db::likeContains(f.text));
    if (result != kAllResults)
        c.add(QStringLiteral(" and jg=?"), db::text(result));
    c += dayCondition(QStringLiteral("slsj"), f.days);
    return QStringLiteral("select * from  yhdaview  ") + c + QStringLiteral(" order by id desc");
}

db::Statement answerQuery(const QueryFilter& f)
{
    // The answers are read newest first straight from their own order ("+ywbh": the project's
    // questions must not lead, which would sort every answer of the project before the first
    // row shows). A number is looked up among the customers first, through their number indexes.
    db::Statement c{QStringLiteral(" where  +ywbh=") + db::num(f.ywbh.value_or(-1)), {}};
    addOperator(c, f);
    if (!f.phone.isEmpty()) {
        c += QStringLiteral(" and  yhid in (select id from yhda where ");
        addPhoneIn(c, f.phone);
        c += QStringLiteral(")");
    }
    if (!f.text.isEmpty())
        c.add(QStringLiteral(" and  ans like ?"), db::likeContains(f.text));
    c += dayCondition(QStringLiteral("slsj"), f.days);
    return QStringLiteral("select * from  hfjgview  ") + c + QStringLiteral(" order by id desc");
}

db::Statement historyQuery(const QueryFilter& f)
{
    db::Statement c{QStringLiteral(" where 1=1"), {}};
    if (f.ywbh)
        c += QStringLiteral(" and ywbh=") + db::num(*f.ywbh);
    addOperator(c, f);
    if (!f.phone.isEmpty())
        c.add(QStringLiteral(" and  dhhm=?"), f.phone);
    if (!f.text.isEmpty())
        c.add(QStringLiteral(" and  sljg like ?"), db::likeContains(f.text));
    c += dayCondition(QStringLiteral("slsj"), f.days);
    return QStringLiteral("select * from visitlogview  ") + c + QStringLiteral(" order by id desc");
}

MarkOutcome markResult(db::Connection& con, const Who& who, qint64 id, const QString& result)
{
    db::Transaction t(con);
    QSqlQuery q = con.select(QStringLiteral("select yhda.sljg,yhda.dhhm1,t_ywbh.ywname from yhda left join t_ywbh on "
                                            "t_ywbh.ywbh=yhda.ywbh where yhda.id=?"),
                             {id}, true);
    if (!q.next())
        return MarkOutcome::NoRecord;
    const QString sljg = q.value(0).toString();
    const QString dhhm1 = db::displayText(q.value(1));
    const QString ywname = q.value(2).toString();
    q = QSqlQuery();
    if (sljg == vocab::kNotHandled)
        return MarkOutcome::NotHandled;
    con.execute(QStringLiteral("update  yhda set jg=? where id=?"), {result, id});
    writeLog(con, who,
             QStringLiteral("修改项目“") + ywname + QStringLiteral("”中电话号码为") + dhhm1 +
                 QStringLiteral("的用户营销结果为") + result);
    t.commit();
    return MarkOutcome::Marked;
}

} // namespace ops::reports
