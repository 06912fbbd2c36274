#include "ops/customers/xls/xlsrepair.h"

#include "ops/customers/xls/compoundfile.h"

#include <QList>
#include <QVector>

#include <algorithm>

// An .xls file is a compound file holding the "Workbook" stream of BIFF8 records. Empty strings
// live in the shared string table (the SST record and the CONTINUE records after it); cells
// refer to them by position. The copy gets the same stream with that table written anew (each
// empty string now one character long, the table split into records afresh), the stream
// offsets that point past the table moved along, and a compound file of its own around it.
namespace xlsrepair {
namespace {

using cfb::append16;
using cfb::append32;
using cfb::put32;
using cfb::u16;
using cfb::u32;

constexpr quint16 kBof = 0x0809;
constexpr quint16 kEof = 0x000A;
constexpr quint16 kFilePass = 0x002F;
constexpr quint16 kBoundSheet = 0x0085;
constexpr quint16 kSst = 0x00FC;
constexpr quint16 kContinue = 0x003C;
constexpr quint16 kIndex = 0x020B;
constexpr qsizetype kMaxRecord = 8224; // largest record body BIFF8 allows

struct Str
{
    QVector<char16_t> chars;
    bool rich = false;
    bool ext = false;
    QByteArray runs;
    QByteArray extra;
};

// Reads the table's bytes across its records. Characters carry on in the next record after a
// byte that says how they are stored there; every other part just carries on.
class StrReader
{
public:
    explicit StrReader(const QList<QByteArray>& parts) : m_parts(parts) {}

    bool bytes(qsizetype n, QByteArray* out)
    {
        while (n > 0) {
            if (!next())
                return false;
            const qsizetype take = qMin(n, m_parts[m_part].size() - m_at);
            if (out)
                out->append(m_parts[m_part].mid(m_at, take));
            m_at += take;
            n -= take;
        }
        return true;
    }

    bool chars(int count, bool wide, QVector<char16_t>* out)
    {
        while (count > 0) {
            if (m_at >= m_parts[m_part].size()) {
                QByteArray flag;
                if (!bytes(1, &flag)) // moves to the next record
                    return false;
                wide = flag[0] & 1;
            }
            const qsizetype width = wide ? 2 : 1;
            const qsizetype take = qMin(qsizetype(count), (m_parts[m_part].size() - m_at) / width);
            if (take == 0)
                return false;
            for (qsizetype i = 0; i < take; ++i, m_at += width)
                out->append(wide ? u16(m_parts[m_part], m_at) : char16_t(quint8(m_parts[m_part][m_at])));
            count -= int(take);
        }
        return true;
    }

private:
    // Moves past finished records; false at the end of the table.
    bool next()
    {
        while (m_at >= m_parts[m_part].size()) {
            if (m_part + 1 >= m_parts.size())
                return false;
            ++m_part;
            m_at = 0;
        }
        return true;
    }

