// The administration windows as an administrator and an operator use them.
#include "support/testmain.h"

#include "design/testkit.h"
#include "support/logcapture.h"
#include "support/msgscript.h"
#include "support/operators.h"

#include "admin/frmadduser.h"
#include "admin/frmchangepwd.h"
#include "admin/frmedituser.h"
#include "admin/frmsyslog.h"
#include "admin/frmsysset.h"
#include "admin/frmuser.h"
#include "app/registerall.h"
#include "core/dbgrid.h"
#include "core/login.h"
#include "core/mainwindow.h"
#include "core/pub.h"
#include "phone/softphone.h"
#include "db/dm.h"
#include "db/password.h"
#include "visit/seljg.h"
#include "visit/visitfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QToolButton>

using dt::ctl;

namespace {

const QString kRefused = QStringLiteral("用户名或登录密码不正确!");

bool login(const QString& name, const QString& pwd)
{
    Tfrmlogin dlg;
    dlg.Edit1->setText(name);
    dlg.Edit2->setText(pwd);
    dlg.BitBtn1->click();
    return dlg.result() == QDialog::Accepted;
}

// The main window of one program run after its login.
struct Session
{
    TfrmMain main;
    Session()
    {
        main.show();
        main.applyGating();
    }
    template <class W> W* open(const char* caption)
    {
        main.menuItem(QString::fromUtf8(caption))->trigger();
        const QList<QMdiSubWindow*> subs = main.mdiArea()->subWindowList();
        return subs.isEmpty() ? nullptr : qobject_cast<W*>(subs.last()->widget());
    }
};

QStringList column(TDBGrid* g, const char* field)
{
    g->fetchAll();
    QStringList v;
    for (int r = 0; r < g->rowCount(); ++r)
        v << g->text(r, QString::fromLatin1(field));
    return v;
}

int rowOf(TDBGrid* g, const QString& uname)
{
    return int(column(g, "uname").indexOf(uname));
}

// A customer project with one question whose only answer ends the questionnaire.
void addSurvey(tst::TestDb& db, int customers)
{
    const qint64 p = tst::addProject(ADOcon(), QStringLiteral("回访"));
    const qint64 q = tst::addQuestion(ADOcon(), p, 1, QStringLiteral("满意吗?"));
    tst::addOption(ADOcon(), q, QStringLiteral("满意"), 0);
    for (int i = 0; i < customers; ++i)
        tst::addCustomer(db.con(), p, QStringLiteral("1380000000%1").arg(i));
}

QStringList titles(TDBGrid* g)
{
    QStringList t;
    for (const GridColumn& c : g->columns())
        t << c.title;
    return t;
}

} // namespace

class TestAdmin : public QObject
{
    Q_OBJECT
    // A fresh database for every test.
    std::unique_ptr<tst::TestDb> m_db;

private slots:
    void initTestCase() { registerAllWindows(); }
    void init()
    {
        TfrmMain::setAutoLogin(false);
        m_db = std::make_unique<tst::TestDb>();
        QVERIFY(m_db->ok());
    }
    void cleanup() { m_db.reset(); }
    void operatorFromAddToDisable();
    void listSortsByTitle();
    void editDialogRules();
    void stateChangeFailureAndLastAdministrator();
    void logViewerFilters();
    void settingFailureKeepsTheProgramAndDatabaseAgreed();
    void seatTelephoneAccount_data();
    void seatTelephoneAccount();
};

