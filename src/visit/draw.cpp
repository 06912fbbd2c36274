#include "visit/draw.h"

#include "db/connection.h"
#include "db/sqlvalue.h"
#include "db/vocab.h"

#include <QDate>
#include <QList>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>

namespace visit {
namespace {

// Candidates looked at per draw: the pick is random among them, which evens out the uneven
// gaps between the ids of the customers left in a state.
constexpr int kWindow = 16;
// Each failed lock means another seat took that customer; give up only if that keeps happening.
constexpr int kMaxAttempts = 64;

QString text(const QSqlQuery& q, const char* field)
{
    return db::displayText(q.value(q.record().indexOf(QLatin1String(field))));
}

// The draw's look-ups run after every call: read forward only.
QSqlQuery look(db::Connection& con, const QString& sql)
{
    return con.select(sql, true);
}

void collectIds(db::Connection& con, const QString& sql, QList<qint64>* ids)
{
    QSqlQuery q = look(con, sql);
    while (q.next() && ids->size() < kWindow) {
        const qint64 id = q.value(0).toLongLong();
        if (!ids->contains(id))
            ids->append(id);
    }
}

// Up to kWindow ids of customers in the state, from a random point on, wrapping round to the
// start: those assigned to uname when there are any, else the unassigned ones. One statement,
// and each of its steps is an index seek whatever the number of customers: ordering them all
// by a random number would read every one of them. The point lies between the group's lowest
// and highest id.
QList<qint64> candidates(db::Connection& con, int ywbh, const QString& state, const QString& uname)
{
    const QString head = QStringLiteral(" where ywbh=") + db::num(ywbh) + QStringLiteral(" and sljg=") + db::quoted(state);
    // The assignee looked for: uname while such customers are left, else null (unassigned).
    const QString who = QStringLiteral("(select zdslz from yhda") + head + QStringLiteral(" and zdslz=") +
                        db::quoted(uname) + QStringLiteral(" and del=0 limit 1)");
    const QString group = head + QStringLiteral(" and zdslz is ") + who + QStringLiteral(" and del=0");
    QList<qint64> ids;
    collectIds(con,
               QStringLiteral("select id from yhda") + group +
                   QStringLiteral(" and id>=(select lo+cast(rnd(1)*(hi-lo+1) as integer) from "
                                  "(select (select min(id) from yhda") +
                   group + QStringLiteral(") as lo,(select max(id) from yhda") + group +
                   QStringLiteral(") as hi)) order by id limit ") + db::num(kWindow),
               &ids);
    // Nothing from the point on means an empty group: the point is never above the highest id.
    if (!ids.isEmpty() && ids.size() < kWindow)
        collectIds(con, QStringLiteral("select id from yhda") + group + QStringLiteral(" order by id limit ") +
                            db::num(kWindow),
                   &ids);
    return ids;
}

// The columns the visit window shows.
const QString kShown = QStringLiteral("id,dhhm1,yhxm,dz,dq,xxzl,sljg");

Customer readCustomer(const QSqlQuery& q)
{
    Customer c;
    c.id = q.value(q.record().indexOf(QStringLiteral("id"))).toLongLong();
    c.dhhm1 = text(q, "dhhm1");
    c.yhxm = text(q, "yhxm");
    c.dz = text(q, "dz");
    c.dq = text(q, "dq");
    c.xxzl = text(q, "xxzl");
    c.sljg = text(q, "sljg");
    return c;
}

// Locks the customer if it is still in the state it was seen in; returns it when this seat got it.
std::optional<Customer> lock(db::Connection& con, qint64 id, const QString& state)
{
    const int won = con.execute(QStringLiteral("update yhda set sljg=") + db::quoted(vocab::kZzsl) +
                                QStringLiteral(" where id=") + db::num(id) + QStringLiteral(" and sljg=") +
                                db::quoted(state) + QStringLiteral(" and del=0"));
    if (won != 1)
        return std::nullopt;
    QSqlQuery q = look(con, QStringLiteral("select ") + kShown + QStringLiteral(" from yhda where id=") + db::num(id));
    if (!q.next())
        return std::nullopt;
    Customer c = readCustomer(q);
    c.sljg = state;
    return c;
}

} // namespace

std::optional<Customer> claimByState(db::Connection& con, int ywbh, const QString& state, const QString& uname)
{
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const QList<qint64> ids = candidates(con, ywbh, state, uname);
        if (ids.isEmpty())
            return std::nullopt;
        const qint64 id = ids.at(int(QRandomGenerator::global()->bounded(int(ids.size()))));
        if (std::optional<Customer> c = lock(con, id, state))
            return c;
        // Another seat took it between the look and the lock: look again.
    }
    return std::nullopt;
}

std::optional<Customer> claimByNumber(db::Connection& con, int ywbh, const QString& number)
{
    const QString n = db::quoted(number);
    std::optional<Customer> c;
    {
        // "+ywbh": the project alone must not drive the search; the four number indexes do.
        QSqlQuery q = con.select(QStringLiteral("select  * from  yhda where +ywbh=") + db::num(ywbh) +
                                 QStringLiteral(" and (dhhm1=") + n + QStringLiteral("  or dhhm2=") + n +
                                 QStringLiteral(" or dhhm3=") + n + QStringLiteral(" or dhhm4=") + n +
                                 QStringLiteral(") and del=0 order by id"));
        if (!q.next())
            return std::nullopt;
        c = readCustomer(q);
    }
    con.execute(QStringLiteral("update yhda set sljg=") + db::quoted(vocab::kZzsl) + QStringLiteral(" where id=") +
                db::num(c->id));
    return c;
}

qint64 pendingCount(db::Connection& con, int ywbh, const QString& uname)
{
    // Same customers as counting yhdaview for (zdslz=uname or null) and the two states, but
    // from the per-state counts that the triggers of yhda keep in the same transaction.
    return con
        .scalar(QStringLiteral("select coalesce(sum(n),0) as totnum from yhda_tally where ywbh=") + db::num(ywbh) +
                QStringLiteral(" and (sljg=") + db::quoted(vocab::kWsl) + QStringLiteral(" or sljg=") +
                db::quoted(vocab::kZzsl) + QStringLiteral(") and (zk=") + db::quoted(QStringLiteral("=") + uname) +
                QStringLiteral(" or zk='')"))
        .toLongLong();
}

qint64 todayCount(db::Connection& con, int ywbh, const QString& truename)
{
    // Today's stamps begin with today's date: a range on the stored text finds them through
    // the index instead of formatting every stamp of the project.
    const QDate today = QDate::currentDate();
    const QString from = today.toString(QStringLiteral("yyyy-MM-dd"));
    const QString to = today.addDays(1).toString(QStringLiteral("yyyy-MM-dd"));
    return con
        .scalar(QStringLiteral("select count(*) as totnum from  yhdaview where ywbh=") + db::num(ywbh) +
                QStringLiteral(" and slz=") + db::quoted(truename) + QStringLiteral(" and slsj>=") +
                db::quoted(from) + QStringLiteral(" and slsj<") + db::quoted(to) + QStringLiteral(" and sljg<>") +
                db::quoted(vocab::kWsl) + QStringLiteral(" and  sljg<>") + db::quoted(vocab::kZzsl))
        .toLongLong();
}

} // namespace visit
