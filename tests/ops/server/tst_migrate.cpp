// Migrating a database file into an empty server database, on the throwaway server the test
// command starts (skipped without one).
#include "db/password.h"
#include "db/schema.h"
#include "db/sqlvalue.h"
#include "ops/admin/accounts.h"
#include "ops/admin/oplogquery.h"
#include "ops/customers/customerlist.h"
#include "ops/reports/detail.h"
#include "ops/reports/stats.h"
#include "ops/reports/visitqueries.h"
#include "ops/server/migrate.h"
#include "ops/visit/call.h"
#include "ops/visit/draw.h"
#include "support/operators.h"
#include "support/serverdb.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

bool serverAvailable()
{
    return !qEnvironmentVariable("PGHOST").isEmpty() || !qEnvironmentVariable("PGSERVICE").isEmpty();
}

// A new database on the server with nothing in it, dropped at the end.
class EmptyServerDb
{
public:
    EmptyServerDb()
    {
        static int serial = 0;
        m_params.database = QStringLiteral("tvmig_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
        tst::ServerDb::admin().execute(QStringLiteral("create database ") + m_params.database);
        con.openServer(m_params);
    }
    ~EmptyServerDb()
    {
        con.close();
        tst::ServerDb::admin().execute(
            QStringLiteral("drop database if exists %1 with (force)").arg(m_params.database));
    }
    qint64 tables()
    {
        return con
            .scalar(QStringLiteral("select count(*) from information_schema.tables where table_schema = "
                                   "current_schema()"))
            .toLongLong();
    }
    db::Connection con{QStringLiteral("migrate-target")};

private:
    db::ServerParams m_params;
};

// A database file with what a site's file holds: projects, questions, customers of several
// states (quotes, CJK, NULLs, a deleted one), answers, draws, and ids with gaps.
class SourceFile
{
public:
    SourceFile()
    {
        if (!db::createDatabase(file()))
            return;
        con.open(file());
        ok = true;
    }
    QString file() const { return dir.filePath(QStringLiteral("dhyx.dat")); }
    qint64 add(const QString& sql, const QVariantList& values)
    {
        con.execute(sql, values);
        return con.scalar(QStringLiteral("select last_insert_rowid()")).toLongLong();
    }
    void fill(int customers)
    {
        const qint64 p = add(QStringLiteral("insert into t_ywbh(ywname,ywtips) values(?,?)"),
                             {QStringLiteral("回访 'Q1' \"季度\""), QStringLiteral("a\\b; --")});
        const qint64 q =
            add(QStringLiteral("insert into q_table(ywbh,qbh,qnr) values(?,1,?)"), {p, QStringLiteral("满意吗？")});
        add(QStringLiteral("insert into q_sel(qid,sel,gotoq) values(?,?,0)"), {q, QStringLiteral("满意")});
        add(QStringLiteral("insert into syslogin(uname,truename,pwd) values('op1',?,?)"),
            {QStringLiteral("话务员'一"), QStringLiteral("pw")});
        con.execute(QStringLiteral("insert into syslog(uname,truename,logcon) values('op1','x',?)"),
                    {QStringLiteral("成功登录系统")});
        con.execute(QStringLiteral("update [option] set jgts=1"));
        const QStringList states{QStringLiteral("未受理"), QStringLiteral("已受理"), QStringLiteral("下次联系")};
        for (int i = 0; i < customers; ++i) {
            const qint64 id = add(QStringLiteral("insert into yhda(ywbh,pc,xh,yhxm,dhhm1,sljg,jg,slz,slsj,zdslz,bz) "
                                                 "values(?,1,?,?,?,?,?,?,?,?,?)"),
                                  {p, i, i % 3 ? QStringLiteral("王'小\"明") : QStringLiteral("O'Brien"),
                                   QString::number(13800000000LL + i), states[i % 3],
                                   i % 3 == 1 ? QVariant(QStringLiteral("成功")) : QVariant(),
                                   i % 3 ? QStringLiteral("op1") : QString(),
                                   i % 3 ? QVariant(QStringLiteral("2024-03-0%1 10:00:00").arg(1 + i % 5)) : QVariant(),
                                   i % 4 == 0 ? QVariant(QStringLiteral("op1")) : QVariant(),
                                   QString(QChar(0x4e00 + i % 50)) + QStringLiteral("\n备注\t\\ \r")});
            if (i % 3 == 1)
                for (int t : {30, 75, 20})
                    con.execute(QStringLiteral(
                                    "insert into q_ans(qid,dhhm,yhid,ans,slz,tottime,dt) values(?,'',?,?,'op1',?,?)"),
                                {q, id, QStringLiteral("满意"), t, QStringLiteral("2024-03-01 10:00:00")});
        }
        // a draw records its group's last key; deleted rows leave gaps and a sequence past max(id)
        for (int i = 0; i < 3; ++i)
            ops::visit::claimByState(con, int(p), QStringLiteral("未受理"), QStringLiteral("op1"));
        // call-backs, retry rules, calling hours and customers kept back
        con.execute(QStringLiteral("insert into hfyy(yhid,ywbh,dhhm,kssj,jssj,gksj,yyz,yyzxm,zy,hfz,bz) "
                                   "values(7,?,'13800000007','2024-03-05 15:00:00','2024-03-05 16:00:00',"
                                   "'2024-03-05 16:30:00','op1',?,1,'op1',?)"),
                    {p, QStringLiteral("话务员'一"), QStringLiteral("三点后'再打")});
        con.execute(QStringLiteral("insert into cbgz(ywbh,sljg,ycfz,zdcs) values(?,'无应答',30,5)"), {p});
        con.execute(QStringLiteral("insert into hjsd(ywbh,grks,grjs) values(?,'09:00','18:00')"), {p});
        con.execute(QStringLiteral("update yhda set hjcs=2,kcsj='2024-03-05 16:30:00' where xh=7"));
        con.execute(QStringLiteral("update yhda set del=1, deltime='2024-03-02 10:00:00' where xh=5"));
        const qint64 top = con.scalar(QStringLiteral("select max(id) from yhda")).toLongLong();
        con.execute(QStringLiteral("delete from yhda where id >= ?"), {top - 1});
    }
    QTemporaryDir dirHolder;
    QDir dir{dirHolder.path()};
    db::Connection con{QStringLiteral("migrate-source-test")};
    bool ok = false;
};

QString text(const QVariant& v)
{
    if (v.isNull())
        return QStringLiteral("<null>");
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 17);
    return v.toString();
}

