#pragma once

#include "ops/customers/xls/biffbook.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <functional>
#include <memory>
#include <stdexcept>

// A failure reading a workbook: the file is no Excel 97 workbook, is damaged, or a sheet,
// column or cell cannot be read. code is FreeXL's error code (0 when the fault is ours).
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

// Reads an Excel 97 (.xls) workbook the way the import needs it: the list of its sheets, and
// one sheet at a time as a table whose first row holds the column headers. Cells come as text
// (whole numbers as their digits, dates as text) or as an integer. Every failure throws
// XlsError; a damaged file never gets further than that. FreeXL reads the workbook; one that it
// gives up on (it then answers success without a handle) is read by our own reader (biffbook.h),
// which gives the same sheets and cells.
class XlsReader
{
public:
    XlsReader() = default;
    ~XlsReader();
    XlsReader(const XlsReader&) = delete;
    XlsReader& operator=(const XlsReader&) = delete;

    void open(const QString& path);
    void close();
    bool isOpen() const { return m_handle != nullptr || m_own != nullptr; }

    // The workbook's tables as Excel lists them: every worksheet as its name followed by "$".
    QStringList tableNames() const;

    // Makes the named sheet the current one and reads its header row.
    void selectSheet(const QString& sheet);
    // Selects the sheet and makes sure that every one of these headers is there.
    void checkColumns(const QString& sheet, const QStringList& headers);

    // The current sheet: data rows (below the header row) and columns.
    int rowCount() const { return m_rows; }
    int columnCount() const { return int(m_headers.size()); }
    QString header(int column) const { return m_headers.value(column); }
    // Position of the column with this header, or -1.
    int column(const QString& header) const { return m_columnOf.value(header.toCaseFolded(), -1); }

    // Cell of data row `row` (0 = the row below the headers).
    QString text(int row, int column) const;
    QString text(int row, const QString& header) const;
    // The cell as a whole number; text that is no whole number, or does not fit, throws.
    int integer(int row, int column) const;
    int integer(int row, const QString& header) const;
    // A cell's text as a whole number (integer() of a cell already read as text).
    static int toInteger(const QString& cellText);

    // Tests: called before each read ("open", "sheet", "cell"); throwing XlsError from it
    // makes that read fail as a damaged file would. Called with "freexl" after FreeXL opened a
    // workbook: throwing then makes FreeXL's answer the one it gives to files it gives up on.
    using FaultHook = std::function<void(const char* operation)>;
    static void setFaultHook(FaultHook hook);

private:
    int requireColumn(const QString& header) const;
    QString cellText(unsigned row, unsigned short column) const;
    int openWithoutEmptyStrings(const QByteArray& file, const void** handle);
    int freexlOpen(const QString& path, const void** handle);
    const void* m_handle = nullptr;
    // Set when our own reader reads the workbook, and the sheet it has selected.
    std::unique_ptr<biff::Book> m_own;
    std::unique_ptr<biff::Sheet> m_ownSheet;
    // Set when the workbook is read from a rewritten copy: the copy, and the text that stands
    // for an empty string in it.
    std::unique_ptr<QTemporaryFile> m_copy;
    QString m_emptyMark;
    QString m_path;
    QStringList m_sheets;
    QStringList m_headers;
    QHash<QString, int> m_columnOf;
    int m_rows = 0;
};
