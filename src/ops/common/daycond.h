#pragma once

#include <QDate>
#include <QString>

namespace ops {

// The day filter of the list windows: a ticked box and two days, both ends included.
struct DayFilter
{
    bool on = false;
    QDate from;
    QDate to;
};

// " and format(col,'yyyymmdd')>='from' and format(col,'yyyymmdd')<='to'" (whole days, both ends
// included), or an empty text when the filter is off.
QString dayCondition(const QString& column, const QDate& from, const QDate& to);
QString dayCondition(const QString& column, const DayFilter& days);

} // namespace ops
