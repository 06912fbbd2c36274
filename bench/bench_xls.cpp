// import: a 100,000-row workbook through the import window, against a bare FreeXL read plus
// one-transaction insert of the same rows; the same rows as an .xlsx workbook (shared strings,
// phones as numbers) and as a GB18030 .csv list, and the peak memory of a 1,000,000-row .xlsx
// and .csv import. export: a 10,000-row and a 1,000,000-row grid, and
// a 1,000,000-row customer list of 25 columns ordered by a column without an index.
#include "bench/benches.h"
#include "bench/measure.h"
#include "bench/session.h"

#include "core/dbgrid.h"
#include "core/export.h"
#include "core/filedlg.h"
#include "core/msg.h"
#include "core/pub.h"
#include "customers/frmadddata.h"
#include "db/dm.h"
#include "db/schema.h"
#include "ops/customers/sheetreader.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <freexl.h>
#include <xlsxwriter.h>

#include <cmath>
#include <ctime>
#include <cstdio>

namespace bench {
namespace {

QString fixtureScript()
{
    // From the source tree: with a compiler cache the file's own name may be relative.
    return QStringLiteral(TV_SOURCE_DIR "/tests/customers/fixtures/make_fixtures.py");
}

bool openFreshDb(TfrmDM& dm, const QString& file)
{
    QString err;
    if (!db::createDatabase(file, &err)) {
        std::fprintf(stderr, "cannot create database: %s\n", qPrintable(err));
        return false;
    }
    frmDM = &dm;
    dm.ADOcon.open(file);
    return true;
}

QString cellText(const void* h, unsigned row, unsigned short col)
{
    FreeXL_CellValue v;
    if (freexl_get_cell_value(h, row, col, &v) != FREEXL_OK)
        return QString();
    switch (v.type) {
    case FREEXL_CELL_INT:
        return QString::number(v.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return std::floor(v.value.double_value) == v.value.double_value
                   ? QString::number(qint64(v.value.double_value))
                   : QString::number(v.value.double_value, 'g', 15);
    case FREEXL_CELL_NULL:
        return QString();
    default:
        return QString::fromUtf8(v.value.text_value);
    }
}

// The same rows with nothing around them: FreeXL, one prepared insert, one transaction.
int baselineImport(const QString& book)
{
    const void* h = nullptr;
    if (freexl_open(QFile::encodeName(book).constData(), &h) != FREEXL_OK || !h)
        return -1;
    unsigned int sheets = 0;
    freexl_get_info(h, FREEXL_BIFF_SHEET_COUNT, &sheets);
    QSqlQuery ins(ADOcon().database());
    ins.prepare(QStringLiteral("insert into yhda(ywbh,yhxm,pc,xh,drz,dq,dhhm1,dz,sljg,xxzl) values(?,?,?,?,?,?,?,?,?,?)"));
    int n = 0;
    ADOcon().begin();
    for (unsigned short s = 0; s < sheets; ++s) {
        freexl_select_active_worksheet(h, s);
        unsigned int rows = 0;
        unsigned short cols = 0;
        freexl_worksheet_dimensions(h, &rows, &cols);
        QStringList head;
        for (unsigned short c = 0; c < cols; ++c)
            head << cellText(h, 0, c);
        for (unsigned r = 1; r < rows; ++r) {
            QString extra;
            for (unsigned short c = 5; c < cols; ++c)
                extra += head[c] + QStringLiteral(":  ") + cellText(h, r, c) + QStringLiteral("\r\n");
            ins.bindValue(0, 1);
            ins.bindValue(1, cellText(h, r, 1));
            ins.bindValue(2, 1);
            ins.bindValue(3, cellText(h, r, 0).toInt());
            ins.bindValue(4, QStringLiteral("系统管理员"));
            ins.bindValue(5, cellText(h, r, 2));
            ins.bindValue(6, cellText(h, r, 4).trimmed());
            ins.bindValue(7, cellText(h, r, 3).trimmed());
            ins.bindValue(8, QStringLiteral("未受理"));
            ins.bindValue(9, extra);
            if (ins.exec())
                ++n;
        }
    }
    ADOcon().commit();
    freexl_close(h);
    return n;
}

// The rows of the generated .xls (make_fixtures.py --big) as an .xlsx workbook of one sheet;
// constantMemory writes inline strings row by row instead of a shared-string table.
bool writeXlsx(const QString& path, int rows, bool constantMemory)
{
    lxw_workbook_options options{};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    options.tmpdir = nullptr;
    lxw_workbook* book = workbook_new_opt(path.toUtf8().constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, "客户");
    const char* head[] = {"序号", "姓名", "区域", "地址", "电话号码", "性别", "备注"};
    for (int c = 0; c < 7; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), head[c], nullptr);
    for (int i = 1; i <= rows; ++i) {
        const auto r = lxw_row_t(i);
        worksheet_write_number(sheet, r, 0, i, nullptr);
        worksheet_write_string(sheet, r, 1, QStringLiteral("客户%1").arg(i).toUtf8().constData(), nullptr);
        worksheet_write_string(sheet, r, 2, QStringLiteral("区域%1").arg(i % 50).toUtf8().constData(), nullptr);
        worksheet_write_string(sheet, r, 3, QStringLiteral("某某路%1号").arg(i).toUtf8().constData(), nullptr);
        worksheet_write_number(sheet, r, 4, 13800000000.0 + i, nullptr);
        worksheet_write_string(sheet, r, 5, i % 2 ? "男" : "女", nullptr);
        worksheet_write_string(sheet, r, 6, QStringLiteral("备注%1").arg(i).toUtf8().constData(), nullptr);
    }
    return workbook_close(book) == LXW_NO_ERROR;
}

// The same rows as a .csv list in this encoding, written a block at a time.
bool writeCsv(const QString& path, int rows, const char* encoding)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QStringEncoder enc(encoding);
    QString block = QStringLiteral("序号,姓名,区域,地址,电话号码,性别,备注\r\n");
    for (int i = 1; i <= rows; ++i) {
        block += QStringLiteral("%1,客户%1,区域%2,某某路%1号,%3,%4,备注%1\r\n")
                     .arg(i)
                     .arg(i % 50)
                     .arg(13800000000LL + i)
                     .arg(i % 2 ? QStringLiteral("男") : QStringLiteral("女"));
        if (block.size() > 65536 || i == rows) {
            f.write(enc.encode(block));
            block.clear();
        }
    }
    return !enc.hasError();
}

// Imports every sheet of the list through the window into a fresh database: the seconds it
// took, the rows imported, and the process's peak memory over the import.
struct WindowImport
{
    double s = 0;
    double cpu = 0;
    qint64 rows = 0;
    double peakMb = 0;
};

WindowImport importThroughWindow(const QTemporaryDir& tmp, const QString& list, const QString& dbName)
{
    WindowImport out;
    TfrmDM dm;
    if (!openFreshDb(dm, tmp.filePath(dbName)))
        return out;
    ADOcon().execute(QStringLiteral("insert into t_ywbh(ywname,zt) values('基准项目',1)"));
    gUname = QStringLiteral("admin");
    gTruename = QStringLiteral("系统管理员");
    QStringList boxes;
    msg::setHandler([&boxes](const msg::Box& b) {
        boxes << b.text;
        return msg::Answer::Ok;
    });
    resetPeak();
    auto* w = new Tfrmadddata;
    QElapsedTimer t;
    t.start();
    const double cpu = cpuSeconds();
    filedlg::queueAnswers({list});
    w->findChild<QPushButton*>(QStringLiteral("Button3"))->click();
    filedlg::clearAnswers();
    // An .xls sheet holds at most 65,536 rows: the workbook has several, imported in turn
    // from one opening of the window, as a user would.
    auto* sheets = w->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    auto* run = w->findChild<QPushButton*>(QStringLiteral("Button1"));
    for (int s = 0; s < sheets->count(); ++s) {
        sheets->setCurrentIndex(s);
        run->click();
    }
    out.s = t.nsecsElapsed() / 1e9;
    out.cpu = cpuSeconds() - cpu;
    out.peakMb = peakMb();
    delete w;
    msg::setHandler({});
    out.rows = ADOcon().scalar(QStringLiteral("select count(*) from yhda")).toLongLong();
    ADOcon().close();
    frmDM = nullptr;
    return out;
}

// The list's reader alone: open it, check and count its sheet, and read every cell of every row,
// in processor seconds (the import's share that is not the database's).
double readerCpu(const QString& list)
{
    const double cpu = cpuSeconds();
    try {
        std::unique_ptr<SheetReader> book = openSheetReader(list);
        QString sheet = book->tableNames().value(0);
        sheet.chop(1);
        book->selectSheet(sheet);
        qint64 chars = 0;
        for (int r = 0; r < book->rowCount(); ++r)
            for (int c = 0; c < book->columnCount(); ++c)
                chars += book->text(r, c).size();
        if (chars == 0)
            return -1;
    } catch (const XlsError& e) {
        std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(list), qPrintable(e.text()));
        return -1;
    }
    return cpuSeconds() - cpu;
}

} // namespace

