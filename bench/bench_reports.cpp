// tellvane-bench reports [STAT_CUSTOMERS] [REPORT_CUSTOMERS]: the statistics windows on a
// project of a million handled customers (about five million answers) and the detail report
// on 100,000 customers x 20 questions, against counting row by row and against the report's
// first fill (one look-up per customer and question, one row update per answer); the response
// rates of the first project with three million history rows, against final dispositions worked
// out customer by customer.
#include "bench/benches.h"
#include "bench/measure.h"
#include "bench/session.h"

#include "core/dbgrid.h"
#include "core/msg.h"
#include "core/pub.h"
#include "db/dm.h"
#include "db/schema.h"
#include "db/sqlvalue.h"
#include "db/transaction.h"
#include "ops/reports/detail.h"
#include "ops/reports/dispositions.h"
#include "ops/reports/stats.h"
#include "reports/hwtj2.h"
#include "reports/qansbb.h"
#include "reports/xmtj.h"
#include "reports/xyl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QPushButton>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {
namespace {

double bestMs(int runs, const std::function<void()>& fn)
{
    double best = 1e18;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, msOf(fn));
    return best;
}

// Loading millions of rows goes around the indexes and the triggers that keep the statistics'
// figures; afterwards the figures are rebuilt from the rows and everything is put back.
class Bulk
{
public:
    Bulk()
    {
        QSqlQuery q = ADOcon().select(QStringLiteral(
            "select type, name, sql from sqlite_master where sql is not null and ("
            " (type='index' and tbl_name in ('yhda','q_ans','visitlog')) or"
            " (type='trigger' and (tbl_name in ('q_ans','yhda_talk') or name like 'yhda_hwtj_%'"
            "  or name in ('visitlog_czz','yhda_czz_insert','yhda_czz_update'))))"));
        while (q.next())
            m_saved.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString()});
        q.finish();
        for (const auto& s : m_saved)
            ADOcon().execute(QStringLiteral("drop ") + s[0] + u' ' + s[1]);
    }
    void finish()
    {
        // The indexes first: the rebuild joins the customers to their history by number.
        for (const auto& s : m_saved)
            if (s[0] == QLatin1String("index"))
                ADOcon().execute(s[2]);
        ops::reports::rebuildFigures(ADOcon());
        for (const auto& s : m_saved)
            if (s[0] != QLatin1String("index"))
                ADOcon().execute(s[2]);
    }

private:
    std::vector<std::array<QString, 3>> m_saved;
};

// A project of `customers` customers and `questions` questions, 20 operators. Each handled
// customer answers `perCustomer` questions in a row from a random one on, over one or two calls
// (tottime counts up within a call), and one in twenty gives one question a second answer.
qint64 makeProject(const QString& name, int customers, int questions, int perCustomer, int handledPercent)
{
    ADOcon().execute(QStringLiteral("insert into t_ywbh(ywname) values(?)"), {name});
    const qint64 p = ADOcon().scalar(QStringLiteral("select max(ywbh) from t_ywbh")).toLongLong();
    const qint64 firstQid = ADOcon().scalar(QStringLiteral("select ifnull(max(qid),0)+1 from q_table")).toLongLong();
    db::Transaction t(ADOcon());
    for (int q = 1; q <= questions; ++q)
        ADOcon().execute(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(?,?,?)"),
                         {p, q, QStringLiteral("第%1题：您对我们的服务是否满意？").arg(q)});
    ADOcon().execute(
        QStringLiteral(
            "with recursive c(i) as (select 0 union all select i+1 from c where i<?-1) "
            "insert into yhda(ywbh,pc,xh,yhxm,dq,dhhm1,drz,sljg,jg,slsj,slz) "
            "select ?,1,i+1,'客户'||i,'区域'||(i%20),'13'||printf('%09d',i),'导入员', "
            " case when abs(random())%100 >= ? then '未受理' else "
            "  case abs(random())%20 when 0 then '关机' when 1 then '停机' when 2 then '无应答' "
            "  when 3 then '拒访' when 4 then '下次联系' when 5 then '无效数据' else '已受理' end end, "
            " null, null, '' from c"),
        {customers, p, handledPercent});
    // Handled ones: a time over 90 days, an operator, a result for completed ones.
    ADOcon().execute(QStringLiteral(
                         "update yhda set slsj=datetime('2026-01-01','+'||(abs(random())%7776000)||' seconds'), "
                         "slz='话务员'||printf('%02d',abs(random())%20), "
                         "jg=case when sljg='已受理' then (case abs(random())%3 when 0 then '成功' when 1 then '不成功' "
                         "else '' end) else null end where ywbh=? and sljg<>'未受理'"),
                     {p});
    ADOcon().execute(
        QStringLiteral(
            "with recursive k(n) as (select 0 union all select n+1 from k where n<?-1) "
            "insert into q_ans(qid,dhhm,yhid,ans,slz,tottime,dt) "
            "select ?+((y.s+k.n)%?), y.dhhm1, y.id, "
            " case (y.id+k.n)%5 when 0 then '非常满意' when 1 then '满意' when 2 then '一般' "
            "  when 3 then '不满意' else '说不清楚' end, y.slz, "
            " case when k.n < ? then 15+k.n*20 else 5+(k.n-?)*25 end, y.slsj "
            "from (select id, dhhm1, slz, slsj, abs(random())%? as s from yhda where ywbh=? and sljg<>'未受理') y, k"),
        {perCustomer, firstQid, questions, perCustomer / 2 + 1, perCustomer / 2 + 1, questions, p});
    // Repeated answers: an outcome row for one question of every twentieth customer.
    ADOcon().execute(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime,dt) "
                                    "select ?+(id%?), dhhm1, id, '下次联系', slz, 9, slsj from yhda "
                                    "where ywbh=? and sljg<>'未受理' and id%20=0"),
                     {firstQid, questions, p});
    t.commit();
    return p;
}

