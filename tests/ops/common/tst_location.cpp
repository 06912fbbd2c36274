// Choosing the database from the settings file beside the program and the command line.
#include "ops/common/location.h"

#include <QDir>
#include <QFile>
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

QTEST_GUILESS_MAIN(TstLocation)
#include "tst_location.moc"
