// Drawing customers: every eligible customer equally likely, whatever the ids and whenever it
// joined its group. The bounds are far out: a fair draw fails them with a chance below 1e-9.
#include "db/sqlvalue.h"
#include "db/vocab.h"
#include "db/transaction.h"
#include "ops/visit/draw.h"
#include "support/opsdb.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QTest>

namespace {

int addProject(tst::OpsDb& db)
{
    return int(tst::addProject(db.con(), QStringLiteral("项目")));
}

qint64 addCustomer(tst::OpsDb& db, int ywbh, const QString& sljg = vocab::kNotHandled, const QString& zdslz = QString(), int del = 0)
{
    return tst::addCustomer(db.con(), ywbh, {QStringLiteral("1380000"), sljg, zdslz, QStringLiteral("客户"), del});
}

// A customer written with the key a writer gives it (as the import does).
qint64 addKeyed(tst::OpsDb& db, int ywbh, double drawkey)
{
    db.con().execute(QStringLiteral("insert into yhda(ywbh,dhhm1,sljg,drawkey) values(?,'1380000',?,?)"),
                     {ywbh, vocab::kNotHandled, drawkey});
    return db.scalar(QStringLiteral("select max(id) from yhda")).toLongLong();
}

// Draws as uname and puts the customer back in the state it came from, as giving up does.
qint64 drawAndPutBack(tst::OpsDb& db, int ywbh, const QString& uname = QStringLiteral("op1"))
{
    const auto c = ops::visit::claimByState(db.con(), ywbh, vocab::kNotHandled, uname);
    if (!c)
        return -1;
    db.con().execute(QStringLiteral("update yhda set sljg=? where id=?"), {vocab::kNotHandled, c->id});
    return c->id;
}

QVariant key(tst::OpsDb& db, qint64 id)
{
    return db.scalar(QStringLiteral("select drawkey from yhda where id=%1").arg(id));
}

} // namespace

class TestDraw : public QObject
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
    void uniformOverIdsWithGaps();
    void uniformWithCustomersLetBackAfterWaiting();
    void lateEntrantsNeitherFavouredNorStarved_data();
    void lateEntrantsNeitherFavouredNorStarved();
    void lockStateDrawsGoRound();
    void keyRenewedOnEveryEntryIntoAGroup();
};

void TestDraw::uniformOverIdsWithGaps()
{
    tst::OpsDb& db = *m_db;
    const int p = addProject(db);
    const int other = addProject(db);
    // 40 customers: the first 20 close together, each of the others behind a block of another
    // project's customers, handled and deleted ones of its own, and another operator's.
    QList<qint64> ids;
    {
        db::Transaction t(db.con());
        for (int i = 0; i < 40; ++i) {
            for (int k = 0; k < (i < 20 ? i % 3 : 200); ++k)
                addCustomer(db, k % 4 == 0 ? p : other, k % 4 == 0 ? vocab::kHandled : vocab::kNotHandled);
            if (i >= 20) {
                addCustomer(db, p, vocab::kNotHandled, QString(), 1);
                addCustomer(db, p, vocab::kNotHandled, QStringLiteral("op9"));
            }
            ids << addCustomer(db, p);
        }
        t.commit();
    }
    QHash<qint64, int> drawn;
    db::Transaction t(db.con());
    for (int i = 0; i < 4000; ++i)
        ++drawn[drawAndPutBack(db, p)];
    t.commit();
    double chi2 = 0;
    for (qint64 id : ids) {
        QVERIFY2(drawn.value(id) > 0, qPrintable(QStringLiteral("customer %1 never drawn").arg(id)));
        chi2 += (drawn.value(id) - 100.0) * (drawn.value(id) - 100.0) / 100.0;
    }
    QCOMPARE(drawn.size(), 40); // nobody else
    // 39 degrees of freedom: above 125 by chance less than once in 1e10 runs.
    QVERIFY2(chi2 < 125, qPrintable(QStringLiteral("chi-square %1").arg(chi2)));
    // The kept counts stayed exact through it all.
    QCOMPARE(db.scalar(QStringLiteral("select sum(n) from yhda_tally")).toLongLong(),
             db.count(QStringLiteral("yhda"), QStringLiteral("del=0")));
}