int runImport(int argc, char** argv)
{
    const int rows = argument(argc, argv, 1, 100000);
    QTemporaryDir tmp;
    const QString book = tmp.filePath(QStringLiteral("customers.xls"));
    QProcess gen;
    gen.start(QStringLiteral("/usr/bin/python3"), {fixtureScript(), QStringLiteral("--big"), QString::number(rows), book});
    if (!gen.waitForFinished(300000) || gen.exitCode() != 0) {
        std::fprintf(stderr, "cannot generate the workbook: %s\n", gen.readAllStandardError().constData());
        return 1;
    }

    const WindowImport xls = importThroughWindow(tmp, book, QStringLiteral("import.dat"));
    const double importS = xls.s, importCpu = xls.cpu;
    const qint64 imported = xls.rows;

    double baselineS = 0;
    double baselineCpu = 0;
    int baselineRows = 0;
    {
        TfrmDM dm;
        if (!openFreshDb(dm, tmp.filePath(QStringLiteral("baseline.dat"))))
            return 1;
        QElapsedTimer t;
        t.start();
        const double cpu = cpuSeconds();
        baselineRows = baselineImport(book);
        baselineS = t.nsecsElapsed() / 1e9;
        baselineCpu = cpuSeconds() - cpu;
        ADOcon().close();
        frmDM = nullptr;
    }
    std::printf("rows: %d\n", rows);
    std::printf("imported: %lld\n", imported);
    std::printf("baseline_rows: %d\n", baselineRows);
    std::printf("import_s: %.3f\n", importS);
    std::printf("baseline_s: %.3f\n", baselineS);
    std::printf("import_ratio: %.2f\n", baselineS > 0 ? importS / baselineS : 0.0);
    // The machine may be shared: the process's own time too.
    std::printf("import_cpu_s: %.3f\n", importCpu);
    std::printf("baseline_cpu_s: %.3f\n", baselineCpu);
    std::printf("import_cpu_ratio: %.2f\n", baselineCpu > 0 ? importCpu / baselineCpu : 0.0);

    // The other formats, the same rows.
    const QString xlsxFile = tmp.filePath(QStringLiteral("customers.xlsx"));
    const QString csvFile = tmp.filePath(QStringLiteral("customers.csv"));
    if (!writeXlsx(xlsxFile, rows, false) || !writeCsv(csvFile, rows, "GB18030")) {
        std::fprintf(stderr, "cannot write the .xlsx or .csv list\n");
        return 1;
    }
    const WindowImport xlsx = importThroughWindow(tmp, xlsxFile, QStringLiteral("xlsx.dat"));
    QFile::remove(tmp.filePath(QStringLiteral("xlsx.dat")));
    const WindowImport csv = importThroughWindow(tmp, csvFile, QStringLiteral("csv.dat"));
    QFile::remove(tmp.filePath(QStringLiteral("csv.dat")));
    std::printf("import_xlsx_rows: %lld\n", xlsx.rows);
    std::printf("import_xlsx_s: %.3f\n", xlsx.s);
    std::printf("import_xlsx_vs_xls: %.2f\n", importS > 0 ? xlsx.s / importS : 0.0);
    std::printf("import_csv_rows: %lld\n", csv.rows);
    std::printf("import_csv_s: %.3f\n", csv.s);
    std::printf("import_xlsx_cpu_s: %.3f\n", xlsx.cpu);
    std::printf("import_xlsx_vs_xls_cpu: %.2f\n", importCpu > 0 ? xlsx.cpu / importCpu : 0.0);
    std::printf("import_csv_cpu_s: %.3f\n", csv.cpu);
    std::printf("read_xls_cpu_s: %.3f\n", readerCpu(book));
    std::printf("read_xlsx_cpu_s: %.3f\n", readerCpu(xlsxFile));
    std::printf("read_csv_cpu_s: %.3f\n", readerCpu(csvFile));

    // A million rows: what the import holds must not grow with the list.
    const int big = argument(argc, argv, 2, 1000000);
    qint64 bigRows = 0;
    if (big > 0) {
        const QString bigXlsx = tmp.filePath(QStringLiteral("big.xlsx"));
        const QString bigCsv = tmp.filePath(QStringLiteral("big.csv"));
        if (!writeXlsx(bigXlsx, big, true) || !writeCsv(bigCsv, big, "UTF-8")) {
            std::fprintf(stderr, "cannot write the large lists\n");
            return 1;
        }
        const WindowImport bx = importThroughWindow(tmp, bigXlsx, QStringLiteral("bigxlsx.dat"));
        QFile::remove(tmp.filePath(QStringLiteral("bigxlsx.dat")));
        const WindowImport bc = importThroughWindow(tmp, bigCsv, QStringLiteral("bigcsv.dat"));
        bigRows = bx.rows + bc.rows;
        std::printf("import_1m_rows: %d\n", big);
        std::printf("import_1m_xlsx_s: %.3f\n", bx.s);
        std::printf("import_1m_xlsx_peak_mb: %.1f\n", bx.peakMb);
        std::printf("import_1m_csv_s: %.3f\n", bc.s);
        std::printf("import_1m_csv_peak_mb: %.1f\n", bc.peakMb);
    }
    print("load_average", loadAverage());
    return imported == rows && xlsx.rows == rows && csv.rows == rows && bigRows == 2 * qint64(big) ? 0 : 1;
}

