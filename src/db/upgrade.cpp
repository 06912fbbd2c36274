#include "db/upgrade.h"

#include "db/backup.h"
#include "db/password.h"
#include "db/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <sqlite3.h>
#include <stdexcept>

static void initFillResource()
{
    // The resource lives in a static library: register it explicitly.
    Q_INIT_RESOURCE(schema);
}

namespace db {
namespace {

struct Failure : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

struct Handle
{
    sqlite3* h = nullptr;
    ~Handle() { sqlite3_close(h); }
};

void exec(sqlite3* h, const QString& sql)
{
    char* err = nullptr;
    if (sqlite3_exec(h, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string why = err ? err : sqlite3_errmsg(h);
        sqlite3_free(err);
        throw Failure(why + " (" + sql.left(200).toStdString() + ")");
    }
}

// Rows of a query as text.
QList<QStringList> rows(sqlite3* h, const QString& sql)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        throw Failure(sqlite3_errmsg(h));
    QList<QStringList> out;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QStringList r;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
            r << (t ? QString::fromUtf8(t) : QString());
        }
        out << r;
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        throw Failure(sqlite3_errmsg(h));
    return out;
}

struct Object
{
    QString type, name, sql;
};

// The schema's objects in creation order, automatic indexes left out.
QList<Object> objects(sqlite3* h)
{
    QList<Object> out;
    for (const QStringList& r :
         rows(h, QStringLiteral("select type, name, sql from sqlite_master where sql is not "
                                "null and name not like 'sqlite\\_%' escape '\\' order by rowid")))
        out << Object{r[0], r[1], r[2]};
    return out;
}

QString ident(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

QStringList columns(sqlite3* h, const QString& table)
{
    QStringList out;
    for (const QStringList& r : rows(h, QStringLiteral("pragma table_info(") + ident(table) + QLatin1Char(')')))
        out << r[1];
    return out;
}

// A column as the fresh table defines it, for "alter table ... add column". A default that is an
// expression is left out (the engine refuses one there); the column's fill section gives the
// existing rows their values and the table's triggers give new rows theirs.
QString columnDefinition(sqlite3* fresh, const QString& table, const QString& column)
{
    const char* type = nullptr;
    const char* coll = nullptr;
    int notNull = 0, pk = 0, autoinc = 0;
    if (sqlite3_table_column_metadata(fresh, "main", table.toUtf8().constData(), column.toUtf8().constData(), &type,
                                      &coll, &notNull, &pk, &autoinc) != SQLITE_OK)
        throw Failure(sqlite3_errmsg(fresh));
    QString def = ident(column);
    if (type && *type)
        def += QLatin1Char(' ') + QString::fromUtf8(type);
    if (coll && qstricmp(coll, "BINARY") != 0)
        def += QStringLiteral(" COLLATE ") + QString::fromUtf8(coll);
    QString dflt;
    for (const QStringList& r : rows(fresh, QStringLiteral("pragma table_info(") + ident(table) + QLatin1Char(')')))
        if (r[1] == column)
            dflt = r[4];
    if (notNull)
        def += QStringLiteral(" NOT NULL");
    static const QRegularExpression constant(
        QStringLiteral("^([-+]?[0-9.]+([eE][-+]?[0-9]+)?|'([^']|'')*'|[xX]'[0-9a-fA-F]*'|NULL|TRUE|FALSE)$"),
        QRegularExpression::CaseInsensitiveOption);
    if (constant.match(dflt).hasMatch())
        def += QStringLiteral(" DEFAULT ") + dflt;
    return def;
}

} // namespace

QList<FillSection> fillSections(const QString& resource)
{
    initFillResource();
    QFile f(resource);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<FillSection> out;
    QString stmt;
    const QString head = QStringLiteral("-- fill: ");
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(head)) {
            const QStringList w = line.mid(head.size()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            out << FillSection{w.value(0), w.value(1) == QLatin1String("after") ? w.value(2) : QString(), {}};
        } else if (!line.startsWith(QLatin1String("--")) && !out.isEmpty() && !line.trimmed().isEmpty()) {
            stmt += line + QLatin1Char('\n');
            if (line.trimmed().endsWith(QLatin1Char(';'))) {
                out.last().statements << stmt.trimmed().chopped(1);
                stmt.clear();
            }
        }
    }
    return out;
}

QStringList fillStatements(const QString& name)
{
    for (const FillSection& s : fillSections(QStringLiteral(":/db/fill.sql")))
        if (s.name == name)
            return s.statements;
    return {};
}

