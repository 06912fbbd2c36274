#pragma once

#include "db/connection.h"
#include "ops/common/oplog.h"

#include <QString>

// Answer options (table q_sel) of one question, each with the number of the question to ask next
// (0 ends the questionnaire): the list, the proposed jump, add, change and delete.
namespace ops::design {

// The options of question qid in the order they were added (the order the visit offers them).
QString optionListQuery(qint64 qid);

// The jump proposed for a new option of question qid: the smallest question number in the whole
// table (every project's questions count) above the question's own, or 0 when there is none.
qint64 proposedJump(db::Connection& con, qint64 qid);

// Adds an option to question qid (not logged); returns its id. It is listed last.
qint64 addOption(db::Connection& con, qint64 qid, const QString& sel, int gotoq);

// Changes text and jump of option aid (not logged); it keeps its place.
void changeOption(db::Connection& con, qint64 aid, const QString& sel, int gotoq);

// Deletes option aid; the log names its text.
void deleteOption(db::Connection& con, const Who& who, qint64 aid, const QString& sel);

} // namespace ops::design
