#include "ops/admin/settings.h"

#include "db/transaction.h"

namespace ops::admin {

int readJgts(db::Connection& con)
{
    return con.scalar(QStringLiteral("select jgts from [option]")).toInt();
}

void writeJgts(db::Connection& con, int jgts)
{
    const int v = jgts == 1 ? 1 : 0;
    db::Transaction t(con);
    // The settings row is delivered with the database; should it be missing, the setting would
    // otherwise be lost at the next start.
    if (con.execute(QStringLiteral("update [option] set jgts=%1 ").arg(v)) == 0)
        con.execute(QStringLiteral("insert into [option](jgts) values(%1)").arg(v));
    t.commit();
}

} // namespace ops::admin
