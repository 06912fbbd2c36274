// Copies an existing database file into a new, empty PostgreSQL database:
//   tellvane-migrate dhyx.dat --admin admin --server "host=db1 dbname=tellvane user=tellvane"
//   tellvane-migrate dhyx.dat --admin admin --server host=db1 dbname=tellvane user=tellvane
//   tellvane-migrate dhyx.dat --admin admin --server service=tellvane
// The owner's password comes from ~/.pgpass or the service file. Every operator becomes a role
// without a password (the file keeps only hashes); the administrator named by --admin types the
// own password, which is checked against the file and becomes that role's, so that this
// administrator can log in and give the others theirs. All or nothing: on failure the server
// database is left empty.
#include "ops/server/migrate.h"
#include "ops/common/location.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {
int usage()
{
    std::fprintf(stderr,
                 "usage: tellvane-migrate FILE --admin NAME --server \"host=... port=... dbname=... user=...\"\n"
                 "       tellvane-migrate FILE --admin NAME --server service=NAME\n"
                 "       (the administrator's password is read from the terminal, or from standard input)\n");
    return 2;
}

// One line from standard input, not echoed when it is a terminal.
QString readPassword(const QString& admin)
{
    const bool tty = isatty(STDIN_FILENO);
    termios saved{};
    if (tty) {
        std::fprintf(stderr, "password of %s: ", qPrintable(admin));
        std::fflush(stderr);
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    QByteArray line;
    for (int c; (c = std::getchar()) != EOF && c != '\n';)
        line += char(c);
    if (tty) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::fputc('\n', stderr);
    }
    return QString::fromLocal8Bit(line).trimmed();
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString file;
    QString server;
    QString admin;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--server") && i + 1 < args.size())
            server = args[++i];
        else if (args[i] == QLatin1String("--admin") && i + 1 < args.size())
            admin = args[++i];
        else if (args[i].startsWith(QLatin1String("--server=")))
            server = args[i].mid(9);
        else if (!server.isEmpty() && args[i].contains(u'=') && !args[i].startsWith(u'-'))
            server += u' ' + args[i]; // --server host=H dbname=D ..., as tellvane-initdb takes them
        else if (file.isEmpty() && !args[i].startsWith(QLatin1String("--")))
            file = args[i];
        else
            return usage();
    }
    if (file.isEmpty() || server.isEmpty() || admin.trimmed().isEmpty())
        return usage();
    if (!QFileInfo::exists(file)) {
        std::fprintf(stderr, "tellvane-migrate: %s does not exist\n", qPrintable(file));
        return 1;
    }
    const QString password = readPassword(admin.trimmed());
    try {
        const db::ServerParams params = ops::parseServer(server);
        db::Connection con(QStringLiteral("migrate-target"));
        con.openServer(params);
        QElapsedTimer clock;
        clock.start();
        const ops::server::Migration m = ops::server::migrateToServer(
            file, con,
            [](const QString& line) {
                std::printf("%s\n", qPrintable(line));
                std::fflush(stdout);
            },
            admin.trimmed(), password);
        const double secs = clock.elapsed() / 1000.0;
        for (const QString& t : m.skipped)
            std::printf("not copied: %s (a table the program does not use)\n", qPrintable(t));
        std::printf("copied %lld rows in %d tables to %s in %.1f s (%.0f rows/s); row counts and kept figures "
                    "verified\n",
                    static_cast<long long>(m.rows), int(m.tables.size()), qPrintable(params.describe()), secs,
                    secs > 0 ? m.rows / secs : 0.0);
        std::printf("%s logs in with the own password; every other operator gets one from an administrator "
                    "(登录用户管理, 修改)\n",
                    qPrintable(admin.trimmed()));
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
