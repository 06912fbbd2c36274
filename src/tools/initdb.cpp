// Lays a fresh database file from the schema when none is there; an existing file is brought to
// the current schema, keeping every row (nothing is printed when it already is).
#include "db/schema.h"
#include "db/upgrade.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tellvane-initdb PATH\n");
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
