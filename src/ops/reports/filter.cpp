#include "ops/reports/filter.h"

#include "db/sqlvalue.h"

namespace ops::reports {

db::Statement condition(const Filter& f)
{
    db::Statement c{QStringLiteral(" where  ywbh=") + db::num(f.ywbh), {}};
    if (!f.slz.isEmpty())
        c.add(QStringLiteral(" and  slz=?"), f.slz);
    if (f.byDay)
        c += QStringLiteral(" and format(slsj,'yyyymmdd')>='") + f.from.toString(QStringLiteral("yyyyMMdd")) +
             QStringLiteral("' and format(slsj, 'yyyymmdd')<='") + f.to.toString(QStringLiteral("yyyyMMdd")) +
             QStringLiteral("'");
    return c;
}

} // namespace ops::reports
