// The connection: opening, transactions and the guard, waiting on another writer, the safety copy.
#include "support/testdb.h"
#include "support/testmain.h"

#include "db/backup.h"
#include "db/dm.h"
#include "db/schema.h"
#include "db/transaction.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <sqlite3.h>
#include <thread>

class TstConnection : public QObject
{
    Q_OBJECT
private slots:
    void missingFileIsNotCreated();
    void notADatabase_data();
    void notADatabase();
    void errorsCarryEngineText();
    void guardRollsBackWhenLeft();
    void guardCommits();
    void nestedGuards();
    void failedCommitLeavesNoTransaction();
    void refusedCommitLeavesNoTransaction();
    void commitAfterRefusedStatement();
    void secondConnectionWaitsForWriter();
    void backupIsConsistentDuringForeignWrite();
    void backupReplacesOlderCopy();
    void opensInWalMode();
    void backgroundCopyIsConsistent();
    void exitWhileCopying();
    void serverRefusesWithReason();
    void serverReaderOnlyReads();
    void lostServerConnectionRollsBack();
    void serverSchemaOnlyIntoEmptyDatabase();
};

namespace {

// The file's journal kind as its header keeps it ("\x01\x01" rollback journal, "\x02\x02" WAL).
QByteArray headerVersions(const QString& path, const char* set = nullptr)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(18))
        return {};
    if (set)
        f.write(set, 2);
    f.seek(18);
    return f.read(2);
}

// A database of 20,000 customers with some bulk, in a temporary folder.
struct BulkDb
{
    QTemporaryDir dir;
    QString path = QDir(dir.path()).filePath("dhyx.dat");
    QString bak = QDir(dir.path()).filePath("dhyx.bak");
    BulkDb()
    {
        db::createDatabase(path);
        db::Connection con("bulk");
        con.open(path);
        db::Transaction t(con);
        for (int i = 0; i < 20000; ++i)
            con.execute("insert into yhda(ywbh,yhxm,xxzl) values(1,?,?)", {QString::number(i), QString(300, 'x')});
        t.commit();
    }
};

// The file-only cases (WAL, the file copy, another program on the file) are not the server's.
#define FILE_ONLY()                                                                                                    \
    if (tst::onServer())                                                                                               \
    QSKIP("a database file only")
#define SERVER_ONLY()                                                                                                  \
    if (!tst::onServer())                                                                                              \
    QSKIP("runs on the server (the _pg test)")

} // namespace

void TstConnection::missingFileIsNotCreated()
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("无此 文件 #1?.dat");
    db::Connection con("missing");
    QVERIFY_THROWS_EXCEPTION(db::Error, con.open(path));
    QVERIFY(!QFile::exists(path));
    QVERIFY(!con.isOpen());
}

void TstConnection::notADatabase_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("garbage") << QByteArray(4096, 'x');
    QTest::newRow("empty file") << QByteArray(); // SQLite would lay a database into it
}

// Refused, and left exactly as it was: the program never makes a database of a file.
void TstConnection::notADatabase()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("dhyx.dat");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    db::Connection con("garbage");
    QVERIFY_THROWS_EXCEPTION(db::Error, con.open(path));
    QVERIFY(!con.isOpen());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), content);
    QVERIFY(!QFile::exists(path + "-wal"));
}

void TstConnection::errorsCarryEngineText()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    try {
        ADOcon().execute("insert into nosuchtable(a) values(1)");
        QFAIL("no error");
    } catch (const db::Error& e) {
        QVERIFY2(e.text().contains("nosuchtable"), qPrintable(e.text()));
    }
    QVERIFY_THROWS_EXCEPTION(db::Error, ADOcon().select("select nosuchcolumn from yhda"));
}

void TstConnection::guardRollsBackWhenLeft()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    try {
        db::Transaction t(ADOcon());
        ADOcon().execute("insert into t_ywbh(ywname) values('a')");
        ADOcon().execute("insert into nosuchtable values(1)");
        t.commit();
    } catch (const db::Error&) {
    }
    QCOMPARE(ADOcon().transactionDepth(), 0);
    QCOMPARE(db.count("t_ywbh"), 0);
    // the connection is usable and not inside a forgotten transaction
    ADOcon().execute("insert into t_ywbh(ywname) values('b')");
    db::Connection other("other");
    db.openSecond(other);
    QCOMPARE(other.scalar("select count(*) from t_ywbh").toInt(), 1);
}

void TstConnection::guardCommits()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    {
        db::Transaction t(ADOcon());
        ADOcon().execute("insert into t_ywbh(ywname) values('a')");
        t.commit();
    }
    QCOMPARE(db.count("t_ywbh"), 1);
    QCOMPARE(ADOcon().transactionDepth(), 0);
}

