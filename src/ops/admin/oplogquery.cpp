#include "ops/admin/oplogquery.h"

#include "db/sqlvalue.h"

namespace ops::admin {

QString newestLogQuery()
{
    return QStringLiteral("select top %1 * from  syslog order by id desc").arg(kLogRowCap);
}

db::Statement logQuery(db::Connection& con, const LogFilter& f, int wideRange)
{
    db::Statement where{QStringLiteral(" where 1=1"), {}};
    if (!f.truename.isEmpty())
        where.add(QStringLiteral(" and truename=?"), f.truename);
    if (!f.text.isEmpty())
        where.add(QStringLiteral(" and logcon like ?"), db::likeContains(f.text));
    if (f.byDate) {
        // dt is stored as "yyyy-MM-dd HH:mm:ss": a day is every text from "yyyy-MM-dd" up to
        // the next day, the same rows as comparing the formatted day.
        const QString iso = QStringLiteral("yyyy-MM-dd");
        const QString from = f.from.toString(iso);
        const QString to = f.to.addDays(1).toString(iso);
        const qint64 inRange = con.scalar(QStringLiteral("select count(*) from (select 1 from syslog where dt>=? and "
                                                         "dt<? limit ") +
                                              db::num(wideRange) + QStringLiteral(") r"),
                                          {from, to})
                                   .toLongLong();
        // "+dt" keeps the index out: the newest rows are read first and the reading stops at the cap.
        const QString dt = inRange >= wideRange ? QStringLiteral("+dt") : QStringLiteral("dt");
        where.add(QStringLiteral(" and ") + dt + QStringLiteral(">=?"), from);
        where.add(QStringLiteral(" and ") + dt + QStringLiteral("<?"), to);
    }
    return QStringLiteral("select top %1 * from syslog").arg(kLogRowCap) + where + QStringLiteral(" order by id desc");
}

} // namespace ops::admin
