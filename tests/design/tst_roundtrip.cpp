#include "support/testmain.h"

#include "design/testkit.h"
#include "support/msgscript.h"

#include "app/registerall.h"
#include "core/dbgrid.h"
#include "core/mainwindow.h"
#include "design/addoptsel.h"
#include "design/addsel.h"
#include "design/addxm.h"
#include "design/mansel.h"
#include "design/opt.h"
#include "design/optsel.h"
#include "visit/visitfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>

using dt::ctl;

namespace {

template <class W> W* openFromMenu(TfrmMain& main, const char* caption)
{
    main.menuItem(QString::fromUtf8(caption))->trigger();
    const QList<QMdiSubWindow*> subs = main.mdiArea()->subWindowList();
    return subs.isEmpty() ? nullptr : qobject_cast<W*>(subs.last()->widget());
}

// Adds options to the question in the current row of the question list, through its manager.
bool addOptions(Tfrmoptsel* list, int row, const QList<QPair<QString, QString>>& options)
{
    ctl<TDBGrid>(list, "DBGrid1")->setCurrentRowIndex(row);
    return dt::withDialog<TfrmMansel>([&] { ctl<QPushButton>(list, "Button4")->click(); },
                                      [&](TfrmMansel* m) {
                                          dt::withDialog<Tfrmaddsel>([&] { ctl<QPushButton>(m, "Button1")->click(); },
                                                                     [&](Tfrmaddsel* d) {
                                                                         for (const auto& [sel, jump] : options) {
                                                                             ctl<QLineEdit>(d, "Edit1")->setText(sel);
                                                                             ctl<QLineEdit>(d, "Edit2")->setText(jump);
                                                                             ctl<QPushButton>(d, "Button1")->click();
                                                                         }
                                                                         ctl<QPushButton>(d, "Button2")->click();
                                                                     });
                                          ctl<QPushButton>(m, "Button4")->click();
                                      });
}

void answer(const vt::View& w, const QString& option)
{
    w.choose(option);
    w.click("Button2");
}

} // namespace

class TestRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { registerAllWindows(); }
    void designedQuestionnaireRunsInTheVisitWindow();
};

void TestRoundTrip::designedQuestionnaireRunsInTheVisitWindow()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    tst::MsgScript boxes;
    TfrmMain::setAutoLogin(false);
    TfrmMain main;
    main.show();

    // The project, from the menu's project window.
    auto* projects = openFromMenu<Tfrmopt>(main, "项目管理");
    QVERIFY(projects);
    QVERIFY(
        dt::withDialog<Tfrmaddxm>([&] { ctl<QPushButton>(projects, "Button1")->click(); },
                                  [&](Tfrmaddxm* d) {
                                      ctl<QCheckBox>(d, "CheckBox1")->setChecked(false);
                                      ctl<QLineEdit>(d, "Edit1")->setText(QStringLiteral("售后回访"));
                                      ctl<QPlainTextEdit>(d, "Memo1")->setPlainText(QStringLiteral("请先核对客户姓名"));
                                      ctl<QPushButton>(d, "Button1")->click();
                                  }));

    // Three questions with the proposed numbers 1, 2, 3.
    auto* questions = openFromMenu<Tfrmoptsel>(main, "项目问题设置");
    QVERIFY(questions);
    QStringList proposed;
    QVERIFY(
        dt::withDialog<Tfrmaddoptsel>([&] { ctl<QPushButton>(questions, "Button1")->click(); },
                                      [&](Tfrmaddoptsel* d) {
                                          for (const char* q : {"您对服务满意吗？", "哪里不满意？", "还会再用吗？"}) {
                                              proposed << ctl<QLineEdit>(d, "Edit1")->text();
                                              ctl<QPlainTextEdit>(d, "Memo1")->setPlainText(QString::fromUtf8(q));
                                              ctl<QPushButton>(d, "Button1")->click();
                                          }
                                          ctl<QPushButton>(d, "Button2")->click();
                                      }));
    QCOMPARE(proposed, (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    QCOMPARE(ctl<TDBGrid>(questions, "DBGrid1")->rowCount(), 3);

    // Branches: satisfied customers skip question 2; question 3 ends the questionnaire.
    QVERIFY(
        addOptions(questions, 0,
                   {{QStringLiteral("满意"), QStringLiteral("3")}, {QStringLiteral("不满意"), QStringLiteral("2")}}));
    QVERIFY(addOptions(questions, 1, {{QStringLiteral("价格"), QStringLiteral("3")}}));
    QVERIFY(addOptions(questions, 2,
                       {{QStringLiteral("会"), QStringLiteral("0")}, {QStringLiteral("不会"), QStringLiteral("0")}}));
    QCOMPARE(db.count(QStringLiteral("q_sel")), 5);
    QCOMPARE(boxes.texts().count(QStringLiteral("保存成功!")), 6);

    // Two customers, run by an operator through both branches.
    const qint64 ywbh = db.scalar(QStringLiteral("select ywbh from t_ywbh")).toLongLong();
    tst::addCustomer(db.con(), ywbh, QStringLiteral("13800000001"));
    tst::addCustomer(db.con(), ywbh, QStringLiteral("13800000002"));
    db.loginOperator();
    const vt::View visit{openFromMenu<Tfrmuserhf>(main, "电话访问")};
    QVERIFY(visit.p);
    QCOMPARE(visit.text("ComboBox1"), QStringLiteral("售后回访"));
    QCOMPARE(visit.text("Memo3"), QStringLiteral("请先核对客户姓名"));
    visit.click("Button1");
    const qint64 first = visit.held(db);
    QVERIFY(first > 0);
    QVERIFY(visit.text("Memo1").contains(QStringLiteral("您对服务满意吗？")));
    answer(visit, QStringLiteral("不满意"));
    QVERIFY(visit.text("Memo1").contains(QStringLiteral("哪里不满意？")));
    answer(visit, QStringLiteral("价格"));
    QVERIFY(visit.text("Memo1").contains(QStringLiteral("还会再用吗？")));
    answer(visit, QStringLiteral("会")); // jump 0: complete, the next customer is drawn
    QCOMPARE(db.scalar(QStringLiteral("select sljg from yhda where id=%1").arg(first)).toString(),
             QStringLiteral("已受理"));
    QCOMPARE(db.scalar(QStringLiteral("select group_concat(ans,'/') from (select ans from q_ans where yhid=%1 "
                                      "order by id)")
                           .arg(first))
                 .toString(),
             QStringLiteral("不满意/价格/会"));

    const qint64 second = visit.held(db);
    QVERIFY(second > 0 && second != first);
    answer(visit, QStringLiteral("满意"));
    QVERIFY(visit.text("Memo1").contains(QStringLiteral("还会再用吗？")));
    answer(visit, QStringLiteral("不会"));
    QCOMPARE(db.scalar(QStringLiteral("select group_concat(ans,'/') from (select ans from q_ans where yhid=%1 "
                                      "order by id)")
                           .arg(second))
                 .toString(),
             QStringLiteral("满意/不会"));
    QCOMPARE(db.count(QStringLiteral("visitlog")), 2);

    for (QMdiSubWindow* s : main.mdiArea()->subWindowList())
        if (auto* f = qobject_cast<TChildForm*>(s->widget()))
            f->approveClose();
    main.mdiArea()->closeAllSubWindows();
}

TV_TEST_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