void TestAdmin::operatorFromAddToDisable()
{
    tst::TestDb& db = *m_db;
    addSurvey(db, 3);
    tst::MsgScript boxes;
    const QString pwd = QStringLiteral("Li'pw");

    // The administrator adds the operator.
    QVERIFY(login(QStringLiteral("admin"), QStringLiteral("admin")));
    {
        Session s;
        Tfrmuser* list = s.open<Tfrmuser>("登录用户管理");
        QVERIFY(list);
        QVERIFY(dt::withDialog<Tfrmadduser>([&] { list->Button1->click(); },
                                            [&](Tfrmadduser* d) {
                                                d->Edit1->setText(QStringLiteral(" xiaoli "));
                                                d->Edit2->setText(QStringLiteral("小李"));
                                                d->Edit3->setText(pwd);
                                                d->Edit4->setText(pwd);
                                                d->CheckBox1->setChecked(false);
                                                d->Button1->click();
                                            }));
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("添加成功!")});
        QCOMPARE(column(list->DBGrid1, "uname"), (QStringList{"admin", "xiaoli"}));
        QCOMPARE(column(list->DBGrid1, "flagname"), (QStringList{"启用", "启用"}));
        QCOMPARE(column(list->DBGrid1, "tp"), (QStringList{"管理员", "话务员"}));
    }

    // The operator logs in (the quote in the password is no obstacle), draws customers and
    // changes the password.
    boxes.clear();
    QVERIFY(login(QStringLiteral("xiaoli"), pwd));
    QCOMPARE(gTruename, QStringLiteral("小李"));
    {
        Session s;
        QVERIFY(!s.main.menuItem(QStringLiteral("登录用户管理"))->isEnabled());
        const vt::View visit{s.open<Tfrmuserhf>("电话访问")};
        QVERIFY(visit.p);
        visit.click("Button1");
        const qint64 first = visit.held(db);
        QVERIFY(first > 0);
        visit.click("Button2"); // the answer ends the questionnaire; the next one is drawn
        QVERIFY(visit.held(db) > 0 && visit.held(db) != first);
        QCOMPARE(db.scalar(QStringLiteral("select slz from yhda where id=%1").arg(first)).toString(),
                 QStringLiteral("小李"));

        s.main.ToolButton4->click();
        QPointer<Tfrmchangepwd> pw = frmchangepwd;
        QVERIFY(pw && pw->isVisible());
        QVERIFY(!pw->isModal());
        QTRY_COMPARE(QApplication::focusWidget(), pw->Edit1); // typed into at once
        pw->Edit1->setText(pwd);
        pw->Edit2->setText(QStringLiteral("new pw"));
        pw->Edit3->setText(QStringLiteral(" new pw "));
        pw->Button1->click();
        dt::flushDeletes();
        QVERIFY(!pw);
        visit->approveClose();
    }
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("密码修改成功,请记住新密码!")});

    // The administrator disables the operator, who is refused at the next login.
    boxes.clear();
    QVERIFY(login(QStringLiteral("admin"), QStringLiteral("admin")));
    Session s;
    Tfrmuser* list = s.open<Tfrmuser>("登录用户管理");
    list->DBGrid1->setCurrentRowIndex(rowOf(list->DBGrid1, QStringLiteral("xiaoli")));
    boxes.answer(msg::Answer::Yes);
    list->Button6->click();
    QCOMPARE(boxes.boxes().last().caption, QStringLiteral("系统用户停用确认"));
    QCOMPARE(boxes.lastText(), QStringLiteral("您确定要停用操作人员:xiaoli小李么?"));
    QCOMPARE(list->DBGrid1->currentValue(QStringLiteral("flagname")).toString(), QStringLiteral("停用"));
    QVERIFY(!login(QStringLiteral("xiaoli"), QStringLiteral("new pw")));
    QCOMPARE(boxes.lastText(), kRefused);
    db.loginAdmin(); // the refused attempt changed nothing for the running program
    gAppPath = db.folder();

    // Every step is in the log viewer, newest first.
    Tfrmsyslog* log = s.open<Tfrmsyslog>("系统日志");
    QVERIFY(log);
    QCOMPARE(column(log->DBGrid1, "logcon"),
             (QStringList{"停用操作人员:xiaoli", "成功登录系统", "修改个人登录密码!", "成功登录系统",
                          "添加操作人员:xiaoli(小李)", "成功登录系统"}));
    log->Edit1->setText(QStringLiteral(" 小李 "));
    log->Button1->click();
    QCOMPARE(log->Edit1->text(), QStringLiteral("小李"));
    QCOMPARE(column(log->DBGrid1, "logcon"), (QStringList{"修改个人登录密码!", "成功登录系统"}));

    // The result question is switched on while a visit window holds a customer: its next
    // completion asks.
    const vt::View visit{s.open<Tfrmuserhf>("电话访问")};
    visit.click("Button1");
    const qint64 held = visit.held(db);
    QVERIFY(held > 0);
    QVERIFY(dt::withDialog<Tfrmsysset>([&] { s.main.menuItem(QStringLiteral("系统设置"))->trigger(); },
                                       [&](Tfrmsysset* d) {
                                           QVERIFY(!d->CheckBox1->isChecked());
                                           d->CheckBox1->setChecked(true);
                                           d->Button1->click();
                                       }));
    QCOMPARE(gJgts, 1);
    std::unique_ptr<tst::ModalWatcher> asked(tst::ModalWatcher::when<Tfrmseljg>(
        [](Tfrmseljg* d) { d->findChild<QPushButton*>(QStringLiteral("Button1"))->click(); }));
    visit.click("Button2");
    QVERIFY(asked->done());
    QCOMPARE(db.scalar(QStringLiteral("select jg from yhda where id=%1").arg(held)).toString(), QStringLiteral("成功"));
    visit->approveClose();
    // ... and it holds after the next start.
    QVERIFY(login(QStringLiteral("admin"), QStringLiteral("admin")));
    QCOMPARE(gJgts, 1);
}

