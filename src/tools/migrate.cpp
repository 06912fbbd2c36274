// Copies an existing database file into a new, empty PostgreSQL database:
//   tellvane-migrate dhyx.dat --server "host=db1 dbname=tellvane user=admin"
//   tellvane-migrate dhyx.dat --server host=db1 dbname=tellvane user=admin
//   tellvane-migrate dhyx.dat --server service=tellvane
// The password comes from ~/.pgpass or the service file. All or nothing: on failure the server
// database is left empty.
#include "ops/server/migrate.h"
#include "ops/common/location.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

namespace {
int usage()
{
    std::fprintf(stderr, "usage: tellvane-migrate FILE --server \"host=... port=... dbname=... user=...\"\n"
                         "       tellvane-migrate FILE --server service=NAME\n");
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString file;
    QString server;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--server") && i + 1 < args.size())
            server = args[++i];
        else if (args[i].startsWith(QLatin1String("--server=")))
            server = args[i].mid(9);
        else if (!server.isEmpty() && args[i].contains(u'=') && !args[i].startsWith(u'-'))
            server += u' ' + args[i]; // --server host=H dbname=D ..., as tellvane-initdb takes them
        else if (file.isEmpty() && !args[i].startsWith(QLatin1String("--")))
            file = args[i];
        else
            return usage();
    }
    if (file.isEmpty() || server.isEmpty())
        return usage();
    if (!QFileInfo::exists(file)) {
        std::fprintf(stderr, "tellvane-migrate: %s does not exist\n", qPrintable(file));
        return 1;
    }
    try {
        const db::ServerParams params = ops::parseServer(server);
        db::Connection con(QStringLiteral("migrate-target"));
        con.openServer(params);
        QElapsedTimer clock;
        clock.start();
        const ops::server::Migration m = ops::server::migrateToServer(file, con, [](const QString& line) {
            std::printf("%s\n", qPrintable(line));
            std::fflush(stdout);
        });
        const double secs = clock.elapsed() / 1000.0;
        for (const QString& t : m.skipped)
            std::printf("not copied: %s (a table the program does not use)\n", qPrintable(t));
        std::printf("copied %lld rows in %d tables to %s in %.1f s (%.0f rows/s); row counts and kept figures "
                    "verified\n",
                    static_cast<long long>(m.rows), int(m.tables.size()), qPrintable(params.describe()), secs,
                    secs > 0 ? m.rows / secs : 0.0);
        return 0;
    } catch (const ops::SettingsError& e) {
        std::fprintf(stderr, "tellvane-migrate: %s\nnothing was copied\n", qPrintable(e.text()));
        return 1;
    } catch (const db::Error& e) {
        std::fprintf(stderr, "tellvane-migrate: %s\nnothing was copied: the server database is as it was\n",
                     qPrintable(e.text()));
        return 1;
    }
}
