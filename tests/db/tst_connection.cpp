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
#include <thread>
#include <sqlite3.h>

class TstConnection : public QObject
{
    Q_OBJECT
private slots:
    void missingFileIsNotCreated();
    void notADatabase();
    void errorsCarryEngineText();
    void guardRollsBackWhenLeft();
    void guardCommits();
    void nestedGuards();
    void failedCommitLeavesNoTransaction();
    void secondConnectionWaitsForWriter();
    void backupIsConsistentDuringForeignWrite();
    void backupReplacesOlderCopy();
    void opensInWalMode();
    void backgroundCopyIsConsistent();
    void exitWhileCopying();
};

namespace {

QByteArray headerVersions(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(20).mid(18, 2);
}

// A database with n rows of some bulk, its connection closed again.
bool bulkDatabase(const QString& path, int n)
{
    if (!db::createDatabase(path))
        return false;
    db::Connection con("bulk");
    con.open(path);
    db::Transaction t(con);
    for (int i = 0; i < n; ++i)
        con.execute("insert into yhda(ywbh,yhxm,xxzl) values(1,?,?)", {QString("客户%1").arg(i), QString(300, 'x')});
    t.commit();
    return true;
}

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

void TstConnection::notADatabase()
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("dhyx.dat");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    db::Connection con("garbage");
    QVERIFY_THROWS_EXCEPTION(db::Error, con.open(path));
    QVERIFY(!con.isOpen());
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
    other.open(db.file());
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
    QCOMPARE(sqlite3_get_autocommit(ADOcon().handle()), 1);
}

void TstConnection::secondConnectionWaitsForWriter()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    // another program holds a write transaction for a moment; our write waits instead of failing
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(db.file()).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE; insert into t_ywbh(ywname) values('other');", nullptr, nullptr,
                          nullptr),
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
    tst::TestDb db;
    QVERIFY(db.ok());
    for (int i = 0; i < 200; ++i)
        db.exec(QString("insert into yhda(ywbh,yhxm,dhhm1) values(1,'committed %1','1380000%1')").arg(i));

    // another program is in the middle of a large write
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(db.file()).constData(), &other), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    for (int i = 0; i < 2000; ++i) {
        const QByteArray sql = QString("insert into yhda(ywbh,yhxm,xxzl) values(2,'pending','%1')")
                                   .arg(QString(200, QChar('x')))
                                   .toUtf8();
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
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("dhyx.dat");
    QVERIFY(db::createDatabase(path));
    // as a copy restored from an older program would be
    sqlite3* raw = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &raw), SQLITE_OK);
    QCOMPARE(sqlite3_exec(raw, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
    QCOMPARE(headerVersions(path), QByteArray("\x01\x01", 2));
    {
        db::Connection con("wal");
        con.open(path);
        QCOMPARE(con.scalar("PRAGMA journal_mode").toString(), QString("wal"));
    }
    QCOMPARE(headerVersions(path), QByteArray("\x02\x02", 2)); // stays WAL for every program that opens it

    // a file that cannot be written still opens for reading
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.seek(18);
    f.write("\x03\x01", 2); // writable by newer engines only, and no WAL
    f.close();
    db::Connection ro("readonly");
    ro.open(path);
    QCOMPARE(ro.scalar("select count(*) from syslogin").toInt(), 1);
    QVERIFY(ro.isReadOnly());
    QVERIFY_THROWS_EXCEPTION(db::Error, ro.execute("insert into t_ywbh(ywname) values('x')"));
}

void TstConnection::backgroundCopyIsConsistent()
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("dhyx.dat");
    const QString bak = QDir(dir.path()).filePath("dhyx.bak");
    QVERIFY(bulkDatabase(path, 20000));
    db::Connection con("source");
    con.open(path);

    // another seat keeps committing pairs of rows while the copy runs
    std::atomic<bool> stop = false;
    std::atomic<int> pairs = 0;
    std::thread writer([&] {
        sqlite3* w = nullptr;
        sqlite3_open(QFile::encodeName(path).constData(), &w);
        sqlite3_busy_timeout(w, 5000);
        while (!stop) {
            if (sqlite3_exec(w,
                             "BEGIN IMMEDIATE; insert into t_ywbh(ywname) values('a'); "
                             "insert into t_ywbh(ywname) values('b'); COMMIT;",
                             nullptr, nullptr, nullptr) == SQLITE_OK)
                ++pairs;
            else
                sqlite3_exec(w, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        sqlite3_close(w);
    });
    QTRY_VERIFY(pairs > 0);
    db::startBackup(con.filePath(), bak);
    const bool ok = db::waitForBackup();
    stop = true;
    writer.join();
    QVERIFY(ok);
    QVERIFY(!QFile::exists(bak + ".tmp"));
    QCOMPARE(headerVersions(bak), QByteArray("\x02\x02", 2));

    sqlite3* copy = nullptr;
    QCOMPARE(sqlite3_open_v2(QFile::encodeName(bak).constData(), &copy, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    auto scalar = [copy](const char* sql) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(copy, sql, -1, &st, nullptr);
        QString v;
        if (sqlite3_step(st) == SQLITE_ROW)
            v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        return v;
    };
    QCOMPARE(scalar("PRAGMA integrity_check"), QString("ok"));
    QCOMPARE(scalar("select count(*) from yhda"), QString("20000"));
    QCOMPARE(scalar("select count(*) % 2 from t_ywbh"), QString("0")); // whole pairs only
    sqlite3_close(copy);
}

void TstConnection::exitWhileCopying()
{
    // The program ends right after a login: the copy is finished, not torn, and nothing crashes.
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("dhyx.dat");
    const QString bak = QDir(dir.path()).filePath("dhyx.bak");
    QVERIFY(bulkDatabase(path, 20000));
    QProcess child;
    child.start(TV_BACKUP_CHILD, {path, bak});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    db::Connection copy("copy3");
    copy.open(bak);
    QCOMPARE(copy.scalar("PRAGMA integrity_check").toString(), QString("ok"));
    QCOMPARE(copy.scalar("select count(*) from yhda").toInt(), 20000);
}

TV_TEST_MAIN(TstConnection)
#include "tst_connection.moc"
