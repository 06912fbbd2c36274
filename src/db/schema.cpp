#include "db/schema.h"

#include "db/password.h"
#include "db/roles.h"
#include "db/transaction.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

static void initSchemaResource()
{
    // The resource lives in a static library: register it explicitly.
    Q_INIT_RESOURCE(schema);
}

namespace db {

namespace {

QString resource(const QString& name)
{
    initSchemaResource();
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

} // namespace

QString schemaSql()
{
    return resource(QStringLiteral(":/db/schema.sql"));
}

QString serverSchemaSql()
{
    return resource(QStringLiteral(":/db/schema_pg.sql"));
}

QString serverRolesSql()
{
    return resource(QStringLiteral(":/db/roles_pg.sql"));
}

QString serverSchemaStamp()
{
    return QString::fromLatin1(
        QCryptographicHash::hash((serverSchemaSql() + serverRolesSql()).toUtf8(), QCryptographicHash::Sha256).toHex());
}

void createServerSchema(Connection& con)
{
    const QString roles = serverRolesSql();
    const QString sql = serverSchemaSql() + u'\n' + roles;
    if (roles.isEmpty() || sql.isEmpty())
        throw Error(QStringLiteral("schema resource missing"));
    const qint64 tables = con.scalar(QStringLiteral("select count(*) from pg_catalog.pg_class c join pg_catalog.pg_namespace n"
                                                    " on n.oid = c.relnamespace where c.relkind in ('r','v','p','m','f')"
                                                    " and n.nspname not in ('pg_catalog','information_schema')"
                                                    " and n.nspname not like 'pg\\_%' escape '\\'"))
                              .toLongLong();
    if (tables > 0)
        throw Error(QStringLiteral("the database already has %1 tables or views; the schema is laid only into an "
                                   "empty database")
                        .arg(tables));
    Transaction t(con);
    // One script, one transaction: a failure leaves the database as empty as it was.
    QSqlQuery q(con.database());
    if (!q.exec(sql))
        throw Error(q.lastError().databaseText().isEmpty() ? q.lastError().text() : q.lastError().databaseText());
    q.finish();
    con.execute(QStringLiteral("insert into tv_schema(stamp) values(?)"), {serverSchemaStamp()});
    // The built-in administrator logs in as on the file (admin, password admin) until the
    // password is changed. Roles belong to the whole cluster: one that is there already (a
    // database laid before on the same server) keeps its password.
    const QString admin = roleName(QStringLiteral("admin"));
    const bool there = con.scalar(QStringLiteral("select count(*) from pg_roles where rolname=?"), {admin}).toInt() > 0;
    con.scalar(QStringLiteral("select tv_seat_role(null, ?, ?, true, true)"),
               {admin, there ? QVariant() : QVariant(scramVerifier(con, admin, QStringLiteral("admin")))});
    t.commit();
}

bool createServerDatabase(const ServerParams& server, QString* error)
{
    try {
        Connection con(QStringLiteral("initdb.server"));
        con.openServer(server);
        createServerSchema(con);
        return true;
    } catch (const Error& e) {
        if (error)
            *error = e.text();
        return false;
    }
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
    // The file is built under its temporary name, so no statement of the script needs to reach
    // the disk on its own (one sync each made a new file take seconds on a busy disk); the
    // checkpoint then writes and syncs the whole file once, before it takes the real name.
    int rc = sqlite3_exec(h, "PRAGMA synchronous=OFF", nullptr, nullptr, &err);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(h, utf8.constData(), nullptr, nullptr, &err);
    // The built-in operator's password is delivered as its hash.
    if (rc == SQLITE_OK) {
        try {
            hashStoredPasswords(h);
        } catch (const Error& e) {
            sqlite3_close(h);
            QFile::remove(tmp);
            return fail(e.text());
        }
    }
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(h, "PRAGMA synchronous=FULL", nullptr, nullptr, &err);
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
