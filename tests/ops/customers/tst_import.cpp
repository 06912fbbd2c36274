// The import's row writer and the .xls reader, on a database without any window.
#include "ops/customers/customerimport.h"
#include "ops/customers/xls/biffbook.h"
#include "ops/customers/xls/compoundfile.h"
#include "ops/customers/xls/xlsreader.h"
#include "support/builders.h"
#include "support/logcapture.h"
#include "support/opsdb.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

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

// While it lives, FreeXL gives up on every workbook the way it gives up on those it cannot read
// (success without a handle): our own reader reads them.
struct FreeXLGivesUp
{
    FreeXLGivesUp()
    {
        XlsReader::setFaultHook([](const char* op) {
            if (qstrcmp(op, "freexl") == 0)
                throw XlsError(QStringLiteral("FreeXL gave up"));
        });
    }
    ~FreeXLGivesUp() { XlsReader::setFaultHook({}); }
    FreeXLGivesUp(const FreeXLGivesUp&) = delete;
    FreeXLGivesUp& operator=(const FreeXLGivesUp&) = delete;
};

// Everything the import can read of the workbook: each sheet's size and headers, and each cell
// as text and as integer ("-" where it is none), one line per cell.
QStringList contents(const QString& path)
{
    XlsReader book;
    book.open(path);
    QStringList lines;
    for (QString sheet : book.tableNames()) {
        sheet.chop(1);
        book.selectSheet(sheet);
        lines << QStringLiteral("%1: %2 rows, %3 columns").arg(sheet).arg(book.rowCount()).arg(book.columnCount());
        for (int c = 0; c < book.columnCount(); ++c)
            lines << QStringLiteral("%1 header %2: %3").arg(sheet).arg(c).arg(book.header(c));
        for (int r = 0; r < book.rowCount(); ++r)
            for (int c = 0; c < book.columnCount(); ++c) {
                QString integer = QStringLiteral("-");
                try {
                    integer = QString::number(book.integer(r, c));
                } catch (const XlsError&) {
                }
                lines << QStringLiteral("%1 (%2,%3): '%4' %5").arg(sheet).arg(r).arg(c).arg(book.text(r, c), integer);
            }
    }
    return lines;
}

} // namespace

