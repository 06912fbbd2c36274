#pragma once

#include "db/connection.h"
#include "ops/common/oplog.h"

#include <QString>

// Projects (table t_ywbh): the list, add, change, start, stop and delete. Each write and its log
// row go in one transaction; a refusal writes nothing. Nested in a caller's transaction (a window
// that re-reads its list in the same action) they keep or lose everything together.
namespace ops::design {

// What became of a write. Refusals leave the database as it was.
enum class Outcome {
    Done,
    DuplicateName, // another project already has this name
    HasCustomers,  // the project has customer records: it can only be stopped
};

// The project list with its state word vlname ("停用" for zt=0, else "启用"), in stored order.
const QString& projectListQuery();
// Every project, stopped ones included, newest first (the project choice list of the dialogs,
// the lists and the reports).
const QString& projectChoicesQuery();
// The started projects, newest first (the choice list of the visit and the import).
const QString& activeProjectChoicesQuery();
// Every project, oldest first (the question list's filter).
const QString& projectNamesQuery();

// Adds a project with name and prompt text; zt takes the column's default. *newId (when given)
// receives its number.
Outcome addProject(db::Connection& con, const Who& who, const QString& name, const QString& tips,
                   qint64* newId = nullptr);

// Changes name and prompt text of project ywbh (not logged). Its own name is no duplicate.
Outcome changeProject(db::Connection& con, qint64 ywbh, const QString& name, const QString& tips);

// zt 1 starts, 0 stops the project; the log names it as given.
void setProjectState(db::Connection& con, const Who& who, qint64 ywbh, const QString& name, int zt);

// Whether any customer record (yhdaview) belongs to the project.
bool projectHasCustomers(db::Connection& con, qint64 ywbh);

// Deletes the project row only (its questions and options stay), unless it has customers.
Outcome deleteProject(db::Connection& con, const Who& who, qint64 ywbh, const QString& name);

} // namespace ops::design
