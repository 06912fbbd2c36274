#include "support/testmain.h"

#include "core/dbgrid.h"
#include "core/export.h"
#include "core/filedlg.h"
#include "db/error.h"
#include "support/failwhere.h"
#include "support/msgscript.h"
#include "support/testdb.h"

#include <QFile>
#include <QHeaderView>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace {

// One cell of a written sheet: its text (shared or inline string, or number) and the number
// format of its style.
struct Cell
{
    QString type; // "n", "inlineStr", "s", "" (blank)
    QString value;
    QString format;
};

// A written workbook, read back through unzip.
class Book
{
public:
    explicit Book(const QString& file) : m_file(file)
    {
        readFormats();
        QXmlStreamReader wb(part(QStringLiteral("xl/workbook.xml")));
        while (!wb.atEnd()) {
            wb.readNext();
            if (wb.isStartElement() && wb.name() == QLatin1String("sheet"))
                m_sheets << wb.attributes().value(QLatin1String("name")).toString();
        }
    }
    QStringList sheets() const { return m_sheets; }

    // Cells of sheet n (1-based) by reference ("A1").
    QMap<QString, Cell> cells(int n) const
    {
        QMap<QString, Cell> out;
        QXmlStreamReader x(part(QStringLiteral("xl/worksheets/sheet%1.xml").arg(n)));
        QString ref;
        while (!x.atEnd()) {
            x.readNext();
            if (!x.isStartElement())
                continue;
            if (x.name() == QLatin1String("c")) {
                ref = x.attributes().value(QLatin1String("r")).toString();
                Cell c;
                c.type = x.attributes().value(QLatin1String("t")).toString();
                c.format = m_formats.value(x.attributes().value(QLatin1String("s")).toInt());
                if (c.type.isEmpty())
                    c.type = QStringLiteral("blank");
                out.insert(ref, c);
            } else if (x.name() == QLatin1String("v") || x.name() == QLatin1String("t")) {
                out[ref].value = x.readElementText();
                if (out[ref].type == QLatin1String("blank"))
                    out[ref].type = QStringLiteral("n");
            }
        }
        return out;
    }
    int rowCount(int n) const
    {
        int rows = 0;
        const QByteArray xml = part(QStringLiteral("xl/worksheets/sheet%1.xml").arg(n));
        for (qsizetype i = xml.indexOf("<row "); i >= 0; i = xml.indexOf("<row ", i + 1))
            ++rows;
        return rows;
    }

private:
    QByteArray part(const QString& name) const
    {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), m_file, name});
        unzip.waitForFinished(30000);
        return unzip.readAllStandardOutput();
    }
    // style index -> number format code
    void readFormats()
    {
        QMap<int, QString> codes{{0, QStringLiteral("General")}, {49, QStringLiteral("@")}};
        QXmlStreamReader x(part(QStringLiteral("xl/styles.xml")));
        bool inXfs = false;
        int xf = 0;
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == QLatin1String("numFmt"))
                codes.insert(x.attributes().value(QLatin1String("numFmtId")).toInt(),
                             x.attributes().value(QLatin1String("formatCode")).toString());
            else if (x.isStartElement() && x.name() == QLatin1String("cellXfs"))
                inXfs = true;
            else if (x.isEndElement() && x.name() == QLatin1String("cellXfs"))
                inXfs = false;
            else if (inXfs && x.isStartElement() && x.name() == QLatin1String("xf"))
                m_formats.insert(xf++, codes.value(x.attributes().value(QLatin1String("numFmtId")).toInt()));
        }
    }
    QString m_file;
    QStringList m_sheets;
    QMap<int, QString> m_formats;
};

const QString kInt = QStringLiteral("0_ ");
const QString kFloat = QStringLiteral("0.00_ ");
const QString kText = QStringLiteral("@");

