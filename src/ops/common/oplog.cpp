#include "ops/common/oplog.h"

#include "db/sqlvalue.h"

namespace ops {

void writeLog(db::Connection& con, const Who& who, const QString& logcon)
{
    con.execute(QStringLiteral("insert into  syslog(uname,truename,dt,logcon,ipaddr) values(") +
                db::quoted(who.uname) + u',' + db::quoted(who.truename) + QStringLiteral(",now(),") +
                db::quoted(logcon) + u',' + db::quoted(who.ipaddr) + u')');
}

} // namespace ops
