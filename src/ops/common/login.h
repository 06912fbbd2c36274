#pragma once

#include "db/connection.h"

#include <QString>
#include <optional>

namespace ops {

// The operator a login found, with the settings read in the same transaction.
struct LoginFound
{
    QString uname; // as stored (the login compares without regard to letter case)
    QString truename;
    QString tp;   // the account type
    int jgts = 0; // [option].jgts: ask for a marketing result after a completed questionnaire
};

// On the server: opens con as the operator's own role (db::roleName) with the typed password
// (both given trimmed). False when the server refuses it: a wrong password, an operator that is
// not there or is disabled. Throws db::Error when the server cannot be reached.
bool openAsOperator(db::Connection& con, db::ServerParams where, const QString& name, const QString& password);

// Finds the active account with this name and password (both given trimmed), then writes its
// "成功登录系统" log row (ipaddr as given) and reads the settings row, in one transaction: the
// login counts only when both are done. No account: nothing is written and nothing is returned.
// On the server the password was checked by the server when con was opened (openAsOperator):
// the account is the session's own.
// Throws db::Error (a locked or read-only file fails at the log row).
std::optional<LoginFound> logIn(db::Connection& con, const QString& name, const QString& password,
                                const QString& ipaddr = QString());

} // namespace ops
