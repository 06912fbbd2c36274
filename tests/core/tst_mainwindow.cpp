// The main window: gating, the clock, opening windows and the exit.
#include "support/modal.h"
#include "support/msgscript.h"
#include "support/testdb.h"
#include "support/testmain.h"

#include "core/about.h"
#include "core/login.h"
#include "core/mainwindow.h"
#include "core/pub.h"
#include "core/windows.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>

namespace {

// A child window whose close question answers as told.
class RefusingChild : public TChildForm
{
public:
    static inline bool allow = false;
    static inline int asked = 0;
    bool FormCloseQuery() override
    {
        ++asked;
        return allow;
    }
};

// A logged-in main window with one child window open whose close question answers allow.
struct ExitScene
{
    tst::TestDb db;
    TfrmMain w;
    QPointer<QWidget> child;
    explicit ExitScene(bool allow)
    {
        windows::registerWindow("TRefusingChild", WindowKind::Child, [] { return new RefusingChild; });
        w.show();
        child = w.openWindow("TRefusingChild");
        RefusingChild::allow = allow;
        RefusingChild::asked = 0;
    }
};

const QStringList kAdminItems = {"客户数据导入", "客户数据管理", "项目管理",   "项目问题设置",     "登录用户管理",
                                 "电访结果统计", "系统日志",     "项目问答统计", "项目问答明细报表", "系统设置"};
const QStringList kEveryoneItems = {"电话访问", "电访结果查询", "项目问答记录查询", "电访历史记录查询",
                                    "修改密码", "关于本系统",   "退出系统"};

} // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void init() { TfrmMain::setAutoLogin(false); }
    void menusAndToolbar();
    void gating_data();
    void gating();
    void loginThroughTheWindow();
    void clockText_data();
    void clockText();
    void clockTicks();
    void aboutOpensTwice();
    void exitAsksChildrenFirst();
    void exitCancelKeepsChildren();
    void exitConfirmed();
};

void TstMainWindow::menusAndToolbar()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    TfrmMain w;
    QCOMPARE(w.windowTitle(), QString("Tellvane单机版"));
    QStringList menus;
    for (QAction* a : w.menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, (QStringList{"[电访管理]", "[数据管理]", "[电访报表]", "[系  统]"}));
    for (const QString& item : kAdminItems + kEveryoneItems)
        QVERIFY2(w.menuItem(item), qPrintable(item));
    const QList<QPair<QString, QString>> tips = {{"ToolButton1", "用户回访"},       {"ToolButton2", "电访结果查询"},
                                                 {"ToolButton3", "电访结果统计"},   {"ToolButton4", "修改密码"},
                                                 {"ToolButton5", "关于电话营销系统"}, {"ToolButton10", "退出系统"}};
    for (const auto& [name, tip] : tips) {
        auto* b = w.findChild<QToolButton*>(name);
        QVERIFY2(b, qPrintable(name));
        QCOMPARE(b->toolTip(), tip);
        QVERIFY(!b->icon().isNull());
    }
}

void TstMainWindow::gating_data()
{
    QTest::addColumn<QString>("tp");
    QTest::addColumn<bool>("admin");
    QTest::newRow("administrator") << "管理员" << true;
    QTest::newRow("operator") << "话务员" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("other") << "经理" << false;
    QTest::newRow("administrator with blank") << "管理员 " << false;
}

void TstMainWindow::gating()
{
    QFETCH(QString, tp);
    QFETCH(bool, admin);
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAs("u", "用户", tp);
    TfrmMain w;
    w.applyGating();
    for (const QString& item : kAdminItems)
        QVERIFY2(w.menuItem(item)->isEnabled() == admin, qPrintable(item));
    for (const QString& item : kEveryoneItems)
        QVERIFY2(w.menuItem(item)->isEnabled(), qPrintable(item));
    QCOMPARE(w.ToolButton3->isEnabled(), admin);
    for (QToolButton* b : {w.ToolButton1, w.ToolButton2, w.ToolButton4, w.ToolButton5, w.ToolButton10})
        QVERIFY(b->isEnabled());
}

void TstMainWindow::loginThroughTheWindow()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    tst::addOperator(db.con(), "op", "话务员甲", "pw");
    tst::MsgScript boxes;
    boxes.strict();
    TfrmMain w;
    std::unique_ptr<tst::ModalWatcher> watcher(tst::ModalWatcher::when<Tfrmlogin>([](Tfrmlogin* d) {
        d->Edit1->setText("op");
        d->Edit2->setText("pw");
        d->BitBtn1->click();
    }));
    QVERIFY(w.runLogin());
    QCOMPARE(w.statusUser()->text(), QString("当前登录用户:话务员甲"));
    QVERIFY(!w.menuItem("项目管理")->isEnabled());
    QVERIFY(w.menuItem("电话访问")->isEnabled());
}

