#pragma once

// Rows that tests start from, written through a connection (a window test passes ADOcon(), an
// operation test its OpsDb's con()). Values are bound: names with quotes need no care.
#include "db/connection.h"

#include <QString>
#include <QVariant>

namespace tst {

// The id the last insert on con gave.
qint64 lastId(db::Connection& con);

// A project (t_ywbh); returns its number.
qint64 addProject(db::Connection& con, const QString& name, const QString& tips = QString(), int zt = 1);
// A question of a project (q_table); returns its qid.
qint64 addQuestion(db::Connection& con, qint64 ywbh, int qbh, const QString& qnr);
// An answer option of a question (q_sel); a null gotoq is stored as null. Returns its aid.
qint64 addOption(db::Connection& con, qint64 qid, const QString& sel, const QVariant& gotoq);

} // namespace tst
