#pragma once

#include "db/connection.h"

#include <QStringList>

namespace db {

// Whether the server database on con holds this program's tables (laid by an earlier release).
bool isServerDatabase(Connection& con);

// Whether the database was laid or last upgraded by this release's scripts.
bool serverSchemaCurrent(Connection& con);

// Brings a server database laid by an earlier release to the current schema, keeping every row,
// in one transaction (a failure leaves it as it was). The schema scripts are laid again over it:
// missing tables are created and missing columns added, indexes whose definition changed are
// built again, functions, triggers and views are laid afresh, the rights and row rules are laid
// again whole (a rule an earlier release had and this one has not is gone), and what was
// created is filled from the rows (fill_pg.sql). Objects the scripts do not name are left alone.
// Returns what it did, one line each. Throws Error.
QStringList upgradeServerSchema(Connection& con);

} // namespace db
