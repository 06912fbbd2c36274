// The visit window: opening, drawing and locking customers, giving up, the counters, closing,
// and seats drawing from one project at once.
#include "support/testmain.h"

#include "core/dbgrid.h"
#include "core/mainwindow.h"
#include "core/pub.h"
#include "db/dm.h"
#include "db/transaction.h"
#include "db/vocab.h"
#include "ops/visit/draw.h"
#include "support/failwhere.h"
#include "support/msgscript.h"
#include "visit/register.h"
#include "visitfixture.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSet>
#include <QTimer>
#include <QToolButton>

using namespace vt;

namespace {
const QString kNothing = QStringLiteral("没有分配给您和未分配的相应号码资源!");
}

class TestVisitDraw : public QObject
{
    Q_OBJECT

    // A fresh database for every test (and every row of a data-driven one).
    std::unique_ptr<tst::TestDb> m_db;

private slots:
    void init()
    {
        m_db = std::make_unique<tst::TestDb>();
        QVERIFY(m_db->ok());
    }
    void cleanup() { m_db.reset(); }
    void initTestCase() { register_visit_windows(); }
    void openingListsActiveProjectsNewestFirst();
    void openingFailureOrWithoutProjects();
    void drawByStateOrderAndLock();
    void drawNeverTakesDeletedOrOthersCustomers();
    void drawFindsNothing();
    void givenNumberRule();
    void drawByNumber();
    void giveUp();
    void projectChangeRefusedWhileHeld();
    void countersFromDatabase();
    void tallyMatchesRecords();
    void closeAsksWhileHeld();
    void mainWindowCloseAsksChild();
    void twoWindowsNeverHoldSameCustomer();
    void twoConnectionsNeverHoldSameCustomer();
    void randomOrderStarvesNobody();
    void windowDrawsReachEveryone();
    void timerCountsSeconds();
};

void TestVisitDraw::openingListsActiveProjectsNewestFirst()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    addProject(db.con(), QStringLiteral("旧项目"), QStringLiteral("旧提示"));
    addProject(db.con(), QStringLiteral("停用项目"), QString(), 0);
    const int p3 = addProject(db.con(), QStringLiteral("新项目"), QStringLiteral("第一行\n第二行"));
    addCustomer(db.con(), p3, QStringLiteral("13800000001"));
    Win w;

    QCOMPARE(w->windowTitle(), QStringLiteral("电话访问"));
    QVERIFY(w->windowState() & Qt::WindowMaximized);
    QCOMPARE(w.combo("ComboBox1")->count(), 2);
    QCOMPARE(w.combo("ComboBox1")->itemText(0), QStringLiteral("新项目"));
    QCOMPARE(w.combo("ComboBox1")->itemText(1), QStringLiteral("旧项目"));
    QCOMPARE(w.text("ComboBox1"), QStringLiteral("新项目"));
    QCOMPARE(w.text("Memo3"), QStringLiteral("第一行\n第二行"));
    QCOMPARE(w.combo("ComboBox3")->count(), 9);
    QCOMPARE(w.combo("ComboBox3")->currentText(), QStringLiteral("未受理"));
    QCOMPARE(w.combo("ComboBox3")->itemText(8), QStringLiteral("无效数据"));
    QCOMPARE(w.text("Label41"), QStringLiteral("1"));
    QCOMPARE(w.text("Label40"), QStringLiteral("0"));
    QVERIFY(!w.holding());
    QCOMPARE(boxes.count(), 0);
    // Opening draws nobody.
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("sljg='正在受理'")), 0);
}

// A failed opening says so and closes the window; an opening without active projects leaves
// nothing to draw.
void TestVisitDraw::openingFailureOrWithoutProjects()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    addProject(db.con(), QStringLiteral("停用"), QString(), 0);
    {
        tst::failStatements([](const QString& sql) { return sql.contains(QStringLiteral("from t_ywbh where zt=1")); });
        Win w;
        tst::failNothing();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("连接数据库时出错，请检查网络(1)!")});
        QTRY_VERIFY(w.p.isNull() || !w->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(w.p.isNull());
    }
    boxes.clear();
    Win w;
    QCOMPARE(w.combo("ComboBox1")->count(), 0);
    w.click("Button1");
    QCOMPARE(boxes.count(), 0);
    QVERIFY(!w.holding());
    QCOMPARE(w.text("Label40"), QStringLiteral("0"));
    QCOMPARE(w.text("Label41"), QStringLiteral("0"));
}

