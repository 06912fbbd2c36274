#pragma once

#include "db/connection.h"
#include "ops/reports/filter.h"
#include "ops/reports/rates.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The final disposition of every customer of a project, counted per class, and the disposition
// code each ending word has in a project (table czfl, edited by administrators).
namespace ops::reports {

struct DispositionCode
{
    QString word; // an ending word, or 未受理 for the customers never called
    QString code; // "1.1", "2.11", ...
};

// The words a project gives codes to, in the order the dialog lists them; 未受理 (never called) last.
QStringList dispositionWords();
// The codes a new project starts with.
QList<DispositionCode> defaultDispositionCodes();

// A project's codes in the order of dispositionWords(); a word without a row has its default.
QList<DispositionCode> dispositionCodes(db::Connection& con, qint64 ywbh);

// Writes a project's codes in one transaction after checking every one: the word of the first code
// that is no class of the standard (nothing written then), or an empty text when saved. Changed
// codes give the project's customers their deciding endings afresh (seconds on a million).
QString saveDispositionCodes(db::Connection& con, qint64 ywbh, const QList<DispositionCode>& codes);

// Gives every customer of a project its deciding ending afresh (yhda.czz, czlb), after its codes
// changed; the schema's triggers keep them as endings are written and customers added or moved.
void keepDispositions(db::Connection& con, qint64 ywbh);

// What the rates are counted over: the project's live customers. With an operator or a day range,
// only the endings by that operator within those days count, and only the customers with such an
// ending; without them, every live customer (those never called in the 未受理 class).
// `at` decides which booked call-backs have ended without being kept.
Counts finalDispositionCounts(db::Connection& con, const Filter& f, const QDateTime& at);

// The customers behind one count: id, yhxm, dhhm1, dq, sljg, slz, slsj of yhdaview, by id.
db::Statement dispositionCases(db::Connection& con, const Filter& f, const QDateTime& at, Disposition d);

} // namespace ops::reports
