// The visit window beside other seats: another program writes on the same file while a long
// list of this program has shown only its first rows; every ending must still go through.
#include "support/testmain.h"

#include "core/dbgrid.h"
#include "db/connection.h"
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
    const int big = addProject(db.con(), QStringLiteral("大问卷"));
    db.exec(QStringLiteral("with recursive c(i) as (select 1 union all select i+1 from c where i<300) "
                           "insert into q_table(ywbh,qbh,qnr) select %1, i, '问题'||i from c")
                .arg(big));
    const int p = addProject(db.con(), QStringLiteral("回访"));
    addOption(db.con(), addQuestion(db.con(), p, 1, QStringLiteral("问题")), QStringLiteral("好"), 0);
    for (int i = 0; i < 5; ++i)
        addCustomer(db.con(), p, QStringLiteral("1380000000%1").arg(i));
    const qint64 theirs = addCustomer(db.con(), big, QStringLiteral("13900000000"));
    TDBGrid questions; // the long question list, open somewhere in the program
    questions.open(QStringLiteral("select * from q_table where ywbh=%1 order by qbh").arg(big));
    // (the file keeps a read snapshot for a list read only partly; the server reads it whole)
    QVERIFY(questions.queryModel()->canFetchMore() || db.onServer());

    db::Connection seat2(QStringLiteral("seat2"));
    db.openSecond(seat2);
    Win w;
    w.click("Button1");
    for (int i = 0; i < 4; ++i) {
        const qint64 held = w.held(db);
        QVERIFY(held > 0);
        seat2.execute(QStringLiteral("update yhda set sljg='无应答', bz='%2' where id=%1").arg(theirs).arg(i));
        w.click("Button5");
        QCOMPARE(boxes.texts(), QStringList());
        QCOMPARE(state(db, held), QStringLiteral("无应答"));
        QVERIFY(w.held(db) != held);
    }
    QCOMPARE(db.count(QStringLiteral("visitlog")), 4);
}

TV_TEST_MAIN(TestVisitSeats)
#include "tst_visitseats.moc"
