#include "ops/customers/xls/xlsreader.h"

#include "db/walguard.h"
#include "ops/customers/xls/biffbook.h"
#include "ops/customers/xls/xlsrepair.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <freexl.h>

#include <climits>
#include <cmath>

namespace {

XlsReader::FaultHook& faultHook()
{
    static XlsReader::FaultHook h;
    return h;
}

void checkFault(const char* operation)
{
    if (faultHook())
        faultHook()(operation);
}

QString codeText(int code)
{
    return QStringLiteral("FreeXL error %1").arg(code);
}

} // namespace

XlsReader::~XlsReader()
{
    close();
}

void XlsReader::setFaultHook(FaultHook hook)
{
    faultHook() = std::move(hook);
}

void XlsReader::open(const QString& path)
{
    close();
    checkFault("open");
    // Reading the database would drop this program's locks on it (db/walguard.h).
    if (db::isOpenDatabaseFile(path))
        throw XlsError(QStringLiteral("the file is the database in use"));
    QByteArray bytes;
    {
        // FreeXL reads some damaged workbooks past its buffers: such a file is refused first.
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            bytes = f.readAll();
        if (!bytes.isEmpty() && !xlsrepair::consistent(bytes))
            throw XlsError(codeText(FREEXL_CRAFTED_FILE), FREEXL_CRAFTED_FILE);
    }
    const void* h = nullptr;
    int rc = freexlOpen(path, &h);
    // FreeXL reports success with no handle when any record fails it, most often a text cell
    // holding an empty string: a copy without those is the first way out, our own reading of
    // the workbook the second.
    if (rc == FREEXL_OK && !h)
        rc = openWithoutEmptyStrings(bytes, &h);
    if (rc == FREEXL_OK && !h) {
        auto own = std::make_unique<biff::Book>(bytes);
        const QStringList names = own->sheetNames();
        if (names.isEmpty())
            throw XlsError(QStringLiteral("workbook has no sheets"));
        m_own = std::move(own);
        m_path = path;
        m_sheets = names;
        return;
    }
    if (rc != FREEXL_OK || !h) {
        if (h)
            freexl_close(h);
        throw XlsError(codeText(rc), rc);
    }
    m_handle = h;
    unsigned int count = 0;
    if (freexl_get_info(h, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0) {
        close();
        throw XlsError(QStringLiteral("workbook has no sheets"));
    }
    QStringList names;
    for (unsigned int i = 0; i < count && i <= USHRT_MAX; ++i) {
        const char* name = nullptr;
        const int r = freexl_get_worksheet_name(h, static_cast<unsigned short>(i), &name);
        if (r != FREEXL_OK || !name) {
            close();
            throw XlsError(codeText(r), r);
        }
        names << QString::fromUtf8(name);
    }
    m_path = path;
    m_sheets = names;
}

int XlsReader::freexlOpen(const QString& path, const void** handle)
{
    const int rc = freexl_open(QFile::encodeName(path).constData(), handle);
    if (rc == FREEXL_OK && *handle) {
        try {
            checkFault("freexl");
        } catch (const XlsError&) {
            freexl_close(*handle);
            *handle = nullptr;
        }
    }
    return rc;
}

int XlsReader::openWithoutEmptyStrings(const QByteArray& file, const void** handle)
{
    const std::optional<xlsrepair::Copy> copy = xlsrepair::withoutEmptyStrings(file);
    if (!copy)
        return FREEXL_OK;
    auto tmp = std::make_unique<QTemporaryFile>(QDir(QDir::tempPath()).filePath(QStringLiteral("tellvane-XXXXXX.xls")));
    if (!tmp->open() || tmp->write(copy->file) != copy->file.size() || !tmp->flush())
        return FREEXL_OK;
    const int rc = freexlOpen(tmp->fileName(), handle);
    if (rc == FREEXL_OK && *handle) {
        m_copy = std::move(tmp);
        m_emptyMark = copy->mark;
    }
    return rc;
}

void XlsReader::close()
{
    if (m_handle)
        freexl_close(m_handle);
    m_handle = nullptr;
    m_own.reset();
    m_ownSheet.reset();
    m_copy.reset();
    m_emptyMark.clear();
    m_path.clear();
    m_sheets.clear();
    m_headers.clear();
    m_columnOf.clear();
    m_rows = 0;
}

QStringList XlsReader::tableNames() const
{
    QStringList t;
    for (const QString& s : m_sheets)
        t << s + u'$';
    return t;
}

void XlsReader::selectSheet(const QString& sheet)
{
    if (!isOpen())
        throw XlsError(QStringLiteral("workbook is not open"));
    checkFault("sheet");
    m_headers.clear();
    m_columnOf.clear();
    m_rows = 0;
    // FreeXL selects by position only.
    const qsizetype index = m_sheets.indexOf(sheet);
    if (index < 0)
        throw XlsError(QStringLiteral("no sheet named %1").arg(sheet));
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (m_own) {
        m_ownSheet.reset();
        auto own = std::make_unique<biff::Sheet>(m_own->sheet(int(index)));
        rows = unsigned(own->rows);
        columns = static_cast<unsigned short>(own->columns); // at most 256
        m_ownSheet = std::move(own);
    } else {
        int rc = freexl_select_active_worksheet(m_handle, static_cast<unsigned short>(index));
        if (rc == FREEXL_OK)
            rc = freexl_worksheet_dimensions(m_handle, &rows, &columns); // counts, not last indexes
        if (rc != FREEXL_OK)
            throw XlsError(codeText(rc), rc);
    }
    QStringList headers;
    for (unsigned short c = 0; c < columns && rows > 0; ++c) {
        QString h = cellText(0, c);
        // An untitled column gets the name Excel's own driver gives it.
        if (h.isEmpty())
            h = QStringLiteral("F%1").arg(c + 1);
        headers << h;
    }
    m_headers = headers;
    for (int c = int(headers.size()) - 1; c >= 0; --c) // the first of equal headers wins
        m_columnOf.insert(headers[c].toCaseFolded(), c);
    m_rows = rows > 0 ? int(rows - 1) : 0;
}

void XlsReader::checkColumns(const QString& sheet, const QStringList& headers)
{
    selectSheet(sheet);
    for (const QString& h : headers)
        requireColumn(h);
}

int XlsReader::requireColumn(const QString& header) const
{
    const int c = column(header);
    if (c < 0)
        throw XlsError(QStringLiteral("no column %1").arg(header));
    return c;
}

QString XlsReader::cellText(unsigned row, unsigned short column) const
{
    checkFault("cell");
    if (m_own) {
        if (!m_ownSheet)
            throw XlsError(QStringLiteral("no sheet selected"));
        return m_ownSheet->text(int(row), column);
    }
    FreeXL_CellValue v;
    const int rc = freexl_get_cell_value(m_handle, row, column, &v);
    if (rc != FREEXL_OK)
        throw XlsError(codeText(rc), rc);
    switch (v.type) {
    case FREEXL_CELL_INT:
        return QString::number(v.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return biff::numberText(v.value.double_value);
    case FREEXL_CELL_SST_TEXT:
        if (!m_emptyMark.isEmpty() && v.value.text_value && QString::fromUtf8(v.value.text_value) == m_emptyMark)
            return QStringLiteral("");
        return v.value.text_value ? QString::fromUtf8(v.value.text_value) : QString();
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return v.value.text_value ? QString::fromUtf8(v.value.text_value) : QString();
    default:
        return QString();
    }
}

QString XlsReader::text(int row, int column) const
{
    if (!isOpen() || row < 0 || row >= m_rows || column < 0 || column >= columnCount())
        throw XlsError(QStringLiteral("no cell at row %1, column %2").arg(row).arg(column));
    return cellText(unsigned(row + 1), static_cast<unsigned short>(column));
}

QString XlsReader::text(int row, const QString& header) const
{
    return text(row, requireColumn(header));
}

int XlsReader::integer(int row, int column) const
{
    return toInteger(text(row, column));
}

int XlsReader::integer(int row, const QString& header) const
{
    return integer(row, requireColumn(header));
}
