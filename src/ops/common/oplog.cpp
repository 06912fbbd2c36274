#include "ops/common/oplog.h"

namespace ops {
namespace {

// Empty text, never null, as the columns' defaults are.
QString text(const QString& s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

} // namespace

void writeLog(db::Connection& con, const Who& who, const QString& logcon)
{
    con.execute(QStringLiteral("insert into  syslog(uname,truename,dt,logcon,ipaddr) values(?,?,now(),?,?)"),
                {text(who.uname), text(who.truename), text(logcon), text(who.ipaddr)});
}

} // namespace ops