void TestVisitDraw::drawByStateOrderAndLock()
{
    tst::TestDb& db = *m_db;
    db.loginOperator(QStringLiteral("op1"), QStringLiteral("话务员一"));
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    const qint64 free1 = addCustomer(db.con(), p, QStringLiteral("13800000001"));
    Cust mine;
    mine.dhhm1 = QStringLiteral("13800000002");
    mine.zdslz = QStringLiteral("op1");
    mine.yhxm = QStringLiteral("张三");
    const qint64 mineId = addCustomer(db.con(), p, mine);
    // Earlier visits of the number, in two projects.
    const int other = addProject(db.con(), QStringLiteral("别的项目"));
    db.exec(
        QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz) values(%1,'13800000002','甲','拒访','早')").arg(p));
    db.exec(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz) values(%1,'13800000002','乙','关机','晚')")
                .arg(other));
    db.exec(
        QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz) values(%1,'13900000000','丙','关机','')").arg(p));

    Win w;
    w.combo("ComboBox1")->setCurrentIndex(1); // "项目" (the other project is newer)
    QCOMPARE(w.text("ComboBox1"), QStringLiteral("项目"));
    w.click("Button1");
    QCOMPARE(boxes.count(), 0);
    // Assigned to this operator comes first.
    QCOMPARE(w.held(db), mineId);
    QCOMPARE(w.text("Edit2"), QStringLiteral("13800000002"));
    QCOMPARE(w.text("Label46"), QStringLiteral("张三"));
    QCOMPARE(w.text("Label4"), QStringLiteral("地址"));
    QCOMPARE(w.text("Label7"), QStringLiteral("区域"));
    QCOMPARE(w.text("Memo2"), QStringLiteral("详细"));
    QCOMPARE(w.text("Label17"), QStringLiteral("未受理"));
    QCOMPARE(state(db, mineId), QStringLiteral("正在受理"));
    // Only the state changes.
    QVERIFY(db.scalar(QStringLiteral("select slsj from yhda where id=%1").arg(mineId)).isNull());
    QCOMPARE(db.scalar(QStringLiteral("select zdslz from yhda where id=%1").arg(mineId)).toString(),
             QStringLiteral("op1"));
    // History of the number across projects, newest first.
    QCOMPARE(w.get<TDBGrid>("DBGrid1")->rowCount(), 2);
    QCOMPARE(w.get<TDBGrid>("DBGrid1")->text(0, QStringLiteral("slz")), QStringLiteral("乙"));
    QCOMPARE(w.get<TDBGrid>("DBGrid1")->text(0, QStringLiteral("ywname")), QStringLiteral("别的项目"));
    QCOMPARE(w.get<TDBGrid>("DBGrid1")->text(1, QStringLiteral("slz")), QStringLiteral("甲"));
    // The counters count the held customer as still open.
    QCOMPARE(w.text("Label41"), QStringLiteral("2"));

    // Then the unassigned one.
    boxes.answer(msg::Answer::Ok);
    w.click("Button7");
    db.exec(QStringLiteral("update yhda set sljg='已受理' where id=%1").arg(mineId));
    w.click("Button1");
    QCOMPARE(w.held(db), free1);
}

void TestVisitDraw::drawNeverTakesDeletedOrOthersCustomers()
{
    tst::TestDb& db = *m_db;
    db.loginOperator(QStringLiteral("op1"), QStringLiteral("话务员一"));
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    Cust deleted;
    deleted.dhhm1 = QStringLiteral("13800000001");
    deleted.del = 1;
    addCustomer(db.con(), p, deleted);
    Cust others;
    others.dhhm1 = QStringLiteral("13800000002");
    others.zdslz = QStringLiteral("op2");
    const qint64 othersId = addCustomer(db.con(), p, others);
    Cust blankAssignee; // assigned to an empty name: neither mine nor unassigned
    blankAssignee.dhhm1 = QStringLiteral("13800000003");
    addCustomer(db.con(), p, blankAssignee);
    db.exec(QStringLiteral("update yhda set zdslz='' where dhhm1='13800000003'"));

    Win w;
    for (int i = 0; i < 5; ++i) {
        w.click("Button1");
        QVERIFY(!w.holding());
    }
    QCOMPARE(boxes.count(), 5);
    QCOMPARE(boxes.lastText(), kNothing);
    QCOMPARE(w.text("Label41"), QStringLiteral("0"));
    // Another operator's customer is drawn by its number; a deleted one not even so.
    w.type("Edit1", QStringLiteral("13800000002"));
    w.click("Button1");
    QCOMPARE(w.held(db), othersId);
    boxes.answer(msg::Answer::Ok);
    w.click("Button7");
    w.type("Edit1", QStringLiteral("13800000001"));
    w.click("Button1");
    QVERIFY(!w.holding());
    QCOMPARE(boxes.lastText(), kNothing);
}

