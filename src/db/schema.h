#pragma once

#include "db/connection.h"

#include <QString>

namespace db {

// The delivered database as SQL (tables, defaults, views, indexes, initial rows).
QString schemaSql();

// Lays a fresh database file from the schema at path. Refuses (returns false, with a reason)
// when the file already exists. Used by the build and by tests; the program itself never
// creates the schema.
bool createDatabase(const QString& path, QString* error = nullptr);

// The same schema for a PostgreSQL server, and the rights laid right after it.
QString serverSchemaSql();
QString serverRolesSql();
// A digest of both, kept in the database's tv_schema by the lay and the upgrade.
QString serverSchemaStamp();
// Lays the schema into an empty server database, all or nothing. Refuses (false, with a
// reason) a database that already has tables.
bool createServerDatabase(const ServerParams& server, QString* error = nullptr);
// Lays it on an open server connection (tests lay a template database this way).
void createServerSchema(Connection& con);

} // namespace db
