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
    QString displaySql;          // what the grid shows: this run's report, read through the same connection
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
// The report is built in scratch.detail, con's own work table (Connection::openScratch), which
// the grid shows through con; once complete it replaces the database's table tmp in one short
// transaction, so that tmp holds the last finished report between runs and after the window
// closes, for every seat and other tools. A run that fails leaves both the previous report and
// tmp as they were. Throws db::Error.
DetailReport buildDetailReport(db::Connection& con, const Filter& f, const Progress& progress = {});

} // namespace ops::reports
