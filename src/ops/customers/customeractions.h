#pragma once

#include "db/connection.h"
#include "ops/common/oplog.h"
#include "ops/customers/customerlist.h"

// What the data management window changes. Each action writes its change and its log row in
// one transaction: a failure keeps nothing. Every function throws db::Error.
namespace ops::customers {

// Soft-deletes one live record (ywname: its project's name as the list shows it, for the log).
// false when the record was no longer live (then nothing is written).
bool softDeleteOne(db::Connection& con, const Who& who, qint64 id, const QString& ywname);

// Soft-deletes every record of the list; returns how many.
qint64 softDeleteAll(db::Connection& con, const Who& who, const CustomerList& list);

// Assigns every record of the list to the operator; returns how many (an empty list assigns
// nothing and still logs it).
qint64 assign(db::Connection& con, const Who& who, const CustomerList& list, const Operator& to);

// Clears the assigned operator of every record of the list; returns how many.
qint64 clearAssignment(db::Connection& con, const Who& who, const CustomerList& list);

} // namespace ops::customers
