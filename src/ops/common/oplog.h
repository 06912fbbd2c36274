#pragma once

#include "db/connection.h"

#include <QString>

namespace ops {

// Who does an operation: the logged-in operator as the log records them.
struct Who
{
    QString uname;
    QString truename;
    QString ipaddr;
};

// Appends one row to the operation log on con (inside the caller's transaction, if any).
// Raises db::Error into the caller.
void writeLog(db::Connection& con, const Who& who, const QString& logcon);

} // namespace ops
