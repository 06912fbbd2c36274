#pragma once

#include "ops/customers/sheetreader.h"
#include "ops/customers/xls/biffbook.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <functional>
#include <memory>

// Reads an Excel 97 (.xls) workbook the way the import needs it: the list of its sheets, and
// one sheet at a time as a table whose first row holds the column headers. Cells come as text
// (whole numbers as their digits, dates as text) or as an integer. Every failure throws
// XlsError; a damaged file never gets further than that. FreeXL reads the workbook; one that it
// gives up on (it then answers success without a handle) is read by our own reader (biffbook.h),
// which gives the same sheets and cells.
class XlsReader : public SheetReader
{
public:
    XlsReader() = default;
    ~XlsReader() override;
    XlsReader(const XlsReader&) = delete;
    XlsReader& operator=(const XlsReader&) = delete;

    void open(const QString& path) override;
    void close() override;
    bool isOpen() const override { return m_handle != nullptr || m_own != nullptr; }

    // The workbook's tables as Excel lists them: every worksheet as its name followed by "$".
    QStringList tableNames() const override;

    // Makes the named sheet the current one and reads its header row.
    void selectSheet(const QString& sheet) override;
    // Selects the sheet and makes sure that every one of these headers is there.
    void checkColumns(const QString& sheet, const QStringList& headers) override;

    // The current sheet: data rows (below the header row) and columns.
    int rowCount() const override { return m_rows; }
    int columnCount() const override { return int(m_headers.size()); }
    QString header(int column) const override { return m_headers.value(column); }
    // Position of the column with this header, or -1.
    int column(const QString& header) const override { return m_columnOf.value(header.toCaseFolded(), -1); }

    // Cell of data row `row` (0 = the row below the headers).
    QString text(int row, int column) const override;
    QString text(int row, const QString& header) const override;
    // The cell as a whole number; text that is no whole number, or does not fit, throws.
    int integer(int row, int column) const override;
    int integer(int row, const QString& header) const override;

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
