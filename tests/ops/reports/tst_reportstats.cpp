// Result and answer statistics: the statements' figures, and the figures the database keeps
// against counting the rows one by one.
#include "db/transaction.h"
#include "ops/reports/stats.h"
#include "reportdata.h"
#include "support/opsdb.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace tst::reports;
namespace rp = ops::reports;

namespace {

// Every row of a select as text "col=value;..." in a stable order.
QStringList rowsOf(db::Connection& con, const db::Statement& sql)
{
    QStringList out;
    QSqlQuery q = con.select(sql);
    while (q.next()) {
        QString line;
        for (int i = 0; i < q.record().count(); ++i)
            line += q.record().fieldName(i) + u'=' + db::displayText(q.value(i)) + u';';
        out << line;
    }
    out.sort();
    return out;
}

QVariantMap rowFor(db::Connection& con, const db::Statement& sql, const QString& slz)
{
    QSqlQuery q = con.select(sql);
    while (q.next())
        if (q.value(QStringLiteral("slz")).toString() == slz) {
            QVariantMap m;
            for (int i = 0; i < q.record().count(); ++i)
                m.insert(q.record().fieldName(i), q.value(i));
            return m;
        }
    return {};
}

rp::Filter projectFilter(qint64 ywbh)
{
    rp::Filter f;
    f.ywbh = ywbh;
    return f;
}

} // namespace

class TstReportStats : public QObject
{
    Q_OBJECT
    // A fresh database for every test (and every row of a data-driven one).
    std::unique_ptr<tst::OpsDb> m_db;

private slots:
    void init()
    {
        m_db = std::make_unique<tst::OpsDb>();
        QVERIFY(m_db->ok());
    }
    void cleanup() { m_db.reset(); }
    void resultFigures();
    void successRate_data();
    void successRate();
    void filters();
    void answerFigures();
    void keptFiguresMatchTheRows();
};

void TstReportStats::resultFigures()
{
    tst::OpsDb& db = *m_db;
    auto& con = db.con();
    const qint64 p = addProject(con, QStringLiteral("回访"));
    const qint64 other = addProject(con, QStringLiteral("别的"));
    const qint64 q1 = addQuestion(con, p, 1, QStringLiteral("满意吗"));
    const QString t = QStringLiteral("2024-03-05 10:00:00");
    // One record in each of the seven states for 张三, one in a state of none of them, and
    // records the view does not count.
    const QStringList seven = {"已受理", "关机", "停机", "下次联系", "无效数据", "拒访", "无应答"};
    for (const QString& s : seven)
        addCustomer(con, p, QStringLiteral("张三"), s, s == QStringLiteral("已受理") ? QVariant("成功") : QVariant(),
                    t);
    addCustomer(con, p, QStringLiteral("张三"), QStringLiteral("待定"), QVariant(), t);
    addCustomer(con, p, QStringLiteral("张三"), QStringLiteral("未受理"));
    addCustomer(con, p, QStringLiteral("张三"), QStringLiteral("正在受理"));
    addCustomer(con, other, QStringLiteral("张三"), QStringLiteral("关机"), QVariant(), t);
    // Talk time: two calls of customer 1 (10, 20 | 5, 3400) and one of customer 2: 5400 s.
    addAnswer(con, q1, 1, QStringLiteral("是"), QStringLiteral("张三"), 10);
    addAnswer(con, q1, 1, QStringLiteral("是"), QStringLiteral("张三"), 20);
    addAnswer(con, q1, 1, QStringLiteral("关机"), QStringLiteral("张三"), 5);
    addAnswer(con, q1, 1, QStringLiteral("是"), QStringLiteral("张三"), 3400);
    addAnswer(con, q1, 2, QStringLiteral("是"), QStringLiteral("张三"), 1980);

    const db::Statement sql = rp::resultStatsSql(projectFilter(p));
    QCOMPARE(rowsOf(con, sql).size(), 1);
    const QVariantMap r = rowFor(con, sql, QStringLiteral("张三"));
    QCOMPARE(r.value("ywname").toString(), QStringLiteral("回访"));
    QCOMPARE(r.value("totnum").toInt(), 8);
    for (const char* c : {"jtgs", "gjgs", "tjgs", "xcgs", "wxgs", "jfgs", "wydgs", "cggs"})
        QCOMPARE(r.value(c).toInt(), 1);
    QCOMPARE(r.value("tott").toDouble(), 1.5);
    QCOMPARE(r.value("cgl").toString(), QStringLiteral(" 100%"));
    QCOMPARE(rowsOf(con, rp::resultStatsSql(projectFilter(p), rp::Source::Rows)), rowsOf(con, sql));
    QVERIFY(rowsOf(con, rp::resultStatsEmptySql()).isEmpty());
}

void TstReportStats::successRate_data()
{
    QTest::addColumn<int>("connected");
    QTest::addColumn<int>("successes");    // among the connected ones
    QTest::addColumn<int>("otherSuccess"); // successes of records in another state
    QTest::addColumn<QString>("rate");
    QTest::newRow("nothing connected") << 0 << 0 << 0 << " 0%";
    QTest::newRow("all") << 2 << 2 << 0 << " 100%";
    QTest::newRow("a third") << 3 << 1 << 0 << " 33.33%";
    QTest::newRow("divisor 100000") << 0 << 0 << 50 << " 0.05%";
}

