#include "ops/reports/visitqueries.h"

#include "db/sqlvalue.h"
#include "db/transaction.h"
#include "db/vocab.h"

#include <QSqlQuery>

namespace ops::reports {
namespace {

QString phoneIn(const QString& phone)
{
    const QString n = db::quoted(phone);
    return QStringLiteral("(dhhm1 =") + n + QStringLiteral(" or dhhm2=") + n + QStringLiteral(" or dhhm3=") + n +
           QStringLiteral(" or dhhm4=") + n + u')';
}

QString operatorPiece(const QueryFilter& f)
{
    return f.operatorName.isEmpty() ? QString() : QStringLiteral(" and  slz=") + db::quoted(f.operatorName);
}

} // namespace

QString resultQuery(const QueryFilter& f, const QString& result)
{
    // With a number to look for, the four number indexes find the records: the project must not
    // lead the search then ("+ywbh" is the same test without its index).
    QString c = (f.phone.isEmpty() ? QStringLiteral(" where  ywbh=") : QStringLiteral(" where  +ywbh=")) +
                db::num(f.ywbh.value_or(-1));
    c += operatorPiece(f);
    if (!f.phone.isEmpty())
        c += QStringLiteral(" and  ") + phoneIn(f.phone);
    if (!f.text.isEmpty())
        c += QStringLiteral(" and  sljg like ") + db::likeContains(f.text);
    if (result != kAllResults)
        c += QStringLiteral(" and jg=") + db::quoted(result);
    c += dayCondition(QStringLiteral("slsj"), f.days);
    return QStringLiteral("select * from  yhdaview  ") + c + QStringLiteral(" order by id desc");
}

QString answerQuery(const QueryFilter& f)
{
    // The answers are read newest first straight from their own order ("+ywbh": the project's
    // questions must not lead, which would sort every answer of the project before the first
    // row shows). A number is looked up among the customers first, through their number indexes.
    QString c = QStringLiteral(" where  +ywbh=") + db::num(f.ywbh.value_or(-1));
    c += operatorPiece(f);
    if (!f.phone.isEmpty())
        c += QStringLiteral(" and  yhid in (select id from yhda where ") + phoneIn(f.phone) + u')';
    if (!f.text.isEmpty())
        c += QStringLiteral(" and  ans like ") + db::likeContains(f.text);
    c += dayCondition(QStringLiteral("slsj"), f.days);
    return QStringLiteral("select * from  hfjgview  ") + c + QStringLiteral(" order by id desc");
}

QString historyQuery(const QueryFilter& f)
{
    QString c = QStringLiteral(" where 1=1");
    if (f.ywbh)
        c += QStringLiteral(" and ywbh=") + db::num(*f.ywbh);
    c += operatorPiece(f);
    if (!f.phone.isEmpty())
        c += QStringLiteral(" and  dhhm=") + db::quoted(f.phone);
    if (!f.text.isEmpty())
        c += QStringLiteral(" and  sljg like ") + db::likeContains(f.text);
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
