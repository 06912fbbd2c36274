#pragma once

#include "db/connection.h"
#include "ops/common/oplog.h"

#include <QString>

namespace ops::admin {

enum class PasswordChange {
    Changed,
    NoSuchUser, // the logged-in operator's row is gone
    WrongOldPassword,
};

// The logged-in operator (who.uname) changes the own password. The old password must equal the
// stored one exactly, letter case included (the login itself ignores case). The new password and
// its log row are written together. A disabled operator can still do it.
PasswordChange changeOwnPassword(db::Connection& con, const Who& who, const QString& oldPwd, const QString& newPwd);

} // namespace ops::admin
