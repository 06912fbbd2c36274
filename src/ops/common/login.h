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

// Finds the active account with this name and password (both given trimmed), then writes its
// "成功登录系统" log row (ipaddr as given) and reads the settings row, in one transaction: the
// login counts only when both are done. No account: nothing is written and nothing is returned.
// Throws db::Error (a locked or read-only file fails at the log row).
std::optional<LoginFound> logIn(db::Connection& con, const QString& name, const QString& password,
                                const QString& ipaddr = QString());

} // namespace ops
