// Lays a fresh database file from the schema when none is there; an existing file is brought to
// the current schema, keeping every row (nothing is printed when it already is).
// With --server it lays the schema into an empty PostgreSQL database instead.
#include "db/schema.h"
#include "db/upgrade.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

namespace {

const char* const kUsage = "usage: tellvane-initdb PATH\n"
                           "       tellvane-initdb --server [host=H] [port=P] [dbname=D] [user=U] [service=S]\n"
                           "       (also -h H -p P -d D -U U; what is left out comes from PGHOST, PGPORT,\n"
                           "       PGDATABASE, PGUSER, the service file and ~/.pgpass as for psql)\n";

bool serverParams(const QStringList& given, db::ServerParams* p)
{
    // A conninfo may come as one argument: "host=/run/pg dbname=tellvane".
    QStringList args;
    for (const QString& a : given)
        args += a.startsWith(u'-') ? QStringList{a} : a.split(u' ', Qt::SkipEmptyParts);
    for (int i = 0; i < args.size(); ++i) {
        QString key = args[i];
        QString value;
        const int eq = key.indexOf(u'=');
        if (eq > 0) {
            value = key.mid(eq + 1);
            key = key.left(eq);
        } else if (key.startsWith(u'-') && i + 1 < args.size()) {
            value = args[++i];
        } else {
            return false;
        }
        if (key == u"host" || key == u"-h" || key == u"--host")
            p->host = value;
        else if (key == u"port" || key == u"-p" || key == u"--port")
            p->port = value.toInt();
        else if (key == u"dbname" || key == u"-d" || key == u"--dbname")
            p->database = value;
        else if (key == u"user" || key == u"-U" || key == u"--username")
            p->user = value;
        else if (key == u"service")
            p->service = value;
        else
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
    QString err;
    if (!db::createServerDatabase(p, &err)) {
        std::fprintf(stderr, "tellvane-initdb: %s: %s\n", qPrintable(p.describe()), qPrintable(err));
        return 1;
    }
    std::printf("laid the schema into %s\n", qPrintable(p.describe()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.first() == u"--server")
        return initServer(args.mid(1));
    if (argc != 2) {
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
