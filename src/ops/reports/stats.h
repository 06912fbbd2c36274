#pragma once

#include "db/connection.h"
#include "ops/reports/filter.h"

#include <QString>

namespace ops::reports {

// Where the statistics count from. Figures reads the groups the database keeps up to date
// (hwtjsumview, q_anssumview: one row per group with its count n); Rows counts the rows of
// hwtjview2 and q_ansview one by one. Both give the same result; Rows takes seconds on a
// large project, Figures milliseconds.
enum class Source { Figures, Rows };

// Result statistics, one row per operator: ywname, ywbh, slz, totnum, jtgs, gjgs, tjgs, xcgs,
// wxgs, jfgs, wydgs, cggs, tott (hours), cgl (success rate text such as " 33.33%").
db::Statement resultStatsSql(const Filter& f, Source source = Source::Figures);
// The same columns and no rows.
QString resultStatsEmptySql();

// Answer statistics, one row per project, operator, question text and answer text:
// ywbh, ywname, slz, qnr, ans, num.
db::Statement answerStatsSql(const Filter& f, Source source = Source::Figures);
QString answerStatsEmptySql();

// Rebuilds the kept figures (talk times and both group tables) from the rows, in one
// transaction. The database keeps them itself; this is for data loaded around its triggers.
void rebuildFigures(db::Connection& con);

} // namespace ops::reports
