// The pivoted detail report, built in a work table of the session's own and kept in tmp.
#include "ops/reports/detail.h"
#include "reportdata.h"
#include "support/opsdb.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace tst::reports;
namespace rp = ops::reports;

namespace {

QStringList fieldsOf(const rp::DetailReport& r)
{
    QStringList f;
    for (const auto& c : r.columns)
        f << c.field + u':' + c.title;
    return f;
}

QStringList tmpColumns(db::Connection& con)
{
    QStringList cols;
    QSqlQuery q = con.select(QStringLiteral("select * from tmp where 1=2"));
    for (int i = 0; i < q.record().count(); ++i)
        cols << q.record().fieldName(i);
    return cols;
}

// Every row of the database's tmp, by record key.
QStringList tmpRows(db::Connection& con)
{
    QStringList out;
    QSqlQuery q = con.select(QStringLiteral("select * from tmp order by id"));
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < q.record().count(); ++i)
            cells << db::displayText(q.value(i));
        out << cells.join(u'|');
    }
    return out;
}

// Every row of the shown report, in its order.
QStringList shown(db::Connection& con, const rp::DetailReport& r)
{
    QStringList out;
    QSqlQuery q = con.select(r.displaySql);
    while (q.next()) {
        QStringList cells;
        for (const auto& c : r.columns)
            cells << db::displayText(q.value(c.field));
        out << cells.join(u'|');
    }
    return out;
}

rp::Filter projectFilter(qint64 ywbh)
{
    rp::Filter f;
    f.ywbh = ywbh;
    return f;
}

const QString kFixed = QStringLiteral("ywname:项目名称,yhxm:客户姓名,dhhm1:电话号码,dq:地区,slsj:受理时间,"
                                      "sljg:受理结果,jg:营销结果,slz:话务员,bz:备注");

} // namespace

class TstDetailReport : public QObject
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
    void columns();
    void cells();
    void filters();
    void failedRunKeepsThePreviousReport();
    void eachConnectionBuildsItsOwn();
    void scanReadsRowsAsStored();
};

void TstDetailReport::columns()
{
    tst::OpsDb& db = *m_db;
    auto& con = db.con();
    const qint64 none = addProject(con, QStringLiteral("无问题"));
    addCustomer(con, none, QStringLiteral("甲"), QStringLiteral("关机"), {}, "2024-03-05 10:00:00");
    rp::DetailReport r = rp::buildDetailReport(con, projectFilter(none));
    QCOMPARE(fieldsOf(r).join(u','), kFixed);
    QCOMPARE(r.customers, 1);

    const qint64 p = addProject(con, QStringLiteral("三题"));
    addQuestion(con, p, 3, QStringLiteral("三"));
    addQuestion(con, p, 1, QStringLiteral("一"));
    addQuestion(con, p, 2, QStringLiteral("二"));
    addQuestion(con, p, 2, QStringLiteral("又一个二")); // numbers may repeat
    r = rp::buildDetailReport(con, projectFilter(p));
    QCOMPARE(fieldsOf(r).join(u','), kFixed + ",q1:问题1,q2:问题2,q2_2:问题2(2),q3:问题3");
    QCOMPARE(tmpColumns(con), QStringList({"ywname", "yhxm", "dhhm1", "dq", "id", "slz", "sljg", "jg", "slsj", "bz",
                                           "q1", "q2", "q2_2", "q3"}));
    QCOMPARE(r.customers, 0);
}

