#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <stdexcept>

// A failure reading a customer list: the file is no workbook or list we read, is damaged, or a
// sheet, column or cell cannot be read. code is FreeXL's error code (0 when the fault is ours).
class XlsError : public std::runtime_error
{
public:
    XlsError(const QString& text, int code = 0) : std::runtime_error(text.toStdString()), m_text(text), m_code(code) {}
    QString text() const { return m_text; }
    int code() const { return m_code; }

private:
    QString m_text;
    int m_code;
};

// A customer list as the import reads it, whatever file it comes from (.xls, .xlsx, .csv): its
// sheets by name, and one sheet at a time as a table whose first row holds the column headers.
// Cells come as text (whole numbers as their digits, dates as text) or as an integer. Every
// failure throws XlsError.
class SheetReader
{
public:
    virtual ~SheetReader() = default;

    virtual void open(const QString& path) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // The tables as Excel's driver lists them: every sheet as its name followed by "$".
    virtual QStringList tableNames() const = 0;
    // Makes the named sheet the current one and reads its header row.
    virtual void selectSheet(const QString& sheet) = 0;
    // Selects the sheet and makes sure that every one of these headers is there.
    virtual void checkColumns(const QString& sheet, const QStringList& headers) = 0;

    // The current sheet: data rows (below the header row) and columns.
    virtual int rowCount() const = 0;
    virtual int columnCount() const = 0;
    virtual QString header(int column) const = 0;
    // Position of the column with this header (case does not matter), or -1.
    virtual int column(const QString& header) const = 0;

    // Cell of data row `row` (0 = the row below the headers).
    virtual QString text(int row, int column) const = 0;
    virtual QString text(int row, const QString& header) const = 0;
    // The cell as a whole number; text that is no whole number, or does not fit, throws.
    virtual int integer(int row, int column) const = 0;
    virtual int integer(int row, const QString& header) const = 0;

    // A cell's text as a whole number (integer() of a cell already read as text).
    static int toInteger(const QString& cellText);
};

// Opens the list at `path` with the reader its content calls for: a zip package is an .xlsx
// workbook, an OLE compound file an .xls workbook (whatever either is named); other files are
// read as .csv when so named (.csv, .txt). Throws XlsError.
std::unique_ptr<SheetReader> openSheetReader(const QString& path);

// What the readers of rows read one after another (.xlsx, .csv) share: the header row, the
// lookup of columns, and one data row held at a time. A row before the one held makes the
// sheet be read again from its start.
class StreamedSheetReader : public SheetReader
{
public:
    QStringList tableNames() const override;
    void selectSheet(const QString& sheet) override;
    void checkColumns(const QString& sheet, const QStringList& headers) override;
    int rowCount() const override { return m_rows; }
    int columnCount() const override { return int(m_headers.size()); }
    QString header(int column) const override { return m_headers.value(column); }
    int column(const QString& header) const override { return m_columnOf.value(header.toCaseFolded(), -1); }
    QString text(int row, int column) const override;
    QString text(int row, const QString& header) const override;
    int integer(int row, int column) const override;
    int integer(int row, const QString& header) const override;

protected:
    // The names of the sheets, in order.
    QStringList m_sheets;
    // A read of the sheet at this position from its start: every row's cells in order, the
    // header row first, until false. Called once to check and count the whole sheet before
    // anything is imported, and again to give the rows.
    virtual void startRows(int sheet) = 0;
    virtual bool nextRow(QStringList* cells) = 0;
    // The next row read and checked as nextRow() reads it, without giving its cells: only its
    // width (false at the end). The check and count before an import need no more.
    virtual bool skipRow(int* width);
    virtual void endRows() = 0;
    void resetSheet();

private:
    int requireColumn(const QString& header) const;
    int m_sheet = -1;
    QStringList m_headers;
    QHash<QString, int> m_columnOf;
    int m_rows = 0;
    // The data row held (-1 = none yet) and its cells.
    mutable int m_at = -1;
    mutable QStringList m_cells;
    mutable bool m_reading = false;
};
