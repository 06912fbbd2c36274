// The login dialog pointed at a server by the settings file or the command line.
#include "support/logcapture.h"
#include "support/msgscript.h"
#include "support/serverdb.h"
#include "support/testdb.h"
#include "support/testmain.h"

#include "core/login.h"
#include "core/pub.h"
#include "db/dm.h"
#include "db/roles.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSet>
#include <optional>

class TstLoginServer : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void wrongSettingsStopTheLogin_data();
    void wrongSettingsStopTheLogin();
    void serverLoginMakesNoCopy();
    void accountWithoutRightsIsNamed();
    void olderServerIsNamed();
};

namespace {
bool serverAvailable()
{
    return !qEnvironmentVariable("PGHOST").isEmpty() || !qEnvironmentVariable("PGSERVICE").isEmpty();
}

bool login(const QString& name = QStringLiteral("admin"), const QString& pwd = QStringLiteral("admin"))
{
    Tfrmlogin dlg;
    dlg.Edit1->setText(name);
    dlg.Edit2->setText(pwd);
    dlg.BitBtn1->click();
    return dlg.result() == QDialog::Accepted;
}

bool writeIni(const QString& folder, const QByteArray& ini)
{
    QFile f(QDir(folder).filePath(QStringLiteral("tellvane.ini")));
    return ini.isEmpty() || (f.open(QIODevice::WriteOnly) && f.write(ini) == ini.size());
}
} // namespace

void TstLoginServer::cleanup()
{
    pub::setProgramArguments({});
}

void TstLoginServer::wrongSettingsStopTheLogin_data()
{
    QTest::addColumn<QByteArray>("ini"); // %1 is the test's folder
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("needsServer");
    QTest::addColumn<QStringList>("says");

    QTest::newRow("no server at the socket")
        << QByteArray("[database]\nengine=postgresql\nhost=%1/nosocket\nport=5999\ndatabase=tv\n") << QStringList()
        << false << QStringList{"无法连接数据库服务器 ", "nosocket:5999/tv：", "No such file"};
    QTest::newRow("unknown database") << QByteArray() << QStringList{"--server", "dbname=tv_no_such_db"} << true
                                      << QStringList{"无法连接数据库服务器 ", "tv_no_such_db：", "does not exist"};
    QTest::newRow("password in the settings") << QByteArray("[database]\nengine=postgresql\npassword=secret\n")
                                              << QStringList() << false << QStringList{"数据库设置有误：", "~/.pgpass"};
    QTest::newRow("password inside a value of the settings")
        << QByteArray("[database]\nengine=postgresql\nservice=x dbname=other password=secret\n") << QStringList()
        << false << QStringList{"数据库设置有误：", "~/.pgpass"};
    QTest::newRow("bad port on the command line")
        << QByteArray() << QStringList{"--server", "port=x'; drop table yhda; --"} << false
        << QStringList{"数据库设置有误：", "端口号“x';”"};
}

void TstLoginServer::wrongSettingsStopTheLogin()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, args);
    QFETCH(bool, needsServer);
    QFETCH(QStringList, says);
    if (needsServer && !serverAvailable())
        QSKIP("no server (PGHOST): scripts/test.sh starts one");
    tst::TestDb db;
    QVERIFY(db.ok());
    // the built-in administrator's role with its delivered password, so that the server itself
    // is what is wrong
    std::optional<tst::ServerDb> server;
    if (needsServer)
        server.emplace();
    QVERIFY(writeIni(db.folder(), QString::fromUtf8(ini).replace(QLatin1String("%1"), db.folder()).toUtf8()));
    pub::setProgramArguments(args);
    const QStringList before = QDir(db.folder()).entryList(QDir::Files);
    tst::MsgScript boxes;
    tst::LogCapture log;
    QVERIFY(!login());
    QCOMPARE(boxes.count(), 1);
    for (const QString& s : says)
        QVERIFY2(boxes.lastText().contains(s), qPrintable(boxes.lastText()));
    QVERIFY(!boxes.lastText().contains(QLatin1String("secret")));
    // The reason once in the log, and no password there either.
    QCOMPARE(log.count(says.last()), 1);
    QCOMPARE(log.count(QStringLiteral("secret")), 0);
    QVERIFY(!gLoginOk);
    QVERIFY(gUname.isEmpty());
    // nothing created: no safety copy, no other file
    const QStringList after = QDir(db.folder()).entryList(QDir::Files);
    QVERIFY2(QSet<QString>(after.begin(), after.end()).subtract(QSet<QString>(before.begin(), before.end())).isEmpty(),
             qPrintable(after.join(u' ')));
    ADOcon().open(db.file());
    QCOMPARE(db.count("syslog"), 0);
}