void TstMainWindow::clockText_data()
{
    QTest::addColumn<QDateTime>("t");
    QTest::addColumn<QString>("text");
    QTest::newRow("example") << QDateTime(QDate(2013, 6, 5), QTime(9, 7, 3)) << "2013年6月5日   星期三   09:07:03";
    QTest::newRow("sunday") << QDateTime(QDate(2026, 12, 6), QTime(0, 0, 0)) << "2026年12月6日   星期日   00:00:00";
    QTest::newRow("saturday") << QDateTime(QDate(2026, 1, 31), QTime(23, 59, 59)) << "2026年1月31日   星期六   23:59:59";
    QTest::newRow("monday") << QDateTime(QDate(2026, 12, 7), QTime(12, 5, 9)) << "2026年12月7日   星期一   12:05:09";
}

void TstMainWindow::clockText()
{
    QFETCH(QDateTime, t);
    QFETCH(QString, text);
    QCOMPARE(TfrmMain::clockText(t), text);
}

void TstMainWindow::clockTicks()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    TfrmMain w;
    QVERIFY(w.Timer1->isActive());
    QCOMPARE(w.Timer1->interval(), 1000);
    QVERIFY(w.statusClock()->text().contains("星期"));
    QTRY_VERIFY_WITH_TIMEOUT(w.statusClock()->text() == TfrmMain::clockText(QDateTime::currentDateTime()), 3000);
}

void TstMainWindow::aboutOpensTwice()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    TfrmMain w;
    w.show();
    w.menuItem("关于本系统")->trigger();
    QPointer<Tfrmabout> first = frmabout;
    w.ToolButton5->click();
    QPointer<Tfrmabout> second = frmabout;
    QVERIFY(first && second && first != second);
    QCOMPARE(w.mdiArea()->subWindowList().size(), 2);
    QCOMPARE(second->windowTitle(), QString("关于本系统"));
    QCOMPARE(second->Button1->text(), QString("确    定"));
    for (QMdiSubWindow* sub : w.mdiArea()->subWindowList())
        QVERIFY(sub->windowFlags().testFlag(Qt::FramelessWindowHint)); // no title bar
    second->Button1->click();
    QTRY_VERIFY(second.isNull());
    QVERIFY(first);
}

void TstMainWindow::exitAsksChildrenFirst()
{
    ExitScene s(false);
    QVERIFY(s.db.ok() && s.child);
    TfrmMain& w = s.w;
    QPointer<QWidget> child = s.child;
    tst::MsgScript boxes;
    boxes.strict();
    QVERIFY(!w.close());
    QCOMPARE(RefusingChild::asked, 1);
    QCOMPARE(boxes.count(), 0); // the main window's own question is not asked
    QVERIFY(w.isVisible());
    QVERIFY(child);
}

void TstMainWindow::exitCancelKeepsChildren()
{
    ExitScene s(true);
    QVERIFY(s.db.ok() && s.child);
    TfrmMain& w = s.w;
    QPointer<QWidget> child = s.child;
    QPointer<Tfrmabout> about = qobject_cast<Tfrmabout*>(w.openWindow("Tfrmabout"));
    tst::MsgScript boxes;
    boxes.answer(msg::Answer::Cancel);
    w.ToolButton10->click();
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.boxes()[0].text, QString("您确定要退出Tellvane单机版系统么?"));
    QCOMPARE(boxes.boxes()[0].caption, QString("退出系统确认"));
    QVERIFY(boxes.boxes()[0].buttons == msg::Buttons::OkCancel);
    QVERIFY(boxes.boxes()[0].icon == msg::Icon::None);
    QVERIFY(w.isVisible());
    QVERIFY(child && child->isVisible());
    QVERIFY(about && about->isVisible());
    QCOMPARE(w.mdiArea()->subWindowList().size(), 2);
}

void TstMainWindow::exitConfirmed()
{
    ExitScene s(true);
    QVERIFY(s.db.ok() && s.child);
    TfrmMain& w = s.w;
    tst::MsgScript boxes;
    boxes.answer(msg::Answer::Ok);
    w.menuItem("退出系统")->trigger();
    QVERIFY(!w.isVisible());
    QCOMPARE(RefusingChild::asked, 1); // asked once, not again while closing
    QCOMPARE(boxes.count(), 1);
}

TV_TEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
