#pragma once

#include "db/connection.h"

#include <QDate>
#include <QString>

// The operation log as the log viewer lists it: the newest rows first, at most kLogRowCap.
namespace ops::admin {

inline constexpr int kLogRowCap = 10000;
// A day range holding at least this many rows is read newest first through the whole log rather
// than through the index on the time: the index would fetch and sort every row of the range.
inline constexpr int kWideDayRange = 50000;

struct LogFilter
{
    QString truename; // full name of the operator, exact (empty = any)
    QString text;     // a piece of the log text; % and _ act as wildcards (empty = any)
    bool byDate = false;
    QDate from; // whole days, both ends included
    QDate to;
};

// The statement of the opened viewer: the newest rows.
QString newestLogQuery();

// The statement for the filters. Typed text cannot break it; the days are compared on the
// stored time itself so that its index can serve a narrow range (a wide one is measured first,
// through the index, which is why this takes the connection). Throws db::Error.
db::Statement logQuery(db::Connection& con, const LogFilter& f, int wideRange = kWideDayRange);

} // namespace ops::admin
