#pragma once

#include "db/connection.h"
#include "ops/common/daycond.h"
#include "ops/common/oplog.h"

#include <QString>
#include <optional>

// The three query windows over what the visit window writes: the result query (customer
// records), the answer record query (recorded answers) and the visit history query. Their
// statements, built from typed filters with every typed text a bound value, so that no filter can
// break or change a statement ('%' and '_' stay wildcards in the "like" filters).
namespace ops::reports {

// The marketing result list's first entry: no condition on the result.
inline const QString kAllResults = QStringLiteral("所有");
// The history query's first project entry and its number text.
inline const QString kAllProjects = QStringLiteral("所有项目");
inline const QString kAllProjectsNumber = QStringLiteral("ALL");

// The filter panel the three windows share. Texts as given (the windows trim them); empty = not given.
struct QueryFilter
{
    std::optional<qint64> ywbh; // none = every project (the history query only)
    QString operatorName;       // slz, exactly
    QString phone;
    QString text; // state (result and history query) or answer text (answer query), a substring
    DayFilter days;
};

// Empty grids with the right columns, as the windows open.
inline const QString kResultQueryEmpty = QStringLiteral("select * from yhdaview where 1=2");
inline const QString kAnswerQueryEmpty = QStringLiteral("select * from hfjgview where 1=2");
inline const QString kHistoryQueryEmpty = QStringLiteral("select * from visitlogview where 1=2");

// Customer records of one project, newest first. result: kAllResults or the marketing result wanted.
db::Statement resultQuery(const QueryFilter& filter, const QString& result);
// Recorded answers of one project, newest first; the number matches any of the customer's four.
db::Statement answerQuery(const QueryFilter& filter);
// Visits of one project or of all, newest first; the number matches the number called.
db::Statement historyQuery(const QueryFilter& filter);

enum class MarkOutcome {
    Marked,
    NotHandled, // the record is "未受理": nothing written
    NoRecord,   // no record with that id
};

// Sets the marketing result (jg) of the record with this id and logs it, in one transaction.
// The record is read by its id at the time of the change, whatever a grid shows meanwhile.
// Throws db::Error.
MarkOutcome markResult(db::Connection& con, const Who& who, qint64 id, const QString& result);

} // namespace ops::reports
