#include "support/testmain.h"

#include "design/testkit.h"
#include "support/msgscript.h"

#include "core/dbgrid.h"
#include "core/scaling.h"
#include "db/dm.h"
#include "design/addoptsel.h"
#include "design/addsel.h"
#include "design/addxm.h"
#include "design/czfl.h"
#include "design/editoptsel.h"
#include "design/editsel.h"
#include "design/editxm.h"
#include "design/hjgz.h"
#include "design/mansel.h"
#include "design/opt.h"
#include "design/optsel.h"

#include <QScreen>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QWheelEvent>

using dt::ctl;

namespace {

const QString kTipsMessage = QStringLiteral("单机版提示语字符长度不能超过255,换算成中文字数不能超过127个");

QString cjk(int n)
{
    return QString(n, QChar(0x4E2D)); // 中
}

// Types a project into the add dialog and saves it.
void typeAndSave(Tfrmaddxm* d, const QString& name, const QString& tips)
{
    ctl<QLineEdit>(d, "Edit1")->setText(name);
    ctl<QPlainTextEdit>(d, "Memo1")->setPlainText(tips);
    ctl<QPushButton>(d, "Button1")->click();
}

} // namespace

class TestProjects : public QObject
{
    Q_OBJECT

    // A fresh database for every test (and every row of a data-driven one), the administrator logged in.
    std::unique_ptr<tst::TestDb> m_db;

private slots:
    void init()
    {
        m_db = std::make_unique<tst::TestDb>();
        QVERIFY(m_db->ok());
        m_db->loginAdmin();
    }
    void cleanup() { m_db.reset(); }
    void listShowsProjectsWithStateWords();
    void promptLengthLimit_data();
    void promptLengthLimit();
    void addRefusesEmptyAndDuplicateNames();
    void addKeepsEnteringOrCloses();
    void hostileTextStoredUnchanged();
    void editChecksAndSaves();
    void callingRules();
    void dispositionCodes();
    void stopAndStartRestorePosition();
    void stopRollsBackWhenLogFails();
    void deleteOnlyWithoutCustomers();
    void writesAndLogRowsGoTogether();
    void emptyListButtonsDoNothing();
    void dialogsSurviveFreedList();
    void dialogsActOnTheListThatOpenedThem();
    void scalingByScreenWidth();
};

void TestProjects::listShowsProjectsWithStateWords()
{
    tst::addProject(ADOcon(), QStringLiteral("甲项目"), QStringLiteral("提示一"), 1);
    tst::addProject(ADOcon(), QStringLiteral("乙项目"), QStringLiteral("提示二"), 0);
    tst::addProject(ADOcon(), QStringLiteral("丙项目"), QString(), 1);

    dt::Shown<Tfrmopt> w;
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");
    QCOMPARE(g->rowCount(), 3);
    QCOMPARE(g->currentRowIndex(), 0);
    QCOMPARE(g->text(1, QStringLiteral("ywname")), QStringLiteral("乙项目"));
    QCOMPARE(g->text(0, QStringLiteral("vlname")), QStringLiteral("启用"));
    QCOMPARE(g->text(1, QStringLiteral("vlname")), QStringLiteral("停用"));

    // The wheel moves the current row by one, either way, and no further than the ends.
    auto wheel = [g](int dy) {
        const QPointF at(5, 5);
        QWheelEvent e(at, g->viewport()->mapToGlobal(at), QPoint(), QPoint(0, dy), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(g->viewport(), &e);
    };
    wheel(-120);
    QCOMPARE(g->currentRowIndex(), 1);
    wheel(-360);
    wheel(-120);
    QCOMPARE(g->currentRowIndex(), 2);
    wheel(120);
    QCOMPARE(g->currentRowIndex(), 1);
}

void TestProjects::promptLengthLimit_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("shown"); // the running length label, -1 = not checked
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("stored");
    QTest::newRow("127 CJK + 1 ASCII = 255") << cjk(127) + "a" << 255 << true << cjk(127) + "a";
    QTest::newRow("127 CJK + 2 ASCII = 256") << cjk(127) + "ab" << 256 << false << QString();
    QTest::newRow("128 CJK = 256") << cjk(128) << 256 << false << QString();
    QTest::newRow("blanks and empty lines cut first") << "\n \n\t " + cjk(127) + "a  \n\n \n"
                                                      << -1 << true << cjk(127) + "a";
    QTest::newRow("inner line break counts two: 255") << cjk(126) + "\n" + "a" << 255 << true << cjk(126) + "\na";
    QTest::newRow("inner line break counts two: 256") << cjk(126) + "\n" + "ab" << 256 << false << QString();
}