namespace {

// Opens a grid over sql and exports it. Returns the export's seconds (negative when nothing
// was written); openS gets the grid's opening time, peak the process's peak memory from just
// before the grid was opened.
double exportGrid(const QString& out, const QString& sql, const QList<GridColumn>& cols, double* openS, double* peak)
{
    resetPeak();
    QElapsedTimer t;
    t.start();
    TDBGrid grid;
    grid.setColumns(cols);
    grid.open(sql);
    if (openS)
        *openS = t.nsecsElapsed() / 1e9;
    filedlg::clearAnswers();
    filedlg::queueAnswers({out});
    t.restart();
    ExportToExcel({&grid});
    const double s = t.nsecsElapsed() / 1e9;
    if (peak)
        *peak = peakMb();
    filedlg::clearAnswers();
    return QFile::exists(out) ? s : -1;
}

// Exports a grid over `rows` rows of four columns; returns seconds. *base: the memory just
// before the export, after the rows were written (the writing connection keeps the pages it
// wrote in its cache).
double exportRows(const QTemporaryDir& tmp, int rows, double* peak, double* base = nullptr)
{
    ADOcon().execute(QStringLiteral("drop table if exists e"));
    ADOcon().execute(
        QStringLiteral("create table e (id integer primary key, yhxm text, dhhm1 text, xh integer, f real)"));
    ADOcon().execute(QStringLiteral("with recursive c(i) as (select 1 union all select i+1 from c where i<%1) "
                                    "insert into e(yhxm,dhhm1,xh,f) select '客户'||i, '0'||(13800000000+i), i, i/7.0 "
                                    "from c")
                         .arg(rows));
    if (base) {
        resetPeak();
        *base = peakMb();
    }
    return exportGrid(tmp.filePath(QStringLiteral("export%1.xlsx").arg(rows)),
                      QStringLiteral("select * from e order by id"),
                      {{QStringLiteral("yhxm"), QStringLiteral("姓名"), 80},
                       {QStringLiteral("dhhm1"), QStringLiteral("电话号码"), 100},
                       {QStringLiteral("xh"), QStringLiteral("序号"), 60},
                       {QStringLiteral("f"), QStringLiteral("比例"), 60}},
                      nullptr, peak);
}

// Customers as an import leaves them, some of them worked on, in one project.
void fillCustomers(int rows)
{
    ADOcon().execute(QStringLiteral("insert into t_ywbh(ywname,zt) values('导出项目',1)"));
    ADOcon().execute(
        QStringLiteral(
            "with recursive c(i) as (select 1 union all select i+1 from c where i<%1) "
            "insert into yhda(ywbh,pc,xh,yhxm,dq,dz,dhhm1,dhhm2,xxzl,drz,sljg,jg,bz,slsj,slz,zdslz,zdslzxm) "
            "select 1, i/5000+1, i%5000+1, '客户'||((i*7919)%1000003), '区域'||(i%50), "
            "'某市某区某路'||(i%997)||'号', '0'||(13800000000+i), '', '年龄:  '||(i%80)||char(13,10), "
            "'系统管理员', iif(i%3=0,'已受理','未受理'), iif(i%6=0,'成功',null), iif(i%3=0,'愿意参加',''), "
            "iif(i%3=0,'2024-01-02 03:04:05',null), iif(i%3=0,'话务员一',''), iif(i%4=0,'op1',null), "
            "iif(i%4=0,'话务员一',null) from c")
            .arg(rows));
}

// The customer list with every column, ordered by one that has no index.
const QString kCustomerSql = QStringLiteral("select * from yhdaview order by yhxm");

QList<GridColumn> customerColumns()
{
    QList<GridColumn> cols;
    for (const char* f : {"xh", "ywname", "yhxm", "dq", "dz", "dhhm1", "zdslzxm", "slz", "slsj", "sljg", "bz", "drsj",
                          "drz", "id", "ywbh", "pc", "dhhm2", "dhhm3", "dhhm4", "xxzl", "jg", "zdslz", "del", "deltime",
                          "deler"})
        cols << GridColumn{QString::fromLatin1(f), QString::fromLatin1(f), 60};
    return cols;
}

// The plain way for comparison: the same ordered rows read once on the writing connection,
// whose sorts stay in memory.
double plainRead(double* peak)
{
    resetPeak();
    QElapsedTimer t;
    t.start();
    QSqlQuery q = ADOcon().select(kCustomerSql, true);
    qint64 chars = 0;
    while (q.next())
        for (int k = 0; k < 25; ++k)
            chars += q.value(k).toString().size();
    const double s = t.nsecsElapsed() / 1e9;
    *peak = peakMb();
    return chars > 0 ? s : -1;
}

} // namespace

