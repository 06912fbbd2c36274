// Customer lists in every format the import reads (.xls, .xlsx, .csv), and damaged ones.
#include "ops/customers/csvreader.h"
#include "ops/customers/customerimport.h"
#include "ops/customers/partxml.h"
#include "ops/customers/sheetreader.h"
#include "ops/customers/xlsxreader.h"
#include "support/builders.h"
#include "support/opsdb.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <xlsxwriter.h>
#include <zip.h>

using ops::customers::CustomerImport;

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(TV_FIXTURES "/") + name;
}

// The rows every list of the fixtures imports: 序号, the named columns and the extra information.
const QStringList kRows{
    QStringLiteral(
        "1|张三|东区|人民路1号|13812345678|性别:  男\r\n年龄:  35\r\n生日:  1990-05-17\r\n备注:  老客户\r\n"),
    QStringLiteral("2|O'Brien|西区|it's \"here\", drop; table yhda;--|010-12345678|"
                   "性别:  女\r\n年龄:  41.5\r\n生日:  \r\n备注:  第一行\n第二行\r\n"),
    QStringLiteral("3|赵六|北区|和平路3号|020-88888888|性别:  \r\n年龄:  \r\n生日:  \r\n备注:  x'y\r\n")};

// Imports the list's first sheet that has the named columns; the rows it wrote, in order.
QStringList imported(tst::OpsDb& db, const QString& path)
{
    const qint64 p = tst::addProject(db.con(), QStringLiteral("P"));
    std::unique_ptr<SheetReader> book = openSheetReader(path);
    QString sheet;
    for (QString name : book->tableNames()) {
        name.chop(1);
        try {
            book->checkColumns(name, ops::customers::importColumns());
            sheet = name;
            break;
        } catch (const XlsError&) {
        }
    }
    book->selectSheet(sheet);
    CustomerImport rows(db.con(), *book, {p, 1, QStringLiteral("导入员")});
    if (rows.run({2, 0}, {}) != CustomerImport::End::Finished)
        return {QStringLiteral("failed")};
    QStringList out;
    QSqlQuery q = db.con().select(QStringLiteral("select xh,yhxm,dq,dz,dhhm1,xxzl from yhda order by xh"));
    while (q.next()) {
        QStringList cells;
        for (int c = 0; c < 6; ++c)
            cells << q.value(c).toString();
        out << cells.join(u'|');
    }
    return out;
}

// The fixture's rows written by libxlsxwriter, with shared strings or (in its constant-memory
// mode) inline strings.
bool writeWithXlsxwriter(const QString& path, bool inlineStrings)
{
    lxw_workbook_options options{};
    options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(path.toUtf8().constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "名单");
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    const char* head[] = {"序号", "姓名", "区域", "地址", "电话号码", "性别", "年龄", "生日", "备注"};
    for (int c = 0; c < 9; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), head[c], nullptr);
    auto text = [&](int r, int c, const char* s) {
        worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c), s, nullptr);
    };
    auto number = [&](int r, int c, double d) {
        worksheet_write_number(sheet, lxw_row_t(r), lxw_col_t(c), d, nullptr);
    };
    number(1, 0, 1), text(1, 1, "张三"), text(1, 2, "东区"), text(1, 3, "人民路1号"), number(1, 4, 13812345678.0);
    text(1, 5, "男"), number(1, 6, 35), text(1, 8, "老客户");
    lxw_datetime born{1990, 5, 17, 0, 0, 0};
    worksheet_write_datetime(sheet, 1, 7, &born, date);
    text(2, 1, "空行"), text(2, 2, "东区"), text(2, 3, "无序号"), number(2, 4, 13900000000.0), text(2, 5, "女");
    number(2, 6, 20), text(2, 8, "不导入");
    number(3, 0, 2), text(3, 1, "O'Brien"), text(3, 2, "西区"), text(3, 3, "it's \"here\", drop; table yhda;--");
    text(3, 4, "010-12345678"), text(3, 5, "女"), number(3, 6, 41.5), text(3, 8, "第一行\n第二行");
    number(4, 0, 3), text(4, 1, "赵六"), text(4, 2, "北区"), text(4, 3, "和平路3号"), text(4, 4, "020-88888888");
    text(4, 8, "x'y");
    return workbook_close(book) == LXW_NO_ERROR;
}