// Customers whose retry delay has ended come back into the draw beside those that never waited,
// neither favoured nor starved; those still waiting, or whose call-back is still to come, never.
void TestDraw::uniformWithCustomersLetBackAfterWaiting()
{
    tst::OpsDb& db = *m_db;
    const int p = addProject(db);
    const QDateTime now = QDateTime::currentDateTime();
    const QString past = now.addSecs(-60).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString future = now.addSecs(3600).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QList<qint64> ids;
    {
        db::Transaction t(db.con());
        for (int i = 0; i < 55; ++i) {
            const qint64 id = addCustomer(db, p, vocab::kNoAnswer);
            if (i >= 20)
                db.con().execute(QStringLiteral("update yhda set kcsj=? where id=?"), {i < 40 ? past : future, id});
            if (i >= 50)
                db.con().execute(QStringLiteral("insert into hfyy(yhid,ywbh,kssj,jssj,gksj,zy) values(?,?,?,?,?,0)"),
                                 {id, p, future, future, future});
            if (i < 40)
                ids << id;
        }
        t.commit();
    }
    QHash<qint64, int> drawn;
    db::Transaction t(db.con());
    for (int i = 0; i < 4000; ++i) {
        const auto c = ops::visit::drawByState(db.con(), p, vocab::kNoAnswer, QStringLiteral("op1"), now).customer;
        QVERIFY(c);
        ++drawn[c->id];
        db.con().execute(QStringLiteral("update yhda set sljg=? where id=?"), {vocab::kNoAnswer, c->id});
    }
    t.commit();
    double chi2 = 0;
    for (qint64 id : ids)
        chi2 += (drawn.value(id) - 100.0) * (drawn.value(id) - 100.0) / 100.0;
    QCOMPARE(drawn.size(), 40);
    QVERIFY2(chi2 < 125, qPrintable(QStringLiteral("chi-square %1").arg(chi2)));
}

// How the newcomers get their keys: from the database, or from their writer (ops::visit::EntryKeys)
// with the group's last drawn key read after the draws, or before them (then the database
// renews the keys that lie below it).
enum class Keys { Database, Writer, WriterEarly };

void TestDraw::lateEntrantsNeitherFavouredNorStarved_data()
{
    QTest::addColumn<Keys>("keys");
    QTest::newRow("database") << Keys::Database;
    QTest::newRow("writer") << Keys::Writer;
    QTest::newRow("writer, read before the draws") << Keys::WriterEarly;
}

void TestDraw::lateEntrantsNeitherFavouredNorStarved()
{
    QFETCH(Keys, keys);
    tst::OpsDb& db = *m_db;
    // Each trial: five customers drawn 20 times over, then five more join; the next draw takes
    // a newcomer half the time.
    const int trials = 200;
    int newcomerFirst = 0;
    int keptAsGiven = 0;
    db::Transaction t(db.con());
    for (int trial = 0; trial < trials; ++trial) {
        const int p = addProject(db);
        for (int i = 0; i < 5; ++i)
            addCustomer(db, p);
        ops::visit::EntryKeys given;
        if (keys == Keys::WriterEarly)
            given.readBase(db.con(), p, vocab::kNotHandled);
        for (int i = 0; i < 20; ++i)
            QVERIFY(drawAndPutBack(db, p) > 0);
        if (keys == Keys::Writer)
            given.readBase(db.con(), p, vocab::kNotHandled);
        qint64 firstNew = -1;
        for (int i = 0; i < 5; ++i) {
            if (keys == Keys::Database) {
                const qint64 id = addCustomer(db, p);
                firstNew = firstNew < 0 ? id : firstNew;
                continue;
            }
            const double k = given.next();
            const qint64 id = addKeyed(db, p, k);
            firstNew = firstNew < 0 ? id : firstNew;
            keptAsGiven += key(db, id).toDouble() == k ? 1 : 0;
        }
        newcomerFirst += drawAndPutBack(db, p) >= firstNew ? 1 : 0;
    }
    t.commit();
    // Binomial(200, 1/2): outside 57..143 less than once in 1e9 runs.
    QVERIFY2(newcomerFirst >= 57 && newcomerFirst <= 143, qPrintable(QString::number(newcomerFirst)));
    // Keys given on the group's current base are kept: the database writes those records once.
    if (keys == Keys::Writer)
        QCOMPARE(keptAsGiven, 5 * trials);
    else if (keys == Keys::WriterEarly)
        QVERIFY2(keptAsGiven < 5 * trials, qPrintable(QString::number(keptAsGiven)));
}