class TestImport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The generated workbook of the benchmarks and the kill test, small.
        QVERIFY(m_generated.isValid());
        QProcess gen;
        gen.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral(TV_FIXTURES "/make_fixtures.py"), QStringLiteral("--big"), QStringLiteral("1500"),
                   m_generated.filePath(QStringLiteral("big.xls"))});
        QVERIFY(gen.waitForFinished(60000));
        QCOMPARE(gen.exitCode(), 0);
    }

    // Our own reader reads every workbook as FreeXL does: the same sheets, sizes, headers, and
    // every cell's text and integer.
    void ownReaderAgreesWithFreeXL_data()
    {
        QTest::addColumn<QString>("path");
        const QDir fixtures(QStringLiteral(TV_FIXTURES));
        for (const QString& name : fixtures.entryList({QStringLiteral("*.xls")}, QDir::Files, QDir::Name))
            if (name != QStringLiteral("calcformulas.xls")) // see ownReaderGivesFormulaResults
                QTest::newRow(qPrintable(name)) << fixtures.filePath(name);
        QTest::newRow("generated") << m_generated.filePath(QStringLiteral("big.xls"));
    }
    void ownReaderAgreesWithFreeXL()
    {
        QFETCH(QString, path);
        const QStringList byFreeXL = contents(path);
        QVERIFY(byFreeXL.size() > 5);
        FreeXLGivesUp givesUp;
        QCOMPARE(contents(path), byFreeXL);
    }

    // A formula keeps the result it had when Calc saved the workbook: our reader gives it, where
    // FreeXL reads no formula results and leaves the cell empty. Every other cell (a time, truth
    // values, fractions, numbers side by side) reads as FreeXL reads it.
    void ownReaderGivesFormulaResults()
    {
        const QString path = fixture("calcformulas.xls");
        QStringList expected = contents(path);
        for (const auto& [cell, result] : {std::pair{"(0,4)", "'13800138000' -"}, std::pair{"(1,4)", "'-6' -6"}}) {
            const qsizetype at = expected.indexOf(QStringLiteral("Formeln %1: '' -").arg(cell));
            QVERIFY(at >= 0);
            expected[at] = QStringLiteral("Formeln %1: %2").arg(cell, result);
        }
        FreeXLGivesUp givesUp;
        QCOMPARE(contents(path), expected);
    }

    // Damaged records, one at a time: our reader refuses the workbook or reads it, and never
    // reads outside the stream (run it under valgrind or AddressSanitizer).
    void ownReaderBoundsDamage_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("damage");
        for (const char* file : {"calc.xls", "extra.xls", "emptytext.xls"}) {
            QTest::addRow("%s: length past the stream", file) << file << 0;
            QTest::addRow("%s: no body", file) << file << 1;
            QTest::addRow("%s: body of 0xFF", file) << file << 2;
            QTest::addRow("%s: body cut in half", file) << file << 3;
        }
    }
    void ownReaderBoundsDamage()
    {
        QFETCH(QString, file);
        QFETCH(int, damage);
        QFile f(fixture(qPrintable(file)));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QString name;
        const QByteArray stream =
            cfb::readStream(f.readAll(), QStringLiteral("Workbook"), &name).value_or(QByteArray());
        QVERIFY(!stream.isEmpty());
        int records = 0, refused = 0;
        for (qsizetype at = 0; at + 4 <= stream.size(); at += 4 + cfb::u16(stream, at + 2), ++records) {
            QByteArray s = stream;
            const quint16 len = cfb::u16(s, at + 2);
            switch (damage) {
            case 0:
                s[at + 2] = s[at + 3] = char(0xFF);
                break;
            case 1:
                s.remove(at + 4, len);
                s[at + 2] = s[at + 3] = 0;
                break;
            case 2:
                s.replace(at + 4, len, QByteArray(len, char(0xFF)));
                break;
            default:
                s.remove(at + 4 + len / 2, len - len / 2);
                s[at + 2] = char((len / 2) & 0xFF);
                s[at + 3] = char(len / 2 >> 8);
                break;
            }
            try {
                const biff::Book book(cfb::writeStream(name, s));
                for (int i = 0; i < book.sheetNames().size(); ++i) {
                    const biff::Sheet sheet = book.sheet(i);
                    QVERIFY(sheet.rows <= 65536 && sheet.columns <= 256);
                    for (int r = 0; r < sheet.rows; ++r)
                        for (int c = 0; c < sheet.columns; ++c)
                            (void)sheet.text(r, c);
                }
            } catch (const XlsError&) {
                ++refused;
            }
        }
        QVERIFY(records > 20);
        QVERIFY(damage == 2 || refused > 0); // 0xFF everywhere may still read
    }

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

    // A workbook saved by LibreOffice Calc (see make_fixtures.py): FreeXL alone answers it with
    // success and no handle (a text cell holds an empty string); every sheet, row and text comes
    // through, dates as text and phone numbers as their digits. So it does when FreeXL gives up
    // even on the rewritten copy, through our own reader.
    void readsCalcWorkbook_data()
    {
        QTest::addColumn<bool>("freexlGivesUp");
        QTest::newRow("FreeXL") << false;
        QTest::newRow("FreeXL gives up") << true;
    }
    void readsCalcWorkbook()
    {
        QFETCH(bool, freexlGivesUp);
        std::optional<FreeXLGivesUp> givesUp;
        if (freexlGivesUp)
            givesUp.emplace();
        tst::OpsDb db;
        QVERIFY(db.ok());
        XlsReader book;
        book.open(fixture("calc.xls"));
        QCOMPARE(book.tableNames(), QStringList({"Kundenübersicht$", "Rückrufe März$"}));
        for (const QString& sheet : {QStringLiteral("Kundenübersicht"), QStringLiteral("Rückrufe März")}) {
            QVERIFY(openSheet(book, "calc.xls", sheet));
            CustomerImport rows(db.con(), book, {1, 1, QStringLiteral("甲")});
            QCOMPARE(rows.run({1, 0}, {}), CustomerImport::End::Finished);
        }
        const auto row = [&db](int xh) {
            return db
                .scalar(QStringLiteral("select yhxm||'|'||dq||'|'||dz||'|'||dhhm1||'|'||xxzl from yhda where "
                                       "xh=%1")
                            .arg(xh))
                .toString();
        };
        QCOMPARE(db.count(QStringLiteral("yhda")), 4);
        QCOMPARE(row(1), QStringLiteral("Jürgen Müller|München|Hauptstraße 1|13800138000|Geburtstag:  1990-05-17\r\n"
                                        "Rückruf am:  2024-03-05 14:30:00\r\n"));
        QCOMPARE(row(2).section(u'|', 0, 3), QStringLiteral("Änne Öztürk|Köln|Domplatz 2|0221-123456"));
        QCOMPARE(row(3),
                 QStringLiteral("王五||中山路3号|13900000003|Geburtstag:  \r\nRückruf am:  2024-03-06 09:05:00\r\n"));
        QCOMPARE(row(7), QStringLiteral("Grüße|Düsseldorf|Königsallee 7|13700000007|"));
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
        QCOMPARE(db.scalar(QStringLiteral("select xxzl from yhda where xh=2")).toString(),
                 QStringLiteral("性别:  女\r\n年龄:  41.5\r\n生日:  \r\n备注:  \r\n"));
        QCOMPARE(db.scalar(QStringLiteral("select xxzl from yhda where xh=3")).toString(),
                 QStringLiteral("性别:  \r\n年龄:  \r\n生日:  \r\n备注:  x'y\r\n"));
        QCOMPARE(db.scalar(QStringLiteral("select yhxm from yhda where xh=2")).toString(), QStringLiteral("O'Brien"));
        // A row without a number is left out; an empty phone is empty text, never null.
        QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("yhxm='空行'")), 0);
        QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("xh=2 and dhhm1=''")), 1);
        QCOMPARE(db.con().transactionDepth(), 0);
    }

    // Five columns only: a phone stored as a number comes out as its digits, text phones keep
    // their zeros, cells are trimmed; the record starts unhandled, unassigned, with no result.
    void storesFiveColumnsAsWritten()
    {
        tst::OpsDb db;
        QVERIFY(db.ok());
        const qint64 p = tst::addProject(db.con(), QStringLiteral("P"));
        XlsReader book;
        QVERIFY(openSheet(book, "five.xls", QStringLiteral("客户")));
        CustomerImport rows(db.con(), book, {p, 1, QStringLiteral("甲")});
        QCOMPARE(rows.run({1, 0}, {}), CustomerImport::End::Finished);
        const auto row = [&db](int xh) {
            return db.con()
                .scalar(QStringLiteral("select yhxm||'|'||dq||'|'||dz||'|'||dhhm1 from yhda where xh=?"), {xh})
                .toString();
        };
        QCOMPARE(row(1), QStringLiteral("张三|东区|人民路1号|13800138000"));
        QCOMPARE(row(2), QStringLiteral("李四|西区|解放路2号|0755-1234567"));
        QCOMPARE(row(3), QStringLiteral("王五|南区|中山路3号|01234"));
        QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("xxzl='' and sljg='未受理' and del=0 and jg is null "
                                                                 "and zdslz is null and drsj is not null")),
                 3);
    }

    // Batches of three; row `failing` fails, refused by the connection (as a lost disk would be)
    // or by the database itself (a trigger: on the server that ends the whole transaction).
    void failureKeepsEarlierRows_data()
    {
        QTest::addColumn<bool>("byDatabase");
        QTest::addColumn<int>("failing");
        QTest::addColumn<int>("perStatement");
        QTest::addColumn<int>("batch");
        QTest::newRow("statement fails, first of a batch") << false << 7 << 64 << 3;
        QTest::newRow("database refuses, first of a batch") << true << 7 << 64 << 3;
        QTest::newRow("database refuses, inside a batch") << true << 9 << 64 << 3;
        // The rows of one statement: the refused one is found, the ones before it kept.
        QTest::newRow("database refuses, inside a statement of 4") << true << 7 << 4 << 10;
        QTest::newRow("database refuses, first of a statement of 4") << true << 5 << 4 << 10;
    }
    void failureKeepsEarlierRows()
    {
        QFETCH(bool, byDatabase);
        QFETCH(int, failing);
        QFETCH(int, perStatement);
        QFETCH(int, batch);
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
        rows.setRowsPerStatement(perStatement);
        tst::LogCapture log;
        QCOMPARE(rows.run({batch, 0}, {}), CustomerImport::End::Failed);
        db.con().setStatementHook({});
        // The sheet's rows are numbered below its header row: 序号 n is on row n + 1.
        QCOMPARE(rows.failure().sheetRow, failing + 1);
        const QString reason = byDatabase ? QStringLiteral("refused") : QStringLiteral("disk full");
        QVERIFY2(rows.failure().reason.contains(reason), qPrintable(rows.failure().reason));
        QVERIFY2(rows.failure().reason.contains(QStringLiteral("insert into yhda")), qPrintable(rows.failure().reason));
        QCOMPARE(log.count(reason), 1);
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

private:
    QTemporaryDir m_generated;
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
