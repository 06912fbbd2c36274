#pragma once

// Rows that tests start from, written through a connection (a test's OpsDb or TestDb con()).
// Values are bound: names with quotes need no care.
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

// A customer record (yhda) of a project.
struct Cust
{
    QString dhhm1;
    QString sljg = QStringLiteral("未受理");
    QString zdslz; // the operator it is assigned to; empty = unassigned (null)
    QString yhxm = QStringLiteral("客户");
    int del = 0;
};
// Returns its id.
qint64 addCustomer(db::Connection& con, qint64 ywbh, const Cust& c);
qint64 addCustomer(db::Connection& con, qint64 ywbh, const QString& dhhm1);

// An operator account (syslogin) without a log row, with its password as the engine keeps it: the
// hash of pwd in the file; on the server a role (db/roles.h) with that password, allowed to log
// in unless zt is set. Returns its id.
qint64 addOperator(db::Connection& con, const QString& uname, const QString& truename, const QString& pwd,
                   const QString& tp = QStringLiteral("话务员"), int zt = 0);

} // namespace tst
