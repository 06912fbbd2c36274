#pragma once

#include "db/connection.h"

#include <QString>

namespace tst {

// Whether uname logs in with pwd: in the file against the stored hash, on the server by opening a
// session as the operator's role (the server checks it).
bool passwordWorks(db::Connection& con, const QString& uname, const QString& pwd);

// On the server: a session of its own as the operator's role, as a seat opens it. False when the
// server refuses the login.
bool openAsOperator(const db::Connection& like, db::Connection& seat, const QString& uname, const QString& pwd);

} // namespace tst
