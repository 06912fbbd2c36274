// The visit window beside other seats: another program writes on the same file while a long
// list of this program has shown only its first rows; every ending must still go through.
#include "support/testmain.h"

#include "core/dbgrid.h"
#include "db/dm.h"
#include "support/msgscript.h"
#include "visitfixture.h"

using namespace vt;

class TestVisitSeats : public QObject
{
    Q_OBJECT
private slots:
    void endingsWhileAnotherSeatWrites();
};

void TestVisitSeats::endingsWhileAnotherSeatWrites()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator();
    tst::MsgScript boxes;
    // An older project with a long question list, open in a grid somewhere in the program.
    const int big = addProject(db, QStringLiteral("大问卷"));
    db.exec(QStringLiteral("with recursive c(i) as (select 1 union all select i+1 from c where i<300) "
                           "insert into q_table(ywbh,qbh,qnr) select %1, i, '问题'||i from c")
                .arg(big));
    const int p = addProject(db, QStringLiteral("回访"));
    const qint64 q1 = addQuestion(db, p, 1, QStringLiteral("问题"));
    addOption(db, q1, QStringLiteral("好"), QStringLiteral("0"));
    constexpr int kEndings = 6;
    for (int i = 0; i < kEndings + 1; ++i)
        addCustomer(db, p, QStringLiteral("1380000%1").arg(i, 4, 10, QChar(u'0')));
    const qint64 theirs = addCustomer(db, big, QStringLiteral("13900000000"));

    TDBGrid list;
    list.open(QStringLiteral("select * from q_table where ywbh=%1 order by qbh").arg(big));
    QVERIFY(list.queryModel()->canFetchMore());

    db::Connection seat2(QStringLiteral("seat2"));
    seat2.open(db.file());
    Win w;
    w->Button1->click();
    for (int i = 0; i < kEndings; ++i) {
        const qint64 held = w->heldCustomerId();
        QVERIFY(held > 0);
        seat2.execute(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz) values(%1,'13900000000','别人',"
                                     "'无应答','')")
                          .arg(big));
        seat2.execute(QStringLiteral("update yhda set sljg='无应答' where id=%1").arg(theirs));
        w->Button5->click();
        QCOMPARE(boxes.texts(), QStringList());
        QCOMPARE(state(db, held), QStringLiteral("无应答"));
        QVERIFY(w->heldCustomerId() != held);
    }
    QCOMPARE(db.count(QStringLiteral("visitlog"), QStringLiteral("slz<>'别人'")), kEndings);
    QVERIFY(w->customerHeld());
    QVERIFY(list.queryModel()->canFetchMore());
}

TV_TEST_MAIN(TestVisitSeats)
#include "tst_visitseats.moc"
