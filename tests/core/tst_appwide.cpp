// What every window gets from the application and the shared pieces: Chinese standard dialogs,
// "*" in password boxes, grids and drop-downs that use the room they have, the file dialog's
// folder, an About window that names only what is there.
#include "support/testdb.h"
#include "support/testmain.h"

#include "app/registerall.h"
#include "core/about.h"
#include "core/dbgrid.h"
#include "core/filedlg.h"
#include "core/logfile.h"
#include "core/login.h"
#include "core/mainwindow.h"
#include "core/msg.h"
#include "core/waitmsg.h"
#include "core/windows.h"
#include "customers/frmadddata.h"
#include "db/dm.h"
#include "ops/common/location.h"
#include "visit/userhf.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

class TstAppWide : public QObject
{
    Q_OBJECT
private slots:
    void chineseTextsAndStars();
    void captionsReadAsDesigned();
    void boxesOpenAboveTheWaitWindow();
    void lastGridColumnTakesTheRoom();
    void columnsShowWhatTheyHold();
    void dropDownsFitTheirEntries();
    void fileDialogFolder();
    void aboutNamesWhatIsThere();
    void logFileRotatesAndAboutNamesIt();
};

void TstAppWide::chineseTextsAndStars()
{
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text().remove('&'), QString("取消"));
    QCOMPARE(box.button(QDialogButtonBox::Open)->text().remove('&'), QString("打开"));
    QCOMPARE(QLocale().language(), QLocale::Chinese);
    Tfrmlogin dlg;
    dlg.Edit2->setText("ab1中");
    QCOMPARE(dlg.Edit2->displayText(), QString("****"));
    dlg.Edit2->setStyleSheet("color: red;"); // a box's own style keeps the character
    QCOMPARE(dlg.Edit2->displayText(), QString("****"));
}

void TstAppWide::captionsReadAsDesigned()
{
    // No display name of its own (X11 would append it to every title and caption): it follows
    // the application name.
    const QString name = QApplication::applicationName();
    QCOMPARE(name, msg::appTitle());
    QApplication::setApplicationName(QStringLiteral("probe"));
    const QString shown = QApplication::applicationDisplayName();
    QApplication::setApplicationName(name);
    QCOMPARE(shown, QStringLiteral("probe"));
}

void TstAppWide::boxesOpenAboveTheWaitWindow()
{
    ShowWaitMsg();
    bool waitShown = true;
    msg::setHandler([&](const msg::Box&) {
        waitShown = waitMsgWindow()->isVisible();
        return msg::Answer::Ok;
    });
    msg::ShowMessage(QStringLiteral("完成用户数据导入,共计处理1条记录"));
    tst::installFailingMsgHandler();
    QVERIFY(!waitShown);
    QVERIFY(waitMsgWindow()->isVisible()); // the job goes on under it
    CloseWaitMsg();
}

void TstAppWide::lastGridColumnTakesTheRoom()
{
    tst::TestDb db;
    TDBGrid g;
    g.setColumns({{"ywtips", "提示语", 150}, {"ywname", "项目名", 80}, {"ywbh", "编号", 60}});
    g.open("select * from t_ywbh");
    const int last = g.fieldIndex("ywbh");
    auto fills = [&] { return g.columnViewportPosition(last) + g.columnWidth(last) == g.viewport()->width(); };
    g.resize(900, 200);
    g.show();
    QTRY_VERIFY(fills() && g.columnWidth(g.fieldIndex("ywtips")) == 150);
    g.resize(200, 200); // no room: the given width, and the grid scrolls
    QTRY_COMPARE(g.columnWidth(last), 60);
    g.resize(900, 200);
    g.reopen();
    QTRY_VERIFY(fills());
}

void TstAppWide::columnsShowWhatTheyHold()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.exec("insert into t_ywbh(ywname,ywtips) values('13800138000 2024-05-06 12:34:56','" + QString(300, u'长') +
            "')");
    TDBGrid g;
    g.resize(1000, 300);
    g.setColumns({{"ywbh", "项目编号", 10}, {"ywtips", "提示语", 60}, {"zt", "状态", 150}, {"ywname", "名", 40}});
    g.open("select * from t_ywbh");
    const QFontMetrics fm = g.fontMetrics();
    auto width = [&](const char* field) { return g.columnWidth(g.fieldIndex(field)); };
    QVERIFY(width("ywbh") >= g.horizontalHeader()->fontMetrics().horizontalAdvance("项目编号")); // the title
    QVERIFY(width("ywname") > fm.horizontalAdvance("13800138000 2024-05-06 12:34:56"));          // the value
    QVERIFY(width("ywtips") > 150 && width("ywtips") < 1000 / 2); // grown, but not over the others
    QCOMPARE(width("zt"), 150);                                   // the designed width stays the least
}

