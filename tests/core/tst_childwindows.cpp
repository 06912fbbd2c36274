// Every window the menu opens, closed every way a user can: nothing of it may stay in the work
// area; windows open, maximise and restore alike, fixed ones included.
#include "support/modal.h"
#include "support/msgscript.h"
#include "support/testdb.h"
#include "support/testmain.h"

#include "app/registerall.h"
#include "core/mainwindow.h"
#include "core/windows.h"
#include "design/optsel.h"

#include <QDialog>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

namespace {

enum Way { OwnButton, CloseBox, CtrlF4, MainExit };

// The window's own button that leaves it: the first caption found in this order.
QPushButton* ownCloseButton(QWidget* w)
{
    for (const char* caption : {"关闭", "退出", "取消", "确定"})
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (QString(b->text()).remove(' ').remove(QChar(0x3000)) == QString::fromUtf8(caption) && b->isVisible())
                return b;
    return nullptr;
}

QMdiSubWindow* frameOf(TfrmMain& w, QWidget* content)
{
    for (QMdiSubWindow* s : w.mdiArea()->subWindowList())
        if (s->widget() == content)
            return s;
    return nullptr;
}

// An administrator logged in, one active project with a question, the main window shown.
struct Scene
{
    tst::TestDb db;
    TfrmMain w;
    Scene()
    {
        db.loginAdmin();
        db.exec("insert into t_ywbh(ywname,zt,ywtips) values('O''Brien Satisfaction 2(第二期回访)',1,'提示')");
        db.exec("insert into q_table(ywbh,qbh,qnr) select max(ywbh),1,'问题一' from t_ywbh");
        w.applyGating();
        w.resize(1100, 760);
        w.show();
    }
};

} // namespace

class TstChildWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { TfrmMain::setAutoLogin(false); }
    void closingLeavesNothing_data();
    void closingLeavesNothing();
    void fixedWindowOverMaximised();
    void maximisedStaysWhenOneCloses();
};

void TstChildWindows::initTestCase()
{
    registerAllWindows();
    tst::TestDb db;
    TfrmMain w; // registers the About window
}

void TstChildWindows::closingLeavesNothing_data()
{
    QTest::addColumn<QString>("cls");
    QTest::addColumn<int>("way");
    const QStringList names = windows::registeredNames();
    QVERIFY(names.contains("Tfrmabout") && names.contains("Tfrmadddata"));
    for (const QString& cls : names) {
        if (cls.startsWith("TRefusing"))
            continue;
        QTest::addRow("%s own button", qPrintable(cls)) << cls << int(OwnButton);
        QTest::addRow("%s close box", qPrintable(cls)) << cls << int(CloseBox);
        QTest::addRow("%s ctrl+f4", qPrintable(cls)) << cls << int(CtrlF4);
        QTest::addRow("%s main exit", qPrintable(cls)) << cls << int(MainExit);
    }
}

void TstChildWindows::closingLeavesNothing()
{
    QFETCH(QString, cls);
    QFETCH(int, way);
    Scene s;
    QVERIFY(s.db.ok());
    tst::MsgScript boxes;
    QMdiArea* area = s.w.mdiArea();

    if (windows::kindOf(cls) == WindowKind::Modal) {
        std::unique_ptr<tst::ModalWatcher> watcher(tst::ModalWatcher::when<QDialog>([](QDialog* d) { d->reject(); }));
        s.w.openWindow(cls);
        QVERIFY(watcher->done());
        QVERIFY(area->subWindowList().isEmpty());
        return;
    }
    QPointer<QWidget> win = s.w.openWindow(cls);
    QVERIFY(win);
    QPointer<QMdiSubWindow> frame = frameOf(s.w, win);
    QCOMPARE(bool(frame), windows::kindOf(cls) == WindowKind::Child);
    QTest::qWait(20);

    switch (way) {
    case OwnButton: {
        QPushButton* b = ownCloseButton(win);
        if (!b)
            QSKIP("the window has no button of its own that closes it");
        b->click();
        break;
    }
    case CloseBox:
        if (frame)
            frame->close();
        else
            win->close();
        break;
    case CtrlF4:
        if (!frame)
            QSKIP("not a child window");
        QApplication::setActiveWindow(&s.w);
        area->setActiveSubWindow(frame);
        QTest::keyClick(win->focusWidget() ? win->focusWidget() : win.data(), Qt::Key_F4, Qt::ControlModifier);
        break;
    case MainExit:
        boxes.answer(msg::Answer::Ok);
        QVERIFY(s.w.close());
        break;
    }
    QTRY_VERIFY(win.isNull());
    QTRY_VERIFY(frame.isNull());
    QVERIFY(area->subWindowList().isEmpty());
}

