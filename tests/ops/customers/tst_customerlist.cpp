// The data management list: search conditions, counting, the state and operator lists, and the
// bulk actions with their log rows.
#include "ops/customers/customeractions.h"
#include "ops/customers/customerlist.h"
#include "support/opsdb.h"

#include "db/sqlvalue.h"

#include <QSqlQuery>
#include <QTest>

using namespace ops::customers;

namespace {

// One record; an assignee's login name is "u_" + the full name.
qint64 add(tst::OpsDb& db, int ywbh, int xh, const QString& dhhm1, const QString& sljg, const QString& drsj,
           const QString& zdslzxm = {}, const QString& dhhm2 = {}, const QString& dhhm4 = {}, int del = 0, int pc = 1)
{
    const QVariant who = zdslzxm.isEmpty() ? QVariant() : QVariant(zdslzxm);
    db.con().execute(QStringLiteral("insert into yhda(ywbh,pc,xh,yhxm,dhhm1,dhhm2,dhhm4,sljg,drsj,zdslz,zdslzxm,del) "
                                    "values(?,?,?,'客户',?,?,?,?,?,'u_'||?,?,?)"),
                     {ywbh, pc, xh, dhhm1, dhhm2, dhhm4, sljg, drsj, who, who, del});
    return db.scalar(QStringLiteral("select max(id) from yhda")).toLongLong();
}

// Two projects; the records of project 1 carry their xh as a name for the expectations.
void seed(tst::OpsDb& db)
{
    db.exec(QStringLiteral("insert into t_ywbh(ywname) values('甲项目')"));
    db.exec(QStringLiteral("insert into t_ywbh(ywname) values('乙项目')"));
    add(db, 1, 1, "13800000001", "未受理", "2013-06-04 23:59:59");
    add(db, 1, 2, "13800000002", "已受理", "2013-06-05 00:00:00", "话务员一");
    add(db, 1, 3, "0571-1", "关机", "2013-06-06 23:59:59", "话务员一", "13800000001");
    add(db, 1, 4, "x", "已受理", "2013-06-07 08:00:00", "O'Neil", {}, "13800000001");
    add(db, 1, 5, "13800000001", "未受理", "2013-06-05 12:00:00", {}, {}, {}, 1); // deleted
    add(db, 2, 6, "13800000001", "未受理", "2013-06-05 12:00:00");
    add(db, 1, 7, "138'000", "拒访", "2013-06-05 12:00:00");
}

QList<int> listed(tst::OpsDb& db, const db::Statement& sql)
{
    QSqlQuery q = db.con().select(sql);
    QList<int> xh;
    while (q.next())
        xh << q.value(QStringLiteral("xh")).toInt();
    std::sort(xh.begin(), xh.end());
    return xh;
}

QStringList logTexts(tst::OpsDb& db)
{
    QSqlQuery q = db.con().select(QStringLiteral("select logcon from syslog order by id"));
    QStringList t;
    while (q.next())
        t << q.value(0).toString();
    return t;
}

Filter project1()
{
    Filter f;
    f.ywbh = 1;
    return f;
}

} // namespace

class TestCustomerList : public QObject
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
    void conditionPiecesInOrder();
    void search_data();
    void search();
    void openingListAndStates();
    void operatorsOffered();
    void bulkActionsChangeTheListedRecords();
    void emptyListAssignsNothingAndSaysSo();
    void bulkActionKeepsNothingWhenItFails_data();
    void bulkActionKeepsNothingWhenItFails();
};

void TestCustomerList::conditionPiecesInOrder()
{
    Filter f = project1();
    f.state = QStringLiteral("已受理");
    f.phone = QStringLiteral("139");
    f.assignee = QStringLiteral("张'三");
    f.imported = {true, QDate(2013, 6, 5), QDate(2013, 6, 7)};
    f.xhFrom = 2;
    f.xhTo = 9;
    const db::Statement c = searchCondition(f);
    QCOMPARE(c.sql, QStringLiteral(" where del=0 and sljg=? and  +ywbh=1 and  (dhhm1=? or dhhm2=? or dhhm3=? or "
                                   "dhhm4=?) and zdslzxm=? and format(drsj,'yyyymmdd')>='20130605' and "
                                   "format(drsj,'yyyymmdd')<='20130607' and xh>=2 and xh<=9"));
    const QVariantList values = {QStringLiteral("已受理"), QStringLiteral("139"), QStringLiteral("139"),
                                 QStringLiteral("139"),    QStringLiteral("139"), QStringLiteral("张'三")};
    QCOMPARE(c.values, values);
    QCOMPARE(searchCondition(project1()).sql, QStringLiteral(" where  del=0 and ywbh=1"));
    QVERIFY(searchCondition(project1()).values.isEmpty());
}

