#include "ops/visit/callback.h"

#include "db/connection.h"
#include "db/sqlvalue.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace ops::visit {
namespace {

const QString kStamp = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Minutes since midnight of "HH:mm", or -1 when the text is no such time.
int minuteOf(const QString& hhmm)
{
    const QTime t = QTime::fromString(hhmm.trimmed(), QStringLiteral("HH:mm"));
    return t.isValid() ? t.hour() * 60 + t.minute() : -1;
}

bool weekend(const QDate& d)
{
    return d.dayOfWeek() >= 6;
}

// The day's window in minutes, or none (any time) when either end is missing or they do not
// make a window.
std::optional<std::pair<int, int>> windowOf(const CallingHours& h, const QDate& d)
{
    const int from = minuteOf(weekend(d) ? h.weekendStart : h.weekdayStart);
    const int to = minuteOf(weekend(d) ? h.weekendEnd : h.weekdayEnd);
    if (from < 0 || to < 0 || to <= from)
        return std::nullopt;
    return std::make_pair(from, to);
}

} // namespace

QString stamp(const QDateTime& t)
{
    return t.toString(kStamp);
}

QDateTime fromStamp(const QString& s)
{
    return QDateTime::fromString(s, kStamp);
}

BookingFault checkBooking(const Booking& b, const QDateTime& now)
{
    if (b.minutes < 1)
        return BookingFault::NoLength;
    // A time typed for this very minute is not in the past.
    const QDateTime minute(now.date(), QTime(now.time().hour(), now.time().minute()));
    if (!b.start.isValid() || b.start < minute)
        return BookingFault::Past;
    if (b.start > now.addYears(1))
        return BookingFault::TooFar;
    return BookingFault::None;
}

bool CallingHours::open(const QDateTime& now) const
{
    const auto w = windowOf(*this, now.date());
    if (!w)
        return true;
    const int m = now.time().hour() * 60 + now.time().minute();
    return m >= w->first && m < w->second;
}

QDateTime CallingHours::resumes(const QDateTime& now) const
{
    if (open(now))
        return now;
    // Today's window still to come, else the first day whose window (or whose any time) comes.
    for (int day = 0; day <= 7; ++day) {
        const QDate d = now.date().addDays(day);
        const auto w = windowOf(*this, d);
        if (!w)
            return QDateTime(d, QTime(0, 0));
        const QDateTime start(d, QTime(w->first / 60, w->first % 60));
        if (start > now)
            return start;
    }
    return now; // not reached: every day has a window that opens
}

CallingHours callingHours(db::Connection& con, int ywbh)
{
    CallingHours h;
    const QSqlRecord row =
        con.firstRowKept(QStringLiteral("select grks,grjs,zmks,zmjs,gkfz from hjsd where ywbh=?"), {ywbh});
    if (row.isEmpty())
        return h;
    h.weekdayStart = row.value(0).toString();
    h.weekdayEnd = row.value(1).toString();
    h.weekendStart = row.value(2).toString();
    h.weekendEnd = row.value(3).toString();
    h.graceMinutes = row.value(4).toInt();
    return h;
}

void saveCallingHours(db::Connection& con, int ywbh, const CallingHours& h)
{
    con.execute(QStringLiteral("delete from hjsd where ywbh=?"), {ywbh});
    con.execute(QStringLiteral("insert into hjsd(ywbh,grks,grjs,zmks,zmjs,gkfz) values(?,?,?,?,?,?)"),
                {ywbh, db::text(h.weekdayStart), db::text(h.weekdayEnd), db::text(h.weekendStart),
                 db::text(h.weekendEnd), h.graceMinutes});
}

RetryRule retryRule(db::Connection& con, int ywbh, const QString& word)
{
    const QSqlRecord row =
        con.firstRowKept(QStringLiteral("select ycfz,zdcs from cbgz where ywbh=? and sljg=?"), {ywbh, db::text(word)});
    if (row.isEmpty())
        return {};
    return {row.value(0).toInt(), row.value(1).toInt()};
}

void saveRetryRule(db::Connection& con, int ywbh, const QString& word, const RetryRule& r)
{
    con.execute(QStringLiteral("delete from cbgz where ywbh=? and sljg=?"), {ywbh, db::text(word)});
    if (r.delayMinutes > 0 || r.maxCalls > 0)
        con.execute(QStringLiteral("insert into cbgz(ywbh,sljg,ycfz,zdcs) values(?,?,?,?)"),
                    {ywbh, db::text(word), r.delayMinutes, r.maxCalls});
}

qint64 dueCount(db::Connection& con, int ywbh, const QString& uname, const QDateTime& now)
{
    // Two ranges of the draw's indexes; an own one that is anyone's by now is counted once, and
    // customers assigned to another operator are not the operator's to call (as in the draw).
    const QString at = stamp(now);
    const QString mine = QStringLiteral(" and exists (select 1 from yhda y where y.id=a.yhid and (y.zdslz is null or "
                                        "y.zdslz=?))");
    return con
        .scalar(QStringLiteral("select (select count(*) from hfyy a where a.ywbh=? and a.hfz=? and a.zt=0 and "
                               "a.kssj<=?") +
                    mine +
                    QStringLiteral(")+(select count(*) from hfyy a where a.ywbh=? and a.zt=0 and a.gksj<=? and "
                                   "(a.hfz is null or a.hfz<>?)") +
                    mine + QStringLiteral(")"),
                {ywbh, db::text(uname), at, db::text(uname), ywbh, at, db::text(uname), db::text(uname)})
        .toLongLong();
}

std::optional<Booked> openBooking(db::Connection& con, qint64 yhid, const QDateTime& now)
{
    QSqlQuery q = con.select(
        QStringLiteral("select id,kssj,jssj,yyzxm,bz from hfyy where yhid=? and zt=0 order by kssj"), {yhid}, true);
    if (!q.next())
        return std::nullopt;
    Booked b{q.value(0).toLongLong(), fromStamp(q.value(1).toString()), fromStamp(q.value(2).toString()),
             db::displayText(q.value(3)), db::displayText(q.value(4))};
    b.due = b.start <= now;
    return b;
}

} // namespace ops::visit
