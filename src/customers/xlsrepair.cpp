#include "customers/xlsrepair.h"

#include <QList>
#include <QVector>

#include <algorithm>

// An .xls file is a compound file (a small file system of sectors) holding the "Workbook"
// stream of BIFF8 records. Empty strings live in the shared string table (the SST record and
// the CONTINUE records after it); cells refer to them by position. The copy gets the same
// stream with that table written anew (each empty string now one character long, the table
// split into records afresh), the stream offsets that point past the table moved along, and
// a compound file of its own around the stream.
namespace xlsrepair {
namespace {

constexpr quint32 kFreeSect = 0xFFFFFFFF; // also "no entry" in the directory
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSect = 0xFFFFFFFD;
constexpr quint32 kDifSect = 0xFFFFFFFC;

constexpr quint16 kBof = 0x0809;
constexpr quint16 kEof = 0x000A;
constexpr quint16 kFilePass = 0x002F;
constexpr quint16 kBoundSheet = 0x0085;
constexpr quint16 kSst = 0x00FC;
constexpr quint16 kContinue = 0x003C;
constexpr quint16 kIndex = 0x020B;
constexpr qsizetype kMaxRecord = 8224; // largest record body BIFF8 allows

quint16 u16(const QByteArray& b, qsizetype at)
{
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}

quint32 u32(const QByteArray& b, qsizetype at)
{
    return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16;
}

void put32(QByteArray& b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i) & 0xFF);
}

void append16(QByteArray& b, quint16 v)
{
    b.append(char(v & 0xFF)).append(char(v >> 8));
}

void append32(QByteArray& b, quint32 v)
{
    append16(b, quint16(v & 0xFFFF));
    append16(b, quint16(v >> 16));
}

// ---- Reading the compound file ---------------------------------------------------------

class Compound
{
public:
    bool read(const QByteArray& file);
    // The stream with this name (case ignored), and its name as stored.
    std::optional<QByteArray> stream(const QString& name, QString* storedName) const;

private:
    bool chain(quint32 start, const QVector<quint32>& table, QVector<quint32>* out) const;
    QByteArray sectors(const QVector<quint32>& ids) const;
    QVector<quint32> table(const QByteArray& bytes) const;

    QByteArray m_file;
    qsizetype m_sector = 512;
    quint32 m_cutoff = 4096;
    quint32 m_firstMiniFat = kEndOfChain;
    QVector<quint32> m_fat;
    QByteArray m_dir;
};

bool Compound::read(const QByteArray& file)
{
    static const QByteArray kSignature = QByteArray::fromHex("D0CF11E0A1B11AE1");
    if (file.size() < 512 || !file.startsWith(kSignature))
        return false;
    m_file = file;
    const quint16 shift = u16(file, 0x1E);
    if (shift != 9 && shift != 12)
        return false;
    m_sector = qsizetype(1) << shift;
    m_cutoff = u32(file, 0x38);
    m_firstMiniFat = u32(file, 0x3C);
    // The FAT's own sectors: 109 named in the header, the rest in a chain of DIFAT sectors.
    const quint32 fatSectors = u32(file, 0x2C);
    const qsizetype maxSectors = file.size() / m_sector + 1;
    if (fatSectors > quint32(maxSectors))
        return false;
    QVector<quint32> fatIds;
    for (int i = 0; i < 109 && quint32(fatIds.size()) < fatSectors; ++i)
        fatIds << u32(file, 0x4C + 4 * i);
    quint32 difat = u32(file, 0x44);
    for (qsizetype guard = 0; quint32(fatIds.size()) < fatSectors; ++guard) {
        const QByteArray d = sectors({difat});
        if (guard > maxSectors || d.size() != m_sector)
            return false;
        for (qsizetype i = 0; i + 4 < m_sector && quint32(fatIds.size()) < fatSectors; i += 4)
            fatIds << u32(d, i);
        difat = u32(d, m_sector - 4);
    }
    const QByteArray fat = sectors(fatIds);
    if (fat.size() != fatIds.size() * m_sector)
        return false;
    m_fat = table(fat);
    QVector<quint32> dirIds;
    if (!chain(u32(file, 0x30), m_fat, &dirIds))
        return false;
    m_dir = sectors(dirIds);
    return m_dir.size() >= 128;
}

