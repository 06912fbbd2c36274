#pragma once

#include <QString>

struct sqlite3;

namespace db {

// Registers the Jet functions the statements rely on that SQLite lacks:
// now(), format(value, pattern), str(number), rnd(x). Returns false on failure.
bool registerJetFunctions(sqlite3* handle);

// The same routines as plain C++ (used by the engine functions, and tested directly).
QString jetNow();
QString jetFormat(const QString& value, const QString& pattern);
QString jetStr(double number);

} // namespace db
