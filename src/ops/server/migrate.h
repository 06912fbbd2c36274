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
Migration migrateToServer(const QString& source, db::Connection& target, const Progress& progress = {});

} // namespace ops::server