void TstAppWide::dropDownsFitTheirEntries()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginOperator();
    const QString name = "O'Brien Satisfaction 2(第二期回访)";
    db.exec("insert into t_ywbh(ywname,zt) values('O''Brien Satisfaction 2(第二期回访)',1)");
    tst::MsgScript boxes;
    Tfrmuserhf visit;
    visit.show();
    QCOMPARE(boxes.count(), 0); // the history grid shows its titles over no rows, silently
    auto* history = visit.findChild<TDBGrid*>(QStringLiteral("DBGrid1"));
    QCOMPARE(history->model()->headerData(history->fieldIndex("slsj"), Qt::Horizontal).toString(),
             QStringLiteral("受理时间"));
    visit.showNormal();
    visit.resize(982, 651); // its normal size: the red note stays whole, on two lines if need be
    auto* note = visit.findChild<QLabel*>(QStringLiteral("LabelNote"));
    QTRY_VERIFY(note->isVisible());
    for (const QString& line : note->text().split('\n'))
        QVERIFY2(note->fontMetrics().horizontalAdvance(line) <= note->contentsRect().width(), qPrintable(line));
    QCOMPARE(note->text().remove('\n'), QStringLiteral("(注：需要提取指定号码的客户时，请填写此处）"));
    visit.resize(1200, 700);
    auto* projects = visit.findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    const int textWidth = projects->fontMetrics().horizontalAdvance(name);
    QTRY_VERIFY(projects->width() > textWidth);
    visit.resize(700, 700); // gives way down to its given width
    QTRY_VERIFY(projects->width() < textWidth);
    QVERIFY(projects->width() >= 160);

    // a window with fixed places: its boxes keep their places
    Tfrmadddata import;
    import.show();
    QTest::qWait(100);
    QCOMPARE(import.findChild<QComboBox*>("ComboBox2")->geometry(), QRect(108, 108, 308, 22));
    QCOMPARE(import.findChild<QComboBox*>("ComboBox1")->geometry(), QRect(108, 76, 308, 22));
}

void TstAppWide::fileDialogFolder()
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path())); // documents folder under it
    QDir(home.path()).mkpath("Documents");
    filedlg::clearAnswers();
    QCOMPARE(filedlg::startFolder(), home.path() + "/Documents");
    filedlg::queueAnswers({home.path() + "/数据 文件/客户.xls", QString()});
    filedlg::openFileName(nullptr, QString(), QString(), "*.xls");
    filedlg::openFileName(nullptr, QString(), QString(), "*.xls"); // cancelled: the folder stays
    QCOMPARE(filedlg::startFolder(), home.path() + "/数据 文件");
    filedlg::clearAnswers();
}

void TstAppWide::aboutNamesWhatIsThere()
{
    registerAllWindows();
    tst::TestDb db;
    TfrmMain main;
    const QString text = Tfrmabout().findChild<QLabel*>("LabelFunctions")->text();
    int named = 0;
    for (const TfrmMain::MenuEntry& e : TfrmMain::menuEntries()) {
        const bool there = windows::isRegistered(e.className) && e.className != "Tfrmabout";
        QVERIFY2(text.contains(e.caption) == there, qPrintable(e.caption));
        named += there;
    }
    QVERIFY(named >= 4);
}

void TstAppWide::logFileRotatesAndAboutNamesIt()
{
    ops::Location onFile;
    onFile.file = "/data/tv/dhyx.dat";
    QCOMPARE(logfile::pathFor(onFile, "/opt/tv"), QString("/data/tv/tellvane.log"));
    ops::Location onServer;
    onServer.server = true;
    QCOMPARE(logfile::pathFor(onServer, "/opt/tv"), QString("/opt/tv/tellvane.log"));

    QTemporaryDir dir;
    const QString path = dir.filePath("tellvane.log");
    logfile::install(path, 400, 2);
    const auto restore = qScopeGuard([] { logfile::uninstall(); });
    for (int i = 0; i < 30; ++i)
        qCWarning(lcUi).noquote() << QString("第%1行 it's \"quoted\"\nand broken").arg(i);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
             (QStringList{"tellvane.log", "tellvane.log.1", "tellvane.log.2"}));
    QStringList lines;
    for (const QString name : {"tellvane.log.2", "tellvane.log.1", "tellvane.log"}) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY2(f.size() <= 400, qPrintable(name));
        lines += QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    // The newest lines, in order, one a message; the oldest went with the file dropped.
    QVERIFY(lines.size() < 30);
    QVERIFY2(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} tellvane\.ui warning: 第29行 )"
                                R"(it's "quoted"\\nand broken$)")
                 .match(lines.last())
                 .hasMatch(),
             qPrintable(lines.last()));
    QVERIFY(lines.at(lines.size() - 2).contains("第28行"));

    tst::TestDb db;
    const QString places = Tfrmabout().findChild<QLabel*>("LabelPlaces")->text();
    QVERIFY2(places.contains(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())), qPrintable(places));
    QVERIFY2(places.contains(QDir::toNativeSeparators(ADOcon().filePath())), qPrintable(places));
}

TV_TEST_MAIN(TstAppWide)
#include "tst_appwide.moc"