void TstConnection::nestedGuards()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    {
        db::Transaction outer(ADOcon());
        ADOcon().execute("insert into t_ywbh(ywname) values('outer')");
        {
            db::Transaction inner(ADOcon());
            ADOcon().execute("insert into t_ywbh(ywname) values('inner-rolled-back')");
        }
        {
            db::Transaction inner(ADOcon());
            ADOcon().execute("insert into t_ywbh(ywname) values('inner-kept')");
            inner.commit();
        }
        outer.commit();
    }
    QCOMPARE(db.count("t_ywbh"), 2);
    QCOMPARE(db.count("t_ywbh", "ywname='inner-rolled-back'"), 0);
    {
        db::Transaction outer(ADOcon());
        db::Transaction inner(ADOcon());
        ADOcon().execute("insert into t_ywbh(ywname) values('lost')");
        inner.commit();
    } // outer left without commit: the inner work goes too
    QCOMPARE(db.count("t_ywbh", "ywname='lost'"), 0);
    QCOMPARE(ADOcon().transactionDepth(), 0);
}

// A statement the database itself refuses (a trigger), its failure caught and the work committed:
// the file undoes that statement alone and keeps the rest; the server has undone the whole
// transaction, and its commit must say so rather than succeed.
void TstConnection::commitAfterRefusedStatement()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    tst::addRefusal(ADOcon(), "no_bad", "before insert on t_ywbh", "new.ywname = 'bad'", "refused");
    db::Transaction t(ADOcon());
    ADOcon().execute("insert into t_ywbh(ywname) values('good')");
    QVERIFY_THROWS_EXCEPTION(db::Error, ADOcon().execute("insert into t_ywbh(ywname) values('bad')"));
    if (db.onServer())
        QVERIFY_THROWS_EXCEPTION(db::Error, t.commit());
    else
        t.commit();
    QCOMPARE(ADOcon().transactionDepth(), 0);
    QCOMPARE(db.count("t_ywbh"), db.onServer() ? 0 : 1);
    ADOcon().execute("insert into t_ywbh(ywname) values('next')"); // the connection goes on
    QCOMPARE(db.count("t_ywbh", "ywname='next'"), 1);
}

void TstConnection::failedCommitLeavesNoTransaction()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    // a statement hook that fails one chosen statement, as an engine fault would
    ADOcon().setStatementHook([](const QString& sql) {
        if (sql.contains("boom"))
            throw db::Error("injected failure", sql);
    });
    try {
        db::Transaction t(ADOcon());
        ADOcon().execute("insert into t_ywbh(ywname) values('kept?')");
        ADOcon().execute("insert into t_ywbh(ywname) values('boom')");
        t.commit();
        QFAIL("no error");
    } catch (const db::Error& e) {
        QCOMPARE(e.text(), QString("injected failure"));
    }
    ADOcon().setStatementHook({});
    QCOMPARE(db.count("t_ywbh"), 0);
    QCOMPARE(ADOcon().transactionDepth(), 0);
    if (db.onServer())
        QCOMPARE(
            db.scalar("select count(*) from pg_stat_activity where pid = pg_backend_pid() and xact_start is not null "
                      "and state = 'idle in transaction'")
                .toInt(),
            0);
    else
        QCOMPARE(sqlite3_get_autocommit(ADOcon().handle()), 1);
}

void TstConnection::refusedCommitLeavesNoTransaction()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    ADOcon().execute("insert into t_ywbh(ywname) values('before')");
    {
        // every statement succeeds; the COMMIT itself is refused
        tst::CommitRefusal refusal(ADOcon(), "t_ywbh");
        try {
            db::Transaction t(ADOcon());
            ADOcon().execute("insert into t_ywbh(ywname) values('kept?')");
            ADOcon().execute("update t_ywbh set ywname='changed?' where ywname='before'");
            t.commit();
            QFAIL("the commit was not refused");
        } catch (const db::Error& e) {
            QVERIFY(!e.text().isEmpty());
        }
        QCOMPARE(ADOcon().transactionDepth(), 0);
        if (db.onServer())
            QCOMPARE(db.scalar("select count(*) from pg_stat_activity where pid = pg_backend_pid() and "
                               "state = 'idle in transaction'")
                         .toInt(),
                     0);
        else
            QCOMPARE(sqlite3_get_autocommit(ADOcon().handle()), 1);
    }
    QCOMPARE(db.count("t_ywbh"), 1);
    QCOMPARE(db.count("t_ywbh", "ywname='before'"), 1);
    // the next action works and is kept
    {
        db::Transaction t(ADOcon());
        ADOcon().execute("insert into t_ywbh(ywname) values('next')");
        t.commit();
    }
    QCOMPARE(db.count("t_ywbh", "ywname='next'"), 1);
    QCOMPARE(ADOcon().transactionDepth(), 0);
}

