// Choosing the database from the settings files and the command line, beside the program or
// installed.
#include "ops/common/location.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TstLocation : public QObject
{
    Q_OBJECT
private slots:
    void chooses_data();
    void chooses();
    void refuses_data();
    void refuses();
    void backupBesideTheFile();
    void installedOrPortable_data();
    void installedOrPortable();
    void laysTheInstalledDatabaseOnce();
};

namespace {

// "file:<path relative to the folder>" or "server:host|port|database|user|service".
QString summary(const ops::Location& loc, const QString& folder)
{
    if (!loc.server)
        return QStringLiteral("file:") + QDir(folder).relativeFilePath(loc.file);
    const db::ServerParams& p = loc.params;
    return QStringLiteral("server:%1|%2|%3|%4|%5")
        .arg(p.host, p.port > 0 ? QString::number(p.port) : QString(), p.database, p.user, p.service);
}

bool writeIni(const QString& folder, const QByteArray& ini)
{
    if (ini.isNull())
        return true;
    QFile f(QDir(folder).filePath(QStringLiteral("tellvane.ini")));
    return f.open(QIODevice::WriteOnly) && f.write(ini) == ini.size();
}

} // namespace

void TstLocation::chooses_data()
{
    QTest::addColumn<QByteArray>("ini"); // null: no settings file
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing") << QByteArray() << QStringList() << "file:dhyx.dat";
    QTest::newRow("empty ini") << QByteArray("") << QStringList() << "file:dhyx.dat";
    QTest::newRow("other section only") << QByteArray("[window]\nx=1\n") << QStringList() << "file:dhyx.dat";
    QTest::newRow("qt options not ours") << QByteArray() << QStringList{"-style", "fusion"} << "file:dhyx.dat";
    QTest::newRow("ini sqlite file") << QByteArray("[database]\nengine=sqlite\nfile=data/其它.dat\n") << QStringList()
                                     << "file:data/其它.dat";
    QTest::newRow("ini server") << QByteArray(
                                       "[database]\nengine=PostgreSQL\nhost=db1\nport=5433\ndatabase=tv\nuser=seat\n")
                                << QStringList() << "server:db1|5433|tv|seat|";
    QTest::newRow("ini keys any case, dbname") << QByteArray("[database]\nEngine=postgresql\nHOST=/run/pg\ndbname=tv\n")
                                               << QStringList() << "server:/run/pg||tv||";
    QTest::newRow("ini service") << QByteArray("[database]\nengine=postgresql\nservice=tellvane\n") << QStringList()
                                 << "server:||||tellvane";
    QTest::newRow("ini two hosts") << QByteArray("[database]\nengine=postgresql\nhost=a,b\n") << QStringList()
                                   << "server:a,b||||";
    QTest::newRow("cli conninfo") << QByteArray() << QStringList{"--server", "host=db2 port=6000 dbname=tv user=seat"}
                                  << "server:db2|6000|tv|seat|";
    QTest::newRow("cli quoted values") << QByteArray()
                                       << QStringList{"--server=host = db2  dbname='my \\'db\\' 中文' user=a\\ b"}
                                       << "server:db2||my 'db' 中文|a b|";
    QTest::newRow("cli service") << QByteArray() << QStringList{"--server", "service=tellvane"}
                                 << "server:||||tellvane";
    QTest::newRow("cli uri") << QByteArray() << QStringList{"--server", "postgresql://seat@db3:5434/t%20v?service=x"}
                             << "server:db3|5434|t v|seat|x";
    QTest::newRow("cli file") << QByteArray() << QStringList{"--file", "other.dat"} << "file:other.dat";
    // the command line wins, even over a settings file it makes unnecessary to read
    QTest::newRow("cli server wins over ini file") << QByteArray("[database]\nengine=sqlite\nfile=x.dat\n")
                                                   << QStringList{"--server", "dbname=tv"} << "server:||tv||";
    QTest::newRow("cli file wins over ini server")
        << QByteArray("[database]\nengine=postgresql\nhost=db1\n") << QStringList{"--file=a.dat"} << "file:a.dat";
    QTest::newRow("cli wins over broken ini")
        << QByteArray("[database]\nengine=oracle\n") << QStringList{"--server", "host=db1"} << "server:db1||||";
}