// A table of every kind of column the lists show.
void fillCustomers(tst::TestDb& db)
{
    // the column types each engine gives the program's own tables
    db.exec(db.onServer() ? QStringLiteral("create table t (id serial primary key, n integer, big bigint, "
                                           "f double precision, s text, d text)")
                          : QStringLiteral("create table t (id integer primary key autoincrement, n integer, big integer, "
                                           "f real, s text, d text)"));
    db.exec(QStringLiteral("insert into t(n,big,f,s,d) values(42, 13800138000, 2.5, '0755123', "
                           "'2024-01-02 03:04:05')"));
    db.exec(QStringLiteral("insert into t(n,big,f,s,d) values(-7, 5, 1.0/3, 'O''Brien <&> \"x\"\n第二行', null)"));
    db.exec(QStringLiteral("insert into t(n,big,f,s,d) values(null, null, null, '', '')"));
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QStringList m_opened;
    bool m_openable = true; // a program takes the workbook
    std::unique_ptr<tst::TestDb> m_db; // a fresh one for every test

    QString exportTo(TDBGrid& grid, const QString& name)
    {
        const QString path = m_tmp.filePath(name);
        filedlg::clearAnswers();
        filedlg::queueAnswers({path});
        ExportToExcel({&grid});
        filedlg::clearAnswers();
        return path;
    }

private slots:
    void init()
    {
        m_db = std::make_unique<tst::TestDb>();
        QVERIFY(m_db->ok());
        m_opened.clear();
        m_openable = true;
        xlsexport::setOpener([this](const QString& p) {
            m_opened << p;
            return m_openable;
        });
    }
    void cleanup()
    {
        xlsexport::setOpener({});
        xlsexport::setRowsPerSheet(0);
        filedlg::clearAnswers();
        m_db.reset();
    }

    void keepsLayoutAndFormats()
    {
        tst::TestDb& db = *m_db;
        fillCustomers(db);
        TDBGrid grid;
        grid.setColumns({{QStringLiteral("s"), QStringLiteral("电话"), 120},
                         {QStringLiteral("n"), QStringLiteral("数量"), 60},
                         {QStringLiteral("big"), QStringLiteral("大数"), 60},
                         {QStringLiteral("f"), QStringLiteral("比例"), 60},
                         {QStringLiteral("d"), QStringLiteral("时间"), 140},
                         {QStringLiteral("id"), QStringLiteral("编号"), 40}});
        grid.open(QStringLiteral("select * from t order by id"));
        // The user moved 编号 to the front; the order on screen is the order in the sheet.
        grid.horizontalHeader()->moveSection(grid.horizontalHeader()->visualIndex(0), 0);

        const QString path = exportTo(grid, QStringLiteral("layout.xlsx"));
        QCOMPARE(m_opened, QStringList{path});
        Book book(path);
        QCOMPARE(book.sheets(), QStringList{QStringLiteral("DBGrid1")});
        QCOMPARE(book.rowCount(1), 4);
        const auto c = book.cells(1);
        const QStringList titles{"编号", "电话", "数量", "大数", "比例", "时间"};
        for (int k = 0; k < titles.size(); ++k)
            QCOMPARE(c.value(QChar(u'A' + k) + QStringLiteral("1")).value, titles[k]);

        // autonumber key as text, then the leading-zero phone as text
        QCOMPARE(c.value("A2").value, QStringLiteral("1"));
        QCOMPARE(c.value("A2").format, kText);
        QCOMPARE(c.value("B2").value, QStringLiteral("0755123"));
        QCOMPARE(c.value("B2").type, QStringLiteral("inlineStr"));
        QCOMPARE(c.value("B2").format, kText);
        // a 32-bit integer is a number in "0_ "
        QCOMPARE(c.value("C2").type, QStringLiteral("n"));
        QCOMPARE(c.value("C2").value, QStringLiteral("42"));
        QCOMPARE(c.value("C2").format, kInt);
        QCOMPARE(c.value("C3").value, QStringLiteral("-7"));
        // an integer beyond 32 bits keeps all its digits as text
        QCOMPARE(c.value("D2").value, QStringLiteral("13800138000"));
        QCOMPARE(c.value("D2").format, kText);
        QCOMPARE(c.value("D3").value, QStringLiteral("5"));
        QCOMPARE(c.value("D3").format, kInt);
        // floating point in "0.00_ ", at full precision
        QCOMPARE(c.value("E2").value.toDouble(), 2.5);
        QCOMPARE(c.value("E2").format, kFloat);
        QVERIFY(qAbs(c.value("E3").value.toDouble() - 1.0 / 3) < 1e-12);
        // a date as its display text
        QCOMPARE(c.value("F2").value, QStringLiteral("2024-01-02 03:04:05"));
        QCOMPARE(c.value("F2").format, kText);
        // hostile text arrives unchanged
        QCOMPARE(c.value("B3").value, QStringLiteral("O'Brien <&> \"x\"\n第二行"));
        // empty values stay empty, in their column's format
        QCOMPARE(c.value("C4").type, QStringLiteral("blank"));
        QCOMPARE(c.value("C4").format, kInt);
        QCOMPARE(c.value("E4").format, kFloat);
        QVERIFY(c.value("B4").value.isEmpty());
        QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
    }

    void rowsInTheGridsOrderAndHiddenColumnsLeftOut()
    {
        tst::TestDb& db = *m_db;
        fillCustomers(db);
        TDBGrid grid;
        grid.setColumns({{QStringLiteral("n"), QStringLiteral("数量"), 60}, {QStringLiteral("s"), QStringLiteral("S"), 60}});
        grid.open(QStringLiteral("select top 2 n, s from t where n is not null order by n"));
        grid.setColumnHidden(grid.fieldIndex(QStringLiteral("s")), true);
        const auto c = Book(exportTo(grid, QStringLiteral("order.xlsx"))).cells(1);
        QCOMPARE(c.value("A2").value, QStringLiteral("-7"));
        QCOMPARE(c.value("A3").value, QStringLiteral("42"));
        QVERIFY(!c.contains("B1"));
        QCOMPARE(c.size(), 3);
    }

    void emptyDataSetGivesTitleRowOnly()
    {
        TDBGrid grid;
        grid.setColumns({{QStringLiteral("yhxm"), QStringLiteral("姓名"), 80},
                         {QStringLiteral("dhhm1"), QStringLiteral("电话号码"), 80}});
        grid.open(QStringLiteral("select * from yhdaview where 1=2"));
        const QString path = exportTo(grid, QStringLiteral("empty.xlsx"));
        Book book(path);
        QCOMPARE(book.sheets(), QStringList{QStringLiteral("DBGrid1")});
        QCOMPARE(book.rowCount(1), 1);
        QCOMPARE(book.cells(1).value("B1").value, QStringLiteral("电话号码"));
    }

    void cancelledOrClosedWritesNothing()
    {
        tst::MsgScript boxes;
        boxes.strict();
        TDBGrid grid;
        grid.open(QStringLiteral("select * from syslogin"));
        filedlg::clearAnswers();
        filedlg::queueAnswers({QString()}); // the dialog was cancelled
        ExportToExcel({&grid});
        QCOMPARE(filedlg::askedCount(), 1);
        QVERIFY(m_opened.isEmpty());

        grid.close();
        filedlg::clearAnswers();
        filedlg::queueAnswers({m_tmp.filePath(QStringLiteral("closed.xlsx"))});
        ExportToExcel({&grid});
        QCOMPARE(filedlg::askedCount(), 0); // ends before asking
        QVERIFY(!QFile::exists(m_tmp.filePath(QStringLiteral("closed.xlsx"))));
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(boxes.count(), 0);
        QVERIFY(!QApplication::overrideCursor());
    }

    void unwritableTargetIsReportedAndExistingFileKept()
    {
        tst::TestDb& db = *m_db;
        tst::MsgScript boxes;
        TDBGrid grid;
        grid.open(QStringLiteral("select * from syslogin"));
        const QString nowhere = m_tmp.filePath(QStringLiteral("无此目录/x.xlsx"));
        exportTo(grid, QStringLiteral("无此目录/x.xlsx"));
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("无法写入文件") + nowhere + QStringLiteral("，导出未完成!")});
        QVERIFY(m_opened.isEmpty());
        QVERIFY(!QApplication::overrideCursor());

        if (db.onServer())
            return; // a grid on the server has all its rows at once: the export reads nothing more
        // Rows that cannot be read now reach the caller; the old file stays as it was.
        const QString old = m_tmp.filePath(QStringLiteral("old.xlsx"));
        QFile f(old);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("previous export");
        f.close();
        db.exec(QStringLiteral("with recursive c(i) as (select 1 union all select i+1 from c where i<300) "
                               "insert into syslog(uname) select 'u' from c"));
        grid.open(QStringLiteral("select * from syslog"));
        {
            tst::FailWhere lost(QStringLiteral("from syslog"));
            QVERIFY_THROWS_EXCEPTION(db::Error, xlsexport::writeWorkbook({&grid}, old));
        }
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("previous export"));
        QVERIFY(!QFile::exists(old + QStringLiteral(".part")));
    }

    void nameWithoutExtensionAndSheetNames()
    {
        TDBGrid a;
        TDBGrid b;
        TDBGrid c;
        c.setObjectName(QStringLiteral("a:very/long*name[with]bad?chars and more"));
        for (TDBGrid* g : {&a, &b, &c})
            g->open(QStringLiteral("select uname from syslogin"));
        filedlg::clearAnswers();
        filedlg::queueAnswers({m_tmp.filePath(QStringLiteral("noext"))});
        ExportToExcel({&a, &b, &c});
        const QString path = m_tmp.filePath(QStringLiteral("noext.xlsx"));
        QCOMPARE(m_opened, QStringList{path});
        QCOMPARE(Book(path).sheets(), (QStringList{QStringLiteral("DBGrid1"), QStringLiteral("DBGrid1 (2)"),
                                                   QStringLiteral("a_very_long_name_with_bad_chars")}));
    }

    void noProgramForWorkbooksSaysWhereItIs()
    {
        tst::MsgScript boxes;
        TDBGrid grid;
        grid.open(QStringLiteral("select uname from syslogin"));
        m_openable = false;
        const QString path = exportTo(grid, QStringLiteral("无人打开 'x'.xlsx"));
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("数据已导出到文件") + QDir::toNativeSeparators(path) +
                                            QStringLiteral("，没有找到可以打开它的程序!")});
        QVERIFY(QFile::exists(path));
    }

    void exportsWhatTheGridShows_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("all rows read") << 3;
        QTest::newRow("partly read") << 300; // more than one batch of the grid
    }
    void exportsWhatTheGridShows()
    {
        QFETCH(int, rows);
        tst::TestDb& db = *m_db;
        db.exec(QStringLiteral("with recursive c(i) as (select 1 union all select i+1 from c where i<%1) "
                               "insert into syslog(uname,logcon) select 'u', 'row '||i from c")
                    .arg(rows));
        TDBGrid grid;
        grid.setColumns({{QStringLiteral("logcon"), QStringLiteral("内容"), 80}});
        grid.open(QStringLiteral("select * from syslog order by logcon desc"));
        QCOMPARE(grid.queryModel()->canFetchMore(), rows > 3);
        // Changed and added after the grid was read: the user has not seen these.
        db.exec(QStringLiteral("update syslog set logcon='changed' where id in (1, %1)").arg(rows));
        db.exec(QStringLiteral("insert into syslog(uname,logcon) values('u','zz added')"));

        Book book(exportTo(grid, QStringLiteral("shown.xlsx")));
        QCOMPARE(book.rowCount(1), rows + 1);
        const auto c = book.cells(1);
        QCOMPARE(c.value("A2").value, QStringLiteral("row %1").arg(rows == 3 ? 3 : 99));
        QCOMPARE(c.value(QStringLiteral("A%1").arg(rows + 1)).value, QStringLiteral("row 1"));
        // A re-read shows the changes, and so does its export.
        grid.reopen();
        const auto now = Book(exportTo(grid, QStringLiteral("reread.xlsx"))).cells(1);
        QCOMPARE(now.value("A2").value, QStringLiteral("zz added"));
        QCOMPARE(now.size(), rows + 2);
    }

    void longListGoesOnInFurtherSheets()
    {
        tst::TestDb& db = *m_db;
        for (int i = 1; i <= 5; ++i)
            db.exec(QStringLiteral("insert into syslog(uname,logcon) values('u','%1')").arg(i));
        xlsexport::setRowsPerSheet(2);
        TDBGrid grid;
        grid.setColumns({{QStringLiteral("logcon"), QStringLiteral("内容"), 80}});
        grid.open(QStringLiteral("select * from syslog order by id"));
        Book book(exportTo(grid, QStringLiteral("long.xlsx")));
        QCOMPARE(book.sheets(), (QStringList{QStringLiteral("DBGrid1"), QStringLiteral("DBGrid1 (2)"),
                                             QStringLiteral("DBGrid1 (3)")}));
        QCOMPARE(book.cells(2).value("A1").value, QStringLiteral("内容"));
        QCOMPARE(book.cells(2).value("A3").value, QStringLiteral("4"));
        QCOMPARE(book.rowCount(3), 2);
    }
};

TV_TEST_MAIN(TestExport)
#include "tst_export.moc"