void TstReportStats::successRate()
{
    QFETCH(int, connected);
    QFETCH(int, successes);
    QFETCH(int, otherSuccess);
    QFETCH(QString, rate);
    tst::OpsDb& db = *m_db;
    auto& con = db.con();
    const qint64 p = addProject(con, QStringLiteral("回访"));
    const QString t = QStringLiteral("2024-03-05 10:00:00");
    for (int i = 0; i < connected; ++i)
        addCustomer(con, p, QStringLiteral("李四"), QStringLiteral("已受理"),
                    i < successes ? QStringLiteral("成功") : QStringLiteral("不成功"), t);
    for (int i = 0; i < otherSuccess; ++i)
        addCustomer(con, p, QStringLiteral("李四"), QStringLiteral("关机"), QStringLiteral("成功"), t);
    addCustomer(con, p, QStringLiteral("李四"), QStringLiteral("拒访"), QVariant(), t);
    for (auto s : {rp::Source::Figures, rp::Source::Rows})
        QCOMPARE(rowFor(con, rp::resultStatsSql(projectFilter(p), s), QStringLiteral("李四")).value("cgl").toString(),
                 rate);
}

void TstReportStats::filters()
{
    tst::OpsDb& db = *m_db;
    auto& con = db.con();
    const qint64 p = addProject(con, QStringLiteral("回访"));
    const qint64 q1 = addQuestion(con, p, 1, QStringLiteral("满意吗"));
    const QString hostile = QStringLiteral("O'Brien'; drop table yhda; --");
    const qint64 a = addCustomer(con, p, QStringLiteral("王五"), QStringLiteral("关机"), {}, "2024-03-04 23:59:59");
    const qint64 b = addCustomer(con, p, QStringLiteral("王五"), QStringLiteral("关机"), {}, "2024-03-05 00:00:00");
    const qint64 c = addCustomer(con, p, hostile, QStringLiteral("关机"), {}, "2024-03-06 23:59:00");
    addAnswer(con, q1, a, QStringLiteral("是"), QStringLiteral("王五"), 1, "2024-03-04 23:59:59");
    addAnswer(con, q1, b, QStringLiteral("是"), QStringLiteral("王五"), 1, "2024-03-05 00:00:00");
    addAnswer(con, q1, c, QStringLiteral("是"), hostile, 1, "2024-03-06 23:59:00");

    struct Case
    {
        QString slz;
        QDate from, to;
        int results, answers; // records / answers counted
    };
    const QList<Case> cases = {
        {QString(), {}, {}, 3, 3},
        {QStringLiteral("王五"), {}, {}, 2, 2},
        {hostile, {}, {}, 1, 1},
        {QStringLiteral("无此人"), {}, {}, 0, 0},
        {QString(), QDate(2024, 3, 4), QDate(2024, 3, 4), 1, 1},
        {QString(), QDate(2024, 3, 5), QDate(2024, 3, 6), 2, 2},
        {QString(), QDate(2024, 3, 6), QDate(2024, 3, 4), 0, 0},
    };
    for (const Case& k : cases) {
        rp::Filter f = projectFilter(p);
        f.slz = k.slz;
        f.byDay = k.from.isValid();
        f.from = k.from;
        f.to = k.to;
        for (auto s : {rp::Source::Figures, rp::Source::Rows}) {
            int results = 0, answers = 0;
            QSqlQuery r = con.select(rp::resultStatsSql(f, s));
            while (r.next())
                results += r.value(QStringLiteral("totnum")).toInt();
            QSqlQuery n = con.select(rp::answerStatsSql(f, s));
            while (n.next())
                answers += n.value(QStringLiteral("num")).toInt();
            QCOMPARE(results, k.results);
            QCOMPARE(answers, k.answers);
        }
    }
    QCOMPARE(db.count(QStringLiteral("yhda")), 3);
}

void TstReportStats::answerFigures()
{
    tst::OpsDb& db = *m_db;
    auto& con = db.con();
    const qint64 p = addProject(con, QStringLiteral("回访"));
    const qint64 q1 = addQuestion(con, p, 1, QStringLiteral("满意吗"));
    const qint64 q2 = addQuestion(con, p, 2, QStringLiteral("再来吗"));
    const qint64 c = addCustomer(con, p, QStringLiteral("甲"), QStringLiteral("已受理"));
    addAnswer(con, q1, c, QStringLiteral("满意"), QStringLiteral("甲"));
    addAnswer(con, q1, c, QStringLiteral("满意"), QStringLiteral("甲"));
    addAnswer(con, q1, c, QStringLiteral("满意"), QStringLiteral("乙"));
    addAnswer(con, q2, c, QStringLiteral("会"), QStringLiteral("乙"));
    const QStringList rows = rowsOf(con, rp::answerStatsSql(projectFilter(p)));
    QCOMPARE(rows, QStringList({"ywbh=1;ywname=回访;slz=乙;qnr=再来吗;ans=会;num=1;",
                                "ywbh=1;ywname=回访;slz=乙;qnr=满意吗;ans=满意;num=1;",
                                "ywbh=1;ywname=回访;slz=甲;qnr=满意吗;ans=满意;num=2;"}));
    QVERIFY(rowsOf(con, rp::answerStatsSql(projectFilter(addProject(con, "空")))).isEmpty());
    QVERIFY(rowsOf(con, rp::answerStatsEmptySql()).isEmpty());
}

