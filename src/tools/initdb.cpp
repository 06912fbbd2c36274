// Lays a fresh database file from the schema when none is there; an existing file is brought to
// the current schema, keeping every row (nothing is printed when it already is).
// With --server it lays the schema into an empty PostgreSQL database instead, or brings a
// database an earlier release laid there to the current schema, keeping every row.
#include "db/schema.h"
#include "db/serverupgrade.h"
#include "db/upgrade.h"
#include "ops/common/location.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <cstdio>

namespace {

const char* const kUsage = "usage: tellvane-initdb PATH\n"
                           "       tellvane-initdb --server [host=H] [port=P] [dbname=D] [user=U] [service=S]\n"
                           "       (also -h H -p P -d D -U U; what is left out comes from PGHOST, PGPORT,\n"
                           "       PGDATABASE, PGUSER, the service file and ~/.pgpass as for psql)\n";

// psql's short options become conninfo pairs; the rest is read as libpq reads a conninfo.
bool serverParams(const QStringList& given, db::ServerParams* p)
{
    static const QHash<QString, QString> flags{{"-h", "host"},     {"--host", "host"},     {"-p", "port"},
                                               {"--port", "port"}, {"-d", "dbname"},       {"--dbname", "dbname"},
                                               {"-U", "user"},     {"--username", "user"}};
    QStringList pairs;
    for (int i = 0; i < given.size(); ++i) {
        if (!given[i].startsWith(u'-')) {
            pairs += given[i];
            continue;
        }
        if (!flags.contains(given[i]) || i + 1 >= given.size())
            return false;
        QString value = given[++i];
        value.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        pairs += flags.value(given[i - 1]) + QStringLiteral("='") + value + u'\'';
    }
    if (pairs.isEmpty())
        return true; // all of it from the environment, as psql takes it
    try {
        *p = ops::parseServer(pairs.join(u' '));
    } catch (const ops::SettingsError& e) {
        std::fprintf(stderr, "tellvane-initdb: %s\n", qPrintable(e.text()));
        return false;
    }
    return true;
}

int initServer(const QStringList& args)
{
    db::ServerParams p;
    if (!serverParams(args, &p)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        db::Connection con(QStringLiteral("initdb.server"));
        con.openServer(p);
        if (db::isServerDatabase(con)) {
            for (const QString& step : db::upgradeServerSchema(con))
                std::printf("%s\n", qPrintable(step));
            std::printf("brought %s to the current schema\n", qPrintable(p.describe()));
        } else {
            db::createServerSchema(con);
            std::printf("laid the schema into %s\n", qPrintable(p.describe()));
        }
    } catch (const db::Error& e) {
        std::fprintf(stderr, "tellvane-initdb: %s: %s\n", qPrintable(p.describe()), qPrintable(e.text()));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == u"--server")
        return initServer(args.mid(1));
    // An option it does not know (--help, a mistyped --server) is no file name.
    if (argc != 2 || args.first().startsWith(u'-')) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    QString err;
    if (QFileInfo::exists(path)) {
        bool changed = false;
        QStringList steps;
        if (!db::upgradeDatabase(path, &err, &changed, &steps)) {
            std::fprintf(stderr, "tellvane-initdb: cannot upgrade %s, left as it was: %s\n", qPrintable(path),
                         qPrintable(err));
            return 1;
        }
        if (changed) {
            std::printf("upgraded %s (copy of the previous file: %s)\n", qPrintable(path),
                        qPrintable(db::preUpgradeBackupPath(path)));
            for (const QString& s : steps)
                std::printf("  %s\n", qPrintable(s));
        }
        return 0;
    }
    if (!db::createDatabase(path, &err)) {
        std::fprintf(stderr, "tellvane-initdb: %s\n", qPrintable(err));
        return 1;
    }
    std::printf("created %s\n", qPrintable(path));
    return 0;
}