void TestProjects::promptLengthLimit()
{
    QFETCH(QString, typed);
    QFETCH(int, shown);
    QFETCH(bool, accepted);
    QFETCH(QString, stored);
    tst::TestDb& db = *m_db;
    tst::MsgScript boxes;
    dt::Shown<Tfrmopt> w;

    QString label;
    QString nameAfter;
    QVERIFY(dt::withDialog<Tfrmaddxm>([&] { ctl<QPushButton>(w.get(), "Button1")->click(); },
                                      [&](Tfrmaddxm* d) {
                                          ctl<QPlainTextEdit>(d, "Memo1")->setPlainText(typed);
                                          label = ctl<QLabel>(d, "Label3")->text();
                                          typeAndSave(d, QStringLiteral("  项目 "), typed);
                                          nameAfter = ctl<QLineEdit>(d, "Edit1")->text();
                                          d->reject();
                                      }));
    QVERIFY(label.startsWith(QStringLiteral("单机版提示语长度不能超过255个字符，当前长度:")));
    if (shown >= 0)
        QVERIFY2(label.endsWith(':' + QString::number(shown)), qPrintable(label));
    if (accepted) {
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
        QCOMPARE(db.scalar(QStringLiteral("select ywtips from t_ywbh")).toString(), stored);
        QCOMPARE(db.scalar(QStringLiteral("select ywname from t_ywbh")).toString(), QStringLiteral("项目"));
        QCOMPARE(nameAfter, QString()); // cleared for the next project
    } else {
        QCOMPARE(boxes.texts(), QStringList{kTipsMessage});
        QCOMPARE(db.count(QStringLiteral("t_ywbh")), 0);
        QCOMPARE(nameAfter, QStringLiteral("项目")); // kept, trimmed
    }
}

