#include "ops/reports/stats.h"

#include "db/transaction.h"
#include "db/upgrade.h"

namespace ops::reports {
namespace {

// The statement counts rows (count(*), 1 per row) or adds up kept groups (sum(n), n per group).
struct Counting
{
    QString count;
    QString one;
};

Counting counting(Source s)
{
    return s == Source::Rows ? Counting{QStringLiteral("count(*)"), QStringLiteral("1")}
                             : Counting{QStringLiteral("sum(n)"), QStringLiteral("n")};
}

db::Statement resultStats(const QString& view, const db::Statement& cond, Source s)
{
    const Counting c = counting(s);
    const QString one = c.one;
    return QStringLiteral(
               "SELECT ywname, ywbh, slz,%1 as totnum, SUM(iif(sljg ='已受理' , %2 , 0 )) AS jtgs, \n"
               " SUM(iif(sljg ='关机' , %2 , 0 )) AS gjgs,\n"
               " SUM(iif(sljg ='停机' , %2 , 0 )) AS tjgs, \n"
               " SUM(iif(sljg ='下次联系' , %2 , 0 )) AS xcgs,SUM(iif(sljg ='无效数据' , %2 , 0 )) AS wxgs,  \n"
               "  SUM(iif(sljg ='拒访' , %2 , 0 )) AS jfgs,\n"
               " SUM(iif(sljg ='无应答' , %2 , 0 )) AS wydgs,\n"
               " SUM(iif(jg='成功' , %2 , 0 )) AS cggs, \n"
               " round(SUM(tottime)/3600.0,2) AS tott, \n"
               " str(round((SUM(iif(jg='成功' , %2 , 0 ))* 100.0/(iif(sum(iif(sljg ='已受理' , %2 , 0 ))>0 "
               ",SUM(iif(sljg ='已受理' , %2 , 0 )),100000))),2)) + '%' AS cgl \n"
               "  FROM  %3  ")
               .arg(c.count, one, view) +
           cond + QStringLiteral("  GROUP BY ywbh, ywname, slz");
}

} // namespace

db::Statement resultStatsSql(const Filter& f, Source source)
{
    return resultStats(source == Source::Rows ? QStringLiteral("hwtjview2") : QStringLiteral("hwtjsumview"),
                       condition(f), source);
}

QString resultStatsEmptySql()
{
    return resultStats(QStringLiteral("hwtjview2"), {QStringLiteral("where 1=2"), {}}, Source::Rows).sql;
}

db::Statement answerStatsSql(const Filter& f, Source source)
{
    const bool rows = source == Source::Rows;
    return QStringLiteral(" SELECT ywbh, ywname, slz, qnr, ans, %1 AS num  FROM %2  ")
               .arg(rows ? QStringLiteral("COUNT(*)") : QStringLiteral("SUM(n)"),
                    rows ? QStringLiteral("q_ansview") : QStringLiteral("q_anssumview")) +
           condition(f) + QStringLiteral("  GROUP BY ywbh, ywname, slz, qnr, ans");
}

QString answerStatsEmptySql()
{
    return QStringLiteral("select ywbh,ywname,slz,qnr,ans,count(*) as num from q_ansview   where 1=2 \n"
                          "group by ywbh,ywname,slz,qnr,ans");
}

void rebuildFigures(db::Connection& con)
{
    db::Transaction t(con);
    // The talk times first: the group table adds them up. Then each customer's deciding ending.
    for (const char* table : {"yhda_talk", "hwtj_tally", "q_ans_tally", "yhda.czz"})
        for (const QString& st : db::fillStatements(QLatin1String(table)))
            con.execute(st);
    t.commit();
}

} // namespace ops::reports
