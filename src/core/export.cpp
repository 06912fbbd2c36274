#include "core/export.h"

#include "core/dbgrid.h"
#include "core/filedlg.h"
#include "core/msg.h"
#include "db/dm.h"
#include "db/sqlvalue.h"

#include <cstdio>
#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QSet>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QUrl>
#include <xlsxwriter.h>

#include <climits>
#include <memory>

namespace xlsexport {
namespace {

constexpr int kExcelRows = 1048576; // rows of one sheet, the title row included
constexpr int kMaxCellText = 32767;  // characters Excel keeps in one cell

int& rowsPerSheet()
{
    static int rows = kExcelRows - 1;
    return rows;
}

Opener& opener()
{
    static Opener o;
    return o;
}

bool openOnDesktop(const QString& path)
{
    // Nobody could look at it on a headless screen: nothing to tell there.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return true;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

enum class Kind { Integer, Float, Text };

struct Column
{
    int field;
    QString title;
    int width;
    Kind kind;
};

bool isIntegerType(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

bool isFloatType(int typeId)
{
    return typeId == QMetaType::Double || typeId == QMetaType::Float;
}

// An integer column that is a table's own key (autonumber) is an identifier, not a quantity.
bool isAutoNumber(const QSqlField& f)
{
    if (f.isAutoValue())
        return true;
    if (f.tableName().isEmpty())
        return false;
    static QHash<QString, QString> keys; // database file + table -> its single key column
    const QString table = ADOcon().filePath() + u'|' + f.tableName();
    auto it = keys.constFind(table);
    if (it == keys.constEnd()) {
        const QSqlIndex pk = ADOcon().database().primaryIndex(f.tableName());
        it = keys.insert(table, pk.count() == 1 ? pk.fieldName(0) : QString());
    }
    return !it->isEmpty() && it->compare(f.name(), Qt::CaseInsensitive) == 0;
}

Kind kindOf(const QSqlField& f)
{
    const int t = f.metaType().id();
    if (isIntegerType(t))
        return isAutoNumber(f) ? Kind::Text : Kind::Integer;
    if (isFloatType(t))
        return Kind::Float;
    return Kind::Text;
}

// The grid's visible columns in their on-screen order.
QList<Column> visibleColumns(const TDBGrid* grid, const QSqlRecord& rec)
{
    QList<Column> cols;
    const QHeaderView* h = grid->horizontalHeader();
    const QAbstractItemModel* m = grid->model();
    for (int v = 0; v < h->count(); ++v) {
        const int logical = h->logicalIndex(v);
        if (logical < 0 || h->isSectionHidden(logical) || logical >= rec.count())
            continue;
        cols << Column{logical, m->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString(),
                       grid->columnWidth(logical), kindOf(rec.field(logical))};
    }
    return cols;
}

// Excel's rules for sheet names: 1..31 characters, none of []:*?/\, unique in the workbook.
QString sheetName(const QString& wanted, int index, QSet<QString>& taken)
{
    QString base = wanted;
    for (QChar& c : base)
        if (QStringLiteral("[]:*?/\\").contains(c))
            c = u'_';
    base = base.left(31);
    if (base.trimmed().isEmpty() || base.startsWith(u'\'') || base.endsWith(u'\''))
        base = QStringLiteral("Sheet%1").arg(index);
    QString name = base;
    for (int n = 2; taken.contains(name.toCaseFolded()); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        name = base.left(31 - int(suffix.size())) + suffix;
    }
    taken.insert(name.toCaseFolded());
    return name;
}

class Writer
{
public:
    explicit Writer(const QString& file) : m_file(QFile::encodeName(file))
    {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE; // rows go to disk as they are written
        options.use_zip64 = LXW_TRUE;
        m_wb = workbook_new_opt(m_file.constData(), &options);
        if (!m_wb)
            return;
        m_int = workbook_add_format(m_wb);
        format_set_num_format(m_int, "0_ ");
        m_float = workbook_add_format(m_wb);
        format_set_num_format(m_float, "0.00_ ");
        m_text = workbook_add_format(m_wb);
        format_set_num_format(m_text, "@");
    }
    ~Writer()
    {
        if (m_wb)
            workbook_close(m_wb);
    }
    bool ok() const { return m_wb != nullptr; }

    lxw_worksheet* addSheet(const QString& name, const QList<Column>& cols)
    {
        lxw_worksheet* ws = workbook_add_worksheet(m_wb, name.toUtf8().constData());
        if (!ws)
            return nullptr;
        for (int k = 0; k < cols.size(); ++k) {
            const double chars = cols[k].width > 0 ? qMax(1.0, (cols[k].width - 5) / 7.0) : 8.43;
            worksheet_set_column(ws, lxw_col_t(k), lxw_col_t(k), chars, formatOf(cols[k].kind));
            writeText(ws, 0, k, cols[k].title, nullptr);
        }
        return ws;
    }

    // One cell; a cell that cannot be written is left out and the next one follows.
    void writeCell(lxw_worksheet* ws, int row, int col, Kind kind, const QVariant& v)
    {
        if (v.isNull()) {
            worksheet_write_blank(ws, lxw_row_t(row), lxw_col_t(col), formatOf(kind));
            return;
        }
        const int t = v.typeId();
        if (kind == Kind::Integer && isIntegerType(t)) {
            bool ok = false;
            const qlonglong n = v.toLongLong(&ok);
            if (ok && n >= INT_MIN && n <= INT_MAX) {
                worksheet_write_number(ws, lxw_row_t(row), lxw_col_t(col), double(n), m_int);
                return;
            }
        } else if (kind == Kind::Float && (isFloatType(t) || isIntegerType(t))) {
            worksheet_write_number(ws, lxw_row_t(row), lxw_col_t(col), v.toDouble(), m_float);
            return;
        }
        // Text, and numbers too large for a 32-bit cell (a phone number kept as an integer).
        writeText(ws, row, col, db::displayText(v), m_text);
    }

    bool close()
    {
        const lxw_error e = workbook_close(m_wb);
        m_wb = nullptr;
        return e == LXW_NO_ERROR;
    }

private:
    lxw_format* formatOf(Kind k) const { return k == Kind::Integer ? m_int : k == Kind::Float ? m_float : m_text; }
    void writeText(lxw_worksheet* ws, int row, int col, const QString& s, lxw_format* f)
    {
        const QByteArray utf8 = (s.size() > kMaxCellText ? s.left(kMaxCellText) : s).toUtf8();
        worksheet_write_string(ws, lxw_row_t(row), lxw_col_t(col), utf8.constData(), f);
    }
    QByteArray m_file;
    lxw_workbook* m_wb = nullptr;
    lxw_format* m_int = nullptr;
    lxw_format* m_float = nullptr;
    lxw_format* m_text = nullptr;
};

// The rows a grid shows, with the values it shows. A grid that has read all its rows holds
// them already; one that has read only some still stands on the snapshot it was opened on,
// and its statement run again beside it on its own connection sees that same snapshot: rows
// changed or added since are left out, and a million rows are copied without being held.
class GridRows
{
public:
    explicit GridRows(const TDBGrid* grid) : m_model(grid->queryModel())
    {
        m_fromStatement = m_model->canFetchMore() && grid->source();
        if (m_fromStatement)
            m_query = grid->source()->select(grid->sql(), true);
    }
    QSqlRecord record() const { return m_fromStatement ? m_query.record() : m_model->record(); }
    bool next() { return m_fromStatement ? m_query.next() : ++m_row < m_model->rowCount(); }
    QVariant value(int field) const
    {
        return m_fromStatement ? m_query.value(field) : m_model->data(m_model->index(m_row, field), Qt::EditRole);
    }

private:
    const QSqlQueryModel* m_model;
    bool m_fromStatement = false;
    QSqlQuery m_query;
    int m_row = -1;
};

} // namespace

void setOpener(Opener o)
{
    opener() = std::move(o);
}

void setRowsPerSheet(int rows)
{
    rowsPerSheet() = rows > 0 && rows < kExcelRows ? rows : kExcelRows - 1;
}

QString suggestedFileName()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty() || !QDir(dir).exists())
        dir = QDir::homePath();
    return QDir(dir).filePath(QStringLiteral("导出_%1.xlsx")
                                  .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"))));
}

bool writeWorkbook(const QList<TDBGrid*>& grids, const QString& path)
{
    // Written beside the target and renamed at the end: a failed export leaves an existing
    // file as it was, and no half-written one behind.
    const QString scratch = path + QStringLiteral(".part");
    QFile::remove(scratch);
    struct RemoveScratch
    {
        const QString& file;
        ~RemoveScratch() { QFile::remove(file); }
    } cleanup{scratch};

    Writer out(scratch);
    if (!out.ok())
        return false;
    QSet<QString> taken;
    int index = 1;
    for (TDBGrid* grid : grids) {
        GridRows rows(grid);
        const QList<Column> cols = visibleColumns(grid, rows.record());
        const QString name = grid->objectName();
        lxw_worksheet* ws = out.addSheet(sheetName(name, index++, taken), cols);
        if (!ws)
            return false;
        int row = 1;
        while (rows.next()) {
            if (row > rowsPerSheet()) {
                ws = out.addSheet(sheetName(name, index++, taken), cols);
                if (!ws)
                    return false;
                row = 1;
            }
            for (int k = 0; k < cols.size(); ++k)
                out.writeCell(ws, row, k, cols[k].kind, rows.value(cols[k].field));
            ++row;
        }
    }
    if (!out.close())
        return false;
    // rename() replaces an existing file in one step: the old workbook stays until the new one is there.
    return std::rename(QFile::encodeName(scratch).constData(), QFile::encodeName(path).constData()) == 0;
}

} // namespace xlsexport

void ExportToExcel(const QList<TDBGrid*>& grids)
{
    for (const TDBGrid* g : grids)
        if (!g || !g->isOpen())
            return;
    QString path = filedlg::saveFileName(QApplication::activeWindow(), QStringLiteral("导出到EXCEL"),
                                         xlsexport::suggestedFileName(), QStringLiteral("Excel工作簿(*.xlsx)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        path += QStringLiteral(".xlsx");

    bool written = false;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct RestoreCursor
        {
            ~RestoreCursor() { QApplication::restoreOverrideCursor(); }
        } restore;
        written = xlsexport::writeWorkbook(grids, path);
    }
    if (!written) {
        msg::ShowMessage(QStringLiteral("无法写入文件") + path + QStringLiteral("，导出未完成!"));
        return;
    }
    const bool opened = xlsexport::opener() ? xlsexport::opener()(path) : xlsexport::openOnDesktop(path);
    // Without a program for workbooks the user would not know where the file went.
    if (!opened)
        msg::ShowMessage(QStringLiteral("数据已导出到文件") + QDir::toNativeSeparators(path) +
                         QStringLiteral("，没有找到可以打开它的程序!"));
}
