#pragma once

#include "db/connection.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace ops::server {

struct CopiedTable
{
    QString name;
    qint64 rows = 0;
};

struct Migration
{
    QList<CopiedTable> tables; // in the order copied
    qint64 rows = 0;           // all tables together
    QStringList skipped;       // tables of the file that neither the schema nor the program makes
};

// One line of progress for whoever watches a long copy.
using Progress = std::function<void(const QString& line)>;

// Copies the database file source into the server database of target, which must be empty
// (no tables): lays the schema, copies every table's rows with their ids, moves every id
// sequence past the largest id the file ever gave, and verifies each table's row count and the
// kept figures against a recount. All of it is one transaction on the server: a failure at any
// point leaves the server database empty. Throws db::Error; source is only read.
//
// Every operator of the file becomes a role of its own (db/roles.h), enabled or disabled as in
// the file. The file keeps only hashes of the passwords, so a role gets no password (and cannot
// log in) until an administrator gives it one in the operators' window; the administrator named
// by adminName proves the own password (adminPassword, checked against the file) and gets it
// at once, so that someone can log in. With no adminName nobody gets a password.
Migration migrateToServer(const QString& source, db::Connection& target, const Progress& progress = {},
                          const QString& adminName = QString(), const QString& adminPassword = QString());

} // namespace ops::server