void TstConnection::secondConnectionWaitsForWriter()
{
    FILE_ONLY();
    tst::TestDb db;
    QVERIFY(db.ok());
    // another program holds a write transaction for a moment; our write waits instead of failing
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(db.file()).constData(), &other), SQLITE_OK);
    QCOMPARE(
        sqlite3_exec(other, "BEGIN IMMEDIATE; insert into t_ywbh(ywname) values('other');", nullptr, nullptr, nullptr),
        SQLITE_OK);
    std::thread writer([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    bool failed = false;
    try {
        ADOcon().execute("insert into t_ywbh(ywname) values('mine')");
    } catch (const db::Error&) {
        failed = true;
    }
    writer.join();
    sqlite3_close(other);
    QVERIFY(!failed);
    QCOMPARE(db.count("t_ywbh"), 2);
}

void TstConnection::backupIsConsistentDuringForeignWrite()
{
    FILE_ONLY();
    tst::TestDb db;
    QVERIFY(db.ok());
    for (int i = 0; i < 200; ++i)
        db.exec(QString("insert into yhda(ywbh,yhxm,dhhm1) values(1,'committed %1','1380000%1')").arg(i));

    // another program is in the middle of a large write
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(db.file()).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    for (int i = 0; i < 2000; ++i) {
        const QByteArray sql =
            QString("insert into yhda(ywbh,yhxm,xxzl) values(2,'pending','%1')").arg(QString(200, QChar('x'))).toUtf8();
        QCOMPARE(sqlite3_exec(other, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    }

    const QString bak = QDir(db.folder()).filePath("dhyx.bak");
    QString err;
    QVERIFY2(db::backupTo(ADOcon(), bak, &err), qPrintable(err));
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    db::Connection copy("copy");
    copy.open(bak);
    QCOMPARE(copy.scalar("PRAGMA integrity_check").toString(), QString("ok"));
    QCOMPARE(copy.scalar("select count(*) from yhda where ywbh=1").toInt(), 200);
    QCOMPARE(copy.scalar("select count(*) from yhda where ywbh=2").toInt(), 0);
    QCOMPARE(copy.scalar("select count(*) from syslogin").toInt(), 1);
    QVERIFY(!QFile::exists(bak + ".tmp"));
}

void TstConnection::backupReplacesOlderCopy()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    if (db.onServer()) {
        // The server is backed up with its own tools: the program's copy refuses and writes nothing.
        QString err;
        const QString bak = QDir(db.folder()).filePath("dhyx.bak");
        QVERIFY(!db::backupTo(ADOcon(), bak, &err));
        QVERIFY(!err.isEmpty());
        QVERIFY(!QFile::exists(bak));
        return;
    }
    const QString bak = QDir(db.folder()).filePath("dhyx.bak");
    QFile f(bak);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("old copy");
    f.close();
    db.exec("insert into t_ywbh(ywname) values('新项目')");
    QVERIFY(db::backupTo(ADOcon(), bak));
    db::Connection copy("copy2");
    copy.open(bak);
    QCOMPARE(copy.scalar("select ywname from t_ywbh").toString(), QString("新项目"));
}

void TstConnection::opensInWalMode()
{
    FILE_ONLY();
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("dhyx.dat");
    QVERIFY(db::createDatabase(path));
    headerVersions(path, "\x01\x01"); // as a copy from an older program
    {
        db::Connection con("wal");
        con.open(path);
        QCOMPARE(con.scalar("PRAGMA journal_mode").toString(), QString("wal"));
    }
    QCOMPARE(headerVersions(path), QByteArray("\x02\x02"));
    // a file that cannot be written (writable by newer engines only) still opens for reading
    headerVersions(path, "\x03\x01");
    db::Connection ro("readonly");
    ro.open(path);
    QCOMPARE(ro.scalar("select count(*) from syslogin").toInt(), 1);
    QVERIFY(ro.isReadOnly());
}

void TstConnection::backgroundCopyIsConsistent()
{
    FILE_ONLY();
    BulkDb bulk;
    // another seat keeps committing pairs of rows while the copy runs
    std::atomic<bool> stop = false;
    std::atomic<int> pairs = 0;
    std::thread writer([&] {
        db::Connection w("writer");
        w.open(bulk.path);
        while (!stop) {
            db::Transaction t(w);
            w.execute("insert into t_ywbh(ywname) values('a')");
            w.execute("insert into t_ywbh(ywname) values('b')");
            t.commit();
            ++pairs;
        }
    });
    QTRY_VERIFY(pairs > 0);
    db::startBackup(bulk.path, bulk.bak);
    const bool ok = db::waitForBackup();
    stop = true;
    writer.join();
    QVERIFY(ok);
    QVERIFY(!QFile::exists(bulk.bak + ".tmp"));
    QCOMPARE(headerVersions(bulk.bak), QByteArray("\x02\x02"));
    db::Connection copy("copy3");
    copy.open(bulk.bak);
    QCOMPARE(copy.scalar("PRAGMA integrity_check").toString(), QString("ok"));
    QCOMPARE(copy.scalar("select count(*) from yhda").toInt(), 20000);
    QCOMPARE(copy.scalar("select count(*) % 2 from t_ywbh").toInt(), 0); // whole pairs only
}

void TstConnection::exitWhileCopying()
{
    FILE_ONLY();
    // The program ends right after a login: the copy is finished, not torn, and nothing crashes.
    BulkDb bulk;
    QProcess child;
    child.start(TV_BACKUP_CHILD, {bulk.path, bulk.bak});
    QVERIFY(child.waitForFinished(60000));
    QVERIFY(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0);
    db::Connection copy("copy4");
    copy.open(bulk.bak);
    QCOMPARE(copy.scalar("select count(*) from yhda").toInt(), 20000);
}

void TstConnection::serverRefusesWithReason()
{
    SERVER_ONLY();
    db::Connection con("refused");
    db::ServerParams p;
    p.database = "tv_no_such_database";
    try {
        con.openServer(p);
        QFAIL("opened a database that does not exist");
    } catch (const db::Error& e) {
        QVERIFY2(e.text().contains("tv_no_such_database"), qPrintable(e.text()));
    }
    QVERIFY(!con.isOpen());
    p.database.clear();
    p.host = QDir::temp().filePath("no-server-here");
    QVERIFY_THROWS_EXCEPTION(db::Error, con.openServer(p));
    QVERIFY(p.describe().contains("no-server-here"));
}

void TstConnection::serverReaderOnlyReads()
{
    SERVER_ONLY();
    tst::TestDb db;
    QVERIFY(db.ok());
    db.exec("insert into t_ywbh(ywname) values('a')");
    auto reader = ADOcon().openReader();
    QCOMPARE(reader->engine(), db::Engine::PostgreSQL);
    QCOMPARE(reader->scalar("select ywname from t_ywbh").toString(), QString("a"));
    QVERIFY_THROWS_EXCEPTION(db::Error, reader->execute("insert into t_ywbh(ywname) values('b')"));
    // scan reads the rows the same way as on the file
    QStringList seen;
    reader->scan("select ywbh, ywname from t_ywbh", [&](const db::RowView& v) {
        seen << QString::number(v.integer(0)) + QString::fromUtf8(v.utf8(1).toByteArray());
    });
    QCOMPARE(seen, QStringList{"1a"});
}

void TstConnection::lostServerConnectionRollsBack()
{
    SERVER_ONLY();
    tst::TestDb db;
    QVERIFY(db.ok());
    const qint64 pid = db.scalar("select pg_backend_pid()").toLongLong();
    bool failed = false;
    try {
        db::Transaction t(ADOcon());
        ADOcon().execute("insert into t_ywbh(ywname) values('half')");
        ADOcon().execute("insert into yhda(ywbh,yhxm) values(1,'half')");
        // the seat's session ends under it (network, server restart, an administrator)
        tst::ServerDb::admin().scalar("select pg_terminate_backend(?)", {pid});
        ADOcon().execute("insert into t_ywbh(ywname) values('after')");
        t.commit();
    } catch (const db::Error& e) {
        failed = true;
        QVERIFY(!e.text().isEmpty());
    }
    QVERIFY(failed);
    QCOMPARE(ADOcon().transactionDepth(), 0);
    db::Connection other("afterloss");
    other.openServer(ADOcon().server());
    QCOMPARE(other.scalar("select count(*) from t_ywbh").toInt(), 0);
    QCOMPARE(other.scalar("select count(*) from yhda").toInt(), 0);
    QCOMPARE(other.scalar("select count(*) from yhda_tally where n <> 0").toInt(), 0);
    // the next action opens a new session by itself
    ADOcon().execute("insert into t_ywbh(ywname) values('again')");
    QCOMPARE(other.scalar("select count(*) from t_ywbh").toInt(), 1);
    QVERIFY(db.scalar("select pg_backend_pid()").toLongLong() != pid);
}

void TstConnection::serverSchemaOnlyIntoEmptyDatabase()
{
    SERVER_ONLY();
    tst::TestDb db;
    QVERIFY(db.ok());
    QString err;
    QVERIFY(!db::createServerDatabase(ADOcon().server(), &err));
    QVERIFY2(err.contains("already has"), qPrintable(err));
    QCOMPARE(db.count("syslogin"), 1); // left as it was
}

TV_TEST_MAIN(TstConnection)
#include "tst_connection.moc"