void TestCustomerList::search_data()
{
    QTest::addColumn<Filter>("filter");
    QTest::addColumn<QList<int>>("xh");
    Filter f = project1();
    QTest::newRow("project only, live records") << f << QList<int>{1, 2, 3, 4, 7};
    f.state = QStringLiteral("已受理");
    QTest::newRow("state exactly") << f << QList<int>{2, 4};
    f = project1();
    f.phone = QStringLiteral("13800000001");
    QTest::newRow("number in any of the four") << f << QList<int>{1, 3, 4};
    f.phone = QStringLiteral("1380000000");
    QTest::newRow("part of a number") << f << QList<int>{};
    f.phone = QStringLiteral("138'000");
    QTest::newRow("number with a quote") << f << QList<int>{7};
    f = project1();
    f.assignee = QStringLiteral("O'Neil");
    QTest::newRow("assignee with a quote") << f << QList<int>{4};
    f = project1();
    f.imported = {true, QDate(2013, 6, 5), QDate(2013, 6, 6)};
    QTest::newRow("both days included") << f << QList<int>{2, 3, 7};
    f.imported = {true, QDate(2013, 6, 6), QDate(2013, 6, 5)};
    QTest::newRow("from after to") << f << QList<int>{};
    f = project1();
    f.xhFrom = 3;
    QTest::newRow("from sequence only") << f << QList<int>{3, 4, 7};
    f.xhFrom.reset();
    f.xhTo = 2;
    QTest::newRow("to sequence only") << f << QList<int>{1, 2};
}

void TestCustomerList::search()
{
    QFETCH(Filter, filter);
    QFETCH(QList<int>, xh);
    tst::OpsDb& db = *m_db;
    seed(db);
    const CustomerList list = CustomerList::search(filter);
    QCOMPARE(listed(db, list.statement()), xh);
    QCOMPARE(count(db.con(), list), xh.size());
}

void TestCustomerList::openingListAndStates()
{
    tst::OpsDb& db = *m_db;
    QCOMPARE(count(db.con(), CustomerList::everyRecord()), 0);
    QVERIFY(handlingStates(db.con()).isEmpty());
    seed(db);
    add(db, 2, 1, "n", "无应答", "2013-06-05 10:00:00", {}, {}, {}, 0, 3);
    const CustomerList all = CustomerList::everyRecord();
    QSqlQuery q = db.con().select(all.statement());
    QList<int> order;
    while (q.next())
        order << q.value(QStringLiteral("pc")).toInt() * 10 + q.value(QStringLiteral("xh")).toInt();
    QCOMPARE(order, (QList<int>{31, 11, 12, 13, 14, 16, 17})); // newest batch first, then by sequence
    QCOMPARE(count(db.con(), all), 7);
    QCOMPARE(db.con().scalar(all.lastRowStatement(QStringLiteral("xh"))).toInt(), 7);
    // every state found in the records, deleted ones too, each once, sorted as the engine sorts them
    QStringList expected;
    QSqlQuery d = db.con().select(QStringLiteral("select distinct sljg from  yhda order by sljg"));
    while (d.next())
        expected << d.value(0).toString();
    QCOMPARE(handlingStates(db.con()), expected);
    QCOMPARE(expected.size(), 5);
}

void TestCustomerList::operatorsOffered()
{
    tst::OpsDb& db = *m_db;
    db.exec(
        QStringLiteral("insert into syslogin(uname,truename,tp,zt) values('a','甲','话务员',0),('b','乙','管理员',0),"
                       "('c','丙','话务员',1),('d','丁','管理员',0)"));
    QStringList names;
    for (const Operator& o : assignableOperators(db.con()))
        names << o.uname + u'=' + o.truename;
    QCOMPARE(names, (QStringList{"a=甲", "b=乙", "d=丁"}));
}

