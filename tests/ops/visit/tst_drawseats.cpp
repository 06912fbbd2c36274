// Several seats drawing from one project at the same time, each on its own connection as
// separate programs are: never the same customer twice, the draw's order kept, and the kept
// counts exact afterwards. Runs on the file and on the server alike.
#include "db/sqlvalue.h"
#include "db/vocab.h"
#include "db/transaction.h"
#include "ops/visit/draw.h"
#include "support/opsdb.h"

#include <QHash>
#include <QSqlQuery>
#include <QTest>

#include <functional>

namespace {

int addProject(tst::OpsDb& db)
{
    return int(tst::addProject(db.con(), QStringLiteral("项目")));
}

void addCustomers(tst::OpsDb& db, int ywbh, int n, const QString& sljg = vocab::kNotHandled, const QVariant& zdslz = QVariant(),
                  int del = 0)
{
    db::Transaction t(db.con());
    for (int i = 0; i < n; ++i)
        db.con().execute(QStringLiteral("insert into yhda(ywbh,dhhm1,sljg,zdslz,del) values(?,?,?,?,?)"),
                         {ywbh, QStringLiteral("1390000%1").arg(i), sljg, zdslz, del});
    t.commit();
}

// The visit window's loop until the project is empty: end the held customer and draw the next
// in one transaction. Returns every id the seat held, in order.
QList<qint64> endUntilEmpty(db::Connection& con, int ywbh, const QString& uname)
{
    QList<qint64> held;
    auto c = ops::visit::claimByState(con, ywbh, vocab::kNotHandled, uname);
    while (c) {
        held << c->id;
        db::Transaction ending(con);
        con.execute(QStringLiteral("update yhda set sljg='无应答',slz=?,slsj=now() where id=?"), {uname, c->id});
        db::Transaction draw(con);
        c = ops::visit::claimByState(con, ywbh, vocab::kNotHandled, uname);
        draw.commit();
        ending.commit();
    }
    return held;
}

// The kept counts of a project against counting its records, per state and assignee.
bool talliesExact(tst::OpsDb& db, int ywbh)
{
    QHash<QString, qint64> counted, kept;
    QSqlQuery q = db.con().select(QStringLiteral("select sljg,coalesce('='||zdslz,''),count(*) from yhda where "
                                                 "ywbh=? and del=0 group by sljg,coalesce('='||zdslz,'')"),
                                  QVariantList{ywbh});
    while (q.next())
        counted[q.value(0).toString() + QLatin1Char('|') + q.value(1).toString()] = q.value(2).toLongLong();
    q = db.con().select(QStringLiteral("select sljg,zk,sum(n) from yhda_tally where ywbh=? group by sljg,zk"), QVariantList{ywbh});
    while (q.next())
        if (q.value(2).toLongLong() != 0)
            kept[q.value(0).toString() + QLatin1Char('|') + q.value(1).toString()] = q.value(2).toLongLong();
    return counted == kept;
}

} // namespace

class TestDrawSeats : public QObject
{
    Q_OBJECT
    // A fresh database for every test (and every row of a data-driven one).
    std::unique_ptr<tst::OpsDb> m_db;

private slots:
    void init()
    {
        m_db = std::make_unique<tst::OpsDb>();
        QVERIFY(m_db->ok());
    }
    void cleanup() { m_db.reset(); }
    void seatsNeverHoldTheSameCustomer();
    void orderOfTheDraw();
    void countsExactAfterConcurrentEndings();
};

void TestDrawSeats::seatsNeverHoldTheSameCustomer()
{
    tst::OpsDb& db = *m_db;
    const int p = addProject(db);
    const int customers = 400;
    addCustomers(db, p, customers);
    // Four seats with nobody's customers of their own, all taking from the same group at once.
    QList<qint64> held[4];
    const QString failure = tst::runSeats(db, 4, [&](db::Connection& con, int s) {
        held[s] = endUntilEmpty(con, p, QStringLiteral("op%1").arg(s));
    });
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    const tst::Holds holds = tst::countHolds(held, 4);
    QCOMPARE(holds.total, customers);
    QCOMPARE(holds.distinct, customers); // nobody twice
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("sljg='无应答'")), qint64(customers));
}

