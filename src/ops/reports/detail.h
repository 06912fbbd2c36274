#pragma once

#include "db/connection.h"
#include "ops/reports/filter.h"

#include <QList>
#include <QString>
#include <functional>

namespace ops::reports {

struct ReportColumn
{
    QString field; // empty: a column bound to no field (before the first run)
    QString title;
    int width = 80;
};

struct DetailReport
{
    QList<ReportColumn> columns; // the nine fixed columns, then one per question
    QString displaySql;          // what the grid shows: the finished tmp, read through the same connection
    int customers = 0;
    int questions = 0;
};

// The nine columns the grid shows before the first run.
QList<ReportColumn> detailInitialColumns();

// done of total customers filled so far; called now and then while the report is built.
using Progress = std::function<void(int done, int total)>;

// Builds the report table tmp for the filter: the chosen customer records from yhdaview, one
// text column per question of the project ("q" + question number, in number order; a second
// question with the same number gets "q<number>_2"), each cell the customer's answer to that
// question. When a customer has several answers to one question the earliest recorded one
// (smallest answer id) is shown. An answer is kept whole, however long.
// The table is scratch.tmp, con's own (Connection::openScratch): only con sees it (a grid shows
// it through con), and it goes when con closes. It is rebuilt in one transaction, so a run that fails leaves the
// previous report as it was. Throws db::Error.
DetailReport buildDetailReport(db::Connection& con, const Filter& f, const Progress& progress = {});

} // namespace ops::reports