void TestCustomerList::bulkActionsChangeTheListedRecords()
{
    tst::OpsDb& db = *m_db;
    seed(db);
    Filter f = project1();
    f.state = QStringLiteral("已受理");
    const CustomerList accepted = CustomerList::search(f);
    QCOMPARE(assign(db.con(), db.who, accepted, {QStringLiteral("o'p"), QStringLiteral("话'务")}), 2);
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("zdslz='o''p' and zdslzxm='话''务'")), 2);
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("zdslz='o''p' and sljg<>'已受理'")), 0);

    // clearing the whole opening list leaves the deleted record as it was
    db.exec(QStringLiteral("update yhda set zdslz='keep',zdslzxm='留' where del=1"));
    QCOMPARE(clearAssignment(db.con(), db.who, CustomerList::everyRecord()), 6);
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("zdslz is not null or zdslzxm is not null")), 1);

    Filter p2;
    p2.ywbh = 2;
    QVERIFY(softDeleteOne(db.con(), db.who, 6, QStringLiteral("乙项目")));
    QVERIFY(!softDeleteOne(db.con(), db.who, 6, QStringLiteral("乙项目"))); // already gone: nothing logged
    QCOMPARE(db.scalar(QStringLiteral("select deler from yhda where id=6")).toString(),
             QStringLiteral("系统管理员(admin)"));
    QCOMPARE(softDeleteAll(db.con(), db.who, accepted), 2);
    QCOMPARE(softDeleteAll(db.con(), db.who, CustomerList::everyRecord()), 3);
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("del=0")), 0);
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("deltime is null")), 1); // deleted before: untouched
    QCOMPARE(logTexts(db),
             (QStringList{"为2条用户数据指定受理人话'务", "为6条用户数据取消指定受理人", "删除项目:乙项目的1条用户数据",
                          "删除项目:甲项目的2条用户数据", "删除项目:甲项目的3条用户数据"}));
}

void TestCustomerList::emptyListAssignsNothingAndSaysSo()
{
    tst::OpsDb& db = *m_db;
    seed(db);
    Filter f = project1();
    f.phone = QStringLiteral("nobody");
    QCOMPARE(assign(db.con(), db.who, CustomerList::search(f), {QStringLiteral("a"), QStringLiteral("甲")}), 0);
    QCOMPARE(logTexts(db), QStringList{"为0条用户数据指定受理人甲"});
}

void TestCustomerList::bulkActionKeepsNothingWhenItFails_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("inTheLog");
    for (int a = 0; a < 3; ++a) {
        QTest::addRow("action %d, a record fails", a) << a << false;
        QTest::addRow("action %d, the log row fails", a) << a << true;
    }
}

void TestCustomerList::bulkActionKeepsNothingWhenItFails()
{
    QFETCH(int, action);
    QFETCH(bool, inTheLog);
    tst::OpsDb& db = *m_db;
    seed(db);
    db.exec(QStringLiteral("update yhda set zdslz='z',zdslzxm='z'"));
    if (inTheLog)
        db.con().setStatementHook([](const QString& sql) {
            if (sql.contains(QStringLiteral("syslog")))
                throw db::Error(QStringLiteral("disk I/O error"), sql);
        });
    else // the third record of the list refuses the change, half-way through the one statement
        tst::addRefusal(db.con(), QStringLiteral("fail_mid"), QStringLiteral("before update on yhda"),
                        QStringLiteral("old.xh=3"), QStringLiteral("disk I/O error"));
    const CustomerList list = CustomerList::search(project1());
    try {
        if (action == 0)
            softDeleteAll(db.con(), db.who, list);
        else if (action == 1)
            assign(db.con(), db.who, list, {QStringLiteral("a"), QStringLiteral("甲")});
        else
            clearAssignment(db.con(), db.who, list);
        QFAIL("the action reported success");
    } catch (const db::Error&) {
    }
    db.con().setStatementHook({});
    QCOMPARE(db.con().transactionDepth(), 0);
    db.con().begin(); // would fail inside a transaction left open
    db.con().rollback();
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("del=0 and zdslz='z'")), 6);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
}

QTEST_GUILESS_MAIN(TestCustomerList)
#include "tst_customerlist.moc"
