// The import's row writer and the .xls reader, on a database without any window.
#include "ops/customers/customerimport.h"
#include "ops/customers/xls/compoundfile.h"
#include "ops/customers/xls/xlsreader.h"
#include "support/builders.h"
#include "support/opsdb.h"

#include <QTemporaryDir>
#include <QTest>

using ops::customers::CustomerImport;

namespace {

QString fixture(const char* name)
{
    return QStringLiteral(TV_FIXTURES "/") + QString::fromLatin1(name);
}

bool openSheet(XlsReader& book, const char* file, const QString& sheet)
{
    book.open(fixture(file));
    book.checkColumns(sheet, ops::customers::importColumns());
    book.selectSheet(sheet);
    return book.rowCount() > 0;
}

// The workbook with `bytes` written into the body of its first record of this type, at `at`.
QByteArray patched(const char* file, quint16 type, int at, const QByteArray& bytes)
{
    QFile f(fixture(file));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString name;
    QByteArray stream = cfb::readStream(f.readAll(), QStringLiteral("Workbook"), &name).value_or(QByteArray());
    for (qsizetype r = 0; r + 4 <= stream.size(); r += 4 + cfb::u16(stream, r + 2))
        if (cfb::u16(stream, r) == type) {
            stream.replace(r + 4 + at, bytes.size(), bytes);
            return cfb::writeStream(name, stream);
        }
    return {};
}

} // namespace

