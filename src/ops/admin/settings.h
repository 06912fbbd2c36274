#pragma once

#include "db/connection.h"

// The one setting of the system: ask the marketing result after each completed visit.
namespace ops::admin {

// [option].jgts as the login reads it: 0 when null or missing.
int readJgts(db::Connection& con);

// Stores 1 (ask) or 0 (do not ask). Throws db::Error; nothing is stored then.
void writeJgts(db::Connection& con, int jgts);

} // namespace ops::admin