void TestProjects::addRefusesEmptyAndDuplicateNames()
{
    tst::TestDb& db = *m_db;
    tst::addProject(ADOcon(), QStringLiteral("满意度回访"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmopt> w;

    QVERIFY(dt::withDialog<Tfrmaddxm>([&] { ctl<QPushButton>(w.get(), "Button1")->click(); },
                                      [&](Tfrmaddxm* d) {
                                          typeAndSave(d, QStringLiteral(" \t "), QStringLiteral("提示"));
                                          // Blanks around a name do not make it a new one.
                                          typeAndSave(d, QStringLiteral("  满意度回访 \n"), QStringLiteral("提示"));
                                          QCOMPARE(ctl<QLineEdit>(d, "Edit1")->text(), QStringLiteral("满意度回访"));
                                          d->reject();
                                      }));
    QCOMPARE(boxes.texts(),
             (QStringList{QStringLiteral("请输入项目名!"), QStringLiteral("该业务名已经存在，请不要重复输入!")}));
    QCOMPARE(db.count(QStringLiteral("t_ywbh")), 1);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
}

void TestProjects::addKeepsEnteringOrCloses()
{
    tst::TestDb& db = *m_db;
    tst::MsgScript boxes;
    dt::Shown<Tfrmopt> w;
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");

    QPointer<Tfrmaddxm> dialog;
    bool openAfterFirst = false;
    QString memoAfterFirst = QStringLiteral("x");
    QVERIFY(dt::withDialog<Tfrmaddxm>([&] { ctl<QPushButton>(w.get(), "Button1")->click(); },
                                      [&](Tfrmaddxm* d) {
                                          dialog = d;
                                          QVERIFY(ctl<QCheckBox>(d, "CheckBox1")->isChecked());
                                          typeAndSave(d, QStringLiteral("一号项目"), QStringLiteral("第一行\n第二行"));
                                          openAfterFirst = d->isVisible();
                                          memoAfterFirst = ctl<QPlainTextEdit>(d, "Memo1")->toPlainText();
                                          ctl<QCheckBox>(d, "CheckBox1")->setChecked(false);
                                          typeAndSave(d, QStringLiteral("二号项目"), QString());
                                      }));
    QVERIFY(openAfterFirst);
    QCOMPARE(memoAfterFirst, QString());
    dt::flushDeletes();
    QVERIFY(dialog.isNull()); // unticked: closed (and freed) after the second save
    QCOMPARE(boxes.texts(), (QStringList{QStringLiteral("保存成功!"), QStringLiteral("保存成功!")}));

    // Both are listed at once, active by default, and logged.
    QCOMPARE(g->rowCount(), 2);
    QCOMPARE(g->text(1, QStringLiteral("ywname")), QStringLiteral("二号项目"));
    QCOMPARE(g->text(1, QStringLiteral("vlname")), QStringLiteral("启用"));
    QCOMPARE(db.scalar(QStringLiteral("select ywtips from t_ywbh where ywname='一号项目'")).toString(),
             QStringLiteral("第一行\n第二行"));
    QCOMPARE(dt::logTexts(db), (QStringList{QStringLiteral("添加项目:二号项目"), QStringLiteral("添加项目:一号项目")}));
    QCOMPARE(db.scalar(QStringLiteral("select uname||'/'||truename||'/'||ipaddr from syslog limit 1")).toString(),
             QStringLiteral("admin/系统管理员/"));
}

void TestProjects::hostileTextStoredUnchanged()
{
    tst::TestDb& db = *m_db;
    tst::MsgScript boxes;
    dt::Shown<Tfrmopt> w;
    const QString name = QStringLiteral("O'Brien\"s 项目'; drop table t_ywbh; --\\");
    const QString tips = QStringLiteral("它说：'你好' \"引号\" %_ \\n ;");

    QVERIFY(dt::withDialog<Tfrmaddxm>([&] { ctl<QPushButton>(w.get(), "Button1")->click(); },
                                      [&](Tfrmaddxm* d) {
                                          typeAndSave(d, name, tips);
                                          typeAndSave(d, name, tips); // found as the duplicate it is
                                          d->reject();
                                      }));
    QCOMPARE(boxes.texts(),
             (QStringList{QStringLiteral("保存成功!"), QStringLiteral("该业务名已经存在，请不要重复输入!")}));
    QCOMPARE(db.scalar(QStringLiteral("select ywname from t_ywbh")).toString(), name);
    QCOMPARE(db.scalar(QStringLiteral("select ywtips from t_ywbh")).toString(), tips);
    QCOMPARE(dt::logTexts(db), QStringList{QStringLiteral("添加项目:") + name});

    // Stopping, editing and deleting it work with the same name.
    boxes.clear();
    boxes.answer(msg::Answer::Yes);
    ctl<QPushButton>(w.get(), "Button4")->click();
    QCOMPARE(db.scalar(QStringLiteral("select zt from t_ywbh")).toInt(), 0);
    QCOMPARE(dt::logTexts(db).first(), QStringLiteral("停用项目　:") + name);
    QVERIFY(dt::withDialog<Tfrmeditxm>([&] { ctl<QPushButton>(w.get(), "Button2")->click(); },
                                       [&](Tfrmeditxm* d) {
                                           QCOMPARE(ctl<QLineEdit>(d, "Edit1")->text(), name);
                                           ctl<QPlainTextEdit>(d, "Memo1")->setPlainText(tips + "'");
                                           ctl<QPushButton>(d, "Button1")->click();
                                       }));
    QCOMPARE(db.scalar(QStringLiteral("select ywtips from t_ywbh")).toString(), tips + "'");
    boxes.answer(msg::Answer::Ok);
    ctl<QPushButton>(w.get(), "Button5")->click();
    QCOMPARE(boxes.boxes().at(boxes.count() - 1).text,
             QStringLiteral("您确定要删除项目《") + name + QStringLiteral("》么?"));
    QCOMPARE(db.count(QStringLiteral("t_ywbh")), 0);
    QCOMPARE(dt::logTexts(db).first(), QStringLiteral("删除项目:") + name);
}

void TestProjects::callingRules()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    const qint64 p = tst::addProject(ADOcon(), QStringLiteral("回访'项目"), QStringLiteral("提示"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmopt> w;
    ctl<TDBGrid>(w.get(), "DBGrid1")->setCurrentRowIndex(0);
    auto rules = [&](const QString& weekendStart) {
        return dt::withDialog<Tfrmhjgz>([&] { ctl<QPushButton>(w.get(), "ButtonRules")->click(); },
                                        [&](Tfrmhjgz* d) {
                                            // No rules yet: every delay 0, no limit, any time, 30 minutes.
                                            QCOMPARE(ctl<QSpinBox>(d, "SpinDelay3")->value(), 0);
                                            QCOMPARE(ctl<QSpinBox>(d, "SpinGrace")->value(), 30);
                                            ctl<QSpinBox>(d, "SpinDelay3")->setValue(30); // 无应答
                                            ctl<QSpinBox>(d, "SpinLimit3")->setValue(5);
                                            ctl<QLineEdit>(d, "EditWeekdayStart")->setText(QStringLiteral("9:00"));
                                            ctl<QLineEdit>(d, "EditWeekdayEnd")->setText(QStringLiteral("18:00"));
                                            ctl<QLineEdit>(d, "EditWeekendStart")->setText(weekendStart);
                                            ctl<QLineEdit>(d, "EditWeekendEnd")->setText(QStringLiteral("12:00"));
                                            ctl<QPushButton>(d, "Button1")->click();
                                        });
    };
    // A time that is none is refused and nothing is kept.
    QVERIFY(rules(QStringLiteral("25:00'")));
    QVERIFY(boxes.lastText().startsWith(QStringLiteral("呼叫时段请填写开始和结束时间")));
    QCOMPARE(db.count(QStringLiteral("cbgz")), 0);
    QCOMPARE(db.count(QStringLiteral("hjsd")), 0);
    QVERIFY(rules(QStringLiteral("10:00")));
    QCOMPARE(boxes.lastText(), QStringLiteral("保存成功!"));
    QCOMPARE(db.scalar(QStringLiteral("select sljg||'|'||ycfz||'|'||zdcs from cbgz where ywbh=%1").arg(p)).toString(),
             QStringLiteral("无应答|30|5"));
    QCOMPARE(
        db.scalar(QStringLiteral("select grks||grjs||zmks||zmjs||'|'||gkfz from hjsd where ywbh=%1").arg(p)).toString(),
        QStringLiteral("09:0018:0010:0012:00|30"));
}

void TestProjects::editChecksAndSaves()
{
    tst::TestDb& db = *m_db;
    tst::addProject(ADOcon(), QStringLiteral("甲"), QStringLiteral("甲提示"));
    const qint64 b = tst::addProject(ADOcon(), QStringLiteral("乙"), QStringLiteral("乙提示"));
    tst::addProject(ADOcon(), QStringLiteral("丙"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmopt> w;
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");
    g->setCurrentRowIndex(1);

    auto edit = [&](const QString& name, const QString& tips) {
        return dt::withDialog<Tfrmeditxm>([&] { g->doubleClicked(g->currentIndex()); },
                                          [&](Tfrmeditxm* d) {
                                              QCOMPARE(ctl<QLineEdit>(d, "Edit1")->text(), QStringLiteral("乙"));
                                              QCOMPARE(ctl<QPlainTextEdit>(d, "Memo1")->toPlainText(),
                                                       QStringLiteral("乙提示"));
                                              ctl<QLineEdit>(d, "Edit1")->setText(name);
                                              ctl<QPlainTextEdit>(d, "Memo1")->setPlainText(tips);
                                              ctl<QPushButton>(d, "Button1")->click();
                                              if (d->isVisible())
                                                  d->reject();
                                          });
    };
    QVERIFY(edit(QStringLiteral(" 甲 "), QStringLiteral("x")));
    QCOMPARE(boxes.lastText(), QStringLiteral("该项目名称已经存在，请不要重复！"));
    // The two checks the add dialog makes hold here as well.
    QVERIFY(edit(QStringLiteral("  "), QStringLiteral("x")));
    QCOMPARE(boxes.lastText(), QStringLiteral("请输入项目名!"));
    QVERIFY(edit(QStringLiteral("乙"), cjk(127) + "ab"));
    QCOMPARE(boxes.lastText(), kTipsMessage);
    QCOMPARE(db.scalar(QStringLiteral("select ywtips from t_ywbh where ywbh=%1").arg(b)).toString(),
             QStringLiteral("乙提示"));
    {
        // A save whose list cannot be read back changes nothing, as its message says.
        dt::FailWhere fail(QStringLiteral("as vlname from t_ywbh"));
        QVERIFY(edit(QStringLiteral("乙改"), QStringLiteral("改")));
    }
    QCOMPARE(boxes.lastText(), QStringLiteral("操作数据库时出错，请检查网络连接!"));
    QCOMPARE(db.scalar(QStringLiteral("select ywname||ywtips from t_ywbh where ywbh=%1").arg(b)).toString(),
             QStringLiteral("乙乙提示"));
    QCOMPARE(ADOcon().transactionDepth(), 0);

    // Keeping its own name is no duplicate; the row shows the new prompt in its place.
    QVERIFY(edit(QStringLiteral("乙 "), QStringLiteral(" 新提示\n第二行 ")));
    QCOMPARE(boxes.lastText(), QStringLiteral("保存成功"));
    QCOMPARE(g->currentRowIndex(), 1);
    QCOMPARE(g->text(1, QStringLiteral("ywtips")), QStringLiteral("新提示\n第二行"));
    QCOMPARE(db.count(QStringLiteral("syslog")), 0); // editing is not logged
}

void TestProjects::dispositionCodes()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    const qint64 p = tst::addProject(ADOcon(), QStringLiteral("应答'项目"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmopt> w;
    ctl<TDBGrid>(w.get(), "DBGrid1")->setCurrentRowIndex(0);
    auto codes = [&](const QString& refusal) {
        return dt::withDialog<Tfrmczfl>([&] { ctl<QPushButton>(w.get(), "ButtonClasses")->click(); },
                                        [&](Tfrmczfl* d) {
                                            // The defaults, with the standard's classes beside them.
                                            QCOMPARE(ctl<QLineEdit>(d, "EditCode1")->text(), QStringLiteral("1.1"));
                                            QCOMPARE(ctl<QLineEdit>(d, "EditCode8")->text(), QStringLiteral("3.11"));
                                            QCOMPARE(ctl<QTableWidget>(d, "TableClasses")->rowCount(), 8);
                                            ctl<QLineEdit>(d, "EditCode2")->setText(refusal); // 拒访
                                            ctl<QPushButton>(d, "Button1")->click();
                                        });
    };
    QVERIFY(codes(QStringLiteral("2.1'; --")));
    QVERIFY(boxes.lastText().startsWith(QStringLiteral("“拒访”的处置代码不是标准的代码")));
    QCOMPARE(db.scalar(QStringLiteral("select czdm from czfl where sljg='拒访' and ywbh=%1").arg(p)).toString(),
             QStringLiteral("2.11"));
    QVERIFY(codes(QStringLiteral(" 2.12 ")));
    QCOMPARE(boxes.lastText(), QStringLiteral("保存成功!"));
    QCOMPARE(db.scalar(QStringLiteral("select czdm from czfl where sljg='拒访' and ywbh=%1").arg(p)).toString(),
             QStringLiteral("2.12"));
}

void TestProjects::stopAndStartRestorePosition()
{
    tst::TestDb& db = *m_db;
    for (const char* n : {"一", "二", "三", "四"})
        tst::addProject(ADOcon(), QString::fromUtf8(n));
    tst::MsgScript boxes;
    dt::Shown<Tfrmopt> w;
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");
    auto* stop = ctl<QPushButton>(w.get(), "Button4");
    auto* start = ctl<QPushButton>(w.get(), "Button3");

    g->setCurrentRowIndex(2);
    boxes.answer(msg::Answer::No);
    stop->click();
    QCOMPARE(boxes.boxes().last().caption, QStringLiteral("业务启用确认"));
    QCOMPARE(boxes.lastText(), QStringLiteral("您确定要停用项目:三么?"));
    QCOMPARE(db.count(QStringLiteral("t_ywbh"), QStringLiteral("zt=0")), 0);

    boxes.answer(msg::Answer::Yes);
    stop->click();
    QCOMPARE(db.scalar(QStringLiteral("select zt from t_ywbh where ywname='三'")).toInt(), 0);
    QCOMPARE(g->currentRowIndex(), 2);
    QCOMPARE(g->text(2, QStringLiteral("vlname")), QStringLiteral("停用"));
    QCOMPARE(dt::logTexts(db), QStringList{QStringLiteral("停用项目　:三")});
    QVERIFY(!QApplication::overrideCursor());

    // Already stopped: told so, nothing asked, nothing logged.
    boxes.clear();
    stop->click();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("该项目原来已经处于停用状态!")});
    QCOMPARE(db.count(QStringLiteral("syslog")), 1);

    boxes.answer(msg::Answer::Yes);
    start->click();
    QCOMPARE(boxes.lastText(), QStringLiteral("您确定要启用项目:三么?"));
    QCOMPARE(db.count(QStringLiteral("t_ywbh"), QStringLiteral("zt=1")), 4);
    QCOMPARE(g->currentRowIndex(), 2);
    QCOMPARE(dt::logTexts(db).first(), QStringLiteral("启用项目　:三"));
    boxes.clear();
    start->click();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("该项目原来已经处于启用状态!")});
}

void TestProjects::stopRollsBackWhenLogFails()
{
    tst::TestDb& db = *m_db;
    tst::addProject(ADOcon(), QStringLiteral("甲"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmopt> w;

    {
        dt::FailWhere fail(QStringLiteral("syslog"));
        boxes.answer(msg::Answer::Yes);
        ctl<QPushButton>(w.get(), "Button4")->click();
    }

    QCOMPARE(boxes.lastText(), QStringLiteral("连接数据库出错"));
    QCOMPARE(ADOcon().transactionDepth(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select zt from t_ywbh")).toInt(), 1);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    QVERIFY(!QApplication::overrideCursor());

    // The same when the update itself fails; afterwards the window works as before.
    {
        dt::FailWhere fail(QStringLiteral("update t_ywbh"));
        boxes.answer(msg::Answer::Yes);
        ctl<QPushButton>(w.get(), "Button4")->click();
    }
    QCOMPARE(boxes.lastText(), QStringLiteral("连接数据库出错"));
    QCOMPARE(ADOcon().transactionDepth(), 0);
    boxes.answer(msg::Answer::Yes);
    ctl<QPushButton>(w.get(), "Button4")->click();
    QCOMPARE(db.scalar(QStringLiteral("select zt from t_ywbh")).toInt(), 0);
    QCOMPARE(db.count(QStringLiteral("syslog")), 1);
}

void TestProjects::deleteOnlyWithoutCustomers()
{
    tst::TestDb& db = *m_db;
    const qint64 used = tst::addProject(ADOcon(), QStringLiteral("有客户"));
    const qint64 empty = tst::addProject(ADOcon(), QStringLiteral("无客户"));
    tst::addCustomer(db.con(), used, QStringLiteral("13800000000"));
    tst::addQuestion(ADOcon(), empty, 1, QStringLiteral("问题"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmopt> w;
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");
    auto* del = ctl<QPushButton>(w.get(), "Button5");

    del->click(); // first row: has one customer record
    QCOMPARE(boxes.texts(),
             QStringList{QStringLiteral("该项目已经存在用户数据，不能删除。建议对该项目采取“停用”措施!")});
    QCOMPARE(db.count(QStringLiteral("t_ywbh")), 2);

    g->setCurrentRowIndex(1);
    boxes.clear();
    boxes.answer(msg::Answer::Cancel);
    del->click();
    QCOMPARE(boxes.boxes().last().caption, QStringLiteral("操作确认"));
    QCOMPARE(boxes.lastText(), QStringLiteral("您确定要删除项目《无客户》么?"));
    QCOMPARE(db.count(QStringLiteral("t_ywbh")), 2);

    boxes.answer(msg::Answer::Ok);
    del->click();
    QCOMPARE(db.count(QStringLiteral("t_ywbh")), 1);
    QCOMPARE(g->rowCount(), 1);
    QCOMPARE(g->currentRowIndex(), 0);
    QCOMPARE(dt::logTexts(db), QStringList{QStringLiteral("删除项目:无客户")});
    QCOMPARE(db.count(QStringLiteral("q_table")), 1); // its questions stay

    // A failing delete leaves the list and the log as they were.
    db.exec(QStringLiteral("delete from yhda"));
    {
        dt::FailWhere fail(QStringLiteral("delete from t_ywbh"));
        boxes.answer(msg::Answer::Ok);
        del->click();
    }
    QCOMPARE(boxes.lastText(), QStringLiteral("操作数据库时出错，请检查网络连接!"));
    QCOMPARE(g->rowCount(), 1);
    QCOMPARE(db.count(QStringLiteral("syslog")), 1);
}

void TestProjects::writesAndLogRowsGoTogether()
{
    // A save or delete whose log row cannot be written keeps nothing: the message tells the truth.
    tst::TestDb& db = *m_db;
    tst::addProject(ADOcon(), QStringLiteral("旧项目"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmopt> w;
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");
    {
        dt::FailWhere fail(QStringLiteral("insert into  syslog"));
        QVERIFY(dt::withDialog<Tfrmaddxm>([&] { ctl<QPushButton>(w.get(), "Button1")->click(); },
                                          [&](Tfrmaddxm* d) {
                                              typeAndSave(d, QStringLiteral("新项目"), QString());
                                              d->close();
                                          }));
    }
    QCOMPARE(boxes.lastText(), QStringLiteral("操作数据库时出错，请检查网络连接!"));
    QCOMPARE(db.count(QStringLiteral("t_ywbh")), 1);
    QCOMPARE(g->rowCount(), 1);
    QCOMPARE(ADOcon().transactionDepth(), 0);

    g->setCurrentRowIndex(0);
    {
        dt::FailWhere fail(QStringLiteral("insert into  syslog"));
        boxes.answer(msg::Answer::Ok);
        ctl<QPushButton>(w.get(), "Button5")->click();
    }
    QCOMPARE(boxes.lastText(), QStringLiteral("操作数据库时出错，请检查网络连接!"));
    QCOMPARE(db.count(QStringLiteral("t_ywbh")), 1);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    QCOMPARE(g->rowCount(), 1);
}

void TestProjects::emptyListButtonsDoNothing()
{
    tst::MsgScript boxes;
    boxes.strict();
    dt::Shown<Tfrmopt> w;
    for (const char* b : {"Button2", "Button3", "Button4", "Button5"})
        ctl<QPushButton>(w.get(), b)->click();
    QCOMPARE(boxes.count(), 0);
    QVERIFY(!frmeditxm);
    ctl<QPushButton>(w.get(), "Button6")->click();
    dt::flushDeletes();
    QVERIFY(w.w.isNull());
}

void TestProjects::dialogsSurviveFreedList()
{
    tst::TestDb& db = *m_db;
    tst::addProject(ADOcon(), QStringLiteral("甲"));
    tst::MsgScript boxes;

    // The list closes while its edit dialog is open: the save still reaches the right project.
    {
        dt::Shown<Tfrmopt> w;
        QVERIFY(dt::withDialog<Tfrmeditxm>([&] { ctl<QPushButton>(w.get(), "Button2")->click(); },
                                           [&](Tfrmeditxm* d) {
                                               delete w.get();
                                               ctl<QLineEdit>(d, "Edit1")->setText(QStringLiteral("甲改"));
                                               ctl<QPushButton>(d, "Button1")->click();
                                           }));
        QVERIFY(w.w.isNull());
    }
    QCOMPARE(boxes.lastText(), QStringLiteral("保存成功"));
    QCOMPARE(db.scalar(QStringLiteral("select ywname from t_ywbh")).toString(), QStringLiteral("甲改"));

    // No list at all: adding still works; editing has nothing to edit and closes.
    QVERIFY(!frmopt);
    auto* add = new Tfrmaddxm;
    add->show();
    typeAndSave(add, QStringLiteral("乙"), QString());
    QCOMPARE(db.count(QStringLiteral("t_ywbh")), 2);
    add->close();
    QPointer<Tfrmeditxm> edit = new Tfrmeditxm;
    edit->show();
    QTRY_VERIFY(!edit || !edit->isVisible());
    dt::flushDeletes();
    QVERIFY(edit.isNull());
}

void TestProjects::dialogsActOnTheListThatOpenedThem()
{
    tst::TestDb& db = *m_db;
    tst::addProject(ADOcon(), QStringLiteral("甲"));
    tst::addProject(ADOcon(), QStringLiteral("乙"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmopt> older;
    dt::Shown<Tfrmopt> newer;
    QCOMPARE(frmopt.data(), newer.get());
    ctl<TDBGrid>(newer.get(), "DBGrid1")->setCurrentRowIndex(1);

    // Editing from the older window edits the project selected there, not the newest window's.
    QString shown;
    QVERIFY(dt::withDialog<Tfrmeditxm>([&] { ctl<QPushButton>(older.get(), "Button2")->click(); },
                                       [&](Tfrmeditxm* d) {
                                           shown = ctl<QLineEdit>(d, "Edit1")->text();
                                           ctl<QLineEdit>(d, "Edit1")->setText(QStringLiteral("甲改"));
                                           ctl<QPushButton>(d, "Button1")->click();
                                       }));
    QCOMPARE(shown, QStringLiteral("甲"));
    QCOMPARE(db.count(QStringLiteral("t_ywbh"), QStringLiteral("ywname in ('甲改','乙')")), 2);
    QCOMPARE(ctl<TDBGrid>(older.get(), "DBGrid1")->text(0, QStringLiteral("ywname")), QStringLiteral("甲改"));
}

void TestProjects::scalingByScreenWidth()
{
    tst::MsgScript boxes;
    const scaling::Factor f = scaling::forScreenWidth(QGuiApplication::primaryScreen()->geometry().width());
    if (f.identity())
        QSKIP("this screen width keeps every window at its design size");
    const qreal base = QApplication::font().pointSizeF();
    const qreal scaled = base * f.num / f.den;
    // The list windows, the option manager and the project dialogs scale; the other dialogs do not.
    const QList<QPair<QWidget*, bool>> windows = {
        {new Tfrmopt, true},         {new Tfrmaddxm, true},   {new Tfrmeditxm, true},
        {new Tfrmoptsel, true},      {new TfrmMansel, true},  {new Tfrmaddoptsel, false},
        {new Tfrmeditoptsel, false}, {new Tfrmaddsel, false}, {new Tfrmeditsel, false}};
    for (const auto& [w, scales] : windows) {
        QVERIFY2(qFuzzyCompare(w->font().pointSizeF(), scales ? scaled : base), w->metaObject()->className());
        delete w;
    }
}

TV_TEST_MAIN(TestProjects)
#include "tst_projects.moc"
