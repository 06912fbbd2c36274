#include "phone/recording.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>

namespace phone {

namespace {

struct Pcm
{
    quint32 rate = 0;
    QByteArray samples; // 16-bit little-endian, mono
};

// Reads a RIFF/WAVE file of mono 16-bit PCM; an empty recording (no data chunk) is no samples.
bool readPcm(const QString& path, Pcm* pcm, QString* why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("无法读取录音 %1。").arg(path);
        return false;
    }
    const QByteArray all = f.readAll();
    if (all.size() < 12 || !all.startsWith("RIFF") || all.mid(8, 4) != "WAVE") {
        *why = QStringLiteral("录音 %1 不是 WAV 文件。").arg(path);
        return false;
    }
    bool format = false;
    for (qsizetype at = 12; at + 8 <= all.size();) {
        const QByteArray id = all.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(all.constData() + at + 4);
        const qsizetype body = at + 8;
        const qsizetype len = std::min<qsizetype>(size, all.size() - body);
        if (id == "fmt " && len >= 16) {
            const char* p = all.constData() + body;
            if (qFromLittleEndian<quint16>(p) != 1 || qFromLittleEndian<quint16>(p + 2) != 1 ||
                qFromLittleEndian<quint16>(p + 14) != 16) {
                *why = QStringLiteral("录音 %1 的格式不是单声道 16 位 PCM。").arg(path);
                return false;
            }
            pcm->rate = qFromLittleEndian<quint32>(p + 4);
            format = true;
        } else if (id == "data") {
            pcm->samples = all.mid(body, len & ~qsizetype(1));
        }
        at = body + len + (len & 1);
    }
    if (!format) {
        *why = QStringLiteral("录音 %1 缺少格式说明。").arg(path);
        return false;
    }
    return true;
}

void put16(QByteArray& b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}

void put32(QByteArray& b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

} // namespace

QString recordingName(const QDateTime& when, const QString& project, qint64 customerId, const QString& number)
{
    auto safe = [](QString s) {
        for (QChar& c : s)
            if (c.unicode() < 0x20 || QStringLiteral("\\/:*?\"<>|").contains(c))
                c = u'_';
        return s.trimmed();
    };
    return QStringLiteral("%1_%2_%3_%4.wav")
        .arg(when.toString(QStringLiteral("yyyyMMdd-hhmmss")), safe(project), QString::number(customerId),
             safe(number));
}

bool joinRecording(const QString& sent, const QString& heard, const QString& out, QString* why)
{
    Pcm a, b;
    if (!readPcm(sent, &a, why) || !readPcm(heard, &b, why))
        return false;
    if (b.rate && a.rate != b.rate && !b.samples.isEmpty()) {
        *why = QStringLiteral("录音的两半采样率不同（%1 与 %2）。").arg(a.rate).arg(b.rate);
        return false;
    }
    const qsizetype frames = std::max(a.samples.size(), b.samples.size()) / 2;
    a.samples.resize(frames * 2, '\0');
    b.samples.resize(frames * 2, '\0');
    QByteArray wav;
    wav.reserve(44 + frames * 4);
    wav += "RIFF";
    put32(wav, quint32(36 + frames * 4));
    wav += "WAVEfmt ";
    put32(wav, 16);
    put16(wav, 1); // PCM
    put16(wav, 2); // the operator left, the customer right
    put32(wav, a.rate);
    put32(wav, a.rate * 4);
    put16(wav, 4);
    put16(wav, 16);
    wav += "data";
    put32(wav, quint32(frames * 4));
    for (qsizetype i = 0; i < frames; ++i) {
        wav.append(a.samples.constData() + 2 * i, 2);
        wav.append(b.samples.constData() + 2 * i, 2);
    }
    QSaveFile f(out);
    if (!f.open(QIODevice::WriteOnly) || f.write(wav) != wav.size() || !f.commit()) {
        *why = QStringLiteral("无法写入录音 %1：%2").arg(out, f.errorString());
        return false;
    }
    return true;
}

} // namespace phone