void TestVisitDraw::drawFindsNothing()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    addCustomer(db.con(), p, QStringLiteral("13800000001"));
    Win w;
    w.click("Button1");
    QVERIFY(w.holding());
    // End it, then nothing is left: every field is emptied, the grid too.
    w.type("Memo4", QStringLiteral("备注"));
    w.click("Button5");
    QVERIFY(!w.holding());
    QCOMPARE(boxes.texts(), QStringList{kNothing});
    QVERIFY(w.text("Edit2").isEmpty());
    QVERIFY(w.text("Label46").isEmpty());
    QVERIFY(w.text("Label17").isEmpty());
    QVERIFY(w.text("Memo2").isEmpty());
    QVERIFY(w.text("Memo4").isEmpty());
    QCOMPARE(w.get<TDBGrid>("DBGrid1")->rowCount(), 0);
    QCOMPARE(w.text("Label41"), QStringLiteral("0"));
    QCOMPARE(w.text("Label40"), QStringLiteral("1"));
}

void TestVisitDraw::givenNumberRule()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    Cust handled;
    handled.dhhm1 = QStringLiteral("1234");
    handled.sljg = QStringLiteral("已受理");
    const qint64 shortId = addCustomer(db.con(), p, handled);
    const qint64 freeId = addCustomer(db.con(), p, QStringLiteral("13800000001"));
    Cust cjk;
    cjk.dhhm1 = QStringLiteral("中文ab");
    cjk.sljg = QStringLiteral("已受理");
    const qint64 cjkId = addCustomer(db.con(), p, cjk);
    Win w;

    // Four digits (and four GBK bytes of Chinese) are ignored: the draw goes by state.
    for (const QString& given : {QStringLiteral("  1234 "), QStringLiteral("中文"), QString()}) {
        w.type("Edit1", given);
        w.click("Button1");
        QCOMPARE(w.held(db), freeId);
        QCOMPARE(w.text("Edit1"), given.trimmed());
        boxes.answer(msg::Answer::Ok);
        w.click("Button7");
    }
    QCOMPARE(state(db, shortId), QStringLiteral("已受理"));
    // Five bytes or more draw by number: "中文ab" is six.
    w.type("Edit1", QStringLiteral("中文ab"));
    w.click("Button1");
    QCOMPARE(w.held(db), cjkId);
    QCOMPARE(boxes.count(), 3);
}

void TestVisitDraw::drawByNumber()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    const int other = addProject(db.con(), QStringLiteral("别的项目"));
    Cust done;
    done.dhhm1 = QStringLiteral("13800000001");
    done.sljg = QStringLiteral("已受理");
    const qint64 doneId = addCustomer(db.con(), p, done);
    db.exec(QStringLiteral("update yhda set dhhm3='02088886666' where id=%1").arg(doneId));
    addCustomer(db.con(), other, QStringLiteral("13900000000"));
    Win w;
    w.combo("ComboBox1")->setCurrentIndex(1);
    QCOMPARE(w.text("ComboBox1"), QStringLiteral("项目"));

    // Any of the four numbers finds it, whatever its state; the shown state is the one read.
    w.type("Edit1", QStringLiteral(" 02088886666\t"));
    w.click("Button1");
    QCOMPARE(w.text("Edit1"), QStringLiteral("02088886666"));
    QCOMPARE(w.held(db), doneId);
    QCOMPARE(w.text("Label17"), QStringLiteral("已受理"));
    QCOMPARE(w.text("Edit2"), QStringLiteral("13800000001"));
    QCOMPARE(state(db, doneId), QStringLiteral("正在受理"));
    // Giving it up writes the shown state back; the box keeps the number, so the next draw
    // takes the same customer again.
    boxes.answer(msg::Answer::Ok);
    w.click("Button7");
    QCOMPARE(state(db, doneId), QStringLiteral("已受理"));
    QCOMPARE(w.text("Edit1"), QStringLiteral("02088886666"));
    w.click("Button1");
    QCOMPARE(w.held(db), doneId);
    boxes.answer(msg::Answer::Ok);
    w.click("Button7");

    // A number of another project finds nothing; so does a hostile one, without breaking anything.
    for (const QString& n : {QStringLiteral("13900000000"), QStringLiteral("1' or '1'='1"),
                             QStringLiteral("13800000001'); delete from yhda; --")}) {
        boxes.clear();
        w.type("Edit1", n);
        w.click("Button1");
        QVERIFY(!w.holding());
        QCOMPARE(boxes.texts(), QStringList{kNothing});
    }
    QCOMPARE(db.count(QStringLiteral("yhda")), 2);
}