void TstLocation::chooses()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(writeIni(dir.path(), ini));
    // a relative --file is taken from the current folder, as a shell user means it
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    try {
        const ops::Location loc = ops::chooseLocation(dir.path(), args);
        QDir::setCurrent(cwd);
        QCOMPARE(summary(loc, dir.path()), expected);
    } catch (const db::Error& e) {
        QDir::setCurrent(cwd);
        QFAIL(qPrintable(e.text()));
    }
}

void TstLocation::refuses_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");

    QTest::newRow("ini password") << QByteArray("[database]\nengine=postgresql\npassword=secret\n") << QStringList()
                                  << "~/.pgpass";
    QTest::newRow("ini password with sqlite")
        << QByteArray("[database]\nPassword=secret\n") << QStringList() << "~/.pgpass";
    QTest::newRow("cli password") << QByteArray() << QStringList{"--server", "host=a password=secret"} << "~/.pgpass";
    QTest::newRow("uri password") << QByteArray() << QStringList{"--server", "postgresql://u:secret@h/db"}
                                  << "~/.pgpass";
    QTest::newRow("ini password inside a value")
        << QByteArray("[database]\nengine=postgresql\nservice=x dbname=other password=secret\n") << QStringList()
        << "~/.pgpass";
    QTest::newRow("cli password inside a quoted value")
        << QByteArray() << QStringList{"--server", "dbname='tv sslpassword = secret'"} << "~/.pgpass";
    QTest::newRow("uri password inside a value")
        << QByteArray() << QStringList{"--server", "postgresql://h/db?service=x%20password%3Dsecret"} << "~/.pgpass";
    QTest::newRow("ini service with a semicolon")
        << QByteArray("[database]\nengine=postgresql\nservice=\"a;b\"\n") << QStringList() << "service";
    QTest::newRow("unknown engine") << QByteArray("[database]\nengine=oracle\n") << QStringList() << "oracle";
    QTest::newRow("ini typo key") << QByteArray("[database]\nengine=postgresql\nhots=db1\n") << QStringList() << "hots";
    QTest::newRow("server key without engine") << QByteArray("[database]\nhost=db1\n") << QStringList() << "host";
    QTest::newRow("file with server") << QByteArray("[database]\nengine=postgresql\nfile=a.dat\n") << QStringList()
                                      << "file";
    QTest::newRow("ini port text") << QByteArray("[database]\nengine=postgresql\nport=abc\n") << QStringList() << "abc";
    QTest::newRow("cli port zero") << QByteArray() << QStringList{"--server", "port=0"} << "0";
    QTest::newRow("cli port too big") << QByteArray() << QStringList{"--server", "port=70000"} << "70000";
    QTest::newRow("cli no value") << QByteArray() << QStringList{"--server"} << "--server";
    QTest::newRow("cli empty server") << QByteArray() << QStringList{"--server", "  "} << "--server";
    QTest::newRow("cli missing =") << QByteArray() << QStringList{"--server", "host db1"} << "host";
    QTest::newRow("cli open quote") << QByteArray() << QStringList{"--server", "dbname='tv"} << "dbname";
    QTest::newRow("cli unknown key") << QByteArray() << QStringList{"--server", "sslmode=require"} << "sslmode";
    QTest::newRow("cli two choices") << QByteArray() << QStringList{"--file", "a.dat", "--server", "host=a"}
                                     << "--file";
    QTest::newRow("cli empty file") << QByteArray() << QStringList{"--file="} << "--file";
}

void TstLocation::refuses()
{
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    QTemporaryDir dir;
    QVERIFY(writeIni(dir.path(), ini));
    try {
        const ops::Location loc = ops::chooseLocation(dir.path(), args);
        QFAIL(qPrintable(QStringLiteral("accepted: ") + summary(loc, dir.path())));
    } catch (const ops::SettingsError& e) {
        QVERIFY2(e.text().contains(says), qPrintable(e.text()));
        QVERIFY2(!e.text().contains(QLatin1String("secret")), qPrintable(e.text())); // never echoes a password
        if (!ini.isNull())
            QVERIFY2(e.text().contains(QLatin1String("tellvane.ini")) || !args.isEmpty(), qPrintable(e.text()));
    }
}