void TestAdmin::listSortsByTitle()
{
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    tst::addOperator(db.con(), QStringLiteral("bo"), QStringLiteral("丙"), QStringLiteral("p"));
    tst::addOperator(db.con(), QStringLiteral("ann"), QStringLiteral("甲"), QStringLiteral("p"));
    dt::Shown<Tfrmuser> w;
    TDBGrid* g = w->DBGrid1;
    const int unameColumn = g->fieldIndex(QStringLiteral("uname"));
    const int truenameColumn = g->fieldIndex(QStringLiteral("truename"));
    auto click = [&](int c) { emit g->horizontalHeader()->sectionClicked(c); };

    click(unameColumn);
    QCOMPARE(column(g, "uname"), (QStringList{"admin", "ann", "bo"}));
    QCOMPARE(titles(g), (QStringList{"▲登录名", "真实姓名", "状态", "类型"}));
    click(unameColumn);
    QCOMPARE(column(g, "uname"), (QStringList{"bo", "ann", "admin"}));
    QCOMPARE(titles(g).first(), QStringLiteral("▼登录名"));
    click(unameColumn);
    QCOMPARE(w->sortText(), QStringLiteral("uname"));
    // "uname" is part of "truename": after sorting by full name downwards, the login name
    // still sorts by itself.
    click(truenameColumn);
    click(truenameColumn);
    QCOMPARE(w->sortText(), QStringLiteral("truename DESC"));
    click(unameColumn);
    QCOMPARE(w->sortText(), QStringLiteral("uname"));
    QCOMPARE(titles(g), (QStringList{"▲登录名", "真实姓名", "状态", "类型"}));
    // A search keeps the order the titles show.
    w->Edit2->setText(QStringLiteral("  "));
    w->BitBtn1->click();
    QCOMPARE(column(g, "uname"), (QStringList{"admin", "ann", "bo"}));
}

