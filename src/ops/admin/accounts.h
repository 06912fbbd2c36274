#pragma once

#include "db/connection.h"
#include "db/vocab.h"
#include "ops/common/oplog.h"

#include <QString>

// Operator accounts (table syslogin): add, change, enable, disable, delete. Each change and its
// log row are written in one transaction; a refusal or a failure keeps neither.
namespace ops::admin {

// In the change dialog's password boxes: keep the stored password.
inline const QString kKeepPassword = QStringLiteral("******");

struct Account
{
    QString uname;
    QString truename;
    QString pwd; // as typed; kKeepPassword in a change keeps the stored one
    QString tp;  // "管理员" or "话务员"; any other text is stored as the empty text
};

// What became of a change. Refusals leave the database as it was.
enum class Outcome {
    Done,
    DuplicateName,     // another row has this login name (by the database's text equality)
    LastAdministrator, // it would leave no enabled administrator to log in
    BuiltIn,           // the built-in operator cannot be deleted
    NotFound,          // the row is gone
};

// Whether a row other than exceptId holds this login name, compared as the database compares
// text (letter case does not count). exceptId < 0 excludes nothing.
bool loginNameTaken(db::Connection& con, const QString& uname, qint64 exceptId = -1);

// Whether the row is the only enabled administrator: disabling, deleting or demoting it would
// lock every administrator out.
bool isLastAdministrator(db::Connection& con, qint64 id);

// A new enabled operator; *newId (when given) receives its key.
Outcome addAccount(db::Connection& con, const Who& who, const Account& a, qint64* newId = nullptr);

// Changes login name, full name, type and (unless kKeepPassword) the password of row id.
Outcome changeAccount(db::Connection& con, const Who& who, qint64 id, const Account& a);

// zt 0 enables, 1 disables the operators with this login name.
Outcome setAccountState(db::Connection& con, const Who& who, const QString& uname, int zt);

// Deletes row id; the log names it as it was stored.
Outcome deleteAccount(db::Connection& con, const Who& who, qint64 id);

// The list of operators with its state word, filtered by exact login and full name (empty = any).
db::Statement accountListQuery(const QString& uname = QString(), const QString& truename = QString());

} // namespace ops::admin