int runExport(int argc, char** argv)
{
    const int big = argument(argc, argv, 1, 1000000);
    QTemporaryDir tmp;
    TfrmDM dm;
    if (!openFreshDb(dm, tmp.filePath(QStringLiteral("export.dat"))))
        return 1;
    xlsexport::setOpener([](const QString&) { return true; });
    const double small = exportRows(tmp, 10000, nullptr);
    double peak = 0;
    resetPeak();
    const double beforeFill = peakMb();
    double before = 0;
    const double large = exportRows(tmp, big, &peak, &before);
    std::printf("export_10k_s: %.3f\n", small);
    std::printf("export_1m_rows: %d\n", big);
    std::printf("export_1m_s: %.3f\n", large);
    std::printf("export_1m_peak_mb: %.1f\n", peak);
    std::printf("export_1m_base_mb: %.1f\n", before);
    std::printf("export_1m_before_fill_mb: %.1f\n", beforeFill);
    std::printf("export_1m_over_base_mb: %.1f\n", peak - before);
    std::printf("export_1m_file_mb: %.1f\n",
                QFileInfo(tmp.filePath(QStringLiteral("export%1.xlsx").arg(big))).size() / 1048576.0);
    ADOcon().execute(QStringLiteral("drop table e"));
    std::fflush(stdout);

    fillCustomers(big);
    resetPeak();
    const double base25 = peakMb();
    double open25 = 0;
    double peak25 = 0;
    const QString out25 = tmp.filePath(QStringLiteral("customers.xlsx"));
    const std::clock_t cpu = std::clock(); // the machine may be shared: the process's own time too
    const double wide = exportGrid(out25, kCustomerSql, customerColumns(), &open25, &peak25);
    std::printf("export25_1m_open_s: %.3f\n", open25);
    std::printf("export25_1m_s: %.3f\n", wide);
    std::printf("export25_1m_cpu_s: %.3f\n", double(std::clock() - cpu) / CLOCKS_PER_SEC);
    std::printf("export25_1m_peak_mb: %.1f\n", peak25);
    std::printf("export25_1m_base_mb: %.1f\n", base25);
    std::printf("export25_1m_over_base_mb: %.1f\n", peak25 - base25);
    std::printf("export25_1m_file_mb: %.1f\n", QFileInfo(out25).size() / 1048576.0);
    QFile::remove(out25);
    double plainPeak = 0;
    const double plain = plainRead(&plainPeak);
    std::printf("export25_plain_read_s: %.3f\n", plain);
    std::printf("export25_plain_read_peak_mb: %.1f\n", plainPeak);
    std::printf("export25_peak_vs_plain: %.2f\n", plainPeak > 0 ? peak25 / plainPeak : 0.0);
    // The same over the memory both start from (the customers just written stay in the writing
    // connection's cache).
    std::printf("export25_over_base_vs_plain: %.3f\n",
                plainPeak > base25 ? (peak25 - base25) / (plainPeak - base25) : 0.0);
    ADOcon().close();
    frmDM = nullptr;
    return small > 0 && large > 0 && wide > 0 && plain > 0 ? 0 : 1;
}

} // namespace bench
