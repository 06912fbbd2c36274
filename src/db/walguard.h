#pragma once

#include <QString>

struct sqlite3;

// The database file belongs to SQLite alone in this process. POSIX locks belong to a process and
// a file, and closing ANY handle on the file drops every lock the process holds on it: another
// program on the file then believes nobody uses it and may delete the write-ahead log under this
// one, and whatever this one commits afterwards is gone when it ends.
namespace db {

// Whether path names a database file open in this process, or its -wal, -shm or -journal file:
// by name, and by device and inode for another name of the same file. Nothing is opened.
bool isOpenDatabaseFile(const QString& path);

// Kept by Connection: the database files open in this process.
void noteOpenFile(const QString& absolutePath);
void forgetOpenFile(const QString& absolutePath);

// Refuses every commit on h once its write-ahead log has been deleted or replaced under it (the
// commit would land in a file nobody else can see, and be lost): the commit becomes a rollback.
// Called once the file is open in WAL mode; unguardWal before h is closed.
void guardWal(sqlite3* h, const QString& databasePath);
void unguardWal(sqlite3* h);
// Whether h's write-ahead log is no longer the file of that name.
bool walMoved(sqlite3* h);

// What a refused commit reports.
QString walLostText();

} // namespace db
