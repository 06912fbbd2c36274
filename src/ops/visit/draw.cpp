#include "ops/visit/draw.h"

#include "db/connection.h"
#include "db/sqlvalue.h"
#include "db/vocab.h"

#include <QDate>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>

namespace ops::visit {
namespace {

// Each failed lock means another seat took that customer; give up only if that keeps happening.
constexpr int kMaxAttempts = 64;

QString text(const QSqlRecord& row, const char* field)
{
    return db::displayText(row.value(QLatin1String(field)));
}

// The draw's look-ups run after every call: read forward only.
QSqlQuery look(db::Connection& con, const QString& sql, const QVariantList& values)
{
    return con.select(sql, values, true);
}

// The columns the visit window shows.
const QString kShown = QStringLiteral("id,dhhm1,yhxm,dz,dq,xxzl,sljg");

Customer readCustomer(const QSqlRecord& row)
{
    Customer c;
    if (row.contains(QStringLiteral("kcsj")))
        c.waitedUntil = text(row, "kcsj");
    c.id = row.value(QStringLiteral("id")).toLongLong();
    c.dhhm1 = text(row, "dhhm1");
    c.yhxm = text(row, "yhxm");
    c.dz = text(row, "dz");
    c.dq = text(row, "dq");
    c.xxzl = text(row, "xxzl");
    c.sljg = text(row, "sljg");
    return c;
}

// A customer as the draw's look saw it.
struct Seen
{
    Customer customer;
    QVariant key;
};

// The customer with the smallest draw key (see schema.sql) among those in the state that are
// assigned to uname when there are any, else among the unassigned ones. Two index seeks,
// whatever the number of customers.
std::optional<Seen> smallest(db::Connection& con, int ywbh, const QString& state, const QString& uname)
{
    const QString head = QStringLiteral(" where ywbh=") + db::num(ywbh) + QStringLiteral(" and sljg=?");
    // The assignee looked for: uname while such customers are left, else null (unassigned).
    const QString who = QStringLiteral("(select zdslz from yhda") + head +
                        QStringLiteral(" and zdslz=? and del=0 and kcsj is null limit 1)");
    QSqlQuery q = look(con,
                       QStringLiteral("select ") + kShown + QStringLiteral(",drawkey from yhda") + head +
                           QStringLiteral(" and zdslz is ") + who +
                           QStringLiteral(" and del=0 and kcsj is null order by drawkey limit 1"),
                       {db::text(state), db::text(state), db::text(uname)});
    if (!q.next())
        return std::nullopt;
    const QSqlRecord row = q.record();
    return Seen{readCustomer(row), row.value(QStringLiteral("drawkey"))};
}

// Locks the customer if it still has the key it was seen with (so it is still in the same
// group, and nobody drew it since); true when this seat got it. Setting the key to null in the
// same statement is what tells the database that a draw took it (see schema.sql).
bool lock(db::Connection& con, const Seen& s, const QString& state)
{
    return con.execute(QStringLiteral("update yhda set sljg=?,drawkey=null where id=") + db::num(s.customer.id) +
                           QStringLiteral(" and sljg=? and del=0 and drawkey is ?"),
                       {vocab::kInHand, db::text(state), s.key}) == 1;
}

// On the server: the look and the lock are one statement. The row is locked as it is picked, and
// rows another seat has locked are passed over instead of waited for, so seats drawing at the
// same time each get a different customer at once. The group's order is the same as above: the
// customers assigned to uname first, and only when none of them is left (or free) the
// unassigned ones (the second pick runs only when the first finds nobody). The lock is the one
// the update takes anyway: a stronger one would make the server record two lockers of the row.
std::optional<Customer> claimOnServer(db::Connection& con, int ywbh, const QString& state, const QString& uname)
{
    // One text for every draw of the session, the values bound: the server plans it once.
    static const QString group = QStringLiteral("(select id from yhda where ywbh=? and sljg=? and zdslz ");
    static const QString pick =
        QStringLiteral(" and del=0 and kcsj is null order by drawkey limit 1 for no key update skip locked)");
    static const QString claim = QStringLiteral("update yhda set sljg=?,drawkey=null where id=coalesce(") + group +
                                 QStringLiteral("=?") + pick + QStringLiteral(",") + group + QStringLiteral("is null") +
                                 pick + QStringLiteral(") returning ") + kShown;
    const QSqlRecord row =
        con.firstRowKept(claim, {vocab::kInHand, ywbh, db::text(state), db::text(uname), ywbh, db::text(state)});
    if (row.isEmpty())
        return std::nullopt;
    Customer c = readCustomer(row);
    // What it was before the lock: the state it was drawn in.
    c.sljg = state;
    return c;
}

// How many customers kept back a draw lets back at most: a draw stays short when many come due
// at once; the next draws let the rest back.
constexpr int kLetBackAtOnce = 100;

// Lets the customers of the project in the state whose wait is over back into the draw (each
// gets a fresh draw key, see schema.sql), earliest first. On the server those another seat is
// letting back at this moment are passed over. Returns how many.
int letBack(db::Connection& con, int ywbh, const QString& state, const QString& at)
{
    static const QString file = QStringLiteral("update yhda set kcsj=null where id in (select id from yhda where "
                                               "ywbh=? and sljg=? and kcsj is not null and kcsj<=? order by kcsj "
                                               "limit ") +
                                db::num(kLetBackAtOnce) + QStringLiteral(")");
    static const QString server = file.chopped(1) + QStringLiteral(" for no key update skip locked)");
    return con.execute(con.engine() == db::Engine::PostgreSQL ? server : file, {ywbh, db::text(state), at});
}

// The customer of a due call-back with what was booked.
Customer readBooked(const QSqlRecord& row)
{
    Customer c = readCustomer(row);
    c.booked = Booked{row.value(QStringLiteral("aid")).toLongLong(), fromStamp(text(row, "kssj")),
                      fromStamp(text(row, "jssj")), text(row, "yyzxm"), text(row, "abz")};
    return c;
}

// The two kinds of due call-back in the order the draw offers them: the operator's own by
// their start, then anyone's by the time they became anyone's. Each reads its index from the
// first due entry on; the customers other seats hold are passed over, and so are customers an
// administrator assigned to another operator (a call-back does not undo the assignment).
const QString kOwnDue = QStringLiteral("a.ywbh=? and a.hfz=? and a.zt=0 and a.kssj<=? and y.del=0 and y.sljg<>? "
                                       "and (y.zdslz is null or y.zdslz=?) order by a.kssj limit 1");
const QString kAnyDue = QStringLiteral("a.ywbh=? and a.zt=0 and a.gksj<=? and y.del=0 and y.sljg<>? "
                                       "and (y.zdslz is null or y.zdslz=?) order by a.gksj limit 1");
const QString kBookedColumns = QStringLiteral("a.id as aid,a.kssj,a.jssj,a.yyzxm,a.bz as abz");

std::optional<Customer> claimBookedOnFile(db::Connection& con, const QString& where, const QVariantList& values)
{
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        std::optional<Customer> seen;
        {
            QSqlQuery q =
                look(con,
                     QStringLiteral("select y.id,y.dhhm1,y.yhxm,y.dz,y.dq,y.xxzl,y.sljg,y.kcsj,") + kBookedColumns +
                         QStringLiteral(" from hfyy a join yhda y on y.id=a.yhid where ") + where,
                     values);
            if (!q.next())
                return std::nullopt;
            seen = readBooked(q.record());
        }
        // Taken only if nobody took the customer since the look.
        if (con.execute(QStringLiteral("update yhda set sljg=?,drawkey=null,kcsj=null where id=") + db::num(seen->id) +
                            QStringLiteral(" and sljg=? and del=0"),
                        {vocab::kInHand, db::text(seen->sljg)}) == 1)
            return seen;
    }
    return std::nullopt;
}

// On the server the look and the lock are one statement, passing over customers other seats
// are locking, as the state draw does. The call-back is locked too: a seat whose ending closes
// it is passed over, and one that closed it while this statement waited is seen as closed (a
// lock re-reads the rows it locks, and only those), so a call-back is never called twice.
std::optional<Customer> claimBookedOnServer(db::Connection& con, const QString& where, const QVariantList& values)
{
    const QString sql = QStringLiteral("with pick as (select y.id,y.sljg,y.kcsj,") + kBookedColumns +
                        QStringLiteral(" from hfyy a join yhda y on y.id=a.yhid where ") + where +
                        QStringLiteral(" for no key update of y, a skip locked) update yhda set sljg=?,drawkey=null,"
                                       "kcsj=null from pick where yhda.id=pick.id returning yhda.id,yhda.dhhm1,"
                                       "yhda.yhxm,yhda.dz,yhda.dq,yhda.xxzl,pick.sljg,pick.kcsj,pick.aid,pick.kssj,"
                                       "pick.jssj,pick.yyzxm,pick.abz");
    const QSqlRecord row = con.firstRowKept(sql, values + QVariantList{vocab::kInHand});
    if (row.isEmpty())
        return std::nullopt;
    return readBooked(row);
}

std::optional<Customer> claimBooked(db::Connection& con, int ywbh, const QString& uname, const QString& at)
{
    const auto claim = con.engine() == db::Engine::PostgreSQL ? claimBookedOnServer : claimBookedOnFile;
    if (auto c = claim(con, kOwnDue, {ywbh, db::text(uname), at, vocab::kInHand, db::text(uname)}))
        return c;
    return claim(con, kAnyDue, {ywbh, at, vocab::kInHand, db::text(uname)});
}

// The first column of a counter's one row.
qint64 count(db::Connection& con, const QString& jet, const QVariantList& values)
{
    const QSqlRecord row = con.firstRowKept(jet, values);
    return row.isEmpty() ? 0 : row.value(0).toLongLong();
}

// The state draw proper: the smallest draw key of the group (see smallest and claimOnServer).
std::optional<Customer> claimInGroup(db::Connection& con, int ywbh, const QString& state, const QString& uname)
{
    if (con.engine() == db::Engine::PostgreSQL)
        return claimOnServer(con, ywbh, state, uname);
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const std::optional<Seen> s = smallest(con, ywbh, state, uname);
        if (!s)
            return std::nullopt;
        if (lock(con, *s, state))
            return s->customer;
        // Another seat took it between the look and the lock: look again.
    }
    return std::nullopt;
}

} // namespace

