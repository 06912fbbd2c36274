#include "db/backup.h"

#include <QFile>
#include <mutex>
#include <sqlite3.h>
#include <thread>

namespace db {
namespace {

// sqlite3 handles that close themselves.
struct Handle
{
    sqlite3* h = nullptr;
    ~Handle() { sqlite3_close(h); }
};

QString errorOf(sqlite3* h, const char* fallback)
{
    return h ? QString::fromUtf8(sqlite3_errmsg(h)) : QString::fromLatin1(fallback);
}

// Pages per step: the source's snapshot is held throughout, so steps only bound the time the
// engine spends in one call.
constexpr int kPagesPerStep = 1024;

bool copyPages(sqlite3* src, sqlite3* dst, QString* why)
{
    // One read transaction for the whole copy: every step reads the same snapshot, and in WAL
    // mode the other seats keep writing meanwhile.
    if (sqlite3_exec(src, "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr) != SQLITE_OK) {
        *why = errorOf(src, "cannot read the database");
        return false;
    }
    sqlite3_backup* b = sqlite3_backup_init(dst, "main", src, "main");
    int rc = SQLITE_ERROR;
    if (b) {
        int busyTries = 0;
        do {
            rc = sqlite3_backup_step(b, kPagesPerStep);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                if (++busyTries > 200) // about 10 s
                    break;
                sqlite3_sleep(50);
            }
        } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
        sqlite3_backup_finish(b);
    }
    sqlite3_exec(src, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_DONE) {
        *why = errorOf(dst, "backup failed");
        return false;
    }
    return true;
}

} // namespace

bool backupFile(const QString& source, const QString& target, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (source.isEmpty())
        return fail(QStringLiteral("no database file to copy"));
    const QString tmp = target + QStringLiteral(".tmp");
    auto removeTmp = [&] {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            QFile::remove(tmp + QLatin1String(suffix));
    };
    removeTmp();
    QString why;
    {
        Handle src;
        if (sqlite3_open_v2(QFile::encodeName(source).constData(), &src.h, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            return fail(errorOf(src.h, "cannot open the database"));
        sqlite3_busy_timeout(src.h, 5000);
        Handle dst;
        if (sqlite3_open_v2(QFile::encodeName(tmp).constData(), &dst.h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            why = errorOf(dst.h, "cannot create the copy");
        } else if (copyPages(src.h, dst.h, &why)) {
            // Whoever opens the copy later finds it in WAL like the original.
            sqlite3_stmt* st = nullptr;
            QString mode;
            if (sqlite3_prepare_v2(dst.h, "PRAGMA journal_mode=WAL", -1, &st, nullptr) == SQLITE_OK &&
                sqlite3_step(st) == SQLITE_ROW)
                mode = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            sqlite3_finalize(st);
            if (mode != QLatin1String("wal"))
                why = errorOf(dst.h, "cannot switch the copy to WAL");
        }
    } // both closed: the copy's WAL is folded into the file and removed
    if (!why.isEmpty()) {
        removeTmp();
        return fail(why);
    }
    // A stale WAL beside the old copy must not be applied to the new one.
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(target + QLatin1String(suffix));
    if (!QFile::rename(tmp, target)) {
        removeTmp();
        return fail(QStringLiteral("cannot replace %1").arg(target));
    }
    return true;
}

bool backupTo(Connection& con, const QString& target, QString* error)
{
    if (!con.isOpen()) {
        if (error)
            *error = QStringLiteral("database is not open");
        return false;
    }
    if (con.engine() != Engine::SQLite) {
        // A server database is backed up with the server's own tools (pg_dump), not copied here.
        if (error)
            *error = QStringLiteral("a server database is not copied by the program");
        return false;
    }
    return backupFile(con.filePath(), target, error);
}

namespace {

// The one copy that may be running. Its destructor, at the very end of the program, waits for
// it, whatever way the program ends.
struct Runner
{
    std::mutex mutex;
    std::thread thread;
    bool lastOk = false;

    bool join()
    {
        std::lock_guard lock(mutex);
        if (thread.joinable())
            thread.join();
        return lastOk;
    }
    ~Runner() { join(); }
};

Runner& runner()
{
    static Runner r;
    return r;
}

} // namespace

void startBackup(const QString& source, const QString& target)
{
    Runner& r = runner();
    std::lock_guard lock(r.mutex);
    if (r.thread.joinable())
        r.thread.join();
    r.lastOk = false;
    r.thread = std::thread([&r, source, target] { r.lastOk = backupFile(source, target); });
}

bool waitForBackup()
{
    return runner().join();
}

} // namespace db