void TestVisitDraw::giveUp()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"), QStringLiteral("提示"));
    const qint64 qid = addQuestion(db.con(), p, 1, QStringLiteral("问一"));
    addOption(db.con(), qid, QStringLiteral("是"), 2);
    addQuestion(db.con(), p, 2, QStringLiteral("问二"));
    Cust c;
    c.dhhm1 = QStringLiteral("13800000001");
    c.sljg = QStringLiteral("下次联系");
    const qint64 id = addCustomer(db.con(), p, c);
    Cust blank; // no state at all
    blank.dhhm1 = QStringLiteral("13800000002");
    blank.sljg = QString();
    const qint64 blankId = addCustomer(db.con(), p, blank);
    Win w;
    w.combo("ComboBox3")->setCurrentText(QStringLiteral("下次联系"));

    // Nothing held: nothing asked.
    w.click("Button7");
    QCOMPARE(boxes.count(), 0);

    w.click("Button1");
    QCOMPARE(w.held(db), id);
    w.click("Button2"); // answers question 1, now on question 2
    QCOMPARE(db.count(QStringLiteral("q_ans")), 1);
    w.type("Memo4", QStringLiteral("  它's 备注\n "));

    // Cancel keeps everything.
    boxes.answer(msg::Answer::Cancel);
    w.click("Button7");
    QCOMPARE(boxes.lastText(), QStringLiteral("您确定要放弃受理么?"));
    QCOMPARE(boxes.boxes().last().caption, QStringLiteral("操作确认"));
    QCOMPARE(boxes.boxes().last().buttons, msg::Buttons::OkCancel);
    QVERIFY(w.holding());
    QCOMPARE(state(db, id), QStringLiteral("正在受理"));

    boxes.answer(msg::Answer::Ok);
    w.click("Button7");
    QVERIFY(!w.holding());
    QCOMPARE(state(db, id), QStringLiteral("下次联系"));
    // The remark as the window passes it on, trimmed (what else a give-up keeps is the call's).
    QCOMPARE(db.scalar(QStringLiteral("select bz from yhda where id=%1").arg(id)).toString(),
             QStringLiteral("它's 备注"));
    QVERIFY(w.text("Edit2").isEmpty());
    QVERIFY(w.text("Memo4").isEmpty());
    QCOMPARE(w.text("Memo3"), QStringLiteral("提示"));
    QVERIFY(w.text("Memo1").startsWith(QStringLiteral("问题1(总共2个问题):")));
    QCOMPARE(w.get<TDBGrid>("DBGrid1")->rowCount(), 0);
    QCOMPARE(boxes.count(), 2);

    // A failed write keeps the customer held, so the operator can try again.
    w.click("Button1");
    QCOMPARE(w.held(db), id);
    // While one is held no other is drawn: the given number is not even trimmed.
    w.type("Edit1", QStringLiteral(" 13800000002 "));
    w.click("Button1");
    QCOMPARE(boxes.lastText(), QStringLiteral("请先提交当前已提用户的回访结果，或放弃受理后再提下一个号码!"));
    QCOMPARE(w.text("Edit1"), QStringLiteral(" 13800000002 "));
    QCOMPARE(w.held(db), id);
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("sljg='正在受理'")), 1);
    tst::failStatements(
        [](const QString& sql) { return sql.startsWith(QStringLiteral("update yhda set sljg=?,bz=? where id=")); });
    boxes.answer(msg::Answer::Ok);
    w.click("Button7");
    tst::failNothing();
    QCOMPARE(boxes.lastText(), QStringLiteral("连接数据库时出错，请检查网络(4)!"));
    QVERIFY(w.holding());
    QCOMPARE(state(db, id), QStringLiteral("正在受理"));
    boxes.answer(msg::Answer::Ok);
    w.click("Button7");
    QCOMPARE(state(db, id), QStringLiteral("下次联系"));

    // Drawn without a state: the state chosen for the draw goes back.
    w.combo("ComboBox3")->setCurrentText(QStringLiteral("拒访"));
    w.click("Button1"); // by the number still in the box
    QCOMPARE(w.held(db), blankId);
    QVERIFY(w.text("Label17").isEmpty());
    boxes.answer(msg::Answer::Ok);
    w.click("Button7");
    QCOMPARE(state(db, blankId), QStringLiteral("拒访"));
}