// The history of a project: nine customers in ten were called three or four times (about
// 3.3 endings each, all the words, 20 operators); one in fifty has a booked call-back that
// lapsed. Returns the number of history rows.
qint64 makeHistory(qint64 ywbh)
{
    ADOcon().execute(
        QStringLiteral(
            "with recursive k(n) as (select 0 union all select n+1 from k where n<3) "
            "insert into visitlog(ywbh,dhhm,slz,sljg,bz,vtime) "
            "select y.ywbh, y.dhhm1, '话务员'||printf('%02d',abs(random())%20), "
            " case abs(random())%10 when 0 then '无应答' when 1 then '关机' when 2 then '停机' when 3 then '拒访' "
            "  when 4 then '下次联系' when 5 then '无效数据' when 6 then '已受理(成功)' when 7 then '已受理()' "
            "  else '无应答' end, '', datetime('2026-01-01','+'||(y.id*4+k.n)||' seconds') "
            "from (select id, ywbh, dhhm1 from yhda where ywbh=? and id%10<>0) y, k where k.n < 3 + (y.id%3=0)"),
        {ywbh});
    ADOcon().execute(QStringLiteral("insert into hfyy(yhid,ywbh,dhhm,kssj,jssj,gksj,zt) "
                                    "select id, ywbh, dhhm1, '2026-02-01 10:00:00', '2026-02-01 10:30:00', "
                                    "'2026-02-01 11:00:00', 0 from yhda where ywbh=? and id%50=7"),
                     {ywbh});
    return ADOcon().scalar(QStringLiteral("select count(*) from visitlog where ywbh=?"), {ywbh}).toLongLong();
}

// Final dispositions as first thought of: each customer's endings read on their own and the rule
// applied to them. Runs over as many customers as `seconds` allow (*done of *customers); returns
// the seconds it took.
double rowByRowRates(qint64 ywbh, double seconds, int* customers, int* done)
{
    QElapsedTimer t;
    t.start();
    auto& con = ADOcon();
    QHash<QString, ops::reports::Disposition> classOf;
    ops::reports::Disposition never = ops::reports::Disposition::UH;
    for (const auto& c : ops::reports::dispositionCodes(con, ywbh)) {
        const auto d = ops::reports::classOfCode(c.code).value_or(ops::reports::Disposition::UO);
        (c.word == QStringLiteral("未受理") ? never : classOf[c.word]) = d;
    }
    QSet<qint64> lapsed;
    QSqlQuery a =
        con.select(QStringLiteral("select yhid from hfyy where ywbh=? and zt=0 and jssj<=?"),
                   {ywbh, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))}, true);
    while (a.next())
        lapsed.insert(a.value(0).toLongLong());
    std::vector<std::pair<qint64, QString>> people;
    QSqlQuery y = con.select(QStringLiteral("select id, dhhm1 from yhda where ywbh=? and del=0"), {ywbh}, true);
    while (y.next())
        people.push_back({y.value(0).toLongLong(), y.value(1).toString()});
    *customers = int(people.size());
    ops::reports::Counts counts{};
    int i = 0;
    for (; i < int(people.size()) && t.elapsed() < seconds * 1000; ++i) {
        // By the index of the history by project and number, put in the order of the endings here.
        std::vector<std::pair<qint64, ops::reports::Disposition>> rows;
        QSqlQuery h = con.select(QStringLiteral("select id, sljg from visitlog where ywbh=? and dhhm=?"),
                                 {ywbh, people[i].second}, true);
        while (h.next()) {
            QString word = h.value(1).toString();
            if (word.startsWith(QStringLiteral("已受理(")))
                word = QStringLiteral("已受理");
            rows.push_back({h.value(0).toLongLong(), classOf.value(word, ops::reports::Disposition::UO)});
        }
        std::sort(rows.begin(), rows.end(), [](const auto& l, const auto& r) { return l.first < r.first; });
        QList<ops::reports::Disposition> endings;
        for (const auto& r : rows)
            endings << r.second;
        ++counts[size_t(ops::reports::finalDisposition(endings, lapsed.contains(people[i].first), never))];
    }
    *done = i;
    return double(t.elapsed()) / 1000.0;
}