// Every row of a table as text, sorted (the engines order text differently).
QStringList rows(db::Connection& con, const QString& table, const QStringList& columns)
{
    QStringList out;
    const QString from = table == QLatin1String("option") ? QStringLiteral("[option]") : table;
    QSqlQuery q = con.select(QStringLiteral("select %1 from %2").arg(columns.join(u','), from), true);
    while (q.next()) {
        QStringList r;
        for (int i = 0; i < columns.size(); ++i)
            r << text(q.value(i));
        out << r.join(QStringLiteral(" | "));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A list as a window's grid shows it: its columns, then its rows in their order.
QStringList shown(db::Connection& con, const db::Statement& jet)
{
    QSqlQuery q = con.select(jet, true);
    QStringList names;
    for (int i = 0; i < q.record().count(); ++i)
        names << q.record().fieldName(i).toLower();
    QStringList out{names.join(u',')};
    while (q.next()) {
        QStringList r;
        for (int i = 0; i < names.size(); ++i)
            r << db::displayText(q.value(i));
        out << r.join(QStringLiteral(" | "));
    }
    return out;
}

QStringList columnsOf(db::Connection& con, const QString& table)
{
    QStringList out;
    QSqlQuery q = con.select(QStringLiteral("select name from pragma_table_info(?)"), {table}, true);
    while (q.next())
        out << q.value(0).toString();
    return out;
}

} // namespace

class TstMigrate : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void everyRowArrivesAndSequencesMovePast();
    void nonEmptyDatabaseRefused();
    void failureLeavesTheDatabaseEmpty();
    void figuresThatDisagreeAreRefused_data();
    void figuresThatDisagreeAreRefused();
    void secondMigrationAtOnceIsTold();
    void textNotUtf8IsRefused();
    void windowsShowTheSameData();
    void operatorsBecomeRoles();
};

