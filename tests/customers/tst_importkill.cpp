#include "support/testmain.h"

#include "db/dm.h"
#include "support/testdb.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>

// An import killed part-way keeps every row it had committed, and leaves a sound database.
class TestImportKill : public QObject
{
    Q_OBJECT

private slots:
    void killedImportKeepsCommittedRows()
    {
        tst::TestDb db;
        QVERIFY(db.ok());
        db.exec(QStringLiteral("insert into t_ywbh(ywname,zt) values('P',1)"));
        QTemporaryDir tmp;
        const QString book = tmp.filePath(QStringLiteral("big.xls"));
        const int total = 50000;
        QProcess gen;
        gen.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(TV_FIXTURES "/make_fixtures.py"),
                                                       QStringLiteral("--big"), QString::number(total), book});
        QVERIFY(gen.waitForFinished(120000));
        QCOMPARE(gen.exitCode(), 0);

        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QStringLiteral(TV_IMPORT_CHILD), {db.file(), book});
        QVERIFY(child.waitForStarted());
        // Wait until a good part has been committed, then kill it without warning.
        static const QRegularExpression committed(QStringLiteral("committed (\\d+)"));
        int last = 0;
        QByteArray out;
        while (last < 4000 && child.state() == QProcess::Running) {
            child.waitForReadyRead(100);
            out += child.readAllStandardOutput();
            for (auto it = committed.globalMatch(QString::fromUtf8(out)); it.hasNext();)
                last = it.next().captured(1).toInt();
        }
        QVERIFY2(child.state() == QProcess::Running, "the import ended before it could be killed");
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        out += child.readAllStandardOutput();
        for (auto it = committed.globalMatch(QString::fromUtf8(out)); it.hasNext();)
            last = it.next().captured(1).toInt();

        // A fresh look at the file, as the next start of the program would take.
        ADOcon().close();
        ADOcon().open(db.file());
        QCOMPARE(db.scalar(QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));
        const qint64 rows = db.count(QStringLiteral("yhda"));
        QVERIFY2(rows >= last && rows < total, qPrintable(QStringLiteral("%1 rows, %2 reported").arg(rows).arg(last)));
        // whole batches only, the first rows of the sheet, each complete
        QCOMPARE(rows % 200, 0);
        QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("xh between 1 and %1").arg(rows)), rows);
        QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("dhhm1=13800000000+xh and xxzl like '性别:%备注:%'")),
                 rows);
    }
};

TV_TEST_MAIN(TestImportKill)
#include "tst_importkill.moc"
