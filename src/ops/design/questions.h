#pragma once

#include "db/connection.h"
#include "ops/common/oplog.h"

#include <QString>

// Questions (table q_table, listed through qview with their project's name): the list, the next
// number of a project, add, change and delete. Writes and their log rows go in one transaction.
namespace ops::design {

// The questions of every project (empty name) or of the named project, by project and number.
db::Statement questionListQuery(const QString& projectName = QString());

// The project's highest question number plus one, or 1 when it has none (the gaps below the
// highest are not reused).
qint64 nextQuestionNumber(db::Connection& con, qint64 ywbh);

// Adds a question to project ywbh; the log names the project and the number as the user typed it.
// Returns the new question's id.
qint64 addQuestion(db::Connection& con, const Who& who, qint64 ywbh, const QString& projectName, const QString& qnr,
                   int qbh, const QString& typedNumber);

// Changes text and number of question qid (not logged). Options that jump to its old number
// keep that number.
void changeQuestion(db::Connection& con, qint64 qid, const QString& qnr, int qbh);

// Deletes the question row only (its options and answers stay); the log names its text and project.
void deleteQuestion(db::Connection& con, const Who& who, qint64 qid, const QString& qnr, const QString& projectName);

} // namespace ops::design
