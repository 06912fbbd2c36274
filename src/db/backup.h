#pragma once

#include "db/connection.h"

namespace db {

// A consistent copy of the open database into target, replacing an older copy. Read through a
// connection of its own on one read snapshot with the engine's online backup, written under a
// temporary name and renamed, so that neither a writer in another program nor a failure mid-way
// leaves a torn or half-written copy behind. The copy is a WAL database like its source. Returns
// false (with a reason) on failure.
bool backupTo(Connection& con, const QString& target, QString* error = nullptr);
bool backupFile(const QString& source, const QString& target, QString* error = nullptr);

// The same on a thread of its own: returns at once, so that a large database does not hold up
// whoever asked for the copy. One copy runs at a time (a second waits for the first). Its
// failure is silent; waitForBackup() tells it.
void startBackup(const QString& source, const QString& target);
// Waits for the copy still running, if any (the program does so before it ends). Returns
// whether the last copy succeeded.
bool waitForBackup();

} // namespace db
