// From the main window's menus: an administrator finds customers and assigns a list to an
// operator, the operator's visit window draws those customers first, the administrator corrects
// a marketing result and finds it in the result query and the log; the operator's query windows
// have the administrator's buttons disabled.
#include "support/testmain.h"

#include "design/testkit.h"
#include "support/msgscript.h"

#include "app/registerall.h"
#include "core/dbgrid.h"
#include "core/mainwindow.h"
#include "customers/dataman.h"
#include "customers/selhwy.h"
#include "reports/hfhistory.h"
#include "reports/ydcx.h"
#include "reports/ywcx.h"
#include "visit/visitfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

using dt::ctl;

class TestWalkthrough : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerAllWindows(); }
    void init() { TfrmMain::setAutoLogin(false); }
    void assignDrawCorrect();
};

void TestWalkthrough::assignDrawCorrect()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    const qint64 p = tst::addProject(ADOcon(), QStringLiteral("回访"), QStringLiteral("您好"));
    const qint64 q = tst::addQuestion(ADOcon(), p, 1, QStringLiteral("满意吗?"));
    tst::addOption(ADOcon(), q, QStringLiteral("满意"), 0);
    // imported on two days; the 5th one is the earliest record, so an unassigned draw could take it
    db.exec(
        QStringLiteral("insert into yhda(ywbh,pc,xh,yhxm,dhhm1,dhhm2,drsj) values"
                       "(1,1,1,'早','100','','2013-06-04 09:00:00'),"
                       "(1,1,2,'甲','101','','2013-06-05 09:00:00'),(1,1,3,'乙','102','','2013-06-05 23:59:59'),"
                       "(1,1,4,'丙','103','139','2013-06-05 10:00:00'),(1,1,5,'丁','104','','2013-06-06 00:00:00')"));
    db.exec(QStringLiteral("update yhda set sljg='关机' where yhxm='乙'"));
    tst::addOperator(db.con(), QStringLiteral("op1"), QStringLiteral("话务员一"), QStringLiteral("p"));
    db.loginAdmin();
    tst::MsgScript boxes;
    TfrmMain main;
    main.show();
    main.applyGating();

    // The administrator finds customers by number (any of the four), then by import day and state.
    main.menuItem(QStringLiteral("客户数据管理"))->trigger();
    QPointer<Tfrmdataman> w = frmdataman;
    QVERIFY(w);
    ctl<QLineEdit>(w, "Edit2")->setText(QStringLiteral("139"));
    ctl<QPushButton>(w, "Button1")->click();
    QCOMPARE(ctl<QLabel>(w, "Label1")->text(), QStringLiteral("记录数：1/1"));
    QCOMPARE(ctl<TDBGrid>(w, "DBGrid1")->text(0, QStringLiteral("yhxm")), QStringLiteral("丙"));
    ctl<QLineEdit>(w, "Edit2")->clear();
    ctl<QCheckBox>(w, "CheckBox1")->setChecked(true);
    ctl<QDateEdit>(w, "DateTimePicker1")->setDate(QDate(2013, 6, 5));
    ctl<QDateEdit>(w, "DateTimePicker2")->setDate(QDate(2013, 6, 5));
    ctl<QComboBox>(w, "ComboBox3")->setCurrentText(QStringLiteral("未受理"));
    ctl<QPushButton>(w, "Button1")->click();
    QCOMPARE(ctl<QLabel>(w, "Label1")->text(), QStringLiteral("记录数：1/2")); // 甲 and 丙

    // ... and assigns that list to the operator.
    ctl<QPushButton>(w, "Button3")->click();
    QVERIFY(frmselhwy);
    ctl<QComboBox>(frmselhwy.data(), "ComboBox1")->setCurrentText(QStringLiteral("话务员一"));
    ctl<QPushButton>(frmselhwy.data(), "Button1")->click();
    QCOMPARE(boxes.lastText(), QStringLiteral("指定话务员成功!"));
    QCOMPARE(ctl<TDBGrid>(w, "DBGrid1")->text(0, QStringLiteral("zdslzxm")), QStringLiteral("话务员一"));

    // The operator's visit window draws the assigned customers first.
    db.loginOperator(QStringLiteral("op1"), QStringLiteral("话务员一"));
    main.menuItem(QStringLiteral("电话访问"))->trigger();
    const vt::View visit{frmuserhf};
    QVERIFY(visit.p);
    visit.click("Button1");
    const QString first = visit.text("Label46");
    const qint64 completed = visit.held(db);
    visit.click("Button2"); // 满意: the questionnaire is complete, the next customer is drawn
    const QString second = visit.text("Label46");
    visit.click("Button5"); // 无应答, and the next one
    const QString third = visit.text("Label46");
    QCOMPARE(QSet<QString>({first, second}), QSet<QString>({QStringLiteral("甲"), QStringLiteral("丙")}));
    QVERIFY(third == QStringLiteral("早") || third == QStringLiteral("丁"));
    boxes.answer(msg::Answer::Ok);
    visit.click("Button7"); // gives the third one back

    // The administrator corrects the completed visit's result and finds it in the query and the log.
    db.loginAdmin();
    main.menuItem(QStringLiteral("电访结果查询"))->trigger();
    QPointer<Tfrmywcx> ywcx = frmywcx;
    ctl<QLineEdit>(ywcx, "Edit3")->setText(QStringLiteral("已受理"));
    ctl<QPushButton>(ywcx, "BitBtn1")->click();
    auto* g = ctl<TDBGrid>(ywcx, "DBGrid1");
    QCOMPARE(g->rowCount(), 1);
    QCOMPARE(g->value(0, QStringLiteral("id")).toLongLong(), completed);
    g->setCurrentRowIndex(0);
    boxes.answer(msg::Answer::Ok);
    ctl<QPushButton>(ywcx, "Button2")->click();
    QCOMPARE(g->text(0, QStringLiteral("jg")), QStringLiteral("成功"));
    QCOMPARE(dt::logTexts(db).first(),
             QStringLiteral("修改项目“回访”中电话号码为") +
                 db.scalar(QStringLiteral("select dhhm1 from yhda where id=%1").arg(completed)).toString() +
                 QStringLiteral("的用户营销结果为成功"));
    QCOMPARE(dt::logTexts(db).last(), QStringLiteral("为2条用户数据指定受理人话务员一"));

    // An operator's query windows: querying works, the administrator's buttons are off.
    db.loginOperator(QStringLiteral("op1"), QStringLiteral("话务员一"));
    main.applyGating();
    QVERIFY(!main.menuItem(QStringLiteral("客户数据管理"))->isEnabled());
    main.menuItem(QStringLiteral("电访结果查询"))->trigger();
    main.menuItem(QStringLiteral("项目问答记录查询"))->trigger();
    main.menuItem(QStringLiteral("电访历史记录查询"))->trigger();
    for (const char* b : {"Button1", "Button2", "Button3"})
        QVERIFY(!ctl<QPushButton>(frmywcx.data(), b)->isEnabled());
    QVERIFY(!ctl<QPushButton>(frmydcx.data(), "Button1")->isEnabled());
    QVERIFY(!ctl<QPushButton>(frmhfhistory.data(), "Button1")->isEnabled());
    ctl<QPushButton>(frmhfhistory.data(), "BitBtn1")->click();
    QCOMPARE(ctl<TDBGrid>(frmhfhistory.data(), "DBGrid1")->rowCount(), 2);
}

TV_TEST_MAIN(TestWalkthrough)
#include "tst_walkthrough.moc"