// A zip package of these parts.
bool writeZip(const QString& path, const QList<std::pair<const char*, QByteArray>>& parts)
{
    zipFile z = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!z)
        return false;
    bool ok = true;
    for (const auto& [name, bytes] : parts) {
        ok = ok && zipOpenNewFileInZip64(z, name, nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9, 1) == ZIP_OK;
        ok = ok && zipWriteInFileInZip(z, bytes.constData(), unsigned(bytes.size())) == ZIP_OK;
        ok = ok && zipCloseFileInZip(z) == ZIP_OK;
    }
    return zipClose(z, nullptr) == ZIP_OK && ok;
}

// The named columns as a sheet's first row.
const QByteArray kHeaderRow = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>序号</t></is></c>"
                              "<c r=\"B1\" t=\"inlineStr\"><is><t>姓名</t></is></c><c r=\"C1\" "
                              "t=\"inlineStr\"><is><t>区域</t></is></c><c r=\"D1\" t=\"inlineStr\"><is><t>地址</t></is>"
                              "</c><c r=\"E1\" t=\"inlineStr\"><is><t>电话号码</t></is></c></row>";

// A workbook of one sheet "名单" with these rows (sheet XML) and shared strings.
bool writeBook(const QString& path, const QByteArray& rows, const QByteArray& strings = "<sst/>",
               const QByteArray& sheetHead = "<?xml version=\"1.0\"?>")
{
    return writeZip(path,
                    {{"xl/workbook.xml", "<workbook><sheets><sheet name=\"名单\" r:id=\"rId1\" "
                                         "xmlns:r=\"urn:r\"/></sheets></workbook>"},
                     {"xl/_rels/workbook.xml.rels",
                      "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
                     {"xl/sharedStrings.xml", strings},
                     {"xl/worksheets/sheet1.xml",
                      sheetHead + "<worksheet><sheetData>" + kHeaderRow + rows + "</sheetData></worksheet>"}});
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray fixtureBytes(const QString& name)
{
    QFile f(fixture(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestListImport : public QObject
{
    Q_OBJECT
private slots:
    // Every producer and format gives the same rows, texts and phone digits.
    void importsTheSameRows_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("encoding"); // a .csv list's, as found
        for (const char* name : {"lists.xls", "lists_openpyxl.xlsx", "lists_handmade.xlsx", "lists_libreoffice.xlsx"})
            QTest::newRow(name) << fixture(QString::fromLatin1(name)) << QString();
        QTest::newRow("libxlsxwriter, shared strings") << QStringLiteral("shared.xlsx") << QString();
        QTest::newRow("libxlsxwriter, inline strings") << QStringLiteral("inline.xlsx") << QString();
        QTest::newRow(".xls named .xlsx") << QStringLiteral("renamed.xlsx") << QString();
        QTest::newRow("UTF-8") << fixture(QStringLiteral("lists_utf8.csv")) << QStringLiteral("UTF-8");
        QTest::newRow("UTF-8 with mark, semicolons")
            << fixture(QStringLiteral("lists_utf8bom.csv")) << QStringLiteral("UTF-8");
        QTest::newRow("GB18030") << fixture(QStringLiteral("lists_gb18030.csv")) << QStringLiteral("GB18030");
        QTest::newRow("UTF-16, tabs") << fixture(QStringLiteral("lists_utf16.csv")) << QStringLiteral("UTF-16");
    }
    void importsTheSameRows()
    {
        QFETCH(QString, file);
        QFETCH(QString, encoding);
        QTemporaryDir tmp;
        if (file == QStringLiteral("shared.xlsx") || file == QStringLiteral("inline.xlsx")) {
            file = tmp.filePath(file);
            QVERIFY(writeWithXlsxwriter(file, file.endsWith(QStringLiteral("inline.xlsx"))));
        } else if (file == QStringLiteral("renamed.xlsx")) {
            file = tmp.filePath(file);
            QVERIFY(QFile::copy(fixture(QStringLiteral("lists.xls")), file));
        }
        if (!encoding.isEmpty()) {
            CsvReader csv;
            csv.open(file);
            QCOMPARE(csv.encoding(), encoding);
            QCOMPARE(csv.tableNames(), QStringList{QFileInfo(file).completeBaseName() + u'$'});
        }
        tst::OpsDb db;
        QVERIFY(db.ok());
        QCOMPARE(imported(db, file), kRows);
    }

    // Cells of an .xlsx workbook read as the .xls reader gives them: truth values as 1 and 0,
    // dates and times by their format (letters in quotes or brackets are no date), a formula's
    // result, an error value as empty; a part may begin with a byte-order mark.
    void readsXlsxCellKinds()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("kinds.xlsx"));
        QVERIFY(writeZip(
            path,
            {{"xl/workbook.xml", "<workbook><sheets><sheet name=\"S\" r:id=\"a\" xmlns:r=\"urn:r\"/>"
                                 "</sheets></workbook>"},
             {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"a\" Target=\"s.xml\"/></Relationships>"},
             {"xl/styles.xml", "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"0 &quot;ymd&quot;\"/>"
                               "<numFmt numFmtId=\"165\" formatCode=\"[Red][h]:mm:ss\"/></numFmts>"
                               "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"22\"/><xf numFmtId=\"20\"/>"
                               "<xf numFmtId=\"164\"/><xf numFmtId=\"165\"/></cellXfs></styleSheet>"},
             {"xl/s.xml",
              "\xEF\xBB\xBF<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>h</t></is></c></row>"
              "<row r=\"2\"><c r=\"A2\" t=\"b\"><v>1</v></c><c r=\"B2\" s=\"1\"><v>33010.5</v></c>"
              "<c r=\"C2\" s=\"2\"><v>0.75</v></c><c r=\"D2\" s=\"3\"><v>7</v></c>"
              "<c r=\"E2\" s=\"4\"><v>0.5</v></c><c r=\"F2\" t=\"str\"><f>A1&amp;\"x\"</f><v>hx</v></c>"
              "<c r=\"G2\" t=\"e\"><v>#N/A</v></c><c r=\"H2\"><v>0.1</v></c></row>"
              "</sheetData></worksheet>"}}));
        XlsxReader book;
        book.open(path);
        book.selectSheet(QStringLiteral("S"));
        QStringList cells;
        for (int c = 0; c < book.columnCount(); ++c)
            cells << book.text(0, c);
        QCOMPARE(cells, (QStringList{"1", "1990-05-17 12:00:00", "18:00:00", "7", "12:00:00", "hx", "", "0.1"}));
    }

    // Texts and rows far longer than what the reader holds at a time come whole: a cell of many
    // pieces cut anywhere (inside a character or a reference), shared strings together longer
    // than any one cell may be, and a sheet read through many times its buffer.
    void readsLongXlsxPartsWhole()
    {
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("long.xlsx"));
        auto shared = [](int i) { return QStringLiteral("第%1条<长>&文本").arg(i).repeated(40); };
        const QString longCell = QStringLiteral("a张&<三>\"").repeated(30000);
        QByteArray sst = "<sst>";
        for (int i = 0; i < 3000; ++i)
            sst += "<si><t>" + shared(i).toHtmlEscaped().toUtf8() + "</t></si>";
        sst += "</sst>";
        QByteArray rows = "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\" t=\"inlineStr\"><is><t>" +
                          longCell.toHtmlEscaped().toUtf8() + "</t></is></c></row>";
        for (int r = 3; r < 3003; ++r)
            rows += QStringLiteral("<row r=\"%1\" spans=\"1:2\"><c r=\"A%1\" s=\"0\"><v>%1</v></c>"
                                   "<c r=\"B%1\" t=\"s\"><v>%2</v></c></row>")
                        .arg(r)
                        .arg(r - 3)
                        .toUtf8();
        QVERIFY(writeBook(path, rows, sst));
        XlsxReader book;
        book.open(path);
        book.selectSheet(QStringLiteral("名单"));
        QCOMPARE(book.rowCount(), 3001);
        QCOMPARE(book.text(0, 1), longCell);
        for (int r = 1; r < 3001; ++r)
            if (book.text(r, 1) != shared(r - 1) || book.integer(r, 0) != r + 2)
                QFAIL(qPrintable(QStringLiteral("row %1 reads wrong").arg(r)));
    }

    // A workbook part's XML as its reader gives it, also when the bytes come one or a few at a
    // time: elements by local name ("(name" and ")"), text with its references resolved, and the
    // faults it refuses.
    void readsPartXml_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("tokens"); // "!" when refused
        QTest::newRow("elements, text, references")
            << QByteArray("<?xml version=\"1.0\"?>\n<a x=\"1\"><b>t&amp;u&#x4E2D;&#20013;</b><c/></a>")
            << QStringLiteral("(a(b\"t&u中中\")(c))");
        QTest::newRow("mark, prefixes, comment, CDATA, '>' in a value")
            << QByteArray("\xEF\xBB\xBF<x:a xmlns:x=\"u\" v='>'><!-- <no/> --><x:b><![CDATA[<&>]]></x:b></x:a>\n")
            << QStringLiteral("(a(b\"<&>\"))");
        QTest::newRow("space around names and values")
            << QByteArray("<a  x = \"1\"  ><b\n/></a >") << QStringLiteral("(a(b))");
        for (const char* bad : {"<a><b></a></b>", "<a x=1/>", "<a x=\"1\"y=\"2\"/>", "<a>&nbsp;</a>", "<a>&amp</a>",
                                "<a x=\"<\"/>", "x<a/>", "<a>", "<a", "<a><!-- x", "<a><![CDATA[x", "<!DOCTYPE a><a/>",
                                "<a/ >", "<a>&#0;</a>", "<a>&#xD800;</a>"})
            QTest::newRow(bad) << QByteArray(bad) << QStringLiteral("!");
        QTest::newRow("nothing") << QByteArray() << QStringLiteral("!");
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE<\0a\0/\0>\0", 10) << QStringLiteral("!");
    }
    void readsPartXml()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, tokens);
        for (qsizetype piece : {qsizetype(1), qsizetype(3), xml.size() + 1}) {
            qsizetype at = 0;
            PartXml part([&](char* into, qsizetype size) {
                const qsizetype n = std::min({piece, size, xml.size() - at});
                std::memcpy(into, xml.constData() + at, size_t(n));
                at += n;
                return n;
            });
            QString read;
            bool text = false;
            try {
                for (auto t = part.next(); t != PartXml::EndDocument; t = part.next()) {
                    if (t == PartXml::StartElement)
                        read += u'(' + QString::fromUtf8(part.name());
                    else if (t == PartXml::EndElement)
                        read += u')';
                    else if (text)
                        read.chop(1), part.appendText(&read), read += u'"'; // a piece of the same text
                    else
                        read += u'"', part.appendText(&read), read += u'"';
                    text = t == PartXml::Characters;
                }
            } catch (const XlsError&) {
                read = QStringLiteral("!");
            }
            QCOMPARE(read, tokens);
        }
    }

    // A damaged or hostile file is refused before a row is written, with an error and no crash.
    void refusesDamagedFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        const char* names[] = {"truncated.xlsx",      "notazip.xlsx",
                               "bomb.xlsx",           "entities.xlsx",
                               "malformed.xlsx",      "badindex.xlsx",
                               "wide.xlsx",           "unclosed.csv",
                               "invalid-gb18030.csv", "invalid-utf8-with-mark.csv",
                               "gb18030-as-utf8.csv", "cut-character.csv",
                               "unquoted.xlsx",       "undefined-entity.xlsx",
                               "unfinished.xlsx"};
        for (int i = 0; i < int(std::size(names)); ++i)
            QTest::newRow(names[i]) << QString::fromLatin1(names[i]) << i;
    }
    void refusesDamagedFiles()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QTemporaryDir tmp;
        const QString path = tmp.filePath(name);
        const QByteArray row =
            "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\" t=\"inlineStr\"><is><t>张三</t></is></c></row>";
        switch (kind) {
        case 0: {
            const QByteArray good = fixtureBytes(QStringLiteral("lists_openpyxl.xlsx"));
            QVERIFY(writeFile(path, good.left(good.size() * 2 / 3)));
            break;
        }
        case 1:
            QVERIFY(writeFile(path, QByteArray("PK\x03\x04", 4) + QByteArray(4000, 'Z')));
            break;
        case 2: // 40 MB of one byte squeezed into a few kilobytes
            QVERIFY(writeBook(path, row + QByteArray(40 * 1024 * 1024, ' ')));
            break;
        case 3:
            QVERIFY(writeBook(path, row, "<sst/>",
                              "<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaa\">"
                              "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>"));
            break;
        case 4:
            QVERIFY(writeBook(path, "<row r=\"2\"><c r=\"A2\"><v>1</v></row>"));
            break;
        case 5:
            QVERIFY(writeBook(path, "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"B2\" t=\"s\"><v>1</v></c></row>",
                              "<sst><si><t>一</t></si></sst>"));
            break;
        case 6:
            QVERIFY(writeBook(path, "<row r=\"2\"><c r=\"A2\"><v>1</v></c><c r=\"XFE2\"><v>1</v></c></row>"));
            break;
        case 7:
            QVERIFY(writeFile(path, "序号,姓名,区域,地址,电话号码\r\n1,\"张三,东区,路,138\r\n2,李四,西区,路,139\r\n"));
            break;
        case 8: {
            QStringEncoder gb("GB18030");
            QByteArray bytes = gb.encode(QStringLiteral("序号,姓名,区域,地址,电话号码\r\n1,张三,东区,路,138\r\n"));
            QVERIFY(writeFile(path, bytes.replace(",138", ",\xFF\xFF")));
        } break;
        case 9:
            QVERIFY(writeFile(path, "\xEF\xBB\xBF序号,姓名,区域,地址,电话号码\r\n1,\xC0\xAF,东区,路,138\r\n"));
            break;
        case 10:
            QVERIFY(QFile::copy(fixture(QStringLiteral("lists_gb18030.csv")), path));
            break;
        case 11: // the last character's bytes cut short
            QVERIFY(writeFile(
                path, QStringLiteral("序号,姓名,区域,地址,电话号码\n1,张三,东区,路,1\n2,李四").toUtf8().chopped(2)));
            break;
        case 12:
            QVERIFY(writeBook(path, "<row r=\"2\"><c r=A2><v>1</v></c></row>"));
            break;
        case 13: // only a document type could define it
            QVERIFY(writeBook(path, "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>&nbsp;</t></is></c></row>"));
            break;
        default: // the sheet stops inside its rows
            QVERIFY(writeZip(path, {{"xl/workbook.xml", "<workbook><sheets><sheet name=\"名单\" r:id=\"a\" "
                                                        "xmlns:r=\"urn:r\"/></sheets></workbook>"},
                                    {"xl/_rels/workbook.xml.rels",
                                     "<Relationships><Relationship Id=\"a\" Target=\"s.xml\"/></Relationships>"},
                                    {"xl/s.xml", "<worksheet><sheetData>" + kHeaderRow + row}}));
            break;
        }
        tst::OpsDb db;
        QVERIFY(db.ok());
        QString error;
        try {
            std::unique_ptr<SheetReader> book = openSheetReader(path);
            if (auto* csv = dynamic_cast<CsvReader*>(book.get()); csv && kind == 10)
                csv->setEncoding(QStringLiteral("UTF-8"));
            QString sheet = book->tableNames().value(0);
            sheet.chop(1);
            book->checkColumns(sheet, ops::customers::importColumns());
            QFAIL("the damaged file was read");
        } catch (const XlsError& e) {
            error = e.text();
        }
        QVERIFY(!error.isEmpty());
        QCOMPARE(db.count(QStringLiteral("yhda")), 0);
    }
};

QTEST_GUILESS_MAIN(TestListImport)
#include "tst_listimport.moc"
