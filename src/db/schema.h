#pragma once

#include <QString>

namespace db {

// The delivered database as SQL (tables, defaults, views, indexes, initial rows).
QString schemaSql();

// Lays a fresh database file from the schema at path. Refuses (returns false, with a reason)
// when the file already exists. Used by the build and by tests; the program itself never
// creates the schema.
bool createDatabase(const QString& path, QString* error = nullptr);

} // namespace db
