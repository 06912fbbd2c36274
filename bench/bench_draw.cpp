// tellvane-bench draw [ROWS]: drawing a customer and ending a call on a project of a million
// customers, against the draw statement as first written (random order over the whole state);
// and how evenly the draw picks among the customers of a project whose ids have gaps, next to
// ideal uniform picks made the same number of times.
#include "bench/benches.h"
#include "bench/measure.h"
#include "bench/session.h"

#include "core/msg.h"
#include "core/pub.h"
#include "db/dm.h"
#include "db/schema.h"
#include "db/sqlvalue.h"
#include "db/transaction.h"
#include "db/vocab.h"
#include "ops/visit/draw.h"
#include "visit/userhf.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <unordered_map>
#include <vector>

namespace bench {
namespace {

const QString kOperator = QStringLiteral("bench");
const QString kOperatorName = QStringLiteral("压测话务员");

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// The state of customer i: 90% not yet handled, the rest spread over the other states as a
// project in progress has them.
QString stateFor(quint32 r)
{
    static const std::vector<StateShare> shares{
        {900, vocab::kNotHandled}, {5, vocab::kInHand},        {20, vocab::kNoAnswer},
        {15, vocab::kSwitchedOff}, {10, vocab::kOutOfService}, {15, vocab::kRefused},
        {10, vocab::kCallBack},    {20, vocab::kHandled},      {5, vocab::kInvalidData}};
    return stateOf(r, shares);
}

// One project with a short questionnaire and `rows` customers in one transaction through one
// prepared statement: 2% assigned to the benchmark operator, 1% to another one, a few
// soft-deleted; handled ones stamped over the last days, some today by the benchmark operator.
int makeProject(int rows)
{
    ADOcon().execute(QStringLiteral("insert into t_ywbh(ywname,ywtips,zt) values('压测项目','您好，这里是回访中心',1)"));
    const int p = ADOcon().scalar(QStringLiteral("select max(ywbh) from t_ywbh")).toInt();
    for (int qbh = 1; qbh <= 3; ++qbh) {
        ADOcon().execute(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(%1,%2,'问题%2')").arg(p).arg(qbh));
        const qint64 qid = ADOcon().scalar(QStringLiteral("select max(qid) from q_table")).toLongLong();
        ADOcon().execute(QStringLiteral("insert into q_sel(qid,sel,gotoq) values(%1,'是',%2)").arg(qid).arg(qbh + 1));
        ADOcon().execute(QStringLiteral("insert into q_sel(qid,sel,gotoq) values(%1,'否',0)").arg(qid));
    }
    QRandomGenerator rng(20261207);
    const QDateTime now = QDateTime::currentDateTime();
    db::Transaction t(ADOcon());
    QSqlQuery ins(ADOcon().database());
    ins.prepare(QStringLiteral("insert into yhda(ywbh,pc,xh,yhxm,dq,dz,dhhm1,xxzl,drz,sljg,jg,slsj,slz,zdslz,zdslzxm,del) "
                               "values(?,1,?,?,?,?,?,?,'导入员',?,?,?,?,?,?,?)"));
    const QVariant null;
    for (int i = 0; i < rows; ++i) {
        const QString state = stateFor(rng.generate());
        const quint32 who = rng.bounded(100u);
        const bool handled = state != vocab::kNotHandled && state != vocab::kInHand;
        ins.bindValue(0, p);
        ins.bindValue(1, i + 1);
        ins.bindValue(2, QStringLiteral("客户%1").arg(i + 1));
        ins.bindValue(3, QStringLiteral("区域%1").arg(i % 20));
        ins.bindValue(4, QStringLiteral("某市某路%1号").arg(i % 997));
        ins.bindValue(5, QString::number(13000000000LL + i));
        ins.bindValue(6, QStringLiteral("套餐:  A%1\r\n").arg(i % 7));
        ins.bindValue(7, state);
        ins.bindValue(8, state == vocab::kHandled ? QVariant(vocab::kSuccess) : null);
        if (handled) {
            // An operator ends a few hundred calls a day.
            const bool mineToday = rng.bounded(1000u) < 3;
            ins.bindValue(9, now.addSecs(mineToday ? -qint64(rng.bounded(3600u)) : -86400 * qint64(1 + rng.bounded(30u)))
                                 .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            ins.bindValue(10, mineToday ? kOperatorName : QStringLiteral("别的话务员"));
        } else {
            ins.bindValue(9, null);
            ins.bindValue(10, QString());
        }
        ins.bindValue(11, who < 2 ? QVariant(kOperator) : who < 3 ? QVariant(QStringLiteral("other")) : null);
        ins.bindValue(12, who < 2 ? QVariant(kOperatorName) : who < 3 ? QVariant(QStringLiteral("别人")) : null);
        ins.bindValue(13, rng.bounded(1000u) < 3 ? 1 : 0);
        if (!ins.exec()) {
            std::fprintf(stderr, "insert failed: %s\n", qPrintable(ins.lastError().text()));
            return -1;
        }
    }
    t.commit();
    return p;
}

// How evenly draws fell on n customers: chi-square against equal chances (as a z score of its
// n-1 degrees of freedom), the most drawn against the least drawn, and how many never were.
struct Evenness
{
    double chi2z = 0;
    double maxMin = 0;
    int never = 0;
};

Evenness evenness(const std::vector<int>& counts, qint64 draws)
{
    Evenness e;
    const double expected = double(draws) / double(counts.size());
    double chi2 = 0;
    for (int c : counts) {
        chi2 += (c - expected) * (c - expected) / expected;
        e.never += c == 0 ? 1 : 0;
    }
    const double df = double(counts.size() - 1);
    e.chi2z = (chi2 - df) / std::sqrt(2 * df);
    const auto [lo, hi] = std::minmax_element(counts.begin(), counts.end());
    e.maxMin = *lo > 0 ? double(*hi) / double(*lo) : std::numeric_limits<double>::infinity();
    return e;
}

// A project of `customers` not yet handled whose ids have gaps, as ids shared by all projects
// make them: blocks of another project's imports in between (most small, some of hundreds),
// and soft-deleted blocks of its own. Returns the project and its customers' ids.
int makeGappedProject(int customers, std::vector<qint64>* ids)
{
    ADOcon().execute(QStringLiteral("insert into t_ywbh(ywname,zt) values('间隔项目',1)"));
    const int p = ADOcon().scalar(QStringLiteral("select max(ywbh) from t_ywbh")).toInt();
    ADOcon().execute(QStringLiteral("insert into t_ywbh(ywname,zt) values('另一项目',1)"));
    const int other = ADOcon().scalar(QStringLiteral("select max(ywbh) from t_ywbh")).toInt();
    QRandomGenerator rng(20261208);
    db::Transaction t(ADOcon());
    QSqlQuery ins(ADOcon().database());
    ins.prepare(QStringLiteral("insert into yhda(ywbh,pc,xh,yhxm,dhhm1,sljg,del) values(?,2,?,'客户',?,'未受理',?)"));
    auto add = [&](int ywbh, int del) {
        ins.bindValue(0, ywbh);
        ins.bindValue(1, int(ids->size()));
        ins.bindValue(2, QString::number(13500000000LL + rng.bounded(100000000u)));
        ins.bindValue(3, del);
        if (!ins.exec())
            throw db::Error(ins.lastError().text());
        return ins.lastInsertId().toLongLong();
    };
    for (int i = 0; i < customers; ++i) {
        const quint32 r = rng.bounded(100u);
        const int gap = r < 70 ? 0 : r < 90 ? int(rng.bounded(5u)) : int(rng.bounded(800u));
        for (int k = 0; k < gap; ++k)
            add(r < 97 ? other : p, r < 97 ? 0 : 1);
        ids->push_back(add(p, 0));
    }
    t.commit();
    return p;
}

} // namespace

int runDraw(int argc, char** argv)
{
    const int rows = argument(argc, argv, 1, 1000000);
    Session session;
    if (!session.ok())
        return 1;
    const QString file = session.file();
    int boxes = 0;
    session.printBoxes(&boxes);
    try {
        session.login(kOperator, kOperatorName, vocab::kOperator);
        gJgts = 0;

        QElapsedTimer load;
        load.start();
        const int p = makeProject(rows);
        if (p < 0)
            return 1;
        print("rows", QString::number(ADOcon().scalar(QStringLiteral("select count(*) from yhda")).toLongLong()));
        print("rows_not_handled", QString::number(ADOcon().scalar(QStringLiteral("select count(*) from yhda where "
                                                                                  "sljg='未受理'"))
                                                      .toLongLong()));
        print("load_s", double(load.elapsed()) / 1000.0);

        // The draw as the window runs it after every ending: inside the ending's transaction, as
        // a savepoint of it. Assigned to this operator first (2% of the records) ...
        std::vector<qint64> drawn;
        auto drawInEnding = [&](const QString& uname, std::vector<double>* ms) {
            db::Transaction ending(ADOcon());
            QElapsedTimer t;
            t.start();
            db::Transaction draw(ADOcon());
            const auto c = ops::visit::claimByState(ADOcon(), p, vocab::kNotHandled, uname);
            draw.commit();
            ms->push_back(double(t.nsecsElapsed()) / 1e6);
            ending.commit();
            return c ? c->id : -1;
        };
        std::vector<double> draw;
        for (int i = 0; i < 301; ++i)
            drawn.push_back(drawInEnding(kOperator, &draw));
        // ... and by an operator with no records of their own (the unassigned ones).
        std::vector<double> drawFree;
        for (int i = 0; i < 301; ++i)
            drawInEnding(QStringLiteral("nobody"), &drawFree);
        // "提取客户" runs it on its own: the lock is then a transaction of its own, made durable.
        const std::vector<double> drawAlone =
            timeRuns(101, [&] { ops::visit::claimByState(ADOcon(), p, vocab::kNotHandled, QStringLiteral("nobody")); });
        qint64 assignedFirst = 0;
        for (qint64 id : drawn)
            assignedFirst += ADOcon()
                                 .scalar(QStringLiteral("select count(*) from yhda where id=") + db::num(id) +
                                         QStringLiteral(" and zdslz=") + db::quoted(kOperator))
                                 .toLongLong();

        const QString literal = QStringLiteral("select top 1 * from  yhda where ywbh=") + db::num(p) +
                                QStringLiteral(" and sljg='未受理' and (zdslz='") + kOperator +
                                QStringLiteral("' or zdslz is null) order by zdslz desc,rnd(1000)");
        const std::vector<double> lit = timeRuns(7, [&] {
            QSqlQuery q = ADOcon().select(literal);
            q.next();
        });

        // The counters: kept counts and a range on today's stamps, against counting the records.
        const std::vector<double> counters = timeRuns(101, [&] {
            ops::visit::pendingCount(ADOcon(), p, kOperator);
            ops::visit::todayCount(ADOcon(), p, kOperatorName);
        });
        const std::vector<double> litCounters = timeRuns(5, [&] {
            ADOcon().scalar(QStringLiteral("select count(*) as totnum from  yhdaview where (zdslz='") + kOperator +
                            QStringLiteral("' or zdslz is null) and ywbh=") + db::num(p) +
                            QStringLiteral(" and (sljg='未受理' or sljg='正在受理')"));
            ADOcon().scalar(QStringLiteral("select count(*) as totnum from  yhdaview where ywbh=") + db::num(p) +
                            QStringLiteral(" and sljg<>'未受理' and  sljg<>'正在受理'  and slz='") + kOperatorName +
                            QStringLiteral("' and format(slsj, 'yyyymmdd')= format(now(), 'yyyymmdd')"));
        });

        // One outcome ending as the window runs it: the writes, the next draw, both counters.
        // Driven as a user would: by the controls' names; a held customer shows its number.
        auto* w = new Tfrmuserhf;
        w->show();
        auto* draw1 = w->findChild<QPushButton*>(QStringLiteral("Button1"));
        auto* noAnswer = w->findChild<QPushButton*>(QStringLiteral("Button5"));
        auto* number = w->findChild<QLineEdit*>(QStringLiteral("Edit2"));
        draw1->click();
        if (number->text().isEmpty()) {
            std::fprintf(stderr, "the window drew nobody\n");
            return 1;
        }
        const std::vector<double> cycle = timeRuns(201, [&] { noAnswer->click(); });
        const bool stillHolding = !number->text().isEmpty();
        w->approveClose();
        delete w;

        print("draw_median_ms", median(draw));
        print("draw_p90_ms", percentile(draw, 0.9));
        print("draw_unassigned_median_ms", median(drawFree));
        print("draw_own_commit_median_ms", median(drawAlone));
        print("literal_draw_median_ms", median(lit));
        print("draw_speedup", median(lit) / median(draw));
        print("draw_unassigned_speedup", median(lit) / median(drawFree));
        print("draws_assigned_first", QStringLiteral("%1/%2").arg(assignedFirst).arg(drawn.size()));
        print("counters_median_ms", median(counters));
        print("literal_counters_median_ms", median(litCounters));
        print("counters_speedup", median(litCounters) / median(counters));
        print("ending_cycle_median_ms", median(cycle));
        print("ending_cycle_p90_ms", percentile(cycle, 0.9));
        print("ending_cycle_goal_ratio", median(cycle) / 30.0);
        print("ending_cycles_held_next", stillHolding ? QStringLiteral("yes") : QStringLiteral("no"));
        print("message_boxes", QString::number(boxes));

        // Fairness: each customer drawn about as often as any other, though the ids have gaps.
        // Every draw is given up again (back to "未受理"), so the chances stay equal.
        const int customers = 1000;
        const qint64 draws = 40 * customers;
        std::vector<qint64> ids;
        const int gapped = makeGappedProject(customers, &ids);
        std::unordered_map<qint64, int> slot;
        for (size_t i = 0; i < ids.size(); ++i)
            slot[ids[i]] = int(i);
        std::vector<int> counts(ids.size()), ideal(ids.size());
        qint64 strays = 0;
        QElapsedTimer fair;
        fair.start();
        {
            db::Transaction t(ADOcon());
            for (qint64 i = 0; i < draws; ++i) {
                const auto c = ops::visit::claimByState(ADOcon(), gapped, vocab::kNotHandled, QStringLiteral("nobody"));
                const auto it = c ? slot.find(c->id) : slot.end();
                if (it == slot.end()) {
                    ++strays;
                    continue;
                }
                ++counts[size_t(it->second)];
                ADOcon().execute(QStringLiteral("update yhda set sljg=? where id=?"), {vocab::kNotHandled, c->id});
            }
            t.commit();
        }
        const double fairSeconds = double(fair.elapsed()) / 1000.0;
        QRandomGenerator pick(20261209);
        for (qint64 i = 0; i < draws; ++i)
            ++ideal[pick.bounded(quint32(ideal.size()))];
        const Evenness got = evenness(counts, draws);
        const Evenness ref = evenness(ideal, draws);
        print("fairness_customers", QString::number(customers));
        print("fairness_id_span", QString::number(ids.back() - ids.front() + 1));
        print("fairness_draws", QString::number(draws));
        print("fairness_s", fairSeconds);
        print("draw_chi2_z", got.chi2z);
        print("draw_max_min_ratio", got.maxMin);
        print("never_drawn", QString::number(got.never));
        print("draws_outside_group", QString::number(strays));
        print("uniform_reference_chi2_z", ref.chi2z);
        print("uniform_reference_max_min_ratio", ref.maxMin);
        print("uniform_reference_never_drawn", QString::number(ref.never));
    } catch (const db::Error& e) {
        std::fprintf(stderr, "database error: %s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}

} // namespace bench
