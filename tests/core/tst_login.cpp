// The login dialog against a real database file.
#include "support/modal.h"
#include "support/msgscript.h"
#include "support/testdb.h"
#include "support/testmain.h"

#include "core/login.h"
#include "core/mainwindow.h"
#include "core/pub.h"
#include "db/backup.h"
#include "db/dm.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <unistd.h>

class TstLogin : public QObject
{
    Q_OBJECT
private slots:
    void adminLogsInAndLeavesTraces();
    void blanksAndLetterCase_data();
    void blanksAndLetterCase();
    void refusedLogins_data();
    void refusedLogins();
    void retryAfterFailure();
    void hostileInputIsJustWrong();
    void missingDatabaseLeavesNoFile();
    void cancelEndsWithoutDatabaseAccess();
    void settingsRowGivesJgts();
    void failureAfterOperatorFound();
    void databaseCannotBeWritten_data();
    void databaseCannotBeWritten();
};

namespace {
bool login(const QString& name, const QString& pwd)
{
    Tfrmlogin dlg;
    dlg.Edit1->setText(name);
    dlg.Edit2->setText(pwd);
    dlg.BitBtn1->click();
    return dlg.result() == QDialog::Accepted;
}
} // namespace

void TstLogin::adminLogsInAndLeavesTraces()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    tst::MsgScript boxes;
    boxes.strict();
    QVERIFY(login("admin", "admin"));
    QCOMPARE(boxes.count(), 0);
    QVERIFY(gLoginOk);
    QCOMPARE(gUname, QString("admin"));
    QCOMPARE(gTruename, QString("系统管理员"));
    QCOMPARE(gTp, QString("管理员"));
    QCOMPARE(gAppPath, db.folder());
    QVERIFY(gIpAddr.isEmpty());
    QCOMPARE(db.count("syslog"), 1);
    QCOMPARE(db.scalar("select logcon from syslog").toString(), QString("成功登录系统"));
    QCOMPARE(db.scalar("select uname from syslog").toString(), QString("admin"));
    QCOMPARE(db.scalar("select truename from syslog").toString(), QString("系统管理员"));
    QCOMPARE(db.scalar("select ipaddr from syslog").toString(), QString(""));
    QVERIFY(!db.scalar("select ipaddr from syslog").isNull());
    QVERIFY(!db.scalar("select dt from syslog").toString().isEmpty());
    if (db.onServer())
        return; // a server is backed up with its own tools, not by the login
    // the safety copy holds what the database held at that moment, and is replaced by the next login
    const QString bak = QDir(db.folder()).filePath("dhyx.bak");
    QVERIFY(db::waitForBackup());
    QVERIFY(QFile::exists(bak));
    db.exec("insert into t_ywbh(ywname) values('after first login')");
    QVERIFY(login("admin", "admin"));
    QVERIFY(db::waitForBackup());
    db::Connection copy("copy");
    copy.open(bak);
    QCOMPARE(copy.scalar("select count(*) from t_ywbh").toInt(), 1);
    QCOMPARE(copy.scalar("PRAGMA integrity_check").toString(), QString("ok"));
}

void TstLogin::blanksAndLetterCase_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pwd");
    QTest::newRow("blanks") << "  zhang  " << "\tSecret1 ";
    QTest::newRow("case") << "ZHANG" << "secret1";
    QTest::newRow("both") << " Zhang\n" << " SECRET1\t";
}

void TstLogin::blanksAndLetterCase()
{
    QFETCH(QString, name);
    QFETCH(QString, pwd);
    tst::TestDb db;
    QVERIFY(db.ok());
    tst::addOperator(db.con(), "zhang", "张三", "Secret1");
    tst::MsgScript boxes;
    boxes.strict();
    Tfrmlogin dlg;
    dlg.Edit1->setText(name);
    dlg.Edit2->setText(pwd);
    dlg.BitBtn1->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(gUname, QString("zhang")); // as stored
    QCOMPARE(gTruename, QString("张三"));
    QCOMPARE(gTp, QString("话务员"));
    // the boxes keep what was typed
    QCOMPARE(dlg.Edit1->text(), name);
    QCOMPARE(dlg.Edit2->text(), pwd);
}

void TstLogin::refusedLogins_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pwd");
    QTest::newRow("wrong password") << "li" << "nope";
    QTest::newRow("unknown user") << "nobody" << "pw";
    QTest::newRow("disabled operator") << "wang" << "pw";
    QTest::newRow("empty") << "" << "";
}

void TstLogin::refusedLogins()
{
    QFETCH(QString, name);
    QFETCH(QString, pwd);
    tst::TestDb db;
    QVERIFY(db.ok());
    tst::addOperator(db.con(), "li", "李四", "pw");
    tst::addOperator(db.con(), "wang", "王五", "pw", "话务员", 1);
    tst::MsgScript boxes;
    QVERIFY(!login(name, pwd));
    QCOMPARE(boxes.count(), 1);
    QCOMPARE(boxes.boxes()[0].text, QString("用户名或登录密码不正确!"));
    QCOMPARE(boxes.boxes()[0].caption, QString("提示"));
    QVERIFY(boxes.boxes()[0].icon == msg::Icon::None);
    QVERIFY(!gLoginOk);
    QCOMPARE(db.count("syslog"), 0);
}

void TstLogin::retryAfterFailure()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    tst::MsgScript boxes;
    Tfrmlogin dlg;
    for (int i = 0; i < 5; ++i) {
        dlg.Edit1->setText("admin");
        dlg.Edit2->setText(QString("wrong%1").arg(i));
        dlg.BitBtn1->click();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }
    QCOMPARE(boxes.count(), 5);
    dlg.Edit2->setText("admin");
    dlg.BitBtn1->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(gLoginOk);
}