void TestVisitDraw::projectChangeRefusedWhileHeld()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const int a = addProject(db.con(), QStringLiteral("甲"), QStringLiteral("甲提示"));
    addQuestion(db.con(), a, 1, QStringLiteral("甲问题"));
    const int b = addProject(db.con(), QStringLiteral("乙"), QStringLiteral("乙提示"));
    addQuestion(db.con(), b, 7, QStringLiteral("乙问题"));
    addCustomer(db.con(), b, QStringLiteral("13800000001"));
    Win w;
    QCOMPARE(w.text("ComboBox1"), QStringLiteral("乙"));
    w.click("Button1");
    QVERIFY(w.holding());

    w.combo("ComboBox1")->setCurrentIndex(1);
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请先提交当前客户的回访结果，或放弃受理后再切换项目!")});
    QCOMPARE(w.combo("ComboBox1")->currentIndex(), 0);
    QCOMPARE(w.text("ComboBox1"), QStringLiteral("乙"));
    QCOMPARE(w.text("Memo3"), QStringLiteral("乙提示"));
    QVERIFY(w.text("Memo1").contains(QStringLiteral("乙问题")));

    // Without a customer the change loads the other project's prompt, question and counters.
    boxes.answer(msg::Answer::Ok);
    w.click("Button7");
    w.combo("ComboBox1")->setCurrentIndex(1);
    QCOMPARE(w.text("ComboBox1"), QStringLiteral("甲"));
    QCOMPARE(w.text("Memo3"), QStringLiteral("甲提示"));
    QVERIFY(w.text("Memo1").startsWith(QStringLiteral("问题1(总共1个问题):\n甲问题")));
    QCOMPARE(w.text("Label41"), QStringLiteral("0"));
}

void TestVisitDraw::countersFromDatabase()
{
    tst::TestDb& db = *m_db;
    db.loginOperator(QStringLiteral("op1"), QStringLiteral("话务员一"));
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    const int other = addProject(db.con(), QStringLiteral("别的"));
    auto add = [&](int ywbh, const QString& sljg, const QString& zdslz, int del = 0) {
        Cust c;
        c.dhhm1 = QStringLiteral("1380000%1").arg(db.count(QStringLiteral("yhda")), 4, 10, QLatin1Char('0'));
        c.sljg = sljg;
        c.zdslz = zdslz;
        c.del = del;
        return addCustomer(db.con(), ywbh, c);
    };
    add(p, QStringLiteral("未受理"), QString());
    add(p, QStringLiteral("未受理"), QStringLiteral("OP1")); // names compare without case
    add(p, QStringLiteral("正在受理"), QString());
    add(p, QStringLiteral("未受理"), QStringLiteral("op2"));
    add(p, QStringLiteral("未受理"), QString(), 1);
    add(p, QStringLiteral("拒访"), QString());
    add(other, QStringLiteral("未受理"), QString());
    // Handled today by this operator: two customers (one of them twice), one yesterday, one by
    // someone else, one deleted, one back in "未受理".
    const qint64 t1 = add(p, QStringLiteral("关机"), QString());
    const qint64 t2 = add(p, QStringLiteral("已受理"), QString());
    const qint64 y = add(p, QStringLiteral("停机"), QString());
    const qint64 o = add(p, QStringLiteral("停机"), QString());
    const qint64 d = add(p, QStringLiteral("停机"), QString(), 1);
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString yesterday = QDateTime::currentDateTime().addDays(-1).toString(QStringLiteral("yyyy-MM-dd 23:59:59"));
    for (qint64 id : {t1, t2, d})
        db.exec(QStringLiteral("update yhda set slz='话务员一',slsj='%1' where id=%2").arg(now).arg(id));
    db.exec(QStringLiteral("update yhda set slz='话务员一',slsj='%1' where id=%2").arg(yesterday).arg(y));
    db.exec(QStringLiteral("update yhda set slz='别人',slsj='%1' where id=%2").arg(now).arg(o));

    Win w;
    QCOMPARE(w.text("ComboBox1"), QStringLiteral("别的"));
    QCOMPARE(w.text("Label41"), QStringLiteral("1"));
    w.combo("ComboBox1")->setCurrentIndex(1);
    QCOMPARE(w.text("Label41"), QStringLiteral("3"));
    QCOMPARE(w.text("Label40"), QStringLiteral("2"));
    // Same figures as counting the records as the statements of the window describe them.
    QCOMPARE(ops::visit::pendingCount(ADOcon(), p, QStringLiteral("op1")),
             db.scalar(QStringLiteral("select count(*) as totnum from  yhdaview where (zdslz='op1' or zdslz is null) "
                                      "and ywbh=%1 and (sljg='未受理' or sljg='正在受理')")
                           .arg(p))
                 .toLongLong());
    QCOMPARE(ops::visit::todayCount(ADOcon(), p, QStringLiteral("话务员一")),
             db.scalar(QStringLiteral("select count(*) as totnum from  yhdaview where ywbh=%1 and sljg<>'未受理' and  "
                                      "sljg<>'正在受理'  and slz='话务员一' and format(slsj, 'yyyymmdd')= "
                                      "format(now(), 'yyyymmdd')")
                           .arg(p))
                 .toLongLong());

    // Two customers ended: both counted; ending one of them again today counts once.
    w.click("Button1");
    const QString firstNumber = w.text("Edit2");
    w.click("Button5"); // the next one is drawn at once
    QVERIFY(w.holding());
    w.click("Button6");
    QVERIFY(!w.holding());
    QCOMPARE(w.text("Label40"), QStringLiteral("4"));
    QCOMPARE(w.text("Label41"), QStringLiteral("1"));
    w.type("Edit1", firstNumber);
    w.click("Button1");
    QVERIFY(w.holding());
    w.click("Button8");
    QCOMPARE(w.text("Label40"), QStringLiteral("4"));
    // Another seat's new record shows at the next refresh (choosing the project again).
    db.exec(QStringLiteral("insert into yhda(ywbh,dhhm1) values(%1,'x')").arg(p));
    w.combo("ComboBox1")->setCurrentIndex(0);
    w.combo("ComboBox1")->setCurrentIndex(1);
    QCOMPARE(w.text("Label41"), QStringLiteral("2"));

    // A failing count keeps the old figures and says so.
    tst::failStatements([](const QString& sql) { return sql.contains(QStringLiteral("yhda_tally")); });
    boxes.clear();
    db.exec(QStringLiteral("insert into yhda(ywbh,dhhm1) values(%1,'y')").arg(p));
    w.combo("ComboBox1")->setCurrentIndex(0);
    tst::failNothing();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("连接数据库时出错，请检查网络!")});
    QCOMPARE(w.text("Label41"), QStringLiteral("2"));
    QCOMPARE(w.text("Label40"), QStringLiteral("4"));
}

