// The connection: opening, transactions and the guard, waiting on another writer, the safety copy.
#include "support/testdb.h"
#include "support/testmain.h"

#include "db/backup.h"
#include "db/dm.h"
#include "db/transaction.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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
};

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

TV_TEST_MAIN(TstConnection)
#include "tst_connection.moc"
