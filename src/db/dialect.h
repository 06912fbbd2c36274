#pragma once

#include <QString>

namespace db {

enum class Engine { SQLite };

// Statements are written in the Jet dialect throughout the program; this is the one place
// where they become the dialect of the engine in use.
//  - "select top N ..."          -> "select ... limit N"
//  - "select list into T from .." -> "create table T as select list from .."
//  - "+" next to a text literal   -> "||" (Jet joins text with +)
//  - format(col,'yyyymmdd') compared with a day literal -> a range on the stored time text
//    (the same whole days, served by an index on the column)
// Text literals and [bracketed] names are left untouched.
QString translate(const QString& jet, Engine engine = Engine::SQLite);

} // namespace db