    const QList<QByteArray>& m_parts;
    qsizetype m_part = 0;
    qsizetype m_at = 0;
};

bool readString(StrReader& r, Str* s)
{
    QByteArray head;
    if (!r.bytes(3, &head))
        return false;
    const int count = u16(head, 0);
    const quint8 flags = quint8(head[2]);
    s->rich = flags & 0x08;
    s->ext = flags & 0x04;
    QByteArray sizes;
    if ((s->rich && !r.bytes(2, &sizes)) || (s->ext && !r.bytes(4, &sizes)))
        return false;
    const int runs = s->rich ? u16(sizes, 0) : 0;
    const quint32 extra = s->ext ? u32(sizes, s->rich ? 2 : 0) : 0;
    return r.chars(count, flags & 0x01, &s->chars) && r.bytes(qsizetype(runs) * 4, &s->runs) &&
           r.bytes(qsizetype(extra), &s->extra);
}

// Writes records of at most kMaxRecord bytes: the SST record, then CONTINUE records.
class RecordWriter
{
public:
    void need(qsizetype n)
    {
        if (m_records.isEmpty() || m_records.last().size() + n > kMaxRecord)
            m_records << QByteArray();
    }
    qsizetype room() const { return m_records.isEmpty() ? 0 : kMaxRecord - m_records.last().size(); }
    QByteArray& last() { return m_records.last(); }
    QByteArray records() const
    {
        QByteArray out;
        for (qsizetype i = 0; i < m_records.size(); ++i) {
            append16(out, i == 0 ? kSst : kContinue);
            append16(out, quint16(m_records[i].size()));
            out += m_records[i];
        }
        return out;
    }

private:
    QList<QByteArray> m_records;
};

void writeString(RecordWriter& w, const Str& s)
{
    bool wide = false;
    for (char16_t c : s.chars)
        wide = wide || c > 0xFF;
    const qsizetype width = wide ? 2 : 1;
    QByteArray head;
    append16(head, quint16(s.chars.size()));
    head.append(char((wide ? 0x01 : 0) | (s.ext ? 0x04 : 0) | (s.rich ? 0x08 : 0)));
    if (s.rich)
        append16(head, quint16(s.runs.size() / 4));
    if (s.ext)
        append32(head, quint32(s.extra.size()));
    // The header and the first character stay together.
    w.need(head.size() + (s.chars.isEmpty() ? 0 : width));
    w.last() += head;
    for (qsizetype i = 0; i < s.chars.size(); ++i) {
        if (w.room() < width) {
            w.need(kMaxRecord);
            w.last().append(char(wide ? 0x01 : 0));
        }
        w.last().append(char(s.chars[i] & 0xFF));
        if (wide)
            w.last().append(char(s.chars[i] >> 8));
    }
    for (qsizetype i = 0; i < s.runs.size(); i += 4) {
        w.need(4);
        w.last() += s.runs.mid(i, 4);
    }
    for (qsizetype i = 0; i < s.extra.size();) {
        w.need(1);
        const qsizetype take = qMin(w.room(), s.extra.size() - i);
        w.last() += s.extra.mid(i, take);
        i += take;
    }
}

// The table (record headers included) with its empty strings replaced by a one-character
// mark; no value when it has none.
std::optional<QByteArray> rewriteTable(const QByteArray& table, QString* mark)
{
    QList<QByteArray> parts;
    for (qsizetype at = 0; at + 4 <= table.size(); at += 4 + u16(table, at + 2))
        parts << table.mid(at + 4, u16(table, at + 2));
    if (parts.isEmpty() || parts[0].size() < 8)
        return std::nullopt;
    const QByteArray counts = parts[0].left(8);
    parts[0].remove(0, 8);
    StrReader r(parts);
    const quint32 unique = u32(counts, 4);
    QVector<Str> strings;
    bool anyEmpty = false;
    for (quint32 i = 0; i < unique; ++i) {
        Str s;
        if (!readString(r, &s))
            return std::nullopt;
        anyEmpty = anyEmpty || s.chars.isEmpty();
        strings << s;
    }
    if (!anyEmpty)
        return std::nullopt;
    // A control character that no string of the table is on its own.
    char16_t m = 1;
    for (; m < 0x20; ++m) {
        const bool taken = std::any_of(strings.begin(), strings.end(),
                                       [m](const Str& s) { return s.chars.size() == 1 && s.chars[0] == m; });
        if (!taken)
            break;
    }
    if (m == 0x20)
        return std::nullopt;
    *mark = QString(QChar(m));
    RecordWriter w;
    w.need(8);
    w.last() += counts;
    for (Str& s : strings) {
        if (s.chars.isEmpty())
            s = Str{{m}, false, false, {}, {}};
        writeString(w, s);
    }
    return w.records();
}

// Stream offsets (to sheets, and to a sheet's row blocks) that lie past `from` move by delta.
void moveOffsets(QByteArray& stream, quint32 from, qint64 delta)
{
    auto move = [&](qsizetype at) {
        const quint32 v = u32(stream, at);
        if (v >= from)
            put32(stream, at, quint32(qint64(v) + delta));
    };
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const quint16 type = u16(stream, at);
        const qsizetype len = u16(stream, at + 2);
        if (at + 4 + len > stream.size())
            break;
        if (type == kBoundSheet && len >= 4)
            move(at + 4);
        else if (type == kIndex)
            for (qsizetype i = 16; i + 4 <= len; i += 4)
                move(at + 4 + i);
        at += 4 + len;
    }
}

std::optional<QByteArray> rewriteStream(const QByteArray& stream, QString* mark)
{
    if (stream.size() < 8 || u16(stream, 0) != kBof || u16(stream, 4) != 0x0600) // BIFF8 only
        return std::nullopt;
    qsizetype from = -1, to = -1;
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const quint16 type = u16(stream, at);
        const qsizetype end = at + 4 + u16(stream, at + 2);
        if (end > stream.size() || type == kFilePass) // damaged, or encrypted
            return std::nullopt;
        if (type == kSst) {
            from = at;
            to = end;
            while (to + 4 <= stream.size() && u16(stream, to) == kContinue)
                to += 4 + u16(stream, to + 2);
            if (to > stream.size())
                return std::nullopt;
            break;
        }
        if (type == kEof)
            break;
        at = end;
    }
    if (from < 0)
        return std::nullopt;
    const std::optional<QByteArray> table = rewriteTable(stream.mid(from, to - from), mark);
    if (!table)
        return std::nullopt;
    QByteArray out = stream.left(from) + *table + stream.mid(to);
    moveOffsets(out, quint32(to), qint64(table->size()) - qint64(to - from));
    return out;
}