Drawn drawByState(db::Connection& con, int ywbh, const QString& state, const QString& uname, const QDateTime& now)
{
    const QString at = stamp(now);
    const bool inHand = state == vocab::kInHand;
    if (!inHand) {
        if (auto c = claimBooked(con, ywbh, uname, at))
            return {std::move(c), std::nullopt};
    }
    // Outside the calling hours only the call-backs customers asked for are called.
    const CallingHours hours = callingHours(con, ywbh);
    if (!hours.open(now))
        return {std::nullopt, hours.resumes(now)};
    for (;;) {
        const int back = inHand ? 0 : letBack(con, ywbh, state, at);
        if (auto c = claimInGroup(con, ywbh, state, uname))
            return {std::move(c), std::nullopt};
        // More may be waiting behind those let back (all of them someone else's).
        if (back < kLetBackAtOnce)
            return {};
    }
}

std::optional<Customer> claimByState(db::Connection& con, int ywbh, const QString& state, const QString& uname)
{
    return drawByState(con, ywbh, state, uname, QDateTime::currentDateTime()).customer;
}

std::optional<Customer> claimByNumber(db::Connection& con, int ywbh, const QString& number)
{
    std::optional<Customer> c;
    {
        // "+ywbh": the project alone must not drive the search; the four number indexes do.
        QSqlQuery q =
            con.select(QStringLiteral("select  * from  yhda where +ywbh=") + db::num(ywbh) +
                           QStringLiteral(" and (dhhm1=?  or dhhm2=? or dhhm3=? or dhhm4=?) and del=0 order by id"),
                       {db::text(number), db::text(number), db::text(number), db::text(number)});
        if (!q.next())
            return std::nullopt;
        c = readCustomer(q.record());
    }
    // Held, it is out of the waiting ones; letting it go gives its wait back (waitedUntil).
    con.execute(QStringLiteral("update yhda set sljg=?,kcsj=null where id=") + db::num(c->id), {vocab::kInHand});
    return c;
}

