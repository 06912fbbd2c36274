#include "ops/admin/oplogquery.h"

#include "db/sqlvalue.h"

namespace ops::admin {

QString newestLogQuery()
{
    return QStringLiteral("select top %1 * from  syslog order by id desc").arg(kLogRowCap);
}

QString logQuery(const LogFilter& f)
{
    QString where = QStringLiteral(" where 1=1");
    if (!f.truename.isEmpty())
        where += QStringLiteral(" and truename=") + db::quoted(f.truename);
    if (!f.text.isEmpty())
        where += QStringLiteral(" and logcon like ") + db::likeContains(f.text);
    if (f.byDate) {
        // dt is stored as "yyyy-MM-dd HH:mm:ss": a day is every text from "yyyy-MM-dd" up to
        // the next day, the same rows as comparing the formatted day.
        const QString iso = QStringLiteral("yyyy-MM-dd");
        where += QStringLiteral(" and dt>=") + db::quoted(f.from.toString(iso));
        where += QStringLiteral(" and dt<") + db::quoted(f.to.addDays(1).toString(iso));
    }
    return QStringLiteral("select top %1 * from syslog").arg(kLogRowCap) + where + QStringLiteral(" order by id desc");
}

} // namespace ops::admin
