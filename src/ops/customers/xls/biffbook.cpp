#include "ops/customers/xls/biffbook.h"

#include "ops/customers/xls/compoundfile.h"
#include "ops/customers/xls/xlsreader.h"
#include "ops/customers/xls/xlsrepair.h"

#include <QtEndian>

#include <climits>
#include <cmath>
#include <cstring>

// The "Workbook" stream is a row of records (type, length, body). It starts with the workbook's
// own part (sheet list, shared strings, formats) up to its EOF; each sheet follows as a part of
// its own from a BOF to an EOF, found by the position its sheet-list entry gives. Dates are
// numbers whose cell format (XF) names a date format; they are written out the way FreeXL does,
// calendar quirks included, so that a workbook reads the same whichever of the two reads it.
namespace biff {
namespace {

using cfb::u16;
using cfb::u32;

constexpr quint16 kBof = 0x0809;
constexpr quint16 kEof = 0x000A;
constexpr quint16 kFilePass = 0x002F;
constexpr quint16 kDateMode = 0x0022;
constexpr quint16 kBoundSheet = 0x0085;
constexpr quint16 kSst = 0x00FC;
constexpr quint16 kContinue = 0x003C;
constexpr quint16 kFormat = 0x041E;
constexpr quint16 kXf = 0x00E0;
constexpr quint16 kDimension = 0x0200;
constexpr quint16 kNumber = 0x0203;
constexpr quint16 kRk = 0x027E;
constexpr quint16 kMulRk = 0x00BD;
constexpr quint16 kLabelSst = 0x00FD;
constexpr quint16 kLabel = 0x0204;
constexpr quint16 kRString = 0x00D6;
constexpr quint16 kBoolErr = 0x0205;
constexpr quint16 kFormula = 0x0006;
constexpr quint16 kString = 0x0207;

// What an Excel 97 sheet can hold, and how many formats FreeXL keeps.
constexpr quint32 kMaxRows = 65536;
constexpr quint32 kMaxColumns = 256;
constexpr qsizetype kMaxXfs = 8192;
constexpr qsizetype kMaxDateFormats = 2048;

[[noreturn]] void damaged(const QString& why)
{
    throw XlsError(QStringLiteral("damaged workbook: %1").arg(why));
}

struct Record
{
    quint16 type = 0;
    QByteArray body;
    qsizetype next = 0; // where the record after it starts
};

// The record at `at`; false at the end of the stream. A record running past it is damage.
bool recordAt(const QByteArray& stream, qsizetype at, Record* r)
{
    if (at < 0 || at + 4 > stream.size())
        return false;
    const qsizetype end = at + 4 + u16(stream, at + 2);
    if (end > stream.size())
        damaged(QStringLiteral("a record runs past the end of the workbook"));
    r->type = u16(stream, at);
    r->body = stream.mid(at + 4, end - at - 4);
    r->next = end;
    return true;
}

// A text of `count` characters whose flags byte is at `at` (the sizes of rich-text runs and of an
// extension may follow it, then the characters, one or two bytes each); false when it does not
// fit in the record.
bool textAt(const QByteArray& rec, qsizetype at, int count, QString* out)
{
    if (at >= rec.size())
        return false;
    const quint8 flags = quint8(rec[at]);
    const qsizetype from = at + 1 + ((flags & 0x08) ? 2 : 0) + ((flags & 0x04) ? 4 : 0);
    const qsizetype width = (flags & 0x01) ? 2 : 1;
    if (from + qsizetype(count) * width > rec.size())
        return false;
    out->clear();
    out->reserve(count);
    for (int i = 0; i < count; ++i)
        out->append(QChar(width == 2 ? u16(rec, from + 2 * i) : quint16(quint8(rec[from + i]))));
    return true;
}

double doubleAt(const QByteArray& rec, qsizetype at)
{
    const quint64 bits = qFromLittleEndian<quint64>(rec.constData() + at);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// An RK number: a 30-bit integer or the high 30 bits of a double, either one perhaps divided by 100.
double rkValue(quint32 rk)
{
    double v;
    if (rk & 0x02) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 0x01) ? v / 100.0 : v;
}

// Day `count` of the workbook's date system (1 = its first day), counted as FreeXL does: every
// fourth year a leap year, 1900 included, as Excel itself has it.
QString dateText(int count, bool from1904)
{
    int yy = from1904 ? 1904 : 1900, mm = 1, dd = from1904 ? 2 : 1;
    if (count > 1) {
        qint64 n = qint64(count) - 1 + (dd - 1); // days after the first of January
        yy += int(n / 1461) * 4;                 // four years are 1461 days
        n %= 1461;
        for (int len = yy % 4 == 0 ? 366 : 365; n >= len; len = yy % 4 == 0 ? 366 : 365) {
            n -= len;
            ++yy;
        }
        static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        for (mm = 1; mm < 12; ++mm) {
            const int len = kDays[mm - 1] + (mm == 2 && yy % 4 == 0 ? 1 : 0);
            if (n < len)
                break;
            n -= len;
        }
        dd = int(n) + 1;
    }
    return QString::asprintf("%04d-%02d-%02d", yy, mm, dd);
}

QString timeText(double fraction)
{
    int secs = int(std::lround(86400.0 * fraction));
    const int hours = secs / 3600;
    secs -= hours * 3600;
    const int mins = secs / 60;
    secs -= mins * 60;
    return QString::asprintf("%02d:%02d:%02d", hours, mins, secs);
}

} // namespace

QString numberText(double d)
{
    if (std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 9.0e18)
        return QString::number(static_cast<qint64>(d));
    return QString::number(d, 'g', 15);
}

Book::Book(const QByteArray& file)
{
    QString name;
    std::optional<QByteArray> stream = cfb::readStream(file, QStringLiteral("Workbook"), &name);
    if (!stream)
        throw XlsError(QStringLiteral("no Excel 97 workbook stream"));
    m_stream = *stream;
    readGlobals();
}

void Book::readGlobals()
{
    const QByteArray& s = m_stream;
    if (s.size() < 8 || u16(s, 0) != kBof || u16(s, 2) < 2 || u16(s, 4) != 0x0600)
        throw XlsError(QStringLiteral("not an Excel 97 workbook"));
    Record r;
    for (qsizetype at = 0; recordAt(s, at, &r) && r.type != kEof;) {
        at = r.next;
        const QByteArray& b = r.body;
        switch (r.type) {
        case kFilePass:
            throw XlsError(QStringLiteral("the workbook is encrypted"));
        case kDateMode:
            if (b.size() >= 2)
                m_1904 = u16(b, 0) != 0;
            break;
        case kBoundSheet: {
            QString sheetName;
            if (b.size() < 8 || !textAt(b, 7, quint8(b[6]), &sheetName))
                damaged(QStringLiteral("a sheet name does not fit in its record"));
            m_sheets.append({sheetName, u32(b, 0)});
            break;
        }
        case kSst: {
            QList<QByteArray> parts{b};
            Record c;
            while (recordAt(s, at, &c) && c.type == kContinue) {
                parts << c.body;
                at = c.next;
            }
            std::optional<QStringList> strings = xlsrepair::sharedStrings(parts);
            if (!strings)
                damaged(QStringLiteral("the shared strings are shorter than they say"));
            m_strings = *strings;
            break;
        }
        case kFormat: {
            QString format;
            if (b.size() < 5 || !textAt(b, 4, u16(b, 2), &format))
                damaged(QStringLiteral("a number format does not fit in its record"));
            // A format is taken for a date or a time by the letters it uses, as FreeXL takes it.
            int y = 0, m = 0, d = 0, h = 0, sec = 0;
            for (QChar c : format) {
                switch (c.toLower().unicode()) {
                case 'y':
                    ++y;
                    break;
                case 'm':
                    ++m;
                    break;
                case 'd':
                    ++d;
                    break;
                case 'h':
                    ++h;
                    break;
                case 's':
                    ++sec;
                    break;
                default:
                    break;
                }
            }
            Kind kind = Kind::Plain;
            if (y && m && d && h)
                kind = Kind::DateTime;
            else if ((y && m) || (m && d))
                kind = Kind::Date;
            else if ((h && m) || (m && sec))
                kind = Kind::Time;
            if (kind != Kind::Plain && m_dateFormats.size() < kMaxDateFormats)
                m_dateFormats.append({u16(b, 0), kind});
            break;
        }
        case kXf:
            if (b.size() < 4)
                damaged(QStringLiteral("a cell format is too short"));
            if (m_xfFormats.size() < kMaxXfs)
                m_xfFormats.append(u16(b, 2));
            break;
        default:
            break;
        }
    }
}

QStringList Book::sheetNames() const
{
    QStringList names;
    for (const SheetEntry& e : m_sheets)
        names << e.name;
    return names;
}

Book::Kind Book::kindOf(quint16 xf) const
{
    if (xf >= m_xfFormats.size())
        return Kind::Plain;
    const quint16 format = m_xfFormats[xf];
    switch (format) { // Excel's own date and time formats, whatever the workbook calls them
    case 14:
    case 15:
    case 16:
    case 17:
        return Kind::Date;
    case 18:
    case 19:
    case 20:
    case 21:
    case 45:
    case 46:
    case 47:
        return Kind::Time;
    case 22:
        return Kind::DateTime;
    default:
        break;
    }
    for (const DateFormat& f : m_dateFormats)
        if (f.index == format)
            return f.kind;
    return Kind::Plain;
}

QString valueText(DateKind kind, double value, bool from1904)
{
    // A date too far out for a day count stays a number.
    if (kind == DateKind::Plain || !std::isfinite(value) || value < double(INT_MIN) || value >= 2147483648.0)
        return numberText(value);
    const int count = int(std::floor(value));
    const double fraction = value - double(count);
    switch (kind) {
    case DateKind::Date:
        return dateText(count, from1904);
    case DateKind::DateTime:
        return dateText(count, from1904) + u' ' + timeText(fraction);
    default:
        return timeText(fraction);
    }
}

QString Book::valueText(quint16 xf, double value) const
{
    static_assert(int(Kind::Time) == int(DateKind::Time));
    return biff::valueText(DateKind(int(kindOf(xf))), value, m_1904);
}

Sheet Book::sheet(int index) const
{
    if (index < 0 || index >= m_sheets.size())
        throw XlsError(QStringLiteral("no sheet %1").arg(index));
    const QByteArray& s = m_stream;
    Sheet sheet;
    quint32 dimRows = 0, dimColumns = 0;
    int lastRow = -1, lastColumn = -1;
    const auto put = [&](int row, int column, const QString& text) {
        if (column >= int(kMaxColumns))
            damaged(QStringLiteral("a cell lies past the last column"));
        sheet.cells.insert(quint32(row) << 16 | quint32(column), text);
        lastRow = qMax(lastRow, row);
        lastColumn = qMax(lastColumn, column);
    };
    // A formula whose result is text has it in the STRING record after it.
    qint64 pendingString = -1;
    int depth = 0; // embedded parts (charts) have their own BOF and EOF
    bool started = false;
    Record r;
    for (qsizetype at = m_sheets[index].at; recordAt(s, at, &r);) {
        at = r.next;
        if (depth == 0 && r.type != kBof)
            damaged(QStringLiteral("sheet %1 does not start where the sheet list says").arg(index));
        if (r.type == kBof) {
            started = true;
            ++depth;
            continue;
        }
        if (r.type == kEof) {
            if (--depth == 0)
                break;
            continue;
        }
        if (depth != 1)
            continue;
        const QByteArray& b = r.body;
        const auto need = [&b](qsizetype n) {
            if (b.size() < n)
                damaged(QStringLiteral("a cell record is shorter than its fields"));
        };
        const int row = b.size() >= 4 ? u16(b, 0) : 0;
        const int column = b.size() >= 4 ? u16(b, 2) : 0;
        const quint16 xf = b.size() >= 6 ? u16(b, 4) : 0;
        switch (r.type) {
        case kDimension:
            need(14);
            dimRows = u32(b, 4);
            dimColumns = u16(b, 10);
            if (dimRows > kMaxRows || dimColumns > kMaxColumns)
                damaged(QStringLiteral("the sheet is larger than a sheet can be"));
            break;
        case kNumber:
            need(14);
            put(row, column, valueText(xf, doubleAt(b, 6)));
            break;
        case kRk:
            need(10);
            put(row, column, valueText(xf, rkValue(u32(b, 6))));
            break;
        case kMulRk: // xf and RK for each column from the first, the last column at the end
            need(6);
            for (qsizetype off = 4, c = column; off + 6 < b.size(); off += 6, ++c)
                put(row, int(c), valueText(u16(b, off), rkValue(u32(b, off + 2))));
            break;
        case kLabelSst: {
            need(10);
            const quint32 i = u32(b, 6);
            if (i >= quint32(m_strings.size()))
                damaged(QStringLiteral("a cell names a shared string past the table"));
            put(row, column, m_strings[qsizetype(i)]);
            break;
        }
        case kLabel:
        case kRString: {
            QString text;
            need(9);
            if (!textAt(b, 8, u16(b, 6), &text))
                damaged(QStringLiteral("a text does not fit in its cell record"));
            put(row, column, text);
            break;
        }
        case kBoolErr: // a truth value as 1 or 0 (as FreeXL gives it); an error value is empty
            need(8);
            put(row, column, b[7] ? QString() : QString::number(b[6] ? 1 : 0));
            break;
        case kFormula: // the result the formula had when the workbook was saved
            need(14);
            pendingString = -1;
            if (u16(b, 12) != 0xFFFF)
                put(row, column, valueText(xf, doubleAt(b, 6)));
            else if (b[6] == 0)
                pendingString = qint64(row) << 16 | column;
            else if (b[6] == 1)
                put(row, column, QString::number(b[8] ? 1 : 0));
            else
                put(row, column, QString());
            break;
        case kString: {
            QString text;
            need(3);
            if (!textAt(b, 2, u16(b, 0), &text))
                damaged(QStringLiteral("a formula's text does not fit in its record"));
            if (pendingString >= 0)
                put(int(pendingString >> 16), int(pendingString & 0xFFFF), text);
            pendingString = -1;
            break;
        }
        default:
            break;
        }
    }
    if (!started)
        damaged(QStringLiteral("sheet %1 lies past the end of the workbook").arg(index));
    // A cell outside the declared size still counts (FreeXL gives up on such a workbook).
    sheet.rows = int(qMax(dimRows, quint32(lastRow + 1)));
    sheet.columns = int(qMax(dimColumns, quint32(lastColumn + 1)));
    return sheet;
}

} // namespace biff