void chooseProject(TReportBand& band, const QString& name)
{
    band.ComboBox1->setCurrentIndex(band.ComboBox1->findText(name));
}

// The report's first fill, as first written: one look-up per customer and question, one row
// update per answer found, each statement on its own. Runs over the first `limit` customers of
// the work set, or as many as half a minute allows (*done); returns the seconds of the loop,
// *setup those of building tmp.
double literalFill(qint64 ywbh, int limit, int* customers, int* done, double* setup)
{
    QElapsedTimer t;
    t.start();
    auto& con = ADOcon();
    std::vector<std::pair<qint64, qint64>> qs;
    QSqlQuery q = con.select(QStringLiteral("select * from q_table where ywbh=") + db::num(ywbh) +
                             QStringLiteral(" order by qbh"));
    while (q.next())
        qs.push_back({q.value(QStringLiteral("qbh")).toLongLong(), q.value(QStringLiteral("qid")).toLongLong()});
    try {
        con.execute(QStringLiteral("drop table tmp"));
    } catch (const db::Error&) {
    }
    con.execute(QStringLiteral("select  ywname,yhxm,dhhm1,dq,id,slz,sljg,jg,slsj,bz into tmp from yhdaview ") +
                QStringLiteral(" where  ywbh=") + db::num(ywbh));
    for (const auto& x : qs)
        con.execute(QStringLiteral("alter table tmp add column q") + db::num(x.first) + QStringLiteral(" text(255)"));
    std::vector<std::pair<qint64, qint64>> work; // rowid, id in the work set's order
    QSqlQuery w = con.select(QStringLiteral("select  rowid, id  from tmp order by slsj desc  "), true);
    while (w.next())
        work.push_back({w.value(0).toLongLong(), w.value(1).toLongLong()});
    w.finish();
    *customers = int(work.size());
    *setup = double(t.elapsed()) / 1000.0;
    t.restart();
    const int n = std::min(limit, int(work.size()));
    int i = 0;
    for (; i < n && t.elapsed() < 30000; ++i) {
        for (const auto& x : qs) {
            QSqlQuery a = con.select(QStringLiteral("select * from qansbbview where yhid=") + db::num(work[i].second) +
                                     QStringLiteral(" and qid=") + db::num(x.second));
            if (a.next())
                con.execute(QStringLiteral("update tmp set q") + db::num(x.first) + QStringLiteral("=? where rowid=?"),
                            {a.value(QStringLiteral("ans")).toString(), work[i].first});
        }
    }
    *done = i;
    return double(t.elapsed()) / 1000.0;
}

} // namespace