QString preUpgradeBackupPath(const QString& path)
{
    const QFileInfo fi(path);
    return fi.dir().filePath(fi.completeBaseName() + QStringLiteral(".pre-upgrade.bak"));
}

bool upgradeDatabase(const QString& path, QString* error, bool* changed, QStringList* steps)
{
    if (changed)
        *changed = false;
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("%1 does not exist").arg(path));
    const QString schema = schemaSql();
    if (schema.isEmpty())
        return fail(QStringLiteral("schema resource missing"));

    Handle file, fresh;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &file.h, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return fail(QString::fromUtf8(sqlite3_errmsg(file.h)));
    if (sqlite3_open_v2(":memory:", &fresh.h, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return fail(QString::fromUtf8(sqlite3_errmsg(fresh.h)));
    sqlite3_busy_timeout(file.h, 10000);

    bool inTransaction = false;
    try {
        exec(fresh.h, schema);
        exec(file.h, QStringLiteral("begin immediate"));
        inTransaction = true;

        // What the file has, by name.
        QHash<QString, Object> have;
        for (const Object& o : objects(file.h))
            have.insert(o.name, o);

        QStringList drops, tables, creates, done;
        QList<QPair<QString, QString>> addColumns; // table, column
        QSet<QString> created;                     // tables and table.column made here
        for (const Object& o : objects(fresh.h)) {
            const auto it = have.constFind(o.name);
            const bool present = it != have.cend() && it->type == o.type;
            if (o.type == QLatin1String("table")) {
                if (!present) {
                    tables << o.sql;
                    created << o.name;
                    done << QStringLiteral("created table %1").arg(o.name);
                    continue;
                }
                const QStringList old = columns(file.h, o.name);
                for (const QString& c : columns(fresh.h, o.name))
                    if (!old.contains(c, Qt::CaseInsensitive)) {
                        addColumns << qMakePair(o.name, c);
                        created << o.name + QLatin1Char('.') + c;
                        done << QStringLiteral("added column %1.%2").arg(o.name, c);
                    }
            } else if (!present || it->sql != o.sql) {
                if (present)
                    drops << QStringLiteral("drop %1 %2").arg(o.type, ident(o.name));
                creates << o.sql;
                done << QStringLiteral("%1 %2 %3")
                            .arg(present ? QStringLiteral("re-created") : QStringLiteral("created"), o.type, o.name);
            }
        }
        // Passwords kept as text become their hashes; hashes are never turned back.
        bool plainPasswords = false;
        for (const QStringList& r : rows(file.h, QStringLiteral("select pwd from syslogin")))
            plainPasswords = plainPasswords || !isPasswordHash(r.value(0));
        if (done.isEmpty() && !plainPasswords) {
            exec(file.h, QStringLiteral("rollback"));
            return true;
        }

        // A copy of the file as it is, before the first change.
        QString why;
        if (!backupFile(path, preUpgradeBackupPath(path), &why))
            throw Failure(QStringLiteral("cannot copy %1 before upgrading it: %2").arg(path, why).toStdString());

        for (const QString& s : drops)
            exec(file.h, s);
        // New tables and columns before the indexes, views and triggers that use them.
        for (const QString& t : tables)
            exec(file.h, t);
        for (const auto& [table, column] : addColumns)
            exec(file.h, QStringLiteral("alter table %1 add column %2")
                             .arg(ident(table), columnDefinition(fresh.h, table, column)));
        for (const QString& c : creates)
            exec(file.h, c);

        QSet<QString> ran;
        for (const FillSection& s : fillSections(QStringLiteral(":/db/fill.sql"))) {
            if (!created.contains(s.name) && !(!s.after.isEmpty() && ran.contains(s.after)))
                continue;
            for (const QString& st : s.statements)
                exec(file.h, st);
            ran << s.name;
            done << QStringLiteral("filled %1").arg(s.name);
        }
        try {
            if (const int n = hashStoredPasswords(file.h))
                done << QStringLiteral("stored %1 passwords as hashes").arg(n);
        } catch (const Error& e) {
            throw Failure(e.text().toStdString());
        }
        exec(file.h, QStringLiteral("commit"));
        inTransaction = false;
        if (changed)
            *changed = true;
        if (steps)
            *steps = done;
        return true;
    } catch (const Failure& f) {
        if (inTransaction)
            sqlite3_exec(file.h, "rollback", nullptr, nullptr, nullptr);
        return fail(QString::fromUtf8(f.what()));
    }
}

} // namespace db
