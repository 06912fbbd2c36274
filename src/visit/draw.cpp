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

// The customers of one project, state and assignment (uname null = unassigned).
QString groupCondition(int ywbh, const QString& state, const QString* uname)
{
    return QStringLiteral(" where ywbh=") + db::num(ywbh) + QStringLiteral(" and sljg=") + db::quoted(state) +
           (uname ? QStringLiteral(" and zdslz=") + db::quoted(*uname) : QStringLiteral(" and zdslz is null")) +
           QStringLiteral(" and del=0");
}

void collectIds(db::Connection& con, const QString& jet, QList<qint64>* ids)
{
    QSqlQuery q = con.select(jet);
    while (q.next())
        ids->append(q.value(0).toLongLong());
}

// Up to kWindow ids of the group from a random point of its id range on, wrapping round to
// its start. Each step is an index seek, whatever the size of the group: ordering the whole
// group by a random number would read every record of it.
QList<qint64> candidates(db::Connection& con, const QString& cond)
{
    QList<qint64> ids;
    QSqlQuery range = con.select(QStringLiteral("select (select min(id) from yhda") + cond +
                                 QStringLiteral("), (select max(id) from yhda") + cond + QStringLiteral(")"));
    if (!range.next() || range.value(0).isNull())
        return ids;
    const qint64 lo = range.value(0).toLongLong();
    const qint64 hi = range.value(1).toLongLong();
    range.finish();
    const qint64 pivot = lo + qint64(QRandomGenerator::global()->generate64() % quint64(hi - lo + 1));
    collectIds(con,
               QStringLiteral("select id from yhda") + cond + QStringLiteral(" and id>=") + db::num(pivot) +
                   QStringLiteral(" order by id limit ") + db::num(kWindow),
               &ids);
    if (ids.size() < kWindow)
        collectIds(con,
                   QStringLiteral("select id from yhda") + cond + QStringLiteral(" and id<") + db::num(pivot) +
                       QStringLiteral(" order by id limit ") + db::num(kWindow - ids.size()),
                   &ids);
    return ids;
}

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

std::optional<Customer> customerById(db::Connection& con, qint64 id)
{
    QSqlQuery q = con.select(QStringLiteral("select * from yhda where id=") + db::num(id));
    if (!q.next())
        return std::nullopt;
    return readCustomer(q);
}

} // namespace

std::optional<Customer> claimByState(db::Connection& con, int ywbh, const QString& state, const QString& uname)
{
    const QString mine = groupCondition(ywbh, state, &uname);
    const QString nobodys = groupCondition(ywbh, state, nullptr);
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        // Assigned to this operator first, then unassigned.
        QList<qint64> ids = candidates(con, mine);
        if (ids.isEmpty())
            ids = candidates(con, nobodys);
        if (ids.isEmpty())
            return std::nullopt;
        const qint64 id = ids.at(int(QRandomGenerator::global()->bounded(int(ids.size()))));
        const int won = con.execute(QStringLiteral("update yhda set sljg=") + db::quoted(vocab::kZzsl) +
                                    QStringLiteral(" where id=") + db::num(id) + QStringLiteral(" and sljg=") +
                                    db::quoted(state) + QStringLiteral(" and del=0"));
        if (won == 1) {
            std::optional<Customer> c = customerById(con, id);
            if (c)
                c->sljg = state;
            return c;
        }
    }
    return std::nullopt;
}

std::optional<Customer> claimByNumber(db::Connection& con, int ywbh, const QString& number)
{
    const QString n = db::quoted(number);
    std::optional<Customer> c;
    {
        QSqlQuery q = con.select(QStringLiteral("select  * from  yhda where ywbh=") + db::num(ywbh) +
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
                db::quoted(vocab::kZzsl) + QStringLiteral(") and (zdslz=") + db::quoted(uname) +
                QStringLiteral(" or zdslz is null)"))
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