int runReports(int argc, char** argv)
{
    const int statCustomers = argument(argc, argv, 1, 1000000);
    const int reportCustomers = argument(argc, argv, 2, 100000);
    Session session;
    if (!session.ok())
        return 1;
    const QString file = session.file();
    int boxes = 0;
    session.printBoxes(&boxes);
    try {
        session.login(QStringLiteral("admin"), QStringLiteral("系统管理员"), QStringLiteral("管理员"));

        QElapsedTimer load;
        load.start();
        {
            Bulk bulk;
            makeProject(QStringLiteral("统计压测"), statCustomers, 20, 5, 100);
            makeProject(QStringLiteral("报表压测"), reportCustomers, 20, 15, 100);
            bulk.finish();
        }
        print("load_s", double(load.elapsed()) / 1000.0);
        print("stat_customers_handled",
              ADOcon().scalar(QStringLiteral("select sum(n) from hwtjsumview where ywname='统计压测'")).toString());
        print("stat_answers", ADOcon().scalar(QStringLiteral("select sum(n) from q_anssumview where ywname='统计压测'"))
                                  .toString());
        print("report_customers",
              ADOcon().scalar(QStringLiteral("select count(*) from yhda y join t_ywbh p on p.ywbh=y.ywbh "
                                             "where p.ywname='报表压测'")).toString());
        print("report_answers", ADOcon().scalar(QStringLiteral("select sum(n) from q_anssumview where "
                                                               "ywname='报表压测'")).toString());

        // Statistics through the windows: "统计" with the chart.
        auto* hw = openWindow<Tfrmhwtj2>(QSize(1200, 800));
        chooseProject(hw->band, QStringLiteral("统计压测"));
        double cpu = cpuSeconds();
        print("result_stats_ms", bestMs(3, [&] { hw->band.Button1->click(); }));
        print("result_stats_cpu_ms", (cpuSeconds() - cpu) * 1000.0 / 3);
        print("result_stats_rows", QString::number(hw->DBGrid1->rowCount()));
        hw->band.CheckBox1->setChecked(true);
        hw->band.DateTimePicker1->setDate(QDate(2026, 1, 15));
        hw->band.DateTimePicker2->setDate(QDate(2026, 2, 15));
        print("result_stats_days_ms", bestMs(3, [&] { hw->band.Button1->click(); }));
        ops::reports::Filter f;
        f.ywbh = ADOcon().scalar(QStringLiteral("select ywbh from t_ywbh where ywname='统计压测'")).toLongLong();
        print("result_stats_row_by_row_ms", msOf([&] {
                  QSqlQuery q = ADOcon().select(ops::reports::resultStatsSql(f, ops::reports::Source::Rows), true);
                  while (q.next()) {
                  }
              }));
        auto* xm = openWindow<Tfrmxmtj>(QSize(1200, 800));
        chooseProject(xm->band, QStringLiteral("统计压测"));
        cpu = cpuSeconds();
        print("answer_stats_ms", bestMs(3, [&] { xm->band.Button1->click(); }));
        print("answer_stats_cpu_ms", (cpuSeconds() - cpu) * 1000.0 / 3);
        print("answer_stats_rows", QString::number(xm->DBGrid1->rowCount()));
        print("answer_stats_row_by_row_ms", msOf([&] {
                  QSqlQuery q = ADOcon().select(ops::reports::answerStatsSql(f, ops::reports::Source::Rows), true);
                  while (q.next()) {
                  }
              }));
        delete hw;
        delete xm;

        // Response rates of the first project, with its history.
        {
            QElapsedTimer h;
            h.start();
            qint64 history = 0;
            {
                Bulk bulk;
                history = makeHistory(f.ywbh);
                bulk.finish();
            }
            print("rates_history_load_s", double(h.elapsed()) / 1000.0);
            print("rates_history_rows", QString::number(history));
            auto* xy = openWindow<Tfrmxyl>(QSize(1200, 800));
            chooseProject(xy->band, QStringLiteral("统计压测"));
            cpu = cpuSeconds();
            const double ratesMs = bestMs(3, [&] { xy->band.Button1->click(); });
            print("rates_ms", ratesMs);
            print("rates_cpu_ms", (cpuSeconds() - cpu) * 1000.0 / 3);
            print("rates_counts_ms",
                  bestMs(3, [&] { ops::reports::finalDispositionCounts(ADOcon(), f, QDateTime::currentDateTime()); }));
            QStringList counts;
            for (int r = 0; r < ops::reports::kDispositionCount; ++r)
                counts << xy->DBGrid1->text(r, QStringLiteral("xm")) + u'=' +
                              xy->DBGrid1->text(r, QStringLiteral("sz"));
            print("rates_counts", counts.join(u' '));
            print("rates_rr1", xy->DBGrid1->text(9, QStringLiteral("sz")));
            // The cases behind the largest count that a lapse can change (UH), on a click.
            xy->DBGrid1->setCurrentRowIndex(int(ops::reports::Disposition::UH));
            print("rates_cases_ms", bestMs(3, [&] { xy->DBGrid1Click(); }));
            print("rates_cases_rows", QString::number(xy->DBGrid2->rowCount()));
            ops::reports::Filter op = f;
            op.slz = QStringLiteral("话务员07");
            print("rates_one_operator_ms",
                  bestMs(3, [&] { ops::reports::finalDispositionCounts(ADOcon(), op, QDateTime::currentDateTime()); }));
            // A week of the project's endings (the history runs over about 150 days).
            ops::reports::Filter week = f;
            week.byDay = true;
            week.from = QDate(2026, 2, 1);
            week.to = QDate(2026, 2, 7);
            print("rates_one_week_ms", bestMs(3, [&] {
                      ops::reports::finalDispositionCounts(ADOcon(), week, QDateTime::currentDateTime());
                  }));
            delete xy;
            // An administrator changing the project's codes: every customer's deciding ending afresh.
            {
                auto codes = ops::reports::dispositionCodes(ADOcon(), f.ywbh);
                codes[3].code = QStringLiteral("3.21");
                print("rates_recode_s", msOf([&] { ops::reports::saveDispositionCodes(ADOcon(), f.ywbh, codes); }) / 1000.0);
                codes[3].code = QStringLiteral("3.13");
                ops::reports::saveDispositionCodes(ADOcon(), f.ywbh, codes);
            }
            int customers = 0, done = 0;
            const double loop = rowByRowRates(f.ywbh, 30, &customers, &done);
            const double rowByRow = done < customers ? loop / std::max(1, done) * customers : loop;
            print("rates_row_by_row_ms", rowByRow * 1000.0);
            print("rates_row_by_row_scaled",
                  done < customers
                      ? QStringLiteral("yes: %1 of %2 customers timed, scaled to all").arg(done).arg(customers)
                      : QStringLiteral("no"));
            print("rates_speedup", rowByRow * 1000.0 / ratesMs);
        }

        // Writing an answer as the visit window does (replace the customer's answer to the
        // question), with the figures kept by the triggers.
        {
            const qint64 qid = ADOcon().scalar(QStringLiteral("select min(qid) from q_table")).toLongLong();
            std::vector<double> ms;
            for (int i = 0; i < 500; ++i) {
                const qint64 yhid = 1 + (i * 1999) % statCustomers;
                ms.push_back(msOf([&] {
                    db::Transaction t(ADOcon());
                    ADOcon().execute(QStringLiteral("delete from q_ans where qid=? and yhid=?"), {qid, yhid});
                    ADOcon().execute(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime) "
                                                    "values(?,'',?,'满意','话务员01',?)"),
                                     {qid, yhid, 30 + i});
                    t.commit();
                }));
            }
            std::sort(ms.begin(), ms.end());
            print("answer_write_median_ms", ms[ms.size() / 2]);
        }

        // The detail report: "查  询" up to the grid's first screen.
        auto* bb = openWindow<Tfrmqansbb>(QSize(1200, 800));
        chooseProject(bb->band, QStringLiteral("报表压测"));
        const double cpu0 = cpuSeconds();
        const double reportMs = msOf([&] {
            bb->band.Button1->click();
            QCoreApplication::processEvents();
        });
        print("report_s", reportMs / 1000.0);
        print("report_cpu_s", cpuSeconds() - cpu0);
        print("report_grid_rows_loaded", QString::number(bb->DBGrid1->rowCount()));
        print("report_tmp_rows", ADOcon().scalar(QStringLiteral("select count(*) from tmp")).toString());
        print("report_tmp_rows_answered",
              ADOcon().scalar(QStringLiteral("select count(*) from tmp where q1 is not null or q20 is not null"))
                  .toString());
        bb->DBGrid1->close();
        delete bb;

        // The first fill on the same data: on a sample when the whole would take over a minute.
        // Once more without the window: the report's own work.
        ops::reports::Filter rf;
        rf.ywbh = ADOcon().scalar(QStringLiteral("select ywbh from t_ywbh where ywname='报表压测'")).toLongLong();
        print("report_build_s", msOf([&] { ops::reports::buildDetailReport(ADOcon(), rf); }) / 1000.0);

        const qint64 rp = ADOcon().scalar(QStringLiteral("select ywbh from t_ywbh where ywname='报表压测'")).toLongLong();
        int total = 0;
        int sample = 0;
        double setup = 0;
        const double loop = literalFill(rp, reportCustomers, &total, &sample, &setup);
        double literal = setup + loop;
        const bool scaled = sample < total;
        if (scaled)
            literal = setup + loop / std::max(1, sample) * total;
        print("literal_report_s", literal);
        print("literal_report_scaled",
              scaled ? QStringLiteral("yes: %1 of %2 customers timed, scaled to all").arg(sample).arg(total)
                     : QStringLiteral("no"));
        print("report_speedup", literal / (reportMs / 1000.0));
    } catch (const db::Error& e) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(e.text()));
        return 1;
    }
    print("message_boxes", QString::number(boxes));
    return 0;
}

} // namespace bench
