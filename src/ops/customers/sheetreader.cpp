#include "ops/customers/sheetreader.h"

#include "db/walguard.h"
#include "ops/customers/csvreader.h"
#include "ops/customers/xls/xlsreader.h"
#include "ops/customers/xlsxreader.h"

#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cmath>

int SheetReader::toInteger(const QString& cellText)
{
    const QString t = cellText.trimmed();
    bool ok = false;
    const int n = t.toInt(&ok);
    if (ok)
        return n;
    // 3.0 is a whole number; 3.5 and "三" are not.
    const double d = t.toDouble(&ok);
    if (ok && std::floor(d) == d && d >= INT_MIN && d <= INT_MAX)
        return int(d);
    throw XlsError(QStringLiteral("'%1' is not an integer").arg(t));
}

std::unique_ptr<SheetReader> openSheetReader(const QString& path)
{
    // Reading the database would drop this program's locks on it (db/walguard.h).
    if (db::isOpenDatabaseFile(path))
        throw XlsError(QStringLiteral("the file is the database in use"));
    QByteArray head;
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw XlsError(QStringLiteral("cannot read %1").arg(path));
        head = f.read(8);
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    std::unique_ptr<SheetReader> reader;
    if (head.startsWith(QByteArrayLiteral("PK\x03\x04")))
        reader = std::make_unique<XlsxReader>();
    else if (head.startsWith(QByteArrayLiteral("\xD0\xCF\x11\xE0")) || suffix == QStringLiteral("xls"))
        reader = std::make_unique<XlsReader>();
    else if (suffix == QStringLiteral("csv") || suffix == QStringLiteral("txt"))
        reader = std::make_unique<CsvReader>();
    else
        throw XlsError(QStringLiteral("%1 is no workbook and no .csv list").arg(path));
    reader->open(path);
    return reader;
}

QStringList StreamedSheetReader::tableNames() const
{
    QStringList t;
    for (const QString& s : m_sheets)
        t << s + u'$';
    return t;
}

bool StreamedSheetReader::skipRow(int* width)
{
    QStringList cells;
    if (!nextRow(&cells))
        return false;
    *width = int(cells.size());
    return true;
}

void StreamedSheetReader::resetSheet()
{
    if (m_reading)
        endRows();
    m_reading = false;
    m_sheet = -1;
    m_headers.clear();
    m_columnOf.clear();
    m_rows = 0;
    m_at = -1;
    m_cells.clear();
}

void StreamedSheetReader::selectSheet(const QString& sheet)
{
    if (!isOpen())
        throw XlsError(QStringLiteral("workbook is not open"));
    const int index = int(m_sheets.indexOf(sheet));
    if (index >= 0 && index == m_sheet)
        return; // read and checked already; reading it again would give the same
    resetSheet();
    if (index < 0)
        throw XlsError(QStringLiteral("no sheet named %1").arg(sheet));
    // The whole sheet is read once here: a damaged part is found before a row is imported,
    // and the count and width are known for the progress and the extra columns.
    QStringList headerCells;
    int rows = 0, columns = 0;
    startRows(index);
    m_reading = true;
    try {
        if (nextRow(&headerCells)) {
            rows = 1;
            columns = int(headerCells.size());
            for (int width = 0; skipRow(&width); ++rows)
                columns = std::max(columns, width);
        }
    } catch (...) {
        resetSheet();
        throw;
    }
    endRows();
    m_reading = false;
    for (int c = 0; c < columns; ++c) {
        QString h = headerCells.value(c);
        // An untitled column gets the name Excel's own driver gives it.
        if (h.isEmpty())
            h = QStringLiteral("F%1").arg(c + 1);
        m_headers << h;
    }
    for (int c = int(m_headers.size()) - 1; c >= 0; --c) // the first of equal headers wins
        m_columnOf.insert(m_headers[c].toCaseFolded(), c);
    m_rows = rows > 0 ? rows - 1 : 0;
    m_sheet = index;
}

void StreamedSheetReader::checkColumns(const QString& sheet, const QStringList& headers)
{
    selectSheet(sheet);
    for (const QString& h : headers)
        requireColumn(h);
}

int StreamedSheetReader::requireColumn(const QString& header) const
{
    const int c = column(header);
    if (c < 0)
        throw XlsError(QStringLiteral("no column %1").arg(header));
    return c;
}

QString StreamedSheetReader::text(int row, int column) const
{
    if (!isOpen() || m_sheet < 0 || row < 0 || row >= m_rows || column < 0 || column >= columnCount())
        throw XlsError(QStringLiteral("no cell at row %1, column %2").arg(row).arg(column));
    auto* self = const_cast<StreamedSheetReader*>(this); // the row held is a cache
    if (row < m_at || !m_reading) {
        if (m_reading)
            self->endRows();
        self->startRows(m_sheet);
        m_reading = true;
        m_at = -1;
        QStringList headerRow;
        if (!self->nextRow(&headerRow))
            throw XlsError(QStringLiteral("the sheet has changed"));
    }
    while (m_at < row) {
        if (!self->nextRow(&m_cells))
            throw XlsError(QStringLiteral("the sheet has changed"));
        ++m_at;
    }
    return m_cells.value(column, QStringLiteral(""));
}

QString StreamedSheetReader::text(int row, const QString& header) const
{
    return text(row, requireColumn(header));
}

int StreamedSheetReader::integer(int row, int column) const
{
    return toInteger(text(row, column));
}

int StreamedSheetReader::integer(int row, const QString& header) const
{
    return integer(row, requireColumn(header));
}
