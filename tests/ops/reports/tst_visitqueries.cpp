// The statements of the result, answer record and visit history queries, and the correction of
// a marketing result.
#include "ops/reports/visitqueries.h"
#include "support/opsdb.h"

#include "db/sqlvalue.h"

#include <QSqlQuery>
#include <QTest>

using namespace ops::reports;

namespace {

// Texts a filter must take as nothing but text. Project 3 has one customer (f, g, h, i), one
// answer and one visit with each as its whole state or answer; no other row holds any of them.
const QStringList kHostile = {QStringLiteral("回拨'晚上"), QStringLiteral("见C:\\录音"), QStringLiteral("满100%"),
                              QStringLiteral("𠮷野家")};
const QStringList kHostileNames = {QStringLiteral("f"), QStringLiteral("g"), QStringLiteral("h"), QStringLiteral("i")};

// Customers of project 1 (their yhxm names them), one of project 2, their answers and visits;
// project 3 holds the hostile texts.
void seed(tst::OpsDb& db)
{
    db.exec(QStringLiteral("insert into t_ywbh(ywname) values('甲项目'),('乙项目'),('丙项目')"));
    db.exec(QStringLiteral("insert into yhda(ywbh,yhxm,dhhm1,dhhm2,dhhm3,sljg,jg,slsj,slz) values"
                           "(1,'a','111',null,null,'已受理','成功','2013-06-05 00:00:00','王五'),"
                           "(1,'b','222','111',null,'已受理','','2013-06-06 23:59:59','王五'),"
                           "(1,'c','333',null,'3''3','关机',null,'2013-06-07 10:00:00','O''Hara'),"
                           "(1,'d','444',null,null,'未受理',null,null,''),"
                           "(2,'e','111',null,null,'已受理','不成功','2013-06-05 10:00:00','王五')"));
    db.exec(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(1,1,'问一'),(2,1,'问二')"));
    db.exec(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime,dt) values"
                           "(1,'111',1,'满意','王五',5,'2013-06-05 00:00:00'),"
                           "(1,'222',2,'拒访','王五',3,'2013-06-06 23:59:59'),"
                           "(1,'333',3,'下次拒访','O''Hara',4,'2013-06-07 10:00:00'),"
                           "(2,'111',5,'满意','王五',6,'2013-06-05 10:00:00')"));
    db.exec(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz,vtime) values"
                           "(1,'111','王五','已受理(成功)','','2013-06-05 00:00:00'),"
                           "(1,'222','王五','已受理()','','2013-06-06 23:59:59'),"
                           "(1,'333','O''Hara','关机','','2013-06-07 10:00:00'),"
                           "(2,'111','王五','已受理(不成功)','','2013-06-05 10:00:00'),"
                           "(1,'111','王五','已受理(不成功)','','2013-06-08 09:00:00')"));
    db.exec(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(3,1,'问三')"));
    for (int i = 0; i < kHostile.size(); ++i) {
        const QString phone = db::quoted(QString(3, QChar(u'5' + i)));
        const QString text = db::quoted(kHostile[i]);
        const QString jg = i == 0 ? QStringLiteral("'再访''二'") : QStringLiteral("null");
        db.exec(QStringLiteral("insert into yhda(ywbh,yhxm,dhhm1,sljg,jg,slsj,slz) values(3,%1,%2,%3,%4,"
                               "'2013-06-09 10:00:00','王五')")
                    .arg(db::quoted(kHostileNames[i]), phone, text, jg));
        db.exec(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime,dt) values(3,%1,"
                               "(select id from yhda where yhxm=%2),%3,'王五',1,'2013-06-09 10:00:00')")
                    .arg(phone, db::quoted(kHostileNames[i]), text));
        db.exec(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz,vtime) values(3,%1,'王五',%2,'',"
                               "'2013-06-09 10:00:00')")
                    .arg(phone, text));
    }
}

QString column(tst::OpsDb& db, const db::Statement& sql, const char* field)
{
    QSqlQuery q = db.con().select(sql);
    QStringList v;
    while (q.next())
        v << q.value(QString::fromLatin1(field)).toString();
    return v.join(u',');
}

QueryFilter project(qint64 ywbh)
{
    QueryFilter f;
    f.ywbh = ywbh;
    return f;
}

} // namespace

class TestVisitQueries : public QObject
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
    void resultQuery_data();
    void resultQuery();
    void answerAndHistoryQueries_data();
    void answerAndHistoryQueries();
    void markResult();
    void markKeepsNothingWhenTheLogFails();
};

void TestVisitQueries::resultQuery_data()
{
    QTest::addColumn<QueryFilter>("filter");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("names"); // newest first
    QueryFilter f = project(1);
    QTest::newRow("project, never handled too") << f << kAllResults << "d,c,b,a";
    QTest::newRow("marketing result") << f << QStringLiteral("成功") << "a";
    f.operatorName = QStringLiteral("O'Hara");
    QTest::newRow("operator with a quote") << f << kAllResults << "c";
    f = project(1);
    f.phone = QStringLiteral("111");
    QTest::newRow("number in any column") << f << kAllResults << "b,a";
    f.phone = QStringLiteral("3'3");
    QTest::newRow("number with a quote") << f << kAllResults << "c";
    f.phone = QStringLiteral("11");
    QTest::newRow("part of a number") << f << kAllResults << "";
    f = project(1);
    f.text = QStringLiteral("受理");
    QTest::newRow("state by substring") << f << kAllResults << "d,b,a";
    f.text = QStringLiteral("已_理");
    QTest::newRow("underscore stays a wildcard") << f << kAllResults << "b,a";
    f = project(1);
    f.days = {true, QDate(2013, 6, 5), QDate(2013, 6, 6)};
    QTest::newRow("both days included, unhandled out") << f << kAllResults << "b,a";
    f.days = {true, QDate(2013, 6, 7), QDate(2013, 6, 5)};
    QTest::newRow("from after to") << f << kAllResults << "";
    f = project(3);
    for (int i = 0; i < kHostile.size(); ++i) {
        f.text = kHostile[i];
        QTest::addRow("state %s", qPrintable(kHostile[i])) << f << kAllResults << kHostileNames[i];
    }
    f.text.clear();
    QTest::newRow("result with a quote") << f << QStringLiteral("再访'二") << "f";
}