void TstLoginServer::serverLoginMakesNoCopy()
{
    if (!serverAvailable())
        QSKIP("no server (PGHOST): scripts/test.sh starts one");
    tst::TestDb db;
    QVERIFY(db.ok());
    tst::ServerDb server;
    QVERIFY(server.ok());
    pub::setProgramArguments({QStringLiteral("--server"), QStringLiteral("dbname=") + server.params().database});
    tst::MsgScript boxes;
    boxes.strict();
    QVERIFY(login());
    QVERIFY(gLoginOk);
    QCOMPARE(ADOcon().engine(), db::Engine::PostgreSQL);
    QCOMPARE(ADOcon().scalar("select logcon from syslog").toString(), QString("成功登录系统"));
    QVERIFY(!QFile::exists(QDir(db.folder()).filePath("dhyx.bak")));
    ADOcon().close();
}

// The server refuses the operator's role the tables (a site's administrator took it out of its
// group): the message says so, not "check the network".
void TstLoginServer::accountWithoutRightsIsNamed()
{
    if (!serverAvailable())
        QSKIP("no server (PGHOST): scripts/test.sh starts one");
    tst::TestDb db;
    QVERIFY(db.ok());
    tst::ServerDb server;
    QVERIFY(server.ok());
    const QString name = QStringLiteral("norights_%1").arg(QCoreApplication::applicationPid());
    const QString role = db::roleName(name);
    db::Connection& admin = tst::ServerDb::admin();
    admin.execute(QStringLiteral("create role %1 login password 'pw'").arg(role));
    const auto drop = qScopeGuard([&] {
        ADOcon().close();
        admin.execute(QStringLiteral("drop role %1").arg(role));
    });
    pub::setProgramArguments({QStringLiteral("--server"), QStringLiteral("dbname=%1").arg(server.params().database)});
    tst::MsgScript boxes;
    QVERIFY(!login(name, QStringLiteral("pw")));
    QCOMPARE(boxes.count(), 1);
    QVERIFY2(boxes.lastText().startsWith(QStringLiteral("系统在验证用户有效性时出错：数据库账户没有访问数据表的权限")),
             qPrintable(boxes.lastText()));
    QVERIFY2(boxes.lastText().contains(QLatin1String("permission denied")), qPrintable(boxes.lastText()));
    QVERIFY(!gLoginOk);
}

// A database another release laid or upgraded: the seat is told to have it upgraded, and writes
// nothing to it.
void TstLoginServer::olderServerIsNamed()
{
    if (!serverAvailable())
        QSKIP("no server (PGHOST): scripts/test.sh starts one");
    tst::TestDb db;
    QVERIFY(db.ok());
    tst::ServerDb server;
    QVERIFY(server.ok());
    db::Connection owner(QStringLiteral("owner"));
    owner.openServer(server.params());
    owner.execute(QStringLiteral("update tv_schema set stamp='an earlier release'"));
    pub::setProgramArguments({QStringLiteral("--server"), QStringLiteral("dbname=") + server.params().database});
    tst::MsgScript boxes;
    QVERIFY(!login());
    QCOMPARE(boxes.count(), 1);
    QVERIFY2(boxes.lastText().contains(QLatin1String("tellvane-initdb --server")), qPrintable(boxes.lastText()));
    QVERIFY(!gLoginOk);
    QCOMPARE(owner.scalar(QStringLiteral("select count(*) from syslog")).toInt(), 0);
}

TV_TEST_MAIN(TstLoginServer)
#include "tst_loginserver.moc"
