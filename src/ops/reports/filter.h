#pragma once

#include "db/statement.h"

#include <QDate>
#include <QString>

namespace ops::reports {

// The filter band of the statistics and report windows.
struct Filter
{
    qint64 ywbh = -1; // the chosen project; -1 = none (no project exists)
    QString slz;      // operator's full name, already trimmed; empty = every operator
    bool byDay = false;
    QDate from;
    QDate to;

    bool hasProject() const { return ywbh >= 0; }
};

// " where  ywbh=N", then " and  slz=?" and the day range on slsj (both ends included).
// The operator's name is a bound value: no text breaks or changes the statement.
db::Statement condition(const Filter& f);

} // namespace ops::reports