void TestVisitQueries::resultQuery()
{
    QFETCH(QueryFilter, filter);
    QFETCH(QString, result);
    QFETCH(QString, names);
    tst::OpsDb& db = *m_db;
    seed(db);
    QCOMPARE(column(db, ops::reports::resultQuery(filter, result), "yhxm"), names);
}

void TestVisitQueries::answerAndHistoryQueries_data()
{
    QTest::addColumn<bool>("history");
    QTest::addColumn<QueryFilter>("filter");
    QTest::addColumn<QString>("rows"); // answers: their text; visits: their state, newest first
    QueryFilter f = project(1);
    QTest::newRow("answers of a project") << false << f << "下次拒访,拒访,满意";
    f.text = QStringLiteral("拒访");
    QTest::newRow("answer by substring") << false << f << "下次拒访,拒访";
    f = project(1);
    f.phone = QStringLiteral("111");
    QTest::newRow("answers: any of the numbers") << false << f << "拒访,满意";
    f.phone = QStringLiteral("3'3");
    QTest::newRow("answers: number with a quote") << false << f << "下次拒访";
    f = project(3);
    for (const QString& text : kHostile) {
        f.text = text;
        QTest::addRow("answer %s", qPrintable(text)) << false << f << text;
    }

    QueryFilter all;
    QTest::newRow("history of every project")
        << true << all << "𠮷野家,满100%,见C:\\录音,回拨'晚上,已受理(不成功),已受理(不成功),关机,已受理(),已受理(成功)";
    QTest::newRow("history of one project") << true << project(2) << "已受理(不成功)";
    all.text = QStringLiteral("已受理");
    QTest::newRow("history: completed, any result")
        << true << all << "已受理(不成功),已受理(不成功),已受理(),已受理(成功)";
    all = QueryFilter();
    all.phone = QStringLiteral("222");
    QTest::newRow("history: the number called") << true << all << "已受理()";
    all.phone = QStringLiteral("3'3");
    QTest::newRow("history: not the other numbers") << true << all << "";
    all = QueryFilter();
    all.operatorName = QStringLiteral("O'Hara");
    all.days = {true, QDate(2013, 6, 7), QDate(2013, 6, 7)};
    QTest::newRow("history: operator and day") << true << all << "关机";
    all = QueryFilter();
    for (const QString& text : kHostile) {
        all.text = text;
        QTest::addRow("history: state %s", qPrintable(text)) << true << all << text;
    }
}

void TestVisitQueries::answerAndHistoryQueries()
{
    QFETCH(bool, history);
    QFETCH(QueryFilter, filter);
    QFETCH(QString, rows);
    tst::OpsDb& db = *m_db;
    seed(db);
    if (history)
        QCOMPARE(column(db, historyQuery(filter), "sljg"), rows);
    else
        QCOMPARE(column(db, answerQuery(filter), "ans"), rows);
}

void TestVisitQueries::markResult()
{
    tst::OpsDb& db = *m_db;
    seed(db);
    QCOMPARE(ops::reports::markResult(db.con(), db.who, 4, QStringLiteral("成功")), MarkOutcome::NotHandled);
    QCOMPARE(ops::reports::markResult(db.con(), db.who, 99, QStringLiteral("成功")), MarkOutcome::NoRecord);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    QVERIFY(db.scalar(QStringLiteral("select jg from yhda where id=4")).isNull());
    // an outcome state qualifies as well as a completed visit
    QCOMPARE(ops::reports::markResult(db.con(), db.who, 3, QStringLiteral("不成功")), MarkOutcome::Marked);
    QCOMPARE(db.scalar(QStringLiteral("select jg from yhda where id=3")).toString(), QStringLiteral("不成功"));
    QCOMPARE(db.scalar(QStringLiteral("select logcon from syslog")).toString(),
             QStringLiteral("修改项目“甲项目”中电话号码为333的用户营销结果为不成功"));
    QCOMPARE(db.scalar(QStringLiteral("select sljg from yhda where id=3")).toString(), QStringLiteral("关机"));
}

void TestVisitQueries::markKeepsNothingWhenTheLogFails()
{
    tst::OpsDb& db = *m_db;
    seed(db);
    db.con().setStatementHook([](const QString& sql) {
        if (sql.contains(QStringLiteral("syslog")))
            throw db::Error(QStringLiteral("disk I/O error"), sql);
    });
    QVERIFY_THROWS_EXCEPTION(db::Error, ops::reports::markResult(db.con(), db.who, 2, QStringLiteral("成功")));
    db.con().setStatementHook({});
    QCOMPARE(db.con().transactionDepth(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select jg from yhda where id=2")).toString(), QString(""));
}

QTEST_GUILESS_MAIN(TestVisitQueries)
#include "tst_visitqueries.moc"