void TstMigrate::init()
{
    // The copy is between the two engines: it runs once, whichever engine the others run on.
    if (tst::onServer())
        QSKIP("runs in the plain test run");
    if (!serverAvailable())
        QSKIP("no server (PGHOST): scripts/test.sh starts one");
}

void TstMigrate::everyRowArrivesAndSequencesMovePast()
{
    SourceFile src;
    QVERIFY(src.ok);
    src.fill(300);
    // the detail report's last result, which the schema does not lay
    src.con.execute(QStringLiteral("select  ywname,yhxm,id,slsj into tmp from yhdaview"));
    src.con.execute(QStringLiteral("alter table tmp add column q1 text(255)"));
    src.con.execute(QStringLiteral("update tmp set q1='答''案' where id % 3 = 0"));
    EmptyServerDb server;
    QStringList lines;
    const auto m = ops::server::migrateToServer(src.file(), server.con, [&](const QString& l) { lines << l; });
    QVERIFY(m.skipped.isEmpty());
    QVERIFY(lines.size() >= m.tables.size());

    // every table of the file, row for row and value for value
    QSqlQuery t = src.con.select(QStringLiteral("select name from sqlite_master where type='table' and name not like "
                                                "'sqlite%'"),
                                 true);
    int tables = 0;
    while (t.next()) {
        const QString table = t.value(0).toString();
        QStringList cols = columnsOf(src.con, table);
        if (table == QLatin1String("syslogin"))
            cols.removeAll(QStringLiteral("pwd")); // the server keeps no passwords: see operatorsBecomeRoles
        const QStringList there = rows(server.con, table, cols);
        QCOMPARE(there, rows(src.con, table, cols));
        ++tables;
    }
    QCOMPARE(tables, m.tables.size());
    QVERIFY(server.con.scalar("select count(*) from yhda_drawn").toInt() > 0);
    QVERIFY(server.con.scalar("select count(*) from hwtj_tally").toInt() > 0);
    QCOMPARE(server.con.scalar("select count(*) from hfyy").toInt(), 1);

    // new rows go past every id the file ever gave, and the triggers are on again
    const qint64 given = src.con.scalar("select seq from sqlite_sequence where name='yhda'").toLongLong();
    QVERIFY(given > src.con.scalar("select max(id) from yhda").toLongLong());
    const qint64 before = server.con.scalar("select sum(n) from yhda_tally where sljg='未受理' and zk=''").toLongLong();
    server.con.execute(QStringLiteral("insert into yhda(ywbh,sljg) values(1,'未受理')"));
    QCOMPARE(server.con.scalar("select max(id) from yhda").toLongLong(), given + 1);
    QCOMPARE(server.con.scalar("select sum(n) from yhda_tally where sljg='未受理' and zk=''").toLongLong(), before + 1);
    server.con.execute(QStringLiteral("insert into syslog(logcon) values('x')"));
    QCOMPARE(server.con.scalar("select max(id) from syslog").toLongLong(),
             src.con.scalar("select max(id) from syslog").toLongLong() + 1);
}

void TstMigrate::nonEmptyDatabaseRefused()
{
    SourceFile src;
    QVERIFY(src.ok);
    src.fill(10);
    EmptyServerDb server;
    ops::server::migrateToServer(src.file(), server.con);
    const qint64 customers = server.con.scalar("select count(*) from yhda").toLongLong();
    try {
        ops::server::migrateToServer(src.file(), server.con);
        QFAIL("a second migration into the same database was accepted");
    } catch (const db::Error& e) {
        QVERIFY2(e.text().contains(QLatin1String("already has")), qPrintable(e.text()));
    }
    QCOMPARE(server.con.scalar("select count(*) from yhda").toLongLong(), customers);
    QCOMPARE(server.con.transactionDepth(), 0);
}