// Random changes as the windows make them (answers replaced, outcomes, corrections, deletes):
// the kept figures always equal counting the rows, and a rebuild gives the same figures.
void TstReportStats::keptFiguresMatchTheRows()
{
    tst::OpsDb& db = *m_db;
    auto& con = db.con();
    QRandomGenerator rnd(20240305);
    const qint64 p1 = addProject(con, QStringLiteral("一"));
    const qint64 p2 = addProject(con, QStringLiteral("二"));
    QList<qint64> qids;
    for (int i = 1; i <= 4; ++i)
        qids << addQuestion(con, i % 2 ? p1 : p2, i, QStringLiteral("问题%1").arg(i));
    const QStringList states = {"未受理", "正在受理", "已受理",   "关机",    "停机",
                                "拒访",   "无应答",   "下次联系", "无效数据"};
    const QStringList ops = {"甲", "乙", "Bob"};
    QList<qint64> customers;
    for (int i = 0; i < 40; ++i)
        customers << addCustomer(con, i % 2 ? p1 : p2, ops[i % 3], states[i % states.size()],
                                 i % 4 ? QVariant("成功") : QVariant(),
                                 QStringLiteral("2024-03-0%1 12:00:00").arg(1 + i % 5));
    auto pick = [&](const auto& list) { return list[int(rnd.bounded(int(list.size())))]; };
    db::Transaction t(con); // only for speed: the figures follow each statement
    for (int step = 0; step < 400; ++step) {
        const qint64 c = pick(customers);
        const QString op = pick(ops);
        switch (rnd.bounded(6)) {
        case 0: // an answer replaced, as a completed question does
            con.execute(QStringLiteral("delete from q_ans where qid=? and yhid=?"), {pick(qids), c});
            [[fallthrough]];
        case 1:
            addAnswer(con, pick(qids), c, pick(QStringList{"是", "否", "关机"}), op, int(rnd.bounded(600)),
                      QStringLiteral("2024-03-0%1 09:00:00").arg(1 + rnd.bounded(5)));
            break;
        case 2:
            con.execute(QStringLiteral("update yhda set sljg=?,jg=?,slz=?,slsj=now() where id=?"),
                        {pick(states), rnd.bounded(2) ? QVariant("成功") : QVariant(""), op, c});
            break;
        case 3:
            con.execute(QStringLiteral("update yhda set jg='成功' where id=?"), {c});
            break;
        case 4:
            con.execute(QStringLiteral("update yhda set del=? where id=?"), {int(rnd.bounded(2)), c});
            break;
        case 5:
            con.execute(QStringLiteral("delete from q_ans where id=(select max(id) from q_ans where yhid=?)"), {c});
            break;
        }
    }
    t.commit();
    auto same = [&] {
        for (qint64 p : {p1, p2}) {
            rp::Filter f = projectFilter(p);
            if (rowsOf(con, rp::resultStatsSql(f)) != rowsOf(con, rp::resultStatsSql(f, rp::Source::Rows)) ||
                rowsOf(con, rp::answerStatsSql(f)) != rowsOf(con, rp::answerStatsSql(f, rp::Source::Rows)))
                return false;
            f.byDay = true;
            f.from = QDate(2024, 3, 2);
            f.to = QDate(2024, 3, 4);
            if (rowsOf(con, rp::resultStatsSql(f)) != rowsOf(con, rp::resultStatsSql(f, rp::Source::Rows)) ||
                rowsOf(con, rp::answerStatsSql(f)) != rowsOf(con, rp::answerStatsSql(f, rp::Source::Rows)))
                return false;
        }
        return true;
    };
    QVERIFY(!rowsOf(con, rp::resultStatsSql(projectFilter(p1))).isEmpty());
    QVERIFY(same());
    const QStringList kept = rowsOf(con, QStringLiteral("select * from hwtj_tally")) +
                             rowsOf(con, QStringLiteral("select * from q_ans_tally")) +
                             rowsOf(con, QStringLiteral("select * from yhda_talk where secs<>0"));
    rp::rebuildFigures(con);
    QCOMPARE(rowsOf(con, QStringLiteral("select * from hwtj_tally")) +
                 rowsOf(con, QStringLiteral("select * from q_ans_tally")) +
                 rowsOf(con, QStringLiteral("select * from yhda_talk where secs<>0")),
             kept);
    QVERIFY(same());
}

QTEST_GUILESS_MAIN(TstReportStats)
#include "tst_reportstats.moc"