void TestAdmin::editDialogRules()
{
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    const qint64 id = tst::addOperator(db.con(), QStringLiteral("wu"), QStringLiteral("吴"), QStringLiteral("Old"),
                                       QStringLiteral("经理"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmuser> w;
    w->DBGrid1->setCurrentRowIndex(rowOf(w->DBGrid1, QStringLiteral("wu")));
    auto field = [&](const char* c) {
        return db.scalar(QStringLiteral("select %1 from syslogin where id=%2").arg(QLatin1String(c)).arg(id))
            .toString();
    };
    QVERIFY(dt::withDialog<Tfrmedituser>([&] { emit w->DBGrid1->doubleClicked(w->DBGrid1->currentIndex()); },
                                         [&](Tfrmedituser* d) {
                                             QCOMPARE(d->Edit1->text(), QStringLiteral("wu"));
                                             QCOMPARE(d->Edit3->text(), QStringLiteral("******"));
                                             QCOMPARE(d->ComboBox1->currentIndex(), -1);
                                             // The confirmation is not trimmed.
                                             d->Edit3->setText(QStringLiteral("New "));
                                             d->Edit4->setText(QStringLiteral("New "));
                                             d->Button1->click();
                                             QCOMPARE(d->Edit3->text(), QString());
                                             QCOMPARE(d->Edit4->text(), QString());
                                             // The placeholder keeps the password; the odd type
                                             // is saved as the empty text.
                                             d->Edit3->setText(QStringLiteral("******"));
                                             d->Edit4->setText(QStringLiteral("******"));
                                             d->Edit2->setText(QStringLiteral(" 吴'二 "));
                                             d->Button1->click();
                                         }));
    QCOMPARE(boxes.texts(), (QStringList{"两次密码输入不相符!", "修改成功!"}));
    QVERIFY(tst::passwordWorks(ADOcon(), QStringLiteral("wu"), QStringLiteral("Old")));
    QCOMPARE(field("tp"), QString());
    QCOMPARE(field("truename"), QStringLiteral("吴'二"));
    QCOMPARE(w->DBGrid1->currentValue(QStringLiteral("truename")).toString(), QStringLiteral("吴'二"));
}

void TestAdmin::stateChangeFailureAndLastAdministrator()
{
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    tst::addOperator(db.con(), QStringLiteral("zhou"), QStringLiteral("周"), QStringLiteral("p"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmuser> w;
    TDBGrid* g = w->DBGrid1;

    // The built-in administrator is the only one: neither deleted, nor disabled, nor asked about.
    g->setCurrentRowIndex(rowOf(g, QStringLiteral("admin")));
    w->Button3->click();
    w->Button6->click();
    w->Button5->click();
    QCOMPARE(boxes.texts(),
             (QStringList{"  不能删除系统默认的操作人员!   ", "系统中至少要保留一个启用的管理员，不能停用该操作人员!",
                          "该操作人员原来已经处于启用状态!"}));

    // A failing log row takes the state change with it; the cursor comes back.
    boxes.clear();
    g->setCurrentRowIndex(rowOf(g, QStringLiteral("zhou")));
    boxes.answer(msg::Answer::Yes);
    tst::LogCapture log;
    {
        dt::FailWhere fail(QStringLiteral("insert into  syslog"));
        w->Button6->click();
    }
    QCOMPARE(boxes.lastText(), QStringLiteral("连接数据库出错"));
    QCOMPARE(log.count(QStringLiteral("disk I/O error [statement: insert into syslog")), 1);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(ADOcon().transactionDepth(), 0);
    QCOMPARE(db.count(QStringLiteral("syslogin"), QStringLiteral("uname='zhou' and zt=0")), 1);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);

    // Disabled, then deleted after the question.
    boxes.clear();
    boxes.answer(msg::Answer::Yes).answer(msg::Answer::Yes);
    w->Button6->click();
    QCOMPARE(g->currentValue(QStringLiteral("uname")).toString(), QStringLiteral("zhou"));
    w->Button3->click();
    QCOMPARE(boxes.lastText(), QStringLiteral("您确定要删除操作人员zhou(周)么?"));
    QCOMPARE(column(g, "uname"), QStringList{"admin"});
    QCOMPARE(dt::logTexts(db), (QStringList{"删除操作人员:zhou(周)", "停用操作人员:zhou"}));
}

void TestAdmin::logViewerFilters()
{
    tst::TestDb& db = *m_db;
    db.loginAdmin();
    WriteSysLog(QStringLiteral("成功登录系统"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmsyslog> w;
    QCOMPARE(column(w->DBGrid1, "ipaddr"), QStringList{""});
    QVERIFY(!w->DateTimePicker1->isEnabled());
    QCOMPARE(w->DateTimePicker1->date(), QDate::currentDate());
    w->CheckBox1->setChecked(true);
    QVERIFY(w->DateTimePicker1->isEnabled() && w->Label3->isEnabled());
    w->Button1->click();
    QCOMPARE(w->DBGrid1->rowCount(), 1);
    {
        dt::FailWhere fail(QStringLiteral("from syslog"));
        w->Button1->click();
    }
    QVERIFY(boxes.lastText().startsWith(QStringLiteral("连接数据库服务器出错")));
    QVERIFY(boxes.lastText().size() > QStringLiteral("连接数据库服务器出错").size());
    QVERIFY(!w->DBGrid1->isOpen());
    QVERIFY(!QApplication::overrideCursor());
}

void TestAdmin::settingFailureKeepsTheProgramAndDatabaseAgreed()
{
    tst::TestDb& db = *m_db;
    db.loginAs(QStringLiteral("admin"), QStringLiteral("系统管理员"), QStringLiteral("管理员"), 1);
    db.exec(QStringLiteral("update [option] set jgts=1"));
    tst::MsgScript boxes;
    Tfrmsysset d;
    d.show();
    QVERIFY(d.CheckBox1->isChecked());
    d.CheckBox1->setChecked(false);
    {
        dt::FailWhere fail(QStringLiteral("set jgts=")); // the settings row cannot be written
        d.Button1->click();
    }
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.boxes().first().icon, msg::Icon::Error);
    QVERIFY(d.isVisible());
    QCOMPARE(gJgts, 1);
    QCOMPARE(db.scalar(QStringLiteral("select jgts from [option]")).toInt(), 1);
    d.Button1->click();
    QVERIFY(!d.isVisible());
    QCOMPARE(gJgts, 0);
    QCOMPARE(db.scalar(QStringLiteral("select jgts from [option]")).toInt(), 0);
}

void TestAdmin::seatTelephoneAccount_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("folder"); // empty: no recording; "-": recording without a folder
    QTest::addColumn<QString>("says");   // empty: stored
    const QString abs = QDir::tempPath() + QStringLiteral("/录音");
    QTest::newRow("account") << "pbx.example:5060" << "8001" << "pw'\\x" << "9" << abs << "";
    QTest::newRow("no password typed") << "pbx.example" << "8001" << "" << "" << "" << "";
    QTest::newRow("blank in server") << "pbx example" << "8001" << "pw" << "" << "" << "空格";
    QTest::newRow("no user") << "pbx.example" << " " << "pw" << "" << "" << "用户名";
    QTest::newRow("quote in user") << "pbx.example" << "80'01\"" << "pw" << "" << "" << "引号";
    QTest::newRow("letters in prefix") << "pbx.example" << "8001" << "pw" << "9';drop" << "" << "前缀";
    QTest::newRow("semicolon in password") << "pbx.example" << "8001" << "a;b" << "" << "" << "密码";
    QTest::newRow("recording without folder") << "pbx.example" << "8001" << "pw" << "" << "-" << "录音文件夹";
    QTest::newRow("relative folder") << "pbx.example" << "8001" << "pw" << "" << "rec" << "完整路径";
}

// The seat's SIP account is kept in the seat's settings file, the password alone in a file only
// its owner reads; a bad value is refused with the reason and nothing is written.
void TestAdmin::seatTelephoneAccount()
{
    QFETCH(QString, server);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, prefix);
    QFETCH(QString, folder);
    QFETCH(QString, says);
    tst::TestDb& db = *m_db;
    db.loginAs(QStringLiteral("admin"), QStringLiteral("系统管理员"), QStringLiteral("管理员"), 1);
    const QString ini = pub::seatSettingsFile();
    QFile::remove(ini); // the server tests' seat file names the database: read it back after
    tst::MsgScript boxes;
    Tfrmsysset d;
    d.show();
    QVERIFY(d.EditSipServer->text().isEmpty());
    d.EditSipServer->setText(server);
    d.EditSipUser->setText(user);
    d.EditSipPassword->setText(password);
    d.EditSipPrefix->setText(prefix);
    d.CheckSipRecord->setChecked(!folder.isEmpty());
    d.EditSipRecordFolder->setText(folder == u"-" ? QString() : folder);
    d.Button1->click();
    const QString pwdFile = QFileInfo(ini).absoluteDir().filePath(QStringLiteral("sip.pwd"));
    if (!says.isEmpty()) {
        QCOMPARE(boxes.count(), 1);
        QVERIFY2(boxes.lastText().contains(says), qPrintable(boxes.lastText()));
        QVERIFY(d.isVisible());
        QVERIFY(!QFile::exists(ini));
        QVERIFY(!QFile::exists(pwdFile));
        return;
    }
    QCOMPARE(boxes.count(), 0);
    QVERIFY(!d.isVisible());
    QFile f(ini);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    QVERIFY(written.contains("[sip]"));
    QCOMPARE(QFile::exists(pwdFile), !password.isEmpty());
    if (!password.isEmpty()) {
        QVERIFY(!written.contains(password.toUtf8()));
        QCOMPARE(QFile(pwdFile).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
        QString why;
        QCOMPARE(phone::Softphone::readPassword(pwdFile, &why), password);
    }
    // Read back as stored; the password is never shown again.
    Tfrmsysset again;
    again.show();
    QCOMPARE(again.EditSipServer->text(), server);
    QCOMPARE(again.EditSipUser->text(), user);
    QCOMPARE(again.EditSipPrefix->text(), prefix);
    QCOMPARE(again.EditSipRecordFolder->text(), folder);
    QVERIFY(again.EditSipPassword->text().isEmpty());
}

TV_TEST_MAIN(TestAdmin)
#include "tst_admin.moc"