QVector<quint32> Compound::table(const QByteArray& bytes) const
{
    QVector<quint32> t;
    t.reserve(bytes.size() / 4);
    for (qsizetype i = 0; i + 4 <= bytes.size(); i += 4)
        t << u32(bytes, i);
    return t;
}

// Follows a chain of sectors; false when it leaves the table or runs in a circle.
bool Compound::chain(quint32 start, const QVector<quint32>& table, QVector<quint32>* out) const
{
    out->clear();
    for (quint32 s = start; s != kEndOfChain; s = table[qsizetype(s)]) {
        if (s >= quint32(table.size()) || out->size() > table.size())
            return false;
        out->append(s);
    }
    return true;
}

// The bytes of these sectors in order; a last sector cut short by the end of the file is
// taken as far as it goes.
QByteArray Compound::sectors(const QVector<quint32>& ids) const
{
    QByteArray out;
    for (quint32 id : ids) {
        const qsizetype at = (qsizetype(id) + 1) * m_sector;
        if (id >= kDifSect || at >= m_file.size())
            return out;
        out += m_file.mid(at, m_sector);
    }
    return out;
}

std::optional<QByteArray> Compound::stream(const QString& name, QString* storedName) const
{
    for (qsizetype e = 0; e + 128 <= m_dir.size(); e += 128) {
        const int nameBytes = u16(m_dir, e + 0x40);
        if (quint8(m_dir[e + 0x42]) != 2 || nameBytes < 2 || nameBytes > 64)
            continue;
        QString n;
        for (int i = 0; i + 2 < nameBytes; i += 2)
            n += QChar(u16(m_dir, e + i));
        if (n.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        *storedName = n;
        const quint32 start = u32(m_dir, e + 0x74);
        const quint32 size = u32(m_dir, e + 0x78);
        QByteArray bytes;
        QVector<quint32> ids;
        if (size >= m_cutoff) {
            if (!chain(start, m_fat, &ids))
                return std::nullopt;
            bytes = sectors(ids);
        } else {
            // A small stream lives in 64-byte pieces of the mini stream, which is the root
            // entry's own stream.
            QVector<quint32> miniFatIds, rootIds;
            if (!chain(m_firstMiniFat, m_fat, &miniFatIds) || !chain(u32(m_dir, 0x74), m_fat, &rootIds))
                return std::nullopt;
            const QVector<quint32> miniFat = table(sectors(miniFatIds));
            const QByteArray mini = sectors(rootIds);
            if (!chain(start, miniFat, &ids))
                return std::nullopt;
            for (quint32 id : ids)
                bytes += mini.mid(qsizetype(id) * 64, 64);
        }
        if (bytes.size() < qsizetype(size))
            return std::nullopt;
        bytes.truncate(size);
        return bytes;
    }
    return std::nullopt;
}

// ---- Writing a compound file around one stream -------------------------------------------

QByteArray dirEntry(const QString& name, quint8 type, quint32 child, quint32 start, quint32 size)
{
    QByteArray e(128, '\0');
    for (int i = 0; i < name.size() && i < 31; ++i) {
        e[2 * i] = char(name[i].unicode() & 0xFF);
        e[2 * i + 1] = char(name[i].unicode() >> 8);
    }
    e[0x40] = char(name.isEmpty() ? 0 : 2 * (qMin(int(name.size()), 31) + 1));
    e[0x42] = char(type);
    e[0x43] = char(1); // black
    put32(e, 0x44, kFreeSect);
    put32(e, 0x48, kFreeSect);
    put32(e, 0x4C, child);
    put32(e, 0x74, start);
    put32(e, 0x78, size);
    return e;
}

// 512-byte sectors: the stream first, then the directory, the FAT and, for big streams, the
// DIFAT. The stream is at least 4096 bytes (padded with zeros, as Excel 97 writers do), so it
// never goes to the mini stream.
QByteArray writeCompound(const QString& name, QByteArray stream)
{
    constexpr qsizetype kSector = 512;
    constexpr quint32 kPerSector = kSector / 4;
    if (stream.size() < 4096)
        stream.append(QByteArray(4096 - stream.size(), '\0'));
    const quint32 size = quint32(stream.size());
    stream.append(QByteArray((kSector - stream.size() % kSector) % kSector, '\0'));
    const quint32 data = quint32(stream.size() / kSector);
    quint32 fats = 1, difats = 0;
    for (;;) {
        const quint32 all = data + 1 + fats + difats;
        const quint32 needFats = (all + kPerSector - 1) / kPerSector;
        const quint32 needDifats = needFats > 109 ? (needFats - 109 + kPerSector - 2) / (kPerSector - 1) : 0;
        if (needFats == fats && needDifats == difats)
            break;
        fats = needFats;
        difats = needDifats;
    }
    const quint32 dirAt = data, fatAt = data + 1, difatAt = data + 1 + fats;

    QVector<quint32> fat(qsizetype(fats) * kPerSector, kFreeSect);
    for (quint32 i = 0; i < data; ++i)
        fat[i] = i + 1 < data ? i + 1 : kEndOfChain;
    fat[dirAt] = kEndOfChain;
    for (quint32 i = 0; i < fats; ++i)
        fat[fatAt + i] = kFatSect;
    for (quint32 i = 0; i < difats; ++i)
        fat[difatAt + i] = kDifSect;

    QByteArray header(kSector, '\0');
    header.replace(0, 8, QByteArray::fromHex("D0CF11E0A1B11AE1"));
    QByteArray fields;
    append16(fields, 0x003E); // minor version
    append16(fields, 0x0003); // major version 3: 512-byte sectors
    append16(fields, 0xFFFE); // little-endian
    append16(fields, 9);      // sector shift
    append16(fields, 6);      // mini sector shift
    fields.append(QByteArray(6, '\0'));
    append32(fields, 0); // directory sectors (none counted in version 3)
    append32(fields, fats);
    append32(fields, dirAt);
    append32(fields, 0);    // transaction signature
    append32(fields, 4096); // mini stream cutoff
    append32(fields, kEndOfChain);
    append32(fields, 0);
    append32(fields, difats ? difatAt : kEndOfChain);
    append32(fields, difats);
    header.replace(0x18, fields.size(), fields);
    QVector<quint32> fatIds;
    for (quint32 i = 0; i < fats; ++i)
        fatIds << fatAt + i;
    for (int i = 0; i < 109; ++i)
        put32(header, 0x4C + 4 * i, i < fatIds.size() ? fatIds[i] : kFreeSect);

    QByteArray out = header + stream;
    out += dirEntry(QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0);
    out += dirEntry(name, 2, kFreeSect, 0, size);
    out += dirEntry(QString(), 0, kFreeSect, 0, 0);
    out += dirEntry(QString(), 0, kFreeSect, 0, 0);
    for (quint32 v : fat)
        append32(out, v);
    qsizetype next = 109;
    for (quint32 d = 0; d < difats; ++d) {
        for (quint32 i = 0; i + 1 < kPerSector; ++i, ++next)
            append32(out, next < fatIds.size() ? fatIds[next] : kFreeSect);
        append32(out, d + 1 < difats ? difatAt + d + 1 : kEndOfChain);
    }
    return out;
}

// ---- The shared string table ---------------------------------------------------------------

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

} // namespace

std::optional<Copy> withoutEmptyStrings(const QByteArray& file)
{
    Compound c;
    if (!c.read(file))
        return std::nullopt;
    QString name;
    const std::optional<QByteArray> stream = c.stream(QStringLiteral("Workbook"), &name);
    if (!stream)
        return std::nullopt;
    Copy copy;
    const std::optional<QByteArray> rewritten = rewriteStream(*stream, &copy.mark);
    if (!rewritten)
        return std::nullopt;
    copy.file = writeCompound(name, *rewritten);
    return copy;
}

} // namespace xlsrepair
