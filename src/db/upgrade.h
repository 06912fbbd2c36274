#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace db {

// The statements of one section of the derived-data fills (fill.sql), in order: they compute a
// kept table (or column) afresh from the rows. Empty for an unknown name.
QStringList fillStatements(const QString& name);

// The sections of a fill script (":/db/fill.sql", or ":/db/fill_pg.sql" for the server) in order;
// a section also runs whenever the one named after "after" ran.
struct FillSection
{
    QString name; // a table, or table.column
    QString after;
    QStringList statements;
};
QList<FillSection> fillSections(const QString& resource);

// Brings a database laid by an earlier release to the current schema, keeping every row:
// creates missing tables, adds missing columns, re-creates views, triggers and indexes whose
// definition differs or that are missing, then fills what it created from the rows (draw
// keys, kept figures). Objects the current schema does not have are left alone. All in one
// transaction, so a failure leaves the file as it was; before changing anything a copy is
// made beside it ("dhyx.dat" -> "dhyx.pre-upgrade.bak"). A current database is not touched.
// changed tells whether anything was done; steps (optional) lists what, one line each.
bool upgradeDatabase(const QString& path, QString* error = nullptr, bool* changed = nullptr,
                     QStringList* steps = nullptr);

// Where upgradeDatabase keeps its copy of path.
QString preUpgradeBackupPath(const QString& path);

} // namespace db
