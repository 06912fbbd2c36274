#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

// Our own reading of an Excel 97 (BIFF8) workbook, for the files FreeXL gives up on. It gives
// what the import reads through FreeXL, in the same form: the sheets in their order, and a
// sheet's cells as text, whole numbers as their digits, date-formatted numbers as FreeXL writes
// them ("1990-05-17", "2024-03-05 14:30:00", "14:30:00"). Every length and position is checked
// against the stream before it is read; a workbook that contradicts itself throws XlsError.
namespace biff {

// A number as the import shows it: a whole number as its digits (13800138000, not 1.38e+10).
QString numberText(double d);

// How a number format shows its numbers: as numbers, or as a date, a date and time, or a time.
enum class DateKind { Plain, Date, DateTime, Time };
// A number as the import shows it under a format of this kind, in the workbook's date system.
QString valueText(DateKind kind, double value, bool from1904);

struct Sheet
{
    int rows = 0; // counts, as FreeXL's dimensions: the header row included
    int columns = 0;
    QHash<quint32, QString> cells; // by row << 16 | column; an absent cell is empty
    QString text(int row, int column) const { return cells.value(quint32(row) << 16 | quint32(column)); }
};

class Book
{
public:
    // Reads the workbook's sheet list and what its cells refer to (shared strings, number
    // formats, date system).
    explicit Book(const QByteArray& file);

    QStringList sheetNames() const;
    // The cells of the sheet at this position in sheetNames().
    Sheet sheet(int index) const;

private:
    enum class Kind { Plain, Date, DateTime, Time };
    struct SheetEntry
    {
        QString name;
        quint32 at; // its BOF record in the stream
    };
    struct DateFormat
    {
        quint16 index;
        Kind kind;
    };

    void readGlobals();
    Kind kindOf(quint16 xf) const;
    QString valueText(quint16 xf, double value) const;

    QByteArray m_stream;
    QVector<SheetEntry> m_sheets;
    QStringList m_strings;
    QVector<quint16> m_xfFormats; // the number format of each cell format (XF), in order
    QVector<DateFormat> m_dateFormats;
    bool m_1904 = false;
};

} // namespace biff