// A text of `count` characters whose flags byte is at `flags` fits in the record.
bool textFits(const QByteArray& rec, qsizetype flags, int count)
{
    return flags < rec.size() && flags + 1 + qsizetype(count) * ((rec[flags] & 1) ? 2 : 1) <= rec.size();
}

bool recordConsistent(quint16 type, const QByteArray& rec)
{
    switch (type) {
    case kBoundSheet: // position, state, kind, name
        return rec.size() >= 8 && textFits(rec, 7, quint8(rec[6]));
    case 0x0031: // FONT: its name
        return rec.size() >= 16 && textFits(rec, 15, quint8(rec[14]));
    case 0x041E: // FORMAT
        return rec.size() >= 5 && textFits(rec, 4, u16(rec, 2));
    case 0x0204: // LABEL
        return rec.size() >= 9 && textFits(rec, 8, u16(rec, 6));
    default:
        return true;
    }
}

} // namespace

bool consistent(const QByteArray& file)
{
    QString name;
    std::optional<QByteArray> stream = cfb::readStream(file, QStringLiteral("Workbook"), &name);
    if (!stream)
        stream = cfb::readStream(file, QStringLiteral("Book"), &name);
    if (!stream) // a compound file we cannot follow is damaged; anything else FreeXL refuses itself
        return !file.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1"));
    const QByteArray& s = *stream;
    const bool biff8 = s.size() >= 8 && u16(s, 0) == kBof && u16(s, 4) == 0x0600;
    quint32 strings = 0;
    for (qsizetype at = 0; at + 4 <= s.size();) {
        const quint16 type = u16(s, at);
        const qsizetype end = at + 4 + u16(s, at + 2);
        if (end > s.size())
            return false;
        const QByteArray rec = s.mid(at + 4, end - at - 4);
        if (biff8 && !recordConsistent(type, rec))
            return false;
        if (biff8 && type == kSst) {
            QList<QByteArray> parts{rec};
            qsizetype next = end;
            while (next + 4 <= s.size() && u16(s, next) == kContinue) {
                const qsizetype e = next + 4 + u16(s, next + 2);
                if (e > s.size())
                    return false;
                parts << s.mid(next + 4, e - next - 4);
                next = e;
            }
            if (rec.size() < 8)
                return false;
            strings = u32(rec, 4);
            parts[0] = rec.mid(8);
            StrReader r(parts);
            for (quint32 i = 0; i < strings; ++i) {
                Str str;
                if (!readString(r, &str))
                    return false;
            }
            at = next;
            continue;
        }
        if (biff8 && type == 0x00FD && (rec.size() < 10 || u32(rec, 6) >= strings)) // LABELSST
            return false;
        at = end;
    }
    return true;
}

std::optional<QStringList> sharedStrings(QList<QByteArray> parts)
{
    if (parts.isEmpty() || parts[0].size() < 8)
        return std::nullopt;
    const quint32 unique = u32(parts[0], 4);
    parts[0].remove(0, 8);
    StrReader r(parts);
    QStringList texts;
    for (quint32 i = 0; i < unique; ++i) {
        Str s;
        if (!readString(r, &s))
            return std::nullopt;
        texts << QString::fromUtf16(s.chars.constData(), s.chars.size());
    }
    return texts;
}

std::optional<Copy> withoutEmptyStrings(const QByteArray& file)
{
    QString name;
    const std::optional<QByteArray> stream = cfb::readStream(file, QStringLiteral("Workbook"), &name);
    if (!stream)
        return std::nullopt;
    Copy copy;
    const std::optional<QByteArray> rewritten = rewriteStream(*stream, &copy.mark);
    if (!rewritten)
        return std::nullopt;
    copy.file = cfb::writeStream(name, *rewritten);
    return copy;
}

} // namespace xlsrepair