void TestVisitDraw::tallyMatchesRecords()
{
    tst::TestDb& db = *m_db;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    const int p2 = addProject(db.con(), QStringLiteral("项目二"));
    for (int i = 0; i < 40; ++i) {
        Cust c;
        c.dhhm1 = QString::number(13800000000LL + i);
        c.sljg = vocab::handlingStates().at(i % 9);
        c.zdslz = i % 3 == 0 ? QStringLiteral("op1") : i % 3 == 1 ? QStringLiteral("op2") : QString();
        c.del = i % 7 == 0 ? 1 : 0;
        addCustomer(db.con(), i % 2 ? p : p2, c);
    }
    // Every way the other windows change records: state, assignment, soft delete and undo,
    // moving between projects, deleting, in transactions rolled back too.
    db.exec(QStringLiteral("update yhda set sljg='正在受理' where id%5=0"));
    db.exec(QStringLiteral("update yhda set zdslz='op1',zdslzxm='一' where id%4=1"));
    db.exec(QStringLiteral("update yhda set zdslz=null,zdslzxm=null where id%6=2"));
    db.exec(QStringLiteral("update yhda set del=1 where id%8=3"));
    db.exec(QStringLiteral("update yhda set del=0 where id%16=3"));
    db.exec(QStringLiteral("update yhda set ywbh=%1 where id%9=4").arg(p));
    db.exec(QStringLiteral("delete from yhda where id%10=7"));
    {
        db::Transaction t(ADOcon());
        db.exec(QStringLiteral("update yhda set sljg='未受理'"));
        db.exec(QStringLiteral("delete from yhda"));
    }
    for (int ywbh : {p, p2})
        for (const QString& who : {QStringLiteral("op1"), QStringLiteral("op2"), QStringLiteral("op3")})
            QCOMPARE(ops::visit::pendingCount(ADOcon(), ywbh, who),
                     db.count(QStringLiteral("yhdaview"),
                              QStringLiteral("(zdslz=%1 or zdslz is null) and ywbh=%2 and (sljg='未受理' or "
                                             "sljg='正在受理')")
                                  .arg(q(who))
                                  .arg(ywbh)));
    QCOMPARE(db.scalar(QStringLiteral("select sum(n) from yhda_tally")).toLongLong(),
             db.count(QStringLiteral("yhdaview")));
}

// Closing asks while a customer is held; closed anyway, the customer stays locked until drawn
// again by its lock state.
void TestVisitDraw::closeAsksWhileHeld()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    const qint64 id = addCustomer(db.con(), p, QStringLiteral("13800000001"));
    Win w;
    // Nothing held: closes without asking.
    QVERIFY(w->FormCloseQuery());
    QCOMPARE(boxes.count(), 0);
    w.click("Button1");
    boxes.answer(msg::Answer::No);
    QVERIFY(!w->close());
    QVERIFY(w.p);
    QCOMPARE(boxes.lastText(),
             QStringLiteral("您提取的号尚未回访完毕，如果您不想继续回访，建议您先点击[放弃受理]按钮再退"
                            "出，您仍然坚持现在马上退出么？"));
    QCOMPARE(boxes.boxes().last().caption, QStringLiteral("退出确认!"));
    QCOMPARE(boxes.boxes().last().buttons, msg::Buttons::YesNo);
    boxes.answer(msg::Answer::Yes);
    QVERIFY(w->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(w.p.isNull());
    QCOMPARE(state(db, id), QStringLiteral("正在受理"));
    QCOMPARE(db.count(QStringLiteral("visitlog")), 0);

    // The customer left locked is drawn again by choosing the lock state.
    Win w2;
    w2.click("Button1");
    QVERIFY(!w2.holding());
    w2.combo("ComboBox3")->setCurrentText(QStringLiteral("正在受理"));
    w2.click("Button1");
    QCOMPARE(w2.held(db), id);
    QCOMPARE(w2.text("Label17"), QStringLiteral("正在受理"));
}

