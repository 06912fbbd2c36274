#include "db/schema.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

static void initSchemaResource()
{
    // The resource lives in a static library: register it explicitly.
    Q_INIT_RESOURCE(schema);
}

namespace db {

QString schemaSql()
{
    initSchemaResource();
    QFile f(QStringLiteral(":/db/schema.sql"));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

bool createDatabase(const QString& path, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (QFileInfo::exists(path))
        return fail(QStringLiteral("%1 already exists").arg(path));
    const QString sql = schemaSql();
    if (sql.isEmpty())
        return fail(QStringLiteral("schema resource missing"));
    // Build under a temporary name so that a half-made file never carries the real name.
    const QString tmp = path + QStringLiteral(".new");
    QFile::remove(tmp);
    QFile::remove(tmp + QStringLiteral("-wal"));
    QFile::remove(tmp + QStringLiteral("-shm"));
    sqlite3* h = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(tmp).constData(), &h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(h));
        sqlite3_close(h);
        return fail(why);
    }
    char* err = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    int rc = sqlite3_exec(h, utf8.constData(), nullptr, nullptr, &err);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(h, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, &err);
    const QString why = err ? QString::fromUtf8(err) : QString();
    sqlite3_free(err);
    sqlite3_close(h);
    if (rc != SQLITE_OK) {
        QFile::remove(tmp);
        return fail(why);
    }
    QFile::remove(tmp + QStringLiteral("-wal"));
    QFile::remove(tmp + QStringLiteral("-shm"));
    if (!QFile::rename(tmp, path)) {
        QFile::remove(tmp);
        return fail(QStringLiteral("cannot rename %1 to %2").arg(tmp, path));
    }
    return true;
}

} // namespace db
