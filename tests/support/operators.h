#pragma once

#include "db/connection.h"

#include <QString>

namespace tst {

// Adds an operator row without a log row, with its password as the engine keeps it: a hash in
// the file; on the server a role (db/roles.h) with that password, allowed to log in unless zt is
// set. Returns its id. Throws db::Error.
qint64 addOperatorRow(db::Connection& con, const QString& uname, const QString& truename, const QString& pwd,
                      const QString& tp, int zt = 0);

// Whether uname logs in with pwd: in the file against the stored hash, on the server by opening a
// session as the operator's role (the server checks it).
bool passwordWorks(db::Connection& con, const QString& uname, const QString& pwd);

// On the server: a session of its own as the operator's role, as a seat opens it. False when the
// server refuses the login.
bool openAsOperator(const db::Connection& like, db::Connection& seat, const QString& uname, const QString& pwd);

} // namespace tst