void TstLogin::hostileInputIsJustWrong()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    tst::MsgScript boxes;
    QVERIFY(!login("admin' --", "x"));
    QVERIFY(!login("admin", "' or '1'='1"));
    QVERIFY(!login("x'); delete from syslogin; --", "\\'"));
    QCOMPARE(boxes.texts(), QStringList(3, "用户名或登录密码不正确!"));
    QCOMPARE(db.count("syslogin"), 1);
}

void TstLogin::missingDatabaseLeavesNoFile()
{
    QTemporaryDir dir;
    pub::resetLoginValues();
    pub::setProgramFolder(dir.path());
    TfrmDM dm;
    frmDM = &dm;
    {
        tst::MsgScript boxes;
        QVERIFY(!login("admin", "admin"));
        QCOMPARE(boxes.texts(), QStringList{"系统在验证用户有效性时出错，请检查网络连接！"});
        QCOMPARE(boxes.boxes()[0].caption, QString("Tellvane单机版"));
    }
    QVERIFY(!QFile::exists(QDir(dir.path()).filePath("dhyx.dat")));
    QVERIFY(!QFile::exists(QDir(dir.path()).filePath("dhyx.bak")));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    QVERIFY(!gLoginOk);
    frmDM = nullptr;
    pub::setProgramFolder(QString());
}

void TstLogin::cancelEndsWithoutDatabaseAccess()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    ADOcon().close();
    const QDateTime before = QFileInfo(db.file()).lastModified();
    tst::MsgScript boxes;
    boxes.strict();
    TfrmMain::setAutoLogin(false);
    TfrmMain w;
    std::unique_ptr<tst::ModalWatcher> watcher(
        tst::ModalWatcher::when<Tfrmlogin>([](Tfrmlogin* d) { d->BitBtn2->click(); }));
    QVERIFY(!w.runLogin());
    QVERIFY(watcher->done());
    QVERIFY(!gLoginOk);
    QVERIFY(!ADOcon().isOpen());
    QVERIFY(!QFile::exists(QDir(db.folder()).filePath("dhyx.bak")));
    QCOMPARE(QFileInfo(db.file()).lastModified(), before);
    QVERIFY(w.statusUser()->text().isEmpty());
}

void TstLogin::settingsRowGivesJgts()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    tst::MsgScript boxes;
    QVERIFY(login("admin", "admin"));
    QCOMPARE(gJgts, 0);
    db.exec("update [option] set jgts=1 ");
    QVERIFY(login("admin", "admin"));
    QCOMPARE(gJgts, 1);
    db.exec("update [option] set jgts=null");
    QVERIFY(login("admin", "admin"));
    QCOMPARE(gJgts, 0);
}

void TstLogin::failureAfterOperatorFound()
{
    // The settings row cannot be read: the login did not complete, so it leaves nothing behind
    // and cancelling then ends the program.
    tst::TestDb db;
    QVERIFY(db.ok());
    db.exec("drop table [option]");
    tst::MsgScript boxes;
    Tfrmlogin dlg;
    dlg.Edit1->setText("admin");
    dlg.Edit2->setText("admin");
    dlg.BitBtn1->click();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(boxes.texts(), QStringList{"系统在验证用户有效性时出错，请检查网络连接！"});
    QVERIFY(!gLoginOk);
    QVERIFY(gUname.isEmpty() && gTp.isEmpty());
    QCOMPARE(db.count("syslog"), 0);
}

void TstLogin::databaseCannotBeWritten_data()
{
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QString>("message");
    QTest::newRow("locked by another program")
        << true << "系统在验证用户有效性时出错：数据库正被其他程序使用（已锁定），请稍后再试！";
    QTest::newRow("read-only file")
        << false << "系统在验证用户有效性时出错：数据库文件是只读的，请检查文件属性和所在文件夹的写入权限！";
}

void TstLogin::databaseCannotBeWritten()
{
    QFETCH(bool, locked);
    QFETCH(QString, message);
    tst::TestDb db;
    QVERIFY(db.ok());
    if (db.onServer())
        QSKIP("file locks and file permissions: the file's");
    ADOcon().close();
    db::Connection other("other"); // another program in the middle of a write
    if (locked) {
        other.open(db.file());
        other.begin();
    } else {
        QFile f(db.file());
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        if (geteuid() == 0 && f.open(QIODevice::ReadWrite) && f.seek(18))
            f.write("\x03\x01", 2); // root writes any file: mark it read-only in its header
    }
    bool hourglass = false;
    ADOcon().setStatementHook([&](const QString&) {
        const QCursor* c = QApplication::overrideCursor();
        hourglass = hourglass || (c && c->shape() == Qt::WaitCursor);
    });
    tst::MsgScript boxes;
    TfrmMain w;
    std::unique_ptr<tst::ModalWatcher> watcher(tst::ModalWatcher::when<Tfrmlogin>([](Tfrmlogin* d) {
        d->Edit1->setText("admin");
        d->Edit2->setText("admin");
        d->BitBtn1->click();
        d->BitBtn2->click(); // the user gives up
    }));
    QVERIFY(!w.runLogin()); // the main window does not open
    ADOcon().setStatementHook({});
    QCOMPARE(boxes.texts(), QStringList{message});
    QVERIFY(hourglass && !QApplication::overrideCursor());
    QVERIFY(!gLoginOk && gUname.isEmpty());
    if (locked) {
        other.rollback();
        QCOMPARE(db.count("syslog"), 0);
        QVERIFY(login("admin", "admin")); // once the other program is done
    }
}

TV_TEST_MAIN(TstLogin)
#include "tst_login.moc"