void TstDetailReport::cells()
{
    tst::OpsDb& db = *m_db;
    auto& con = db.con();
    const qint64 p = addProject(con, QStringLiteral("回访"));
    const qint64 q1 = addQuestion(con, p, 1, QStringLiteral("一"));
    const qint64 q2 = addQuestion(con, p, 2, QStringLiteral("二"));
    const qint64 other = addQuestion(con, addProject(con, QStringLiteral("别的")), 1, QStringLiteral("别"));
    const qint64 a = addCustomer(con, p, QStringLiteral("甲"), QStringLiteral("已受理"), "成功", "2024-03-05 10:00:00",
                                 QStringLiteral("老张"));
    const qint64 b = addCustomer(con, p, QStringLiteral("甲"), QStringLiteral("关机"), {}, "2024-03-06 10:00:00",
                                 QStringLiteral("老李"));
    addCustomer(con, p, QString(), QStringLiteral("未受理"), {}, {}, QStringLiteral("老王"));
    const QString longAnswer = QString(300, QChar(u'长')) + QStringLiteral("尾");
    addAnswer(con, q1, a, QStringLiteral("满意"), QStringLiteral("甲"));
    addAnswer(con, q2, a, longAnswer, QStringLiteral("甲"));
    addAnswer(con, q1, b, QStringLiteral("先答"), QStringLiteral("甲")); // the earliest answer is shown
    addAnswer(con, q1, b, QStringLiteral("关机"), QStringLiteral("甲"));
    addAnswer(con, other, b, QStringLiteral("别的项目"), QStringLiteral("甲"));
    int lastDone = -1, total = -1;
    const rp::DetailReport r =
        rp::buildDetailReport(con, projectFilter(p), [&](int done, int all) { lastDone = done, total = all; });
    QCOMPARE(lastDone, 3);
    QCOMPARE(total, 3);
    const QStringList rows = shown(con, r);
    QCOMPARE(rows.size(), 3);
    // newest handling first, the never-handled customer last with empty cells
    QCOMPARE(rows[0], QStringLiteral("回访|老李|13900000000||2024-03-06 10:00:00|关机||甲||先答|"));
    QCOMPARE(rows[1], QStringLiteral("回访|老张|13900000000||2024-03-05 10:00:00|已受理|成功|甲||满意|") + longAnswer);
    QCOMPARE(rows[2], QStringLiteral("回访|老王|13900000000|||未受理|||||"));
    // a second run gives the same table
    QCOMPARE(shown(con, rp::buildDetailReport(con, projectFilter(p))), rows);
}

void TstDetailReport::filters()
{
    tst::OpsDb& db = *m_db;
    auto& con = db.con();
    const qint64 p = addProject(con, QStringLiteral("回访"));
    const QString hostile = QStringLiteral("O'Brien'); drop table yhda; --");
    addCustomer(con, p, QStringLiteral("甲"), QStringLiteral("关机"), {}, "2024-03-05 23:59:59");
    addCustomer(con, p, hostile, QStringLiteral("关机"), {}, "2024-03-06 00:00:00");
    addCustomer(con, p, QString(), QStringLiteral("未受理"));
    rp::Filter f = projectFilter(p);
    f.slz = hostile;
    QCOMPARE(rp::buildDetailReport(con, f).customers, 1);
    f.slz.clear();
    f.byDay = true;
    f.from = f.to = QDate(2024, 3, 5);
    QCOMPARE(rp::buildDetailReport(con, f).customers, 1); // the never-handled one matches no day
    f.to = QDate(2024, 3, 6);
    QCOMPARE(rp::buildDetailReport(con, f).customers, 2);
    QCOMPARE(db.count(QStringLiteral("yhda")), 3);
}

void TstDetailReport::failedRunKeepsThePreviousReport()
{
    tst::OpsDb& db = *m_db;
    auto& con = db.con();
    const qint64 p = addProject(con, QStringLiteral("回访"));
    const qint64 q1 = addQuestion(con, p, 1, QStringLiteral("一"));
    const qint64 c = addCustomer(con, p, QStringLiteral("甲"), QStringLiteral("关机"), {}, "2024-03-05 10:00:00");
    addAnswer(con, q1, c, QStringLiteral("是"), QStringLiteral("甲"));
    const rp::DetailReport first = rp::buildDetailReport(con, projectFilter(p));
    const QStringList before = shown(con, first);
    const QStringList kept = tmpRows(con);
    QCOMPARE(kept.size(), 1);
    addQuestion(con, p, 2, QStringLiteral("二"));
    addCustomer(con, p, QStringLiteral("乙"), QStringLiteral("关机"), {}, "2024-03-05 11:00:00");
    // A failure while building leaves the previous report (the work table) and tmp; one while
    // replacing tmp leaves tmp.
    for (const char* step : {"add column q2", "select yhid,qid,id,ans", "detail set", "detail_slsj on",
                             "drop table if exists tmp", "create table tmp"}) {
        const bool building = !QByteArray(step).contains("tmp");
        con.setStatementHook([step](const QString& sql) {
            if (sql.contains(QLatin1String(step)))
                throw db::Error(QStringLiteral("disk I/O error"), sql);
        });
        QVERIFY_THROWS_EXCEPTION(db::Error, rp::buildDetailReport(con, projectFilter(p)));
        con.setStatementHook({});
        QCOMPARE(con.transactionDepth(), 0);
        QCOMPARE(tmpColumns(con).size(), 11);
        QCOMPARE(tmpRows(con), kept);
        if (building)
            QCOMPARE(shown(con, first), before);
    }
    // The next run that succeeds replaces it.
    rp::buildDetailReport(con, projectFilter(p));
    QCOMPARE(tmpColumns(con).size(), 12);
    QCOMPARE(tmpRows(con).size(), 2);
}

