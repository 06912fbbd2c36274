// What every window gets from the application and the shared pieces: Chinese standard dialogs,
// "*" in password boxes, grids and drop-downs that use the room they have, the file dialog's
// folder, an About window that names only what is there.
#include "support/testdb.h"
#include "support/testmain.h"

#include "app/registerall.h"
#include "core/about.h"
#include "core/dbgrid.h"
#include "core/filedlg.h"
#include "core/login.h"
#include "core/mainwindow.h"
#include "core/windows.h"
#include "customers/frmadddata.h"
#include "visit/userhf.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace {
const QString kLongName = QStringLiteral("O'Brien Satisfaction 2(第二期回访)");
}

class TstAppWide : public QObject
{
    Q_OBJECT
private slots:
    void standardTextsAreChinese();
    void passwordBoxesShowStars();
    void lastGridColumnTakesTheRoom();
    void dropDownsFitTheirEntries();
    void fileDialogFolder();
    void aboutNamesWhatIsThere();
};

void TstAppWide::standardTextsAreChinese()
{
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    QCOMPARE(box.button(QDialogButtonBox::Ok)->text().remove('&'), QString("确定"));
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text().remove('&'), QString("取消"));
    QCOMPARE(box.button(QDialogButtonBox::Open)->text().remove('&'), QString("打开"));
    QCOMPARE(QLocale().language(), QLocale::Chinese);
}

void TstAppWide::passwordBoxesShowStars()
{
    Tfrmlogin dlg;
    dlg.Edit2->setText("ab1中");
    QCOMPARE(dlg.Edit2->displayText(), QString("****"));
    // also under a style sheet of the box's own
    QLineEdit styled;
    styled.setStyleSheet("color: red;");
    styled.setEchoMode(QLineEdit::Password);
    styled.setText("xy");
    QCOMPARE(styled.displayText(), QString("**"));
}

void TstAppWide::lastGridColumnTakesTheRoom()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.exec("insert into t_ywbh(ywname,ywtips) values('项目','提示')");
    TDBGrid g;
    g.setColumns({{"ywtips", "提示语", 150}, {"ywname", "项目名", 80}, {"ywbh", "编号", 60}});
    g.open("select * from t_ywbh");
    g.resize(900, 200);
    g.show();
    const int last = g.fieldIndex("ywbh");
    QTRY_COMPARE(g.columnViewportPosition(last) + g.columnWidth(last), g.viewport()->width());
    QCOMPARE(g.columnWidth(g.fieldIndex("ywtips")), 150);
    // without room the given width stays and the grid scrolls
    g.resize(200, 200);
    QTRY_COMPARE(g.columnWidth(last), 60);
    g.resize(900, 200);
    QTRY_COMPARE(g.columnViewportPosition(last) + g.columnWidth(last), g.viewport()->width());
    // reading again keeps it
    g.reopen();
    QTRY_COMPARE(g.columnViewportPosition(last) + g.columnWidth(last), g.viewport()->width());
}

void TstAppWide::dropDownsFitTheirEntries()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator();
    db.exec("insert into t_ywbh(ywname,zt) values('短',1)");
    db.exec("insert into t_ywbh(ywname,zt) values(" + QString("'O''Brien Satisfaction 2(第二期回访)'") + ",1)");
    tst::MsgScript boxes;

    Tfrmuserhf visit;
    visit.show();
    visit.showNormal(); // it opens maximised
    visit.resize(1200, 700);
    QComboBox* projects = visit.ComboBox1;
    QCOMPARE(projects->itemText(0), kLongName);
    const int textWidth = projects->fontMetrics().horizontalAdvance(kLongName);
    QTRY_VERIFY2(projects->width() > textWidth, qPrintable(QString::number(projects->width())));
    // on a narrow window it gives way down to its given width, and its list still shows all
    visit.resize(700, 700);
    QTRY_VERIFY(projects->width() < textWidth);
    QVERIFY(projects->width() >= 160);
    projects->showPopup();
    QTRY_VERIFY(projects->view()->isVisible());
    QVERIFY(projects->view()->width() > textWidth);
    projects->hidePopup();

    // a window with fixed places: the box keeps its place, its list opens wide enough
    const QString longer = "华东区域重点客户满意度回访调查（第三批次，含上海、江苏、浙江）";
    db.exec("insert into t_ywbh(ywname,zt) values('" + longer + "',1)");
    Tfrmadddata import;
    import.show();
    QComboBox* target = import.ComboBox2;
    QTest::qWait(100);
    QCOMPARE(target->geometry(), QRect(108, 108, 308, 22));
    QCOMPARE(import.ComboBox1->geometry(), QRect(108, 76, 308, 22));
    QCOMPARE(target->itemText(0), longer);
    QVERIFY(target->fontMetrics().horizontalAdvance(longer) > target->width());
    target->showPopup();
    QTRY_VERIFY(target->view()->isVisible());
    QVERIFY(target->view()->width() > target->fontMetrics().horizontalAdvance(longer));
    target->hidePopup();
}

void TstAppWide::fileDialogFolder()
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/.config"));
    QDir(home.path()).mkpath("Documents");
    QDir(home.path()).mkpath("数据 文件");
    filedlg::clearAnswers();

    QCOMPARE(filedlg::startFolder(), QDir(home.path()).filePath("Documents"));
    const QString chosen = QDir(home.path()).filePath("数据 文件/客户.xls");
    filedlg::queueAnswers({chosen, QString()});
    QCOMPARE(filedlg::openFileName(nullptr, QString(), QString(), "*.xls"), chosen);
    QCOMPARE(filedlg::startFolder(), QDir(home.path()).filePath("数据 文件"));
    // a cancelled dialog leaves the folder where it was
    QCOMPARE(filedlg::openFileName(nullptr, QString(), QString(), "*.xls"), QString());
    QCOMPARE(filedlg::startFolder(), QDir(home.path()).filePath("数据 文件"));

    filedlg::clearAnswers();
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

void TstAppWide::aboutNamesWhatIsThere()
{
    registerAllWindows();
    tst::TestDb db;
    QVERIFY(db.ok());
    TfrmMain main;
    Tfrmabout about;
    auto* text = about.findChild<QLabel*>("LabelFunctions");
    QVERIFY(text);
    int named = 0;
    for (const TfrmMain::MenuEntry& e : TfrmMain::menuEntries()) {
        if (e.className == "Tfrmabout")
            continue;
        const bool there = windows::isRegistered(e.className);
        QVERIFY2(text->text().contains(e.caption) == there, qPrintable(e.caption));
        named += there;
    }
    QVERIFY(named >= 4);
}

TV_TEST_MAIN(TstAppWide)
#include "tst_appwide.moc"
