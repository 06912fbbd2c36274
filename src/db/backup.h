#pragma once

#include "db/connection.h"

namespace db {

// A consistent copy of the open database into target, replacing an older copy. Made
// through the engine's online backup (one read snapshot), written under a temporary name
// and renamed, so that neither a writer in another program nor a failure mid-way leaves a
// torn or half-written copy behind. Returns false (with a reason) on failure.
bool backupTo(Connection& con, const QString& target, QString* error = nullptr);

} // namespace db