void TestDrawSeats::orderOfTheDraw()
{
    tst::OpsDb& db = *m_db;
    const int p = addProject(db);
    const int other = addProject(db);
    addCustomers(db, p, 3, vocab::kNotHandled, QStringLiteral("op1"));
    addCustomers(db, p, 4);
    // Never drawn by op1 as "未受理": someone else's, deleted, another state, another project.
    addCustomers(db, p, 2, vocab::kNotHandled, QStringLiteral("op9"));
    addCustomers(db, p, 2, vocab::kNotHandled, QVariant(), 1);
    addCustomers(db, p, 2, QStringLiteral("无应答"));
    addCustomers(db, other, 2);
    QStringList got;
    db::Transaction t(db.con());
    while (const auto c = ops::visit::claimByState(db.con(), p, vocab::kNotHandled, QStringLiteral("op1"))) {
        // The record as it was, now locked.
        QCOMPARE(c->sljg, vocab::kNotHandled);
        QVERIFY(c->dhhm1.startsWith(QStringLiteral("1390000")));
        QCOMPARE(db.scalar(QStringLiteral("select sljg from yhda where id=%1").arg(c->id)).toString(), vocab::kInHand);
        got << db.scalar(QStringLiteral("select coalesce(zdslz,'-') from yhda where id=%1").arg(c->id)).toString();
    }
    t.commit();
    // Own ones first, then the unassigned ones, nothing else.
    QCOMPARE(got.join(QLatin1Char(',')), QStringLiteral("op1,op1,op1,-,-,-,-"));
    QVERIFY(talliesExact(db, p));
}

void TestDrawSeats::countsExactAfterConcurrentEndings()
{
    tst::OpsDb& db = *m_db;
    const int p = addProject(db);
    addCustomers(db, p, 150);
    addCustomers(db, p, 30, vocab::kNotHandled, QStringLiteral("op0"));
    addCustomers(db, p, 30, vocab::kNotHandled, QStringLiteral("op1"));
    // Three seats end calls at once; one of them gives every third customer up again instead.
    const QString failure = tst::runSeats(db, 3, [&](db::Connection& con, int s) {
        const QString uname = QStringLiteral("op%1").arg(s);
        for (int i = 0; i < 60; ++i) {
            const auto c = ops::visit::claimByState(con, p, vocab::kNotHandled, uname);
            if (!c)
                break;
            db::Transaction t(con);
            con.execute(QStringLiteral("update yhda set sljg=?,slz=?,slsj=now() where id=?"),
                        {s == 2 && i % 3 == 0 ? vocab::kNotHandled : vocab::kRefused, QStringLiteral("话务员%1").arg(s), c->id});
            t.commit();
        }
    });
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(talliesExact(db, p));
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("sljg='拒访'")), qint64(160));
    // "总计未受理量" as the window shows it, against counting the records.
    for (const QString& uname : {QStringLiteral("op0"), QStringLiteral("op2")})
        QCOMPARE(ops::visit::pendingCount(db.con(), p, uname),
                 db.count(QStringLiteral("yhda"), QStringLiteral("ywbh=%1 and del=0 and (zdslz=%2 or zdslz is null) "
                                                                 "and (sljg='未受理' or sljg='正在受理')")
                                                      .arg(p)
                                                      .arg(db::quoted(uname))));
    // "您的今日回访量" of each seat's operator, against counting the records.
    for (const QString& truename : {QStringLiteral("话务员0"), QStringLiteral("话务员2"), QStringLiteral("话务员9")})
        QCOMPARE(ops::visit::todayCount(db.con(), p, truename),
                 db.count(QStringLiteral("yhdaview"),
                          QStringLiteral("ywbh=%1 and slz=%2 and format(slsj,'yyyymmdd')=format(now(),'yyyymmdd') "
                                         "and sljg<>'未受理' and sljg<>'正在受理'")
                              .arg(p)
                              .arg(db::quoted(truename))));
    QCOMPARE(ops::visit::todayCount(db.con(), p, QStringLiteral("话务员2")), qint64(40));
}

QTEST_GUILESS_MAIN(TestDrawSeats)
#include "tst_drawseats.moc"
