#include "db/backup.h"

#include <QFile>
#include <sqlite3.h>

namespace db {

bool backupTo(Connection& con, const QString& target, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    sqlite3* src = con.handle();
    if (!src)
        return fail(QStringLiteral("database is not open"));
    const QString tmp = target + QStringLiteral(".tmp");
    QFile::remove(tmp);
    sqlite3* dst = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(tmp).constData(), &dst, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(dst));
        sqlite3_close(dst);
        QFile::remove(tmp);
        return fail(why);
    }
    sqlite3_backup* b = sqlite3_backup_init(dst, "main", src, "main");
    int rc = SQLITE_ERROR;
    if (b) {
        // All pages in one step: one read snapshot of the source, so the copy is consistent.
        do {
            rc = sqlite3_backup_step(b, -1);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                sqlite3_sleep(50);
        } while (rc == SQLITE_BUSY || rc == SQLITE_LOCKED || rc == SQLITE_OK);
        sqlite3_backup_finish(b);
    }
    QString why;
    if (rc != SQLITE_DONE)
        why = QString::fromUtf8(sqlite3_errmsg(dst));
    else if (sqlite3_exec(dst, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK)
        why = QString::fromUtf8(sqlite3_errmsg(dst));
    sqlite3_close(dst);
    if (!why.isEmpty() || rc != SQLITE_DONE) {
        QFile::remove(tmp);
        return fail(why.isEmpty() ? QStringLiteral("backup failed") : why);
    }
    QFile::remove(target);
    if (!QFile::rename(tmp, target)) {
        QFile::remove(tmp);
        return fail(QStringLiteral("cannot replace %1").arg(target));
    }
    return true;
}

} // namespace db
