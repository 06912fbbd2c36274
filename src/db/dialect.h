#pragma once

#include <QString>

namespace db {

enum class Engine { SQLite, PostgreSQL };

// Statements are written in the Jet dialect throughout the program; this is the one place
// where they become the dialect of the engine in use.
//  - "select top N ..."          -> "select ... limit N"
//  - "select list into T from .." -> "create table T as select list from .."
//  - "+" next to a text literal   -> "||" (Jet joins text with +)
//  - format(col,'yyyymmdd') compared with a day literal -> a range on the stored time text
//    (the same whole days, served by an index on the column)
// Text literals and [bracketed] names are left untouched on SQLite. On PostgreSQL besides:
//  - [name] -> "name";  text(255) -> text;  like -> ilike (case-insensitive, as on SQLite)
//  - now() -> jetnow(), format( -> jetformat( (the server's own now() and format() differ),
//    last_insert_rowid() -> lastval(), rowid -> id (the record key of every table read by rowid)
//  - the day ranges compare the stored time text the same way
// The Jet functions themselves (iif, str, rnd, jetformat, ...) are SQL functions in the server
// schema.
QString translate(const QString& jet, Engine engine = Engine::SQLite);

} // namespace db