void TestDraw::lockStateDrawsGoRound()
{
    tst::OpsDb& db = *m_db;
    const int p = addProject(db);
    const QString zzsl = QStringLiteral("正在受理");
    for (int i = 0; i < 5; ++i)
        addCustomer(db, p, zzsl);
    // Drawing the lock state leaves the state as it is; the draw still goes round all of them.
    db::Transaction t(db.con());
    QSet<qint64> seen;
    for (int i = 0; i < 200; ++i) {
        const auto c = ops::visit::claimByState(db.con(), p, zzsl, QStringLiteral("op1"));
        QVERIFY(c);
        QCOMPARE(c->sljg, zzsl);
        seen.insert(c->id);
    }
    QCOMPARE(seen.size(), 5);
}

void TestDraw::keyRenewedOnEveryEntryIntoAGroup()
{
    tst::OpsDb& db = *m_db;
    const int p = addProject(db);
    const int p2 = addProject(db);
    const qint64 a = addCustomer(db, p);
    const qint64 b = addCustomer(db, p);
    QVERIFY(key(db, a).toDouble() > 0);
    // A draw records the key it took as the group's last one; the drawn customer gets its key
    // in its new group, and whoever joins a group afterwards gets one above that group's last.
    const auto c = ops::visit::claimByState(db.con(), p, vocab::kNotHandled, QStringLiteral("op1"));
    QVERIFY(c);
    const qint64 left = c->id == a ? b : a;
    const double last = db.scalar(QStringLiteral("select max(lastkey) from yhda_drawn where ywbh=%1 and sljg='未受理' and "
                                                 "zk=''")
                                      .arg(p))
                            .toDouble();
    QVERIFY(last > 0 && last < key(db, left).toDouble());
    QVERIFY(!key(db, c->id).isNull());

    const QStringList entries = {
        QStringLiteral("update yhda set sljg='无应答' where id=%1"),
        QStringLiteral("update yhda set sljg='未受理' where id=%1"),
        QStringLiteral("update yhda set zdslz='op1',zdslzxm='一' where id=%1"),
        QStringLiteral("update yhda set zdslz=null,zdslzxm=null where id=%1"),
        QStringLiteral("update yhda set del=1 where id=%1"),
        QStringLiteral("update yhda set del=0 where id=%1"),
        QStringLiteral("update yhda set ywbh=%1 where id=%2").arg(p2).arg(QStringLiteral("%1")),
        QStringLiteral("update yhda set ywbh=%1 where id=%2").arg(p).arg(QStringLiteral("%1")),
    };
    for (const QString& sql : entries) {
        const QVariant before = key(db, left);
        db.exec(sql.arg(left));
        QVERIFY2(key(db, left) != before, qPrintable(sql));
    }
    QVERIFY(key(db, left).toDouble() > last);
    // Other changes leave the key alone.
    const QVariant before = key(db, left);
    db.exec(QStringLiteral("update yhda set bz='备注',jg='成功',slz='某人',sljg='未受理' where id=%1").arg(left));
    QCOMPARE(key(db, left), before);
}

QTEST_GUILESS_MAIN(TestDraw)
#include "tst_draw.moc"