void TestVisitDraw::mainWindowCloseAsksChild()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    addCustomer(db.con(), p, QStringLiteral("13800000001"));
    TfrmMain::setAutoLogin(false);
    TfrmMain main;
    main.show();
    // The menu item and the toolbar button both open a new visit window, maximised.
    main.ToolButton1->click();
    QCOMPARE(main.mdiArea()->subWindowList().size(), 1);
    QVERIFY(main.mdiArea()->subWindowList().constFirst()->isMaximized());
    main.menuItem(QStringLiteral("电话访问"))->trigger();
    const QList<QMdiSubWindow*> subs = main.mdiArea()->subWindowList();
    QCOMPARE(subs.size(), 2);
    QVERIFY(subs.last()->isMaximized());
    auto* w = qobject_cast<Tfrmuserhf*>(subs.first()->widget());
    QVERIFY(w);
    w->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    QVERIFY(!w->findChild<QLineEdit*>(QStringLiteral("Edit2"))->text().isEmpty());

    // No keeps the main window open as well; its own question is not even asked.
    boxes.answer(msg::Answer::No);
    QVERIFY(!main.close());
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.lastText().left(12), QStringLiteral("您提取的号尚未回访完毕，"));
    QVERIFY(main.isVisible());
    // Yes lets the main window ask its own question.
    boxes.answer(msg::Answer::Yes).answer(msg::Answer::Cancel);
    QVERIFY(!main.close());
    QCOMPARE(boxes.count(), 3);
    QCOMPARE(boxes.lastText(), QStringLiteral("您确定要退出Tellvane单机版系统么?"));
    for (QMdiSubWindow* s : main.mdiArea()->subWindowList())
        if (auto* f = qobject_cast<TChildForm*>(s->widget()))
            f->approveClose();
    main.mdiArea()->closeAllSubWindows();
}

void TestVisitDraw::twoWindowsNeverHoldSameCustomer()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    for (int i = 0; i < 6; ++i)
        addCustomer(db.con(), p, QString::number(13800000000LL + i));
    Win a;
    Win b;
    QSet<qint64> seen;
    // Both draw and end alternately until nothing is left: no customer is ever held twice.
    a.click("Button1");
    b.click("Button1");
    for (int round = 0; round < 10 && (a.holding() || b.holding()); ++round) {
        for (Win* w : {&a, &b}) {
            if (!w->holding())
                continue;
            QVERIFY(a.held(db) != b.held(db));
            QVERIFY(!seen.contains(w->held(db)));
            seen.insert(w->held(db));
            w->click("Button3");
        }
    }
    QCOMPARE(seen.size(), 6);
    QCOMPARE(db.count(QStringLiteral("visitlog")), 6);
}

void TestVisitDraw::twoConnectionsNeverHoldSameCustomer()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    const qint64 c1 = addCustomer(db.con(), p, QStringLiteral("13800000001"));
    const qint64 c2 = addCustomer(db.con(), p, QStringLiteral("13800000002"));
    if (ADOcon().engine() == db::Engine::PostgreSQL)
        QSKIP("on the server the look and the lock are one statement: nothing can come between them "
              "(tests/ops/visit/tst_drawseats draws on several connections at once)");
    // Another program on the same file.
    db::Connection other(QStringLiteral("otherSeat"));
    db.openSecond(other);

    // The other seat takes the very customer this window is about to lock, between its look
    // and its lock.
    Win w;
    qint64 stolen = -1;
    ADOcon().setStatementHook([&](const QString& sql) {
        if (stolen < 0 && sql.startsWith(QStringLiteral("update yhda set sljg=?,drawkey=null where id="))) {
            stolen = sql.mid(QStringLiteral("update yhda set sljg=?,drawkey=null where id=").size())
                         .section(u' ', 0, 0)
                         .toLongLong();
            QCOMPARE(other.execute(
                         QStringLiteral("update yhda set sljg='正在受理' where id=%1 and sljg='未受理'").arg(stolen)),
                     1);
        }
    });
    w.click("Button1");
    tst::failNothing();
    QVERIFY(stolen == c1 || stolen == c2);
    QVERIFY(w.holding());
    QVERIFY(w.held(db) != stolen);
    QCOMPARE(w.text("Label17"), QStringLiteral("未受理"));

    // The other seat's own draw now finds nothing left.
    QVERIFY(!ops::visit::claimByState(other, p, QStringLiteral("未受理"), QStringLiteral("op2")));
    // When the window's customer is given up, the other seat gets exactly that one.
    boxes.answer(msg::Answer::Ok);
    w.click("Button7");
    const auto got = ops::visit::claimByState(other, p, QStringLiteral("未受理"), QStringLiteral("op2"));
    QVERIFY(got);
    QVERIFY(got->id != stolen);
    w.click("Button1");
    QVERIFY(!w.holding());
    other.close();
}

