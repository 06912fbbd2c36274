#include "ops/common/daycond.h"

namespace ops {

QString dayCondition(const QString& column, const QDate& from, const QDate& to)
{
    return QStringLiteral(" and format(%1,'yyyymmdd')>='%2' and format(%1,'yyyymmdd')<='%3'")
        .arg(column, from.toString(QStringLiteral("yyyyMMdd")), to.toString(QStringLiteral("yyyyMMdd")));
}

QString dayCondition(const QString& column, const DayFilter& days)
{
    return days.on ? dayCondition(column, days.from, days.to) : QString();
}

} // namespace ops
