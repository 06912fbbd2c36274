#pragma once

#include "ops/customers/sheetreader.h"
#include "ops/customers/xls/biffbook.h"

#include <QVector>
#include <memory>
#include <string>

// Reads an Excel 2007 and later (.xlsx) workbook: a zip package of XML parts. The sheet list
// comes from the workbook part, cells are given as the .xls reader gives them (shared and inline
// strings, rich text as its plain text, whole numbers as all their digits, date-formatted
// numbers as dates). A sheet's rows are read as a stream from the package, never held whole;
// the shared strings are held, up to a limit. A package that is damaged, expands past its
// limits, holds XML that is not well formed or declares a document type, or refers to what is
// not there throws XlsError.
class XlsxReader : public StreamedSheetReader
{
public:
    XlsxReader();
    ~XlsxReader() override;
    XlsxReader(const XlsxReader&) = delete;
    XlsxReader& operator=(const XlsxReader&) = delete;

    void open(const QString& path) override;
    void close() override;
    bool isOpen() const override { return m_zip != nullptr; }

    // What a package may expand to, all its parts together, and how much more than its
    // compressed size one large part may be.
    static constexpr quint64 kMaxExpanded = quint64(2) << 30;
    static constexpr quint64 kMaxRatio = 500;

protected:
    void startRows(int sheet) override;
    bool nextRow(QStringList* cells) override;
    bool skipRow(int* width) override;
    void endRows() override;

private:
    class Part;
    void checkSizes();
    std::unique_ptr<Part> openPart(const QString& name, bool required);
    void readWorkbook();
    void readSharedStrings();
    void readStyles();
    bool readRow(QStringList* cells, int* number, int* width);
    enum class CellType { Number, Shared, Inline, Text, Error };
    static CellType cellType(QByteArrayView t);
    // The cell's text; only checked when not `wanted` (an empty string then).
    QString cellValue(CellType type, int style, const QString& inlineText, bool wanted = true) const;

    void* m_zip = nullptr;
    QStringList m_parts; // of the sheets, in order
    // The shared strings, end to end, and where each one ends.
    QString m_strings;
    QVector<quint32> m_stringEnds;        // within kMaxStringChars
    QVector<biff::DateKind> m_styleKinds; // by cell format (s)
    bool m_1904 = false;
    // The sheet being read, the number of the row nextRow() gives next, and a row read ahead
    // of it (rows left out of the XML are empty rows).
    std::unique_ptr<Part> m_sheet;
    int m_next = 1;
    QStringList m_ahead;
    int m_aheadNumber = 0;
    int m_aheadWidth = 0;
    bool m_aheadSkipped = false; // read for its width only
    std::string m_value;         // of the cell being read, as written
};
