#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Compound files (OLE2 structured storage), the container of Excel 97 workbooks: one stream read
// out of a file, and a file written around one stream.
namespace cfb {

// The stream with this name (letter case ignored), and its name as stored; no value when the
// file is no compound file, is damaged, or has no such stream.
std::optional<QByteArray> readStream(const QByteArray& file, const QString& name, QString* storedName);

// A compound file holding this one stream.
QByteArray writeStream(const QString& name, QByteArray stream);

// Little-endian fields, as both the container and the workbook inside it store them.
inline quint16 u16(const QByteArray& b, qsizetype at)
{
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}

inline quint32 u32(const QByteArray& b, qsizetype at)
{
    return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16;
}

inline void put32(QByteArray& b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (8 * i) & 0xFF);
}

inline void append16(QByteArray& b, quint16 v)
{
    b.append(char(v & 0xFF)).append(char(v >> 8));
}

inline void append32(QByteArray& b, quint32 v)
{
    append16(b, quint16(v & 0xFFFF));
    append16(b, quint16(v >> 16));
}

} // namespace cfb
