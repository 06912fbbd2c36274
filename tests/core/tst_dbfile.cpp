// The database file is SQLite's alone in the program: nothing else opens it, so that no other
// program on the file can take it for unused and delete the log that holds this one's work.
#include "core/filedlg.h"
#include "db/connection.h"
#include "db/schema.h"
#include "db/walguard.h"
#include "ops/customers/xls/xlsreader.h"
#include "support/testmain.h"

#include <QProcess>
#include <QTemporaryDir>
#include <unistd.h>

class TstDbFile : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void workSurvivesDialogAndAnotherProgram();
    void databaseIsNeverChosen_data();
    void databaseIsNeverChosen();
    void commitRefusedOnceTheLogIsGone();

private:
    bool waitForLine(QProcess& p, const QByteArray& line);
    qint64 rows(const QString& where);
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
};

void TstDbFile::init()
{
    filedlg::clearAnswers();
    m_dir = std::make_unique<QTemporaryDir>();
    m_file = m_dir->filePath("dhyx.dat");
    QVERIFY(db::createDatabase(m_file));
}

bool TstDbFile::waitForLine(QProcess& p, const QByteArray& line)
{
    QByteArray seen;
    for (int i = 0; i < 300 && !seen.contains(line); ++i) {
        p.waitForReadyRead(100);
        seen += p.readAllStandardOutput();
    }
    if (!seen.contains(line))
        qWarning("child said: %s / %s", seen.constData(), p.readAllStandardError().constData());
    return seen.contains(line);
}

qint64 TstDbFile::rows(const QString& where)
{
    db::Connection con(QStringLiteral("check"));
    con.open(m_file);
    return con.scalar(QStringLiteral("select count(*) from syslog where ") + where).toLongLong();
}

void TstDbFile::workSurvivesDialogAndAnotherProgram()
{
    QProcess child;
    child.start(QStringLiteral(TV_DIALOG_CHILD), {m_file});
    QVERIFY(waitForLine(child, "shown"));
    {
        // Another program opens the file, reads and goes: the last one out tidies the log away
        // unless it sees that someone still uses the file.
        db::Connection other(QStringLiteral("other"));
        other.open(m_file);
        QCOMPARE(other.scalar(QStringLiteral("select count(*) from syslog where uname = 'child'")).toInt(), 1);
    }
    child.write("write\n");
    QVERIFY(waitForLine(child, "written"));
    child.kill();
    QVERIFY(child.waitForFinished(5000));
    QCOMPARE(rows(QStringLiteral("logcon = 'after the dialog'")), 1);
}

void TstDbFile::databaseIsNeverChosen_data()
{
    QTest::addColumn<QString>("name"); // relative to the database's folder
    QTest::addColumn<bool>("save");
    QTest::newRow("the file, import") << "dhyx.dat" << false;
    QTest::newRow("the file, export") << "dhyx.dat" << true;
    QTest::newRow("its log") << "dhyx.dat-wal" << true;
    QTest::newRow("another name, import") << "link.xls" << false;
    QTest::newRow("a path around it") << "sub/../dhyx.dat" << true;
}

void TstDbFile::databaseIsNeverChosen()
{
    QFETCH(QString, name);
    QFETCH(bool, save);
    QDir(m_dir->path()).mkpath("sub");
    QVERIFY(::link(QFile::encodeName(m_file).constData(), QFile::encodeName(m_dir->filePath("link.xls")).constData()) ==
            0);
    db::Connection con;
    con.open(m_file);
    const QString chosen = m_dir->path() + '/' + name;
    QVERIFY(db::isOpenDatabaseFile(chosen));
    QVERIFY(!db::isOpenDatabaseFile(m_dir->filePath("dhyx.bak")));

    tst::MsgScript boxes;
    filedlg::queueAnswers({chosen});
    const QString got = save ? filedlg::saveFileName(nullptr, "导出到EXCEL", "a.xlsx", "*.xlsx")
                             : filedlg::openFileName(nullptr, QString(), QString(), "*.xls");
    QVERIFY(got.isEmpty());
    QCOMPARE(boxes.count(), 1);
    QVERIFY(boxes.lastText().contains("正在使用的数据库文件"));
    if (!save)
        QVERIFY_THROWS_EXCEPTION(XlsError, XlsReader().open(chosen));
}

void TstDbFile::commitRefusedOnceTheLogIsGone()
{
    db::Connection con;
    con.open(m_file);
    con.execute(QStringLiteral("insert into syslog (logcon) values ('kept')"));
    // What another program does when it takes the file for unused.
    QVERIFY(QFile::remove(m_file + "-wal"));
    QVERIFY(db::walMoved(con.handle()));
    try {
        con.execute(QStringLiteral("insert into syslog (logcon) values ('lost')"));
        QFAIL("a commit into a deleted log was reported as done");
    } catch (const db::Error& e) {
        QCOMPARE(e.text(), db::walLostText());
    }
    con.close();
    QCOMPARE(rows(QStringLiteral("logcon = 'lost'")), 0);
}

TV_TEST_MAIN(TstDbFile)
#include "tst_dbfile.moc"
