// Every window the menu opens, closed every way a user can: nothing of it may stay in the work
// area; a fixed window keeps its frame over maximised ones and leaves them maximised.
#include "support/modal.h"
#include "support/msgscript.h"
#include "support/testdb.h"
#include "support/testmain.h"

#include "app/registerall.h"
#include "core/mainwindow.h"
#include "core/windows.h"
#include "design/optsel.h"

#include <QDialog>
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
            if (QString(b->text()).remove(' ') == QString::fromUtf8(caption) && b->isVisible())
                return b;
    return nullptr;
}

QMdiSubWindow* frameOf(QWidget* content)
{
    return qobject_cast<QMdiSubWindow*>(content->parentWidget());
}

// An administrator logged in, one active project with a question. Every test shares it: what
// is checked is how windows go, which nothing stored changes.
tst::TestDb* sharedDb()
{
    static tst::TestDb* db = [] {
        auto* d = new tst::TestDb;
        d->exec("insert into t_ywbh(ywname,zt) values('项目',1)");
        d->exec("insert into q_table(ywbh,qbh,qnr) select max(ywbh),1,'问题一' from t_ywbh");
        return d;
    }();
    return db;
}

// The main window shown over the shared database.
struct Scene
{
    tst::TestDb& db = *sharedDb();
    tst::MsgScript boxes;
    TfrmMain w;
    Scene()
    {
        db.loginAdmin();
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
    void initTestCase()
    {
        registerAllWindows();
        TfrmMain w; // registers the About window
    }
    void init() { TfrmMain::setAutoLogin(false); }
    void cleanupTestCase() { delete sharedDb(); }
    void closingLeavesNothing_data();
    void closingLeavesNothing();
    void fixedWindowOverMaximised();
};

void TstChildWindows::closingLeavesNothing_data()
{
    QTest::addColumn<QString>("cls");
    QTest::addColumn<int>("way");
    for (const QString& cls : windows::registeredNames()) {
        const char* ways[] = {"own button", "close box", "ctrl+f4", "main exit"};
        for (int way = OwnButton; way <= MainExit; ++way)
            QTest::addRow("%s %s", qPrintable(cls), ways[way]) << cls << way;
    }
}

void TstChildWindows::closingLeavesNothing()
{
    QFETCH(QString, cls);
    QFETCH(int, way);
    Scene s;
    QVERIFY(s.db.ok());
    QMdiArea* area = s.w.mdiArea();
    if (windows::kindOf(cls) == WindowKind::Modal) {
        std::unique_ptr<tst::ModalWatcher> watcher(tst::ModalWatcher::when<QDialog>([](QDialog* d) { d->reject(); }));
        s.w.openWindow(cls);
        QVERIFY(watcher->done() && area->subWindowList().isEmpty());
        return;
    }
    QPointer<QWidget> win = s.w.openWindow(cls);
    QVERIFY(win);
    QPointer<QMdiSubWindow> frame = frameOf(win);
    QTest::qWait(20);
    if (way == OwnButton) {
        QPushButton* b = ownCloseButton(win);
        if (!b)
            QSKIP("no button of its own that closes it");
        b->click();
    } else if (way == CloseBox) {
        frame ? frame->close() : win->close();
    } else if (way == CtrlF4) {
        if (!frame)
            QSKIP("not a child window");
        QApplication::setActiveWindow(&s.w);
        area->setActiveSubWindow(frame);
        QTest::keyClick(win->focusWidget() ? win->focusWidget() : win.data(), Qt::Key_F4, Qt::ControlModifier);
    } else {
        s.boxes.answer(msg::Answer::Ok);
        QVERIFY(s.w.close());
    }
    QTRY_VERIFY(win.isNull() && frame.isNull());
    QVERIFY(area->subWindowList().isEmpty());
}

void TstChildWindows::fixedWindowOverMaximised()
{
    Scene s;
    QVERIFY(s.db.ok());
    QMdiArea* area = s.w.mdiArea();
    QWidget* list = s.w.openWindow("Tfrmopt");
    QMdiSubWindow* listFrame = frameOf(list);
    listFrame->showMaximized();
    const QSize whole = area->viewport()->size();
    QTRY_COMPARE(listFrame->size(), whole);

    QPointer<QWidget> import = s.w.openWindow("Tfrmadddata");
    QMdiSubWindow* importFrame = frameOf(import);
    QTest::qWait(50);
    // the window behind stays maximised; the fixed one keeps its size and title bar, in the middle
    QVERIFY(listFrame->isMaximized());
    QCOMPARE(listFrame->size(), whole);
    QVERIFY(!importFrame->isMaximized());
    QCOMPARE(import->size(), QSize(440, 250));
    QVERIFY(import->y() > 0); // a title bar above it
    QVERIFY(qAbs(importFrame->geometry().center().x() - area->viewport()->rect().center().x()) < 20);
    importFrame->showMaximized(); // cannot take its frame away
    QTRY_VERIFY(!importFrame->isMaximized());
    QCOMPARE(import->size(), QSize(440, 250));

    // a resizable window opened meanwhile opens maximised, and restores to its own size
    QPointer<QWidget> questions = s.w.openWindow("Tfrmoptsel");
    QTRY_COMPARE(frameOf(questions)->size(), whole);
    frameOf(questions)->showNormal();
    QTRY_COMPARE(questions->size(), Tfrmoptsel().size());

    // closing the windows on top leaves the one behind filling the area
    ownCloseButton(questions)->click();
    ownCloseButton(import)->click();
    QTRY_VERIFY(questions.isNull() && import.isNull());
    QCOMPARE(area->subWindowList(), QList<QMdiSubWindow*>{listFrame});
    QVERIFY(listFrame->isMaximized() && list->isVisible());
    QCOMPARE(listFrame->size(), whole);
}

TV_TEST_MAIN(TstChildWindows)
#include "tst_childwindows.moc"
