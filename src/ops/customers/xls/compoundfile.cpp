#include "ops/customers/xls/compoundfile.h"

#include <QVector>

// A compound file is a small file system of sectors: a header, a sector allocation table (FAT)
// whose own sectors are listed in the header and, past 109 of them, in DIFAT sectors; a
// directory of 128-byte entries; streams as chains of sectors, small ones as chains of 64-byte
// pieces of the mini stream.
namespace cfb {
namespace {

constexpr quint32 kFreeSect = 0xFFFFFFFF; // also "no entry" in the directory
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFatSect = 0xFFFFFFFD;
constexpr quint32 kDifSect = 0xFFFFFFFC;

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

} // namespace

// 512-byte sectors: the stream first, then the directory, the FAT and, for big streams, the
// DIFAT. The stream is at least 4096 bytes (padded with zeros, as Excel 97 writers do), so it
// never goes to the mini stream.
QByteArray writeStream(const QString& name, QByteArray stream)
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

std::optional<QByteArray> readStream(const QByteArray& file, const QString& name, QString* storedName)
{
    Compound c;
    if (!c.read(file))
        return std::nullopt;
    return c.stream(name, storedName);
}

} // namespace cfb