void TstMigrate::failureLeavesTheDatabaseEmpty()
{
    SourceFile src;
    QVERIFY(src.ok);
    src.fill(30);
    EmptyServerDb server;
    // the connection is lost in the middle: after some tables, once the answers are sent
    server.con.setStatementHook([](const QString& sql) {
        if (sql == QLatin1String("select count(*) from q_ans"))
            throw db::Error(QStringLiteral("server closed the connection unexpectedly"), sql);
    });
    try {
        ops::server::migrateToServer(src.file(), server.con);
        QFAIL("the failure was not reported");
    } catch (const db::Error& e) {
        QVERIFY2(e.text().contains(QLatin1String("closed")), qPrintable(e.text()));
    }
    server.con.setStatementHook({});
    QCOMPARE(server.con.transactionDepth(), 0);
    QCOMPARE(server.tables(), 0);
    // and the file is free again for a second try, which succeeds
    const auto m = ops::server::migrateToServer(src.file(), server.con);
    QCOMPARE(m.rows > 0, true);
}

void TstMigrate::figuresThatDisagreeAreRefused_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("named");
    QTest::newRow("talk time") << QStringLiteral("update hwtj_tally set tottime = tottime + 1") << "hwtj_tally";
    QTest::newRow("deciding ending") << QStringLiteral("update yhda set czz = 5, czlb = 5 where id = 3") << "yhda.czz";
}

void TstMigrate::figuresThatDisagreeAreRefused()
{
    QFETCH(QString, change);
    QFETCH(QString, named);
    SourceFile src;
    QVERIFY(src.ok);
    src.fill(10);
    src.con.execute(change);
    EmptyServerDb server;
    try {
        ops::server::migrateToServer(src.file(), server.con);
        QFAIL("figures that disagree with the rows were accepted");
    } catch (const db::Error& e) {
        QVERIFY2(e.text().contains(named), qPrintable(e.text()));
    }
    QCOMPARE(server.tables(), 0);
}

void TstMigrate::secondMigrationAtOnceIsTold()
{
    SourceFile src;
    QVERIFY(src.ok);
    src.fill(10);
    const qint64 customers = src.con.scalar("select count(*) from yhda").toLongLong();
    src.con.close(); // the fixtures' connections share a name
    SourceFile other;
    QVERIFY(other.ok);
    other.fill(5);
    EmptyServerDb server;
    db::Connection second(QStringLiteral("migrate-second"));
    second.openServer(server.con.server());
    QString told;
    // another program starts migrating into the same database while this one copies
    server.con.setStatementHook([&](const QString& sql) {
        if (sql != QLatin1String("select count(*) from q_ans") || !told.isEmpty())
            return;
        try {
            ops::server::migrateToServer(other.file(), second);
            told = QStringLiteral("accepted");
        } catch (const db::Error& e) {
            told = e.text();
        }
    });
    const auto m = ops::server::migrateToServer(src.file(), server.con);
    server.con.setStatementHook({});
    QVERIFY2(told.contains(QLatin1String("another migration")), qPrintable(told));
    QCOMPARE(second.transactionDepth(), 0);
    QCOMPARE(server.con.scalar("select count(*) from yhda").toLongLong(), customers);
    QVERIFY(m.rows > 0);
}

// Text the file holds that is not UTF-8 cannot be copied as it is: refused by name, not replaced.
void TstMigrate::textNotUtf8IsRefused()
{
    SourceFile src;
    QVERIFY(src.ok);
    src.fill(10);
    const qint64 id = src.con.scalar(QStringLiteral("select max(id) from yhda")).toLongLong();
    src.con.execute(QStringLiteral("update yhda set dz = cast(x'e5b08fff41' as text) where id=%1").arg(id));
    EmptyServerDb server;
    try {
        ops::server::migrateToServer(src.file(), server.con);
        QFAIL("text that is not UTF-8 was copied");
    } catch (const db::Error& e) {
        QVERIFY2(e.text().contains(QStringLiteral("table yhda, row id %1, column dz").arg(id)), qPrintable(e.text()));
    }
    QCOMPARE(server.tables(), 0);
}

