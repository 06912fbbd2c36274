// Lays a fresh database file from the schema when none is there; an existing file is kept.
#include "db/schema.h"

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
    if (QFileInfo::exists(path))
        return 0;
    QString err;
    if (!db::createDatabase(path, &err)) {
        std::fprintf(stderr, "tellvane-initdb: %s\n", qPrintable(err));
        return 1;
    }
    std::printf("created %s\n", qPrintable(path));
    return 0;
}