class TestImport : public QObject
{
    Q_OBJECT
private slots:
    // A workbook whose records contradict themselves is refused with a message before FreeXL
    // reads past its buffers; the unchanged workbook still opens.
    void contradictoryWorkbookRefused_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("at");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("opens");
        QTest::newRow("unchanged") << 0x0085 << 6 << QByteArray() << true;
        QTest::newRow("sheet name past its record") << 0x0085 << 6 << QByteArray("\xFF") << false;
        QTest::newRow("more shared strings than stored") << 0x00FC << 4 << QByteArray("\xFF\xFF\x00\x00") << false;
        QTest::newRow("cell names a string past the table") << 0x00FD << 6 << QByteArray("\xFF\xFF\xFF\x00") << false;
    }
    void contradictoryWorkbookRefused()
    {
        QFETCH(int, type);
        QFETCH(int, at);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, opens);
        const QByteArray file = patched("extra.xls", quint16(type), at, bytes);
        QVERIFY(!file.isEmpty());
        QTemporaryDir dir;
        QFile out(dir.filePath(QStringLiteral("book.xls")));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
        out.close();
        XlsReader book;
        try {
            book.open(out.fileName());
            QVERIFY(opens);
            QVERIFY(!book.tableNames().isEmpty());
        } catch (const XlsError& e) {
            QVERIFY2(!opens, qPrintable(e.text()));
            QCOMPARE(e.code(), -26); // FreeXL's code for a crafted file
        }
    }

    void batchNumber()
    {
        tst::OpsDb db;
        QVERIFY(db.ok());
        QCOMPARE(ops::customers::nextBatchNumber(db.con()), qint64(1)); // empty table
        db.exec(QStringLiteral("insert into yhda(ywbh,pc,xh) values(1,0,1)"));
        QCOMPARE(ops::customers::nextBatchNumber(db.con()), qint64(1)); // highest batch 0
        db.exec(QStringLiteral("insert into yhda(ywbh,pc,xh) values(9,7,1)"));
        QCOMPARE(ops::customers::nextBatchNumber(db.con()), qint64(8)); // over all projects
    }

    void writesRowsWithBoundValues()
    {
        tst::OpsDb db;
        QVERIFY(db.ok());
        const qint64 p = tst::addProject(db.con(), QStringLiteral("回访'项目"));
        XlsReader book;
        QVERIFY(openSheet(book, "extra.xls", QStringLiteral("名单")));
        QStringList seen;
        db.con().setStatementHook([&seen](const QString& sql) { seen << sql; });
        {
            CustomerImport rows(db.con(), book, {p, 5, QStringLiteral("导入员'甲")});
            QCOMPARE(rows.run({1, 0}, {}), CustomerImport::End::Finished);
            QCOMPARE(rows.count(), 3);
        }
        db.con().setStatementHook({});
        // The connection saw every insert (the hook, the error text and the translation apply).
        QCOMPARE(seen.filter(QStringLiteral("insert into yhda")).size(), 3);
        QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("ywbh=%1 and pc=5 and drz='导入员''甲' and "
                                                                 "sljg='未受理'")
                                                      .arg(p)),
                 3);
        QCOMPARE(db.scalar(QStringLiteral("select dz from yhda where xh=2")).toString(),
                 QStringLiteral("it's \"here\"; drop table yhda;--"));
        QCOMPARE(db.scalar(QStringLiteral("select xxzl from yhda where xh=1")).toString(),
                 QStringLiteral("性别:  男\r\n年龄:  35\r\n生日:  1990-05-17\r\n备注:  老客户\r\n"));
        QCOMPARE(db.con().transactionDepth(), 0);
    }

    // Batches of three; row `failing` fails, refused by the connection (as a lost disk would be)
    // or by the database itself (a trigger: on the server that ends the whole transaction).
    void failureKeepsEarlierRows_data()
    {
        QTest::addColumn<bool>("byDatabase");
        QTest::addColumn<int>("failing");
        QTest::newRow("statement fails, first of a batch") << false << 7;
        QTest::newRow("database refuses, first of a batch") << true << 7;
        QTest::newRow("database refuses, inside a batch") << true << 9;
    }
    void failureKeepsEarlierRows()
    {
        QFETCH(bool, byDatabase);
        QFETCH(int, failing);
        tst::OpsDb db;
        QVERIFY(db.ok());
        XlsReader book;
        QVERIFY(openSheet(book, "ten.xls", QStringLiteral("Sheet1")));
        int inserts = 0;
        if (byDatabase)
            tst::addRefusal(db.con(), QStringLiteral("refuse_row"), QStringLiteral("before insert on yhda"),
                            QStringLiteral("new.xh = %1").arg(failing), QStringLiteral("refused"));
        else
            db.con().setStatementHook([&inserts, failing](const QString& sql) {
                if (sql.startsWith(QStringLiteral("insert into yhda")) && ++inserts == failing)
                    throw db::Error(QStringLiteral("disk full"), sql);
            });
        CustomerImport rows(db.con(), book, {1, 1, QStringLiteral("甲")});
        QCOMPARE(rows.run({3, 0}, {}), CustomerImport::End::Failed);
        db.con().setStatementHook({});
        QCOMPARE(rows.count(), failing - 1);
        QCOMPARE(db.count(QStringLiteral("yhda")), failing - 1);
        QCOMPARE(db.con().transactionDepth(), 0);
    }

    void stopEndsAfterTheNextRow()
    {
        tst::OpsDb db;
        QVERIFY(db.ok());
        XlsReader book;
        QVERIFY(openSheet(book, "ten.xls", QStringLiteral("Sheet1")));
        CustomerImport rows(db.con(), book, {1, 1, QStringLiteral("甲")});
        QList<int> committed;
        rows.setCommitObserver([&committed](int n) { committed << n; });
        const auto end = rows.run({1, 0}, [&rows] {
            if (rows.count() == 3)
                rows.requestStop();
        });
        QCOMPARE(end, CustomerImport::End::Stopped);
        QCOMPARE(rows.count(), 4);
        QCOMPARE(db.count(QStringLiteral("yhda")), 4);
        QCOMPARE(committed, (QList<int>{1, 2, 3, 4}));
    }

    void logTexts()
    {
        tst::OpsDb db;
        QVERIFY(db.ok());
        ops::customers::logImport(db.con(), db.who, 4, QStringLiteral("P'"), true);
        ops::customers::logImport(db.con(), db.who, 10, QStringLiteral("P'"), false);
        QCOMPARE(db.count(QStringLiteral("syslog"), QStringLiteral("logcon='导入4条营销数据到业务:P''' and "
                                                                   "uname='admin'")),
                 1);
        QCOMPARE(db.count(QStringLiteral("syslog"), QStringLiteral("logcon='导入10条营销数据到项目:P'''")), 1);
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