void TestVisitDraw::randomOrderStarvesNobody()
{
    tst::TestDb& db = *m_db;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    QSet<qint64> all;
    for (int i = 0; i < 12; ++i)
        all.insert(addCustomer(db.con(), p, QString::number(13800000000LL + i)));
    // Gaps in the ids (handled customers in between) must not starve anybody either.
    for (int i = 0; i < 30; ++i) {
        Cust c;
        c.dhhm1 = QString::number(13900000000LL + i);
        c.sljg = QStringLiteral("已受理");
        addCustomer(db.con(), p, c);
    }
    all.insert(addCustomer(db.con(), p, QStringLiteral("13700000000")));
    Cust mine;
    mine.dhhm1 = QStringLiteral("13600000000");
    mine.zdslz = QStringLiteral("op1");
    const qint64 mineId = addCustomer(db.con(), p, mine);

    QHash<qint64, int> drawn;
    for (int i = 0; i < 600; ++i) {
        const auto c = ops::visit::claimByState(ADOcon(), p, QStringLiteral("未受理"), QStringLiteral("op2"));
        QVERIFY(c);
        QVERIFY(c->id != mineId);
        ++drawn[c->id];
        db.exec(QStringLiteral("update yhda set sljg='未受理' where id=%1").arg(c->id));
    }
    for (qint64 id : all)
        QVERIFY2(drawn.value(id) > 0, qPrintable(QStringLiteral("customer %1 never drawn").arg(id)));
    // This operator's own customer always comes first.
    for (int i = 0; i < 5; ++i) {
        const auto c = ops::visit::claimByState(ADOcon(), p, QStringLiteral("未受理"), QStringLiteral("op1"));
        QCOMPARE(c->id, mineId);
        db.exec(QStringLiteral("update yhda set sljg='未受理' where id=%1").arg(mineId));
    }
}

void TestVisitDraw::windowDrawsReachEveryone()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const int other = addProject(db.con(), QStringLiteral("别的项目"));
    const int p = addProject(db.con(), QStringLiteral("项目")); // the newest: the window's first
    QSet<qint64> all;
    {
        db::Transaction t(ADOcon());
        for (int i = 0; i < 5; ++i) {
            for (int k = 0; k < i * i * 40; ++k)
                addCustomer(db.con(), other, QStringLiteral("139"));
            all.insert(addCustomer(db.con(), p, QString::number(13800000000LL + i)));
        }
        t.commit();
    }
    // Drawn and given up again and again: every one of them comes up (a miss has a chance
    // below 1e-10).
    Win w;
    QSet<qint64> seen;
    for (int round = 0; round < 120; ++round) {
        w.click("Button1");
        QVERIFY(w.holding());
        seen.insert(w.held(db));
        boxes.answer(msg::Answer::Ok);
        w.click("Button7");
        QVERIFY(!w.holding());
    }
    QCOMPARE(seen, all);
    QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("sljg='未受理' and drawkey is not null")), 5 + 1200);
}

void TestVisitDraw::timerCountsSeconds()
{
    tst::TestDb& db = *m_db;
    db.loginOperator();
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("项目"));
    addQuestion(db.con(), p, 1, QStringLiteral("问题"));
    const qint64 id = addCustomer(db.con(), p, QStringLiteral("13800000001"));
    Win w;
    auto* timer = w.get<QTimer>("Timer1");
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(timer->isActive());
    // The seconds before the draw do not count; an ending stores those since the draw.
    w.tick(5);
    w.click("Button1");
    w.tick(3);
    w.click("Button5");
    QCOMPARE(db.scalar(QStringLiteral("select tottime from q_ans where yhid=%1").arg(id)).toInt(), 3);
}

TV_TEST_MAIN(TestVisitDraw)
#include "tst_visitdraw.moc"
