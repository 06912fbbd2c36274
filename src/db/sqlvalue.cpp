#include "db/sqlvalue.h"

#include <QMetaType>
#include <QStringList>
#include <cmath>

namespace db {

QString quoted(const QString& text)
{
    QString body = text;
    body.replace(u'\'', QStringLiteral("''"));
    if (!body.contains(QChar(0)))
        return u'\'' + body + u'\'';
    // A NUL would end the statement text early; carry it as an expression instead.
    const QStringList parts = body.split(QChar(0));
    QStringList lits;
    for (const QString& p : parts)
        lits << u'\'' + p + u'\'';
    return u'(' + lits.join(QStringLiteral("||char(0)||")) + u')';
}

QString likeContains(const QString& text)
{
    return u'%' + text + u'%';
}

QString displayText(const QVariant& v)
{
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
        const double d = v.toDouble();
        if (std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 9.0e18)
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', 15);
    }
    return v.toString();
}

} // namespace db