qint64 pendingCount(db::Connection& con, int ywbh, const QString& uname)
{
    // Same customers as counting yhdaview for (zdslz=uname or null) and the two states, but
    // from the per-state counts that the triggers of yhda keep in the same transaction.
    return count(con,
                 QStringLiteral("select coalesce(sum(n),0) as totnum from yhda_tally where ywbh=? and (sljg=? or "
                                "sljg=?) and (zk=? or zk='')"),
                 {ywbh, vocab::kNotHandled, vocab::kInHand, QStringLiteral("=") + uname});
}

qint64 todayCount(db::Connection& con, int ywbh, const QString& truename)
{
    // Same customers as counting yhdaview for this operator, a handling stamp of today and a
    // state other than the two undone ones, but from the handled records' counts by operator
    // and day that the triggers of yhda keep (see schema.sql): a few rows, however many calls
    // the operator has ended today.
    return count(con,
                 QStringLiteral("select coalesce(sum(n),0) as totnum from hwtj_tally where ywbh=? and slz=? and "
                                "slsj=?"),
                 {ywbh, truename, QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))});
}

EntryKeys::EntryKeys() : m_random(QRandomGenerator::system()->generate64()) {}

void EntryKeys::readBase(db::Connection& con, qint64 ywbh, const QString& sljg)
{
    // The largest over the shares the server keeps it in; one row on the file; none: never drawn.
    m_base = con.scalar(QStringLiteral("select max(lastkey) from yhda_drawn where ywbh=? and sljg=? and zk=''"),
                        {ywbh, sljg})
                 .toDouble();
}

double EntryKeys::next()
{
    // -ln U, U uniform in (0,1) from 53 random bits, as the database's own keys.
    const double u = (double(m_random.generate64() >> 11) + 0.5) / 9007199254740992.0;
    return m_base - std::log(u);
}

} // namespace ops::visit
