#include "ops/common/text.h"

#include <QStringEncoder>

namespace text {

QString trimmed(const QString& s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s[b].unicode() <= 0x20)
        ++b;
    while (e > b && s[e - 1].unicode() <= 0x20)
        --e;
    return s.mid(b, e - b);
}

int gbkLength(const QString& s)
{
    QStringEncoder enc("GBK");
    if (!enc.isValid())
        return int(s.toLocal8Bit().size());
    const QByteArray b = enc.encode(s);
    return int(b.size());
}

} // namespace text
