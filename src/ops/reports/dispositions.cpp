#include "ops/reports/dispositions.h"

#include "db/sqlvalue.h"
#include "db/transaction.h"
#include "db/vocab.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlQuery>

namespace ops::reports {

QStringList dispositionWords()
{
    return {vocab::kHandled,     vocab::kRefused,      vocab::kCallBack,    vocab::kNoAnswer,
            vocab::kSwitchedOff, vocab::kOutOfService, vocab::kInvalidData, vocab::kNotHandled};
}

QList<DispositionCode> defaultDispositionCodes()
{
    static const char* const codes[] = {"1.1", "2.11", "2.21", "3.13", "3.16", "4.32", "4.10", "3.11"};
    QList<DispositionCode> out;
    const QStringList words = dispositionWords();
    for (int i = 0; i < words.size(); ++i)
        out.append({words.at(i), QString::fromLatin1(codes[i])});
    return out;
}

QList<DispositionCode> dispositionCodes(db::Connection& con, qint64 ywbh)
{
    QHash<QString, QString> kept;
    QSqlQuery q = con.select(QStringLiteral("select sljg,czdm from czfl where ywbh=?"), {ywbh}, true);
    while (q.next())
        kept.insert(q.value(0).toString(), q.value(1).toString());
    QList<DispositionCode> out = defaultDispositionCodes();
    for (DispositionCode& c : out)
        c.code = kept.value(c.word, c.code);
    return out;
}

QString saveDispositionCodes(db::Connection& con, qint64 ywbh, const QList<DispositionCode>& codes)
{
    // Only the standard's form: a group 1-4, a point and up to three digits ("2.11", "4.10").
    static const QRegularExpression form(QStringLiteral("^[1-4]\\.[0-9]{1,3}$"));
    for (const DispositionCode& c : codes)
        if (!form.match(c.code.trimmed()).hasMatch() || !classOfCode(c.code))
            return c.word;
    const QList<DispositionCode> before = dispositionCodes(con, ywbh);
    db::Transaction t(con);
    bool changed = false;
    for (int i = 0; i < codes.size(); ++i) {
        const DispositionCode& c = codes.at(i);
        changed = changed || i >= before.size() || before.at(i).word != c.word || before.at(i).code != c.code.trimmed();
        con.execute(QStringLiteral("delete from czfl where ywbh=? and sljg=?"), {ywbh, db::text(c.word)});
        con.execute(QStringLiteral("insert into czfl(ywbh,sljg,czdm) values(?,?,?)"),
                    {ywbh, db::text(c.word), db::text(c.code.trimmed())});
    }
    // The customers' deciding endings follow the new weights.
    if (changed)
        keepDispositions(con, ywbh);
    t.commit();
    return {};
}

namespace {

int classNumber(const QString& code)
{
    // A code edited outside the program into something the standard does not know: the case still
    // counts, as unknown eligibility of another kind.
    return int(classOfCode(code).value_or(Disposition::UO));
}

// An ending's weight (see the schema) is (rank << 50) + id*8 + class: rank 1 or 2 once it reached
// someone.
constexpr qint64 kRankStep = qint64(1) << 50;

int neverCalledClass(const QList<DispositionCode>& codes)
{
    for (const DispositionCode& c : codes)
        if (c.word == vocab::kNotHandled)
            return classNumber(c.code);
    return int(Disposition::UH);
}

QString stamp(const QDateTime& at)
{
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The final class k of each case, from its deciding ending's value (rank + id*8 + class): the
// latest final one, else the latest that reached someone, else the latest, unless a booked
// call-back lapsed (NC); the customers never called have the 未受理 code's class. A lapsed
// call-back is looked up only for the cases that no ending decided (the case stops at the first
// clause that holds), by the index of open call-backs.
db::Statement finalClass(const QString& best, int neverCalled, const QDateTime& at)
{
    db::Statement s(QStringLiteral("case when ") + best + QStringLiteral(">=") + db::num(kRankStep) +
                    QStringLiteral(" then ") + best +
                    QStringLiteral("%8 when exists (select 1 from hfyy h where "
                                   "h.yhid=y.id and h.zt=0 and h.jssj<=?) then ") +
                    db::num(int(Disposition::NC)) + QStringLiteral(" when ") + best +
                    QStringLiteral(" is not null then ") + best + QStringLiteral("%8 else ") + db::num(neverCalled) +
                    QStringLiteral(" end"));
    s.values << stamp(at);
    return s;
}

// Without an operator or a day range every ending counts, and each customer keeps its deciding
// one (yhda.czz, see the schema); with them, the endings they keep are grouped afresh.
bool narrowed(const Filter& f)
{
    return !f.slz.isEmpty() || f.byDay;
}

// Each case of the filter with its final class, as "c(id, k)" ahead of a statement.
db::Statement casesStatement(db::Connection& con, const Filter& f, const QDateTime& at)
{
    const QList<DispositionCode> codes = dispositionCodes(con, f.ywbh);
    const int neverCalled = neverCalledClass(codes);
    if (!narrowed(f)) {
        db::Statement s(QStringLiteral("with c as (select y.id as id, "));
        s += finalClass(QStringLiteral("y.czz"), neverCalled, at);
        s += QStringLiteral(" as k from yhda y where y.ywbh=") + db::num(f.ywbh) + QStringLiteral(" and y.del=0) ");
        return s;
    }
    // One aggregate over the endings the filter keeps: the largest weight per number is its
    // deciding ending. An operator's are read by the history's index by project and operator; some
    // days' by the index of times, the project only checked ("+"; by the project's index the file
    // would read its whole history).
    db::Statement s(QStringLiteral("with e as (select dhhm, max(k) as best from czzview where ") +
                    (f.byDay ? QStringLiteral("+ywbh=") : QStringLiteral("ywbh=")) + db::num(f.ywbh));
    if (!f.slz.isEmpty())
        s.add(QStringLiteral(" and slz=?"), db::text(f.slz));
    if (f.byDay) {
        s.add(QStringLiteral(" and vtime>=?"), f.from.toString(QStringLiteral("yyyy-MM-dd")));
        s.add(QStringLiteral(" and vtime<?"), f.to.addDays(1).toString(QStringLiteral("yyyy-MM-dd")));
    }
    s += QStringLiteral(" group by dhhm), c as (select y.id as id, ");
    s += finalClass(QStringLiteral("e.best"), neverCalled, at);
    // (from the numbers the filter kept to their customers, by the index of numbers: the project
    // is only checked, "+", or the file would read all its customers for each number)
    s += QStringLiteral(" as k from e cross join yhda y where y.dhhm1=e.dhhm and +y.ywbh=") + db::num(f.ywbh) +
         QStringLiteral(" and y.del=0) ");
    return s;
}

// Adds rows of (class, count); a class that is null is nullClass.
void addCounts(Counts& counts, QSqlQuery&& q, int nullClass)
{
    while (q.next()) {
        const int k = q.value(0).isNull() ? nullClass : q.value(0).toInt();
        if (k >= 0 && k < kDispositionCount)
            counts[size_t(k)] += q.value(1).toLongLong();
    }
}

} // namespace

void keepDispositions(db::Connection& con, qint64 ywbh)
{
    con.execute(QStringLiteral("update yhda set czz=e.k, czlb=e.k%8 from (select dhhm, max(k) as k from czzview "
                               "where ywbh=? group by dhhm) e where yhda.ywbh=? and yhda.dhhm1=e.dhhm "
                               "and (yhda.czz is null or yhda.czz<>e.k)"),
                {ywbh, ywbh});
}

Counts finalDispositionCounts(db::Connection& con, const Filter& f, const QDateTime& at)
{
    Counts counts{};
    if (narrowed(f)) {
        addCounts(counts,
                  con.select(casesStatement(con, f, at) + QStringLiteral("select k, count(*) from c group by k"), true),
                  -1);
        return counts;
    }
    // The kept classes, read from their index; then the cases no ending decided whose booked
    // call-back lapsed move to NC (few: the open call-backs).
    const int neverCalled = neverCalledClass(dispositionCodes(con, f.ywbh));
    addCounts(counts,
              con.select(QStringLiteral("select czlb, count(*) from yhda where ywbh=? and del=0 group by czlb"),
                         {f.ywbh}, true),
              neverCalled);
    Counts lapsed{};
    addCounts(
        lapsed,
        con.select(QStringLiteral("select czlb, count(*) from yhda where ywbh=? and del=0 and (czz is null or "
                                  "czz<?) and id in (select yhid from hfyy where zt=0 and jssj<=?) group by czlb"),
                   {f.ywbh, kRankStep, stamp(at)}, true),
        neverCalled);
    for (int k = 0; k < kDispositionCount; ++k) {
        counts[size_t(k)] -= lapsed[size_t(k)];
        counts[size_t(Disposition::NC)] += lapsed[size_t(k)];
    }
    return counts;
}

db::Statement dispositionCases(db::Connection& con, const Filter& f, const QDateTime& at, Disposition d)
{
    return casesStatement(con, f, at) +
           QStringLiteral(
               "select id,yhxm,dhhm1,dq,sljg,slz,slsj from yhdaview where id in (select id from c where k=") +
           db::num(int(d)) + QStringLiteral(") order by id");
}

} // namespace ops::reports
