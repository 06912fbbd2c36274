// The log viewer's statements: the newest rows, the cap and the three filters.
#include "ops/admin/oplogquery.h"
#include "support/opsdb.h"

#include "db/sqlvalue.h"
#include "db/transaction.h"

#include <QTest>

using namespace ops::admin;

namespace {

void addLog(tst::OpsDb& db, const QString& truename, const QString& logcon, const QString& dt)
{
    db.exec(QStringLiteral("insert into syslog(uname,truename,dt,logcon,ipaddr) values('u',%1,%2,%3,'')")
                .arg(db::quoted(truename), db::quoted(dt), db::quoted(logcon)));
}

// The log texts the statement lists, in its order.
QStringList listed(tst::OpsDb& db, const db::Statement& sql)
{
    QStringList t;
    QSqlQuery q = db.con().select(sql);
    while (q.next())
        t << q.value(QStringLiteral("logcon")).toString();
    return t;
}

} // namespace

class TestLogQuery : public QObject
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
    void newestRowsUpToTheCap();
    void filters_data();
    void filters();
};

void TestLogQuery::newestRowsUpToTheCap()
{
    tst::OpsDb& db = *m_db;
    {
        db::Transaction t(db.con());
        for (int i = 1; i <= kLogRowCap + 5; ++i)
            addLog(db, QStringLiteral("甲"), QString::number(i), QStringLiteral("2024-01-01 08:00:00"));
        t.commit();
    }
    const QStringList opened = listed(db, newestLogQuery());
    QCOMPARE(opened.size(), kLogRowCap);
    QCOMPARE(opened.first(), QString::number(kLogRowCap + 5));
    QCOMPARE(opened.last(), QStringLiteral("6"));
    // All filters empty: the same rows as the opening.
    QCOMPARE(listed(db, logQuery(db.con(), LogFilter{})), opened);
    // The cap applies to the matching rows, newest first.
    addLog(db, QStringLiteral("乙"), QStringLiteral("newest"), QStringLiteral("2024-01-02 08:00:00"));
    LogFilter f;
    f.truename = QStringLiteral("甲");
    const QStringList matching = listed(db, logQuery(db.con(), f));
    QCOMPARE(matching.size(), kLogRowCap);
    QCOMPARE(matching.first(), QString::number(kLogRowCap + 5));
    QCOMPARE(matching.last(), QStringLiteral("6"));
}

void TestLogQuery::filters_data()
{
    QTest::addColumn<QString>("truename");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("from"); // empty: no day filter
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("expected");
    const QString any;
    QTest::newRow("text anywhere") << any << "操作人员" << any << any
                                   << QStringList{"删除操作人员:o'b(奥)", "添加操作人员:li(李)"};
    QTest::newRow("% is a wildcard") << any << "添加%李" << any << any << QStringList{"添加操作人员:li(李)"};
    QTest::newRow("_ is a wildcard") << any << "人员:l_(" << any << any << QStringList{"添加操作人员:li(李)"};
    QTest::newRow("quote is text") << any << "o'b" << any << any << QStringList{"删除操作人员:o'b(奥)"};
    QTest::newRow("hostile text") << any << "'; delete from syslog; --" << any << any << QStringList{};
    QTest::newRow("full name exactly") << "系统管理员" << any << any << any
                                       << QStringList{"删除项目:50%a", "成功登录系统"};
    QTest::newRow("login name finds nothing") << "admin" << any << any << any << QStringList{};
    QTest::newRow("one day, both ends of it")
        << any << any << "2024-03-02"
        << "2024-03-02" << QStringList{"删除操作人员:o'b(奥)", "添加操作人员:li(李)"};
    QTest::newRow("range inclusive") << any << any << "2024-03-01"
                                     << "2024-03-02"
                                     << QStringList{"删除操作人员:o'b(奥)", "添加操作人员:li(李)", "成功登录系统"};
    QTest::newRow("from after to") << any << any << "2024-03-03"
                                   << "2024-03-01" << QStringList{};
    QTest::newRow("all three") << "系统管理员"
                               << "项目"
                               << "2024-03-03"
                               << "2024-12-31" << QStringList{"删除项目:50%a"};
}

void TestLogQuery::filters()
{
    QFETCH(QString, truename);
    QFETCH(QString, text);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, expected);
    tst::OpsDb& db = *m_db;
    addLog(db, QStringLiteral("系统管理员"), QStringLiteral("成功登录系统"), QStringLiteral("2024-03-01 23:59:59"));
    addLog(db, QStringLiteral("王五"), QStringLiteral("添加操作人员:li(李)"), QStringLiteral("2024-03-02 00:00:00"));
    addLog(db, QStringLiteral("王五"), QStringLiteral("删除操作人员:o'b(奥)"), QStringLiteral("2024-03-02 23:59:59"));
    addLog(db, QStringLiteral("赵六"), QStringLiteral("添加项目:x_a"), QStringLiteral("2024-03-03 00:00:00"));
    addLog(db, QStringLiteral("系统管理员"), QStringLiteral("删除项目:50%a"), QStringLiteral("2024-03-04 10:00:00"));
    LogFilter f;
    f.truename = truename;
    f.text = text;
    f.byDate = !from.isEmpty();
    f.from = QDate::fromString(from, Qt::ISODate);
    f.to = QDate::fromString(to, Qt::ISODate);
    QCOMPARE(listed(db, logQuery(db.con(), f)), expected);
    // A range read through the whole log lists the same rows as one read through the index.
    QCOMPARE(listed(db, logQuery(db.con(), f, 1)), expected);
}

QTEST_GUILESS_MAIN(TestLogQuery)
#include "tst_logquery.moc"