void TstDetailReport::eachConnectionBuildsItsOwn()
{
    tst::OpsDb& db = *m_db;
    auto& con = db.con();
    const qint64 p = addProject(con, QStringLiteral("回访"));
    const qint64 c = addCustomer(con, p, QStringLiteral("甲"), QStringLiteral("关机"), {}, "2024-03-05 10:00:00");
    addAnswer(con, addQuestion(con, p, 1, QStringLiteral("一")), c, QStringLiteral("是"), QStringLiteral("甲"));
    const qint64 p2 = addProject(con, QStringLiteral("营销"));
    addQuestion(con, p2, 1, QStringLiteral("一"));
    const qint64 d = addCustomer(con, p2, QStringLiteral("乙"), QStringLiteral("成功"), {}, "2024-03-06 10:00:00");
    addAnswer(con, addQuestion(con, p2, 2, QStringLiteral("二")), d, QStringLiteral("否"), QStringLiteral("乙"));
    addCustomer(con, p2, QStringLiteral("乙"), QStringLiteral("关机"), {}, "2024-03-07 10:00:00");

    // A second seat builds its report while the first is half-way through its own.
    db::Connection other(QStringLiteral("detail.other"));
    db.openSecond(other);
    rp::DetailReport theirs;
    QStringList theirRows;
    const rp::DetailReport mine = rp::buildDetailReport(con, projectFilter(p), [&](int done, int) {
        if (done == 0 && theirRows.isEmpty()) {
            theirs = rp::buildDetailReport(other, projectFilter(p2));
            theirRows = shown(other, theirs);
        }
    });
    QCOMPARE(shown(con, mine), QStringList{QStringLiteral("回访|客户|13900000000||2024-03-05 10:00:00|关机||甲||是")});
    QCOMPARE(theirRows, QStringList({QStringLiteral("营销|客户|13900000000||2024-03-07 10:00:00|关机||乙|||"),
                                     QStringLiteral("营销|客户|13900000000||2024-03-06 10:00:00|成功||乙|||否")}));
    QCOMPARE(shown(other, theirs), theirRows);

    // tmp holds the report that finished last, whole, for everyone, and stays when its builder
    // has gone.
    const QStringList last = {QStringLiteral("回访|客户|13900000000||%1|甲|关机||2024-03-05 10:00:00||是").arg(c)};
    QCOMPARE(tmpRows(other), last);
    QCOMPARE(tmpColumns(other).size(), 11);
    db::Connection third(QStringLiteral("detail.third"));
    db.openSecond(third);
    QCOMPARE(tmpRows(third), last);
    // Nobody else sees a work table, and it goes with its connection.
    QVERIFY_THROWS_EXCEPTION(db::Error, third.scalar(QStringLiteral("select count(*) from scratch.detail")));
    other.close();
    db.openSecond(other);
    QVERIFY_THROWS_EXCEPTION(db::Error, other.scalar(QStringLiteral("select count(*) from scratch.detail")));
    QCOMPARE(tmpRows(other), last);
}

void TstDetailReport::scanReadsRowsAsStored()
{
    tst::OpsDb& db = *m_db;
    auto& con = db.con();
    QStringList seen;
    con.scan(QStringLiteral("select 7, 'O''Neil 张三', null"), [&](const db::RowView& v) {
        seen << QString::number(v.integer(0)) << QString::fromUtf8(v.utf8(1)) << (v.isNull(2) ? "null" : "value");
    });
    QCOMPARE(seen, QStringList({"7", "O'Neil 张三", "null"}));
    QVERIFY_THROWS_EXCEPTION(db::Error, con.scan(QStringLiteral("select x from nowhere"), [](const db::RowView&) {}));
}

QTEST_GUILESS_MAIN(TstDetailReport)
#include "tst_detailreport.moc"