void TstMigrate::windowsShowTheSameData()
{
    SourceFile src;
    QVERIFY(src.ok);
    src.fill(40);
    const qint64 p = src.con.scalar(QStringLiteral("select min(ywbh) from t_ywbh")).toLongLong();
    for (int i = 0; i < 6; ++i)
        src.con.execute(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz,vtime) values(?,?,?,?,?,?)"),
                        {p, QString::number(13800000000LL + i % 3), i % 2 ? QStringLiteral("op1") : QString(),
                         i % 2 ? QStringLiteral("已受理") : QStringLiteral("关机"), QStringLiteral("说'明"),
                         QStringLiteral("2024-03-0%1 1%2:00:00").arg(1 + i % 3).arg(i)});
    EmptyServerDb server;
    ops::server::migrateToServer(src.file(), server.con);

    namespace rp = ops::reports;
    rp::Filter f;
    f.ywbh = p;
    rp::QueryFilter q;
    q.ywbh = p;
    rp::QueryFilter everyProject;
    everyProject.days = {true, QDate(2024, 3, 1), QDate(2024, 3, 2)};
    ops::customers::Filter c;
    c.ywbh = p;
    c.state = QStringLiteral("已受理");
    struct List
    {
        const char* what;
        db::Statement sql;
        bool sorted = true; // false: the rows come in whatever order the engine's search gives them
    };
    const QList<List> lists = {
        {"result statistics", rp::resultStatsSql(f)},
        {"result statistics counted", rp::resultStatsSql(f, rp::Source::Rows)},
        {"answer statistics", rp::answerStatsSql(f)},
        {"result query", rp::resultQuery(q, rp::kAllResults)},
        {"answer query", rp::answerQuery(q)},
        {"history query", rp::historyQuery(everyProject)},
        {"customer records", ops::customers::CustomerList::everyRecord().statement()},
        {"customer search", ops::customers::CustomerList::search(c).statement(), false},
        {"accounts", ops::admin::accountListQuery()},
        {"log", ops::admin::newestLogQuery()},
        {"call history", ops::visit::historyOf(QStringLiteral("13800000001"))},
    };
    for (const List& l : lists) {
        QStringList before = shown(src.con, l.sql);
        QStringList after = shown(server.con, l.sql);
        QVERIFY2(before.size() > 1, l.what);
        if (!l.sorted) {
            std::sort(before.begin() + 1, before.end());
            std::sort(after.begin() + 1, after.end());
        }
        if (after != before)
            qWarning("%s differs", l.what);
        QCOMPARE(after, before);
    }
    const QString detail = rp::buildDetailReport(src.con, f).displaySql;
    QCOMPARE(shown(server.con, rp::buildDetailReport(server.con, f).displaySql), shown(src.con, detail));
}

// The file keeps hashes: the operators' roles get no password, except the administrator who
// proves the own one; a wrong one stops the migration.
void TstMigrate::operatorsBecomeRoles()
{
    SourceFile src;
    QVERIFY(src.ok);
    src.add(QStringLiteral("insert into syslogin(uname,truename,pwd,tp) values('op2','二',?,'话务员')"),
            {db::passwordHash(QStringLiteral("secret"))});
    src.add(QStringLiteral("insert into syslogin(uname,truename,pwd,tp,zt) values('op3','三','pw','话务员',1)"), {});
    {
        EmptyServerDb server;
        QVERIFY_THROWS_EXCEPTION(db::Error, ops::server::migrateToServer(src.file(), server.con, {},
                                                                         QStringLiteral("admin"), QStringLiteral("x")));
        QCOMPARE(server.tables(), 0);
    }
    EmptyServerDb server;
    ops::server::migrateToServer(src.file(), server.con, {}, QStringLiteral("ADMIN"), QStringLiteral(" Admin "));
    QCOMPARE(server.con
                 .scalar(QStringLiteral("select count(*) from information_schema.columns where "
                                        "table_name='syslogin' and column_name='pwd'"))
                 .toInt(),
             0);
    QVERIFY(tst::passwordWorks(server.con, QStringLiteral("admin"), QStringLiteral("admin")));
    QVERIFY(!tst::passwordWorks(server.con, QStringLiteral("op2"), QStringLiteral("secret")));
    QVERIFY(!tst::passwordWorks(server.con, QStringLiteral("op3"), QStringLiteral("pw"))); // disabled
    QCOMPARE(server.con
                 .scalar(QStringLiteral("select count(*) from pg_roles where rolname in ('tv_op2','tv_op3') "
                                        "and not rolcanlogin = (rolname='tv_op2')"))
                 .toInt(),
             0);
}

QTEST_GUILESS_MAIN(TstMigrate)
#include "tst_migrate.moc"