void TstLocation::backupBesideTheFile()
{
    ops::Location loc;
    loc.file = QStringLiteral("/data/call centre/dhyx.dat");
    QCOMPARE(loc.backupFile(), QStringLiteral("/data/call centre/dhyx.bak"));
    loc.file = QStringLiteral("/data/site.v2.dat");
    QCOMPARE(loc.backupFile(), QStringLiteral("/data/site.v2.bak"));
}

namespace {

// A program folder, a user's data folder and two settings files (user's, site's), all temporary.
struct Installation
{
    QTemporaryDir root;
    QString folder(const char* name) const { return QDir(root.path()).filePath(QLatin1String(name)); }
    ops::Places places(bool installed) const
    {
        ops::Places p;
        p.program = folder("bin");
        p.installed = installed;
        p.data = folder("home/.local/share/tellvane");
        p.settingsFiles << folder("home/.config/tellvane/tellvane.ini") << folder("etc/tellvane/tellvane.ini");
        return p;
    }
};

bool writeFile(const QString& path, const QByteArray& text)
{
    if (text.isNull())
        return true;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

} // namespace

void TstLocation::installedOrPortable_data()
{
    QTest::addColumn<bool>("holdsDatabase");   // dhyx.dat beside the program
    QTest::addColumn<bool>("installedFolder"); // the program is in the folder it was built to be installed in
    QTest::addColumn<QByteArray>("besideIni"); // tellvane.ini beside the program; null: none
    QTest::addColumn<QByteArray>("userIni");   // the user's settings; null: none
    QTest::addColumn<QByteArray>("siteIni");   // the site's settings; null: none
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("expected"); // "bin/..." and "home/..." below the temporary root

    const QByteArray none;
    const QByteArray other("[database]\nengine=sqlite\nfile=其它 'x'.dat\n");
    const QByteArray server("[database]\nengine=postgresql\nhost=db1\ndatabase=tv\n");
    const QByteArray absolute("[database]\nfile=/srv/tellvane/dhyx.dat\n");
    const QString data = QStringLiteral("file:home/.local/share/tellvane/");

    // a writable folder of its own: as always, whatever the user's and the site's settings say
    QTest::newRow("portable") << false << false << none << other << server << QStringList() << false
                              << "file:bin/dhyx.dat";
    QTest::newRow("portable, settings beside")
        << false << false << other << none << server << QStringList() << false << "file:bin/其它 'x'.dat";
    QTest::newRow("database beside wins over the install folder")
        << true << true << none << other << none << QStringList() << false << "file:bin/dhyx.dat";
    // installed: the data folder, the user's settings, then the site's; the command line first
    QTest::newRow("installed") << false << true << none << none << none << QStringList() << true << data + "dhyx.dat";
    QTest::newRow("settings beside win over the install folder")
        << false << true << server << other << none << QStringList() << false << "server:db1|tv";
    QTest::newRow("installed, site server")
        << false << true << none << none << server << QStringList() << true << "server:db1|tv";
    QTest::newRow("installed, user file over site server")
        << false << true << none << other << server << QStringList() << true << data + "其它 'x'.dat";
    QTest::newRow("installed, user without database section")
        << false << true << none << QByteArray("[window]\nx=1\n") << server << QStringList() << true << "server:db1|tv";
    QTest::newRow("installed, site absolute file")
        << false << true << none << none << absolute << QStringList() << true << "file:/srv/tellvane/dhyx.dat";
    QTest::newRow("installed, command line wins")
        << false << true << none << other << server << QStringList{"--server", "host=db2 dbname=x"} << true
        << "server:db2|x";
}

void TstLocation::installedOrPortable()
{
    QFETCH(bool, holdsDatabase);
    QFETCH(bool, installedFolder);
    QFETCH(QByteArray, besideIni);
    QFETCH(QByteArray, userIni);
    QFETCH(QByteArray, siteIni);
    QFETCH(QStringList, args);
    QFETCH(bool, installed);
    QFETCH(QString, expected);
    Installation at;
    QVERIFY(at.root.isValid());
    const ops::Places given = at.places(true);
    QVERIFY(QDir().mkpath(given.program));
    QVERIFY(writeFile(QDir(given.program).filePath(QStringLiteral("dhyx.dat")), holdsDatabase ? "x" : QByteArray()));
    QVERIFY(writeFile(QDir(given.program).filePath(QStringLiteral("tellvane.ini")), besideIni));
    QVERIFY(writeFile(given.settingsFiles[0], userIni));
    QVERIFY(writeFile(given.settingsFiles[1], siteIni));

    QCOMPARE(ops::runsInstalled(given.program, installedFolder ? given.program : at.folder("elsewhere")), installed);
    const ops::Location loc = ops::chooseLocation(at.places(installed), args);
    const QString summary =
        loc.server
            ? QStringLiteral("server:%1|%2").arg(loc.params.host, loc.params.database)
            : QStringLiteral("file:") +
                  (loc.file.startsWith(at.root.path()) ? QDir(at.root.path()).relativeFilePath(loc.file) : loc.file);
    QCOMPARE(summary, expected);
    // the safety copy and the log go beside the database; installed, the log in the data folder
    if (!loc.server)
        QCOMPARE(QFileInfo(loc.backupFile()).absolutePath(), QFileInfo(loc.file).absolutePath());
}

void TstLocation::laysTheInstalledDatabaseOnce()
{
    Installation at;
    QVERIFY(at.root.isValid());
    const ops::Places installed = at.places(true);
    const ops::Location where = ops::chooseLocation(installed, {});
    QCOMPARE(where.file, installed.defaultDatabase());

    // portable, and a file a setting names: left to the site and tellvane-initdb
    ops::Places portable = at.places(false);
    QVERIFY(ops::prepareDatabase(portable, ops::chooseLocation(portable, {})).error.isEmpty());
    QVERIFY(!QFileInfo::exists(portable.defaultDatabase()));
    ops::Location named;
    named.file = at.folder("home/.local/share/tellvane/other.dat");
    const ops::Prepared leftAlone = ops::prepareDatabase(installed, named);
    QVERIFY(!leftAlone.laid && leftAlone.error.isEmpty());
    QVERIFY(!QFileInfo::exists(named.file));

    // the first start lays it, folders and all; the next leaves it with what it holds
    const ops::Prepared first = ops::prepareDatabase(installed, where);
    QVERIFY2(first.laid && first.error.isEmpty(), qPrintable(first.error));
    {
        db::Connection con(QStringLiteral("laid"));
        con.open(where.file);
        QCOMPARE(con.scalar(QStringLiteral("select count(*) from syslogin where uname='admin'")).toInt(), 1);
        con.execute(QStringLiteral("insert into syslogin (uname, truename, pwd, tp) values ('op1', 'x', 'x', 'x')"));
    }
    const ops::Prepared second = ops::prepareDatabase(installed, where);
    QVERIFY2(!second.laid && second.error.isEmpty(), qPrintable(second.error));
    db::Connection con(QStringLiteral("again"));
    con.open(where.file);
    QCOMPARE(con.scalar(QStringLiteral("select count(*) from syslogin")).toInt(), 2);

    // a data folder that cannot be made is said, with nothing laid
    QVERIFY(writeFile(at.folder("blocked"), "not a folder"));
    ops::Places blocked = installed;
    blocked.data = at.folder("blocked/tellvane");
    const ops::Prepared refused = ops::prepareDatabase(blocked, ops::chooseLocation(blocked, {}));
    QVERIFY(!refused.laid);
    QVERIFY2(refused.error.contains(QLatin1String("blocked")), qPrintable(refused.error));
}

QTEST_GUILESS_MAIN(TstLocation)
#include "tst_location.moc"