void TstChildWindows::fixedWindowOverMaximised()
{
    Scene s;
    QVERIFY(s.db.ok());
    tst::MsgScript boxes;
    QMdiArea* area = s.w.mdiArea();
    QWidget* list = s.w.openWindow("Tfrmopt");
    QMdiSubWindow* listFrame = frameOf(s.w, list);
    listFrame->showMaximized();
    QTRY_COMPARE(listFrame->size(), area->viewport()->size());

    QWidget* import = s.w.openWindow("Tfrmadddata");
    QMdiSubWindow* importFrame = frameOf(s.w, import);
    QVERIFY(importFrame);
    QTest::qWait(50);
    // the window behind keeps filling the work area
    QVERIFY(listFrame->isMaximized());
    QCOMPARE(listFrame->size(), area->viewport()->size());
    // the fixed window keeps its title bar and size, on top, in the middle
    QVERIFY(!importFrame->isMaximized());
    QVERIFY(!importFrame->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(importFrame->windowFlags().testFlag(Qt::WindowTitleHint));
    QVERIFY(!importFrame->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(import->size(), QSize(440, 250));
    QVERIFY(importFrame->height() > import->height()); // a title bar above the content
    QVERIFY(importFrame->pos().x() > 0 && importFrame->pos().y() > 0);
    QVERIFY(qAbs(importFrame->geometry().center().x() - area->viewport()->rect().center().x()) < 20);
    QCOMPARE(area->activeSubWindow(), importFrame);

    // a maximise request cannot take its frame away
    importFrame->showMaximized();
    QTest::qWait(20);
    QCOMPARE(import->size(), QSize(440, 250));
    QVERIFY(importFrame->pos().x() > 0);

    // a resizable window opened meanwhile opens maximised like the one behind
    QWidget* questions = s.w.openWindow("Tfrmoptsel");
    QMdiSubWindow* questionsFrame = frameOf(s.w, questions);
    QTRY_VERIFY(questionsFrame->isMaximized());
    QTRY_COMPARE(questionsFrame->size(), area->viewport()->size());
    // and restores to its own size with its title bar
    questionsFrame->showNormal();
    QTRY_VERIFY(!questionsFrame->isMaximized());
    QCOMPARE(questions->size(), Tfrmoptsel().size()); // the size it was made with
    QVERIFY(questionsFrame->height() > questions->height());
    QVERIFY(listFrame->isMaximized());
}

void TstChildWindows::maximisedStaysWhenOneCloses()
{
    // Closing the window on top leaves the one behind as it was, filled, not a blank area.
    Scene s;
    QVERIFY(s.db.ok());
    tst::MsgScript boxes;
    QMdiArea* area = s.w.mdiArea();
    QPointer<QWidget> list = s.w.openWindow("Tfrmopt");
    frameOf(s.w, list)->showMaximized();
    QPointer<QWidget> top = s.w.openWindow("Tfrmoptsel");
    QPointer<QMdiSubWindow> topFrame = frameOf(s.w, top);
    QTRY_VERIFY(topFrame->isMaximized());
    ownCloseButton(top)->click();
    QTRY_VERIFY(topFrame.isNull());
    QCOMPARE(area->subWindowList().size(), 1);
    QMdiSubWindow* listFrame = frameOf(s.w, list);
    QTRY_COMPARE(area->activeSubWindow(), listFrame);
    QVERIFY(listFrame->isMaximized() && list->isVisible());
    QCOMPARE(listFrame->size(), area->viewport()->size());
}

TV_TEST_MAIN(TstChildWindows)
#include "tst_childwindows.moc"
