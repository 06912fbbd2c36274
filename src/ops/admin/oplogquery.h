#pragma once

#include <QDate>
#include <QString>

// The operation log as the log viewer lists it: the newest rows first, at most kLogRowCap.
namespace ops::admin {

inline constexpr int kLogRowCap = 10000;

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
// stored time itself so that its index serves the range.
QString logQuery(const LogFilter& f);

} // namespace ops::admin
