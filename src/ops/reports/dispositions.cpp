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
    db::Transaction t(con);
    for (const DispositionCode& c : codes) {
        con.execute(QStringLiteral("delete from czfl where ywbh=? and sljg=?"), {ywbh, db::text(c.word)});
        con.execute(QStringLiteral("insert into czfl(ywbh,sljg,czdm) values(?,?,?)"),
                    {ywbh, db::text(c.word), db::text(c.code.trimmed())});
    }
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

// How far an ending decides a case: a final class (I, NE) over one that reached someone (P, R,
// NC, O) over one that reached nobody (UH, UO).
qint64 rank(int cls)
{
    constexpr qint64 step = qint64(1) << 50; // above every id*8+class
    const auto d = Disposition(cls);
    if (d == Disposition::I || d == Disposition::NE)
        return 2 * step;
    if (d == Disposition::P || d == Disposition::R || d == Disposition::NC || d == Disposition::O)
        return step;
    return 0;
}

// Each customer's final disposition (column k, the number of its class) as one grouped statement.
// Every ending becomes rank + id*8 + class, so that the largest of a customer's endings is the
// latest of its highest rank and carries its class: the latest final one, else the latest that
// reached someone, else the latest (unless a booked call-back lapsed: NC). One aggregate over the
// history in the order of its index; customers and their history meet by project and number (the
// history keeps the number the customer was called on).
db::Statement finalStatement(db::Connection& con, const Filter& f, const QDateTime& at)
{
    const QList<DispositionCode> codes = dispositionCodes(con, f.ywbh);
    auto value = [](int cls) { return db::num(rank(cls) + cls); };
    // The completed ones are written with their marketing result, "已受理(成功)": a range of the
    // index rather than a like, which costs more on millions of rows.
    const int done = classNumber(codes.first().code);
    db::Statement classOf(QStringLiteral("case when sljg>=? and sljg<? then ") + value(done));
    classOf.values << db::text(vocab::kHandled + QStringLiteral("("))
                   << db::text(vocab::kHandled + QStringLiteral(")"));
    int neverCalled = int(Disposition::UH);
    for (const DispositionCode& c : codes) {
        if (c.word == vocab::kNotHandled)
            neverCalled = classNumber(c.code);
        else
            classOf.add(QStringLiteral(" when sljg=? then ") + value(classNumber(c.code)), db::text(c.word));
    }
    classOf += QStringLiteral(" else ") + value(int(Disposition::UO)) + QStringLiteral(" end");

    const bool narrowed = !f.slz.isEmpty() || f.byDay;
    db::Statement s(QStringLiteral("with e as (select dhhm, max(id*8+"));
    s += classOf;
    s += QStringLiteral(") as best from visitlog where ywbh=") + db::num(f.ywbh);
    if (!f.slz.isEmpty())
        s.add(QStringLiteral(" and slz=?"), db::text(f.slz));
    if (f.byDay) {
        s.add(QStringLiteral(" and vtime>=?"), f.from.toString(QStringLiteral("yyyy-MM-dd")));
        s.add(QStringLiteral(" and vtime<?"), f.to.addDays(1).toString(QStringLiteral("yyyy-MM-dd")));
    }
    s += QStringLiteral(" group by dhhm), ");
    // A lapsed call-back is looked up only for the cases that no ending decided (the case stops at the
    // first clause that holds), by the index of open call-backs.
    s += QStringLiteral("c as (select y.id as id, case when e.best>=") + db::num(rank(int(Disposition::R))) +
         QStringLiteral(" then e.best%8 when exists (select 1 from hfyy h where h.yhid=y.id and h.zt=0 and h.jssj<=?)"
                        " then ") +
         db::num(int(Disposition::NC)) + QStringLiteral(" when e.best is not null then e.best%8 else ") +
         db::num(neverCalled) +
         QStringLiteral(" end as k from yhda y left join e on e.dhhm=y.dhhm1 where y.ywbh=") + db::num(f.ywbh) +
         QStringLiteral(" and y.del=0");
    s.values << at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (narrowed)
        s += QStringLiteral(" and e.dhhm is not null");
    s += QStringLiteral(") ");
    return s;
}

} // namespace

Counts finalDispositionCounts(db::Connection& con, const Filter& f, const QDateTime& at)
{
    Counts counts{};
    QSqlQuery q = con.select(finalStatement(con, f, at) + QStringLiteral("select k, count(*) from c group by k"), true);
    while (q.next()) {
        const int k = q.value(0).toInt();
        if (k >= 0 && k < kDispositionCount)
            counts[size_t(k)] = q.value(1).toLongLong();
    }
    return counts;
}

db::Statement dispositionCases(db::Connection& con, const Filter& f, const QDateTime& at, Disposition d)
{
    return finalStatement(con, f, at) +
           QStringLiteral(
               "select id,yhxm,dhhm1,dq,sljg,slz,slsj from yhdaview where id in (select id from c where k=") +
           db::num(int(d)) + QStringLiteral(") order by id");
}

} // namespace ops::reports
