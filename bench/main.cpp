// tellvane-bench NAME: runs one benchmark and prints "key: value" lines.
#include "bench/benches.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const auto& all = bench::registry();
    if (argc < 2) {
        std::fprintf(stderr, "usage: tellvane-bench NAME [args]\nbenchmarks:");
        for (const auto& b : all)
            std::fprintf(stderr, " %s", b.name);
        std::fprintf(stderr, "\n");
        return 2;
    }
    for (const auto& b : all)
        if (std::strcmp(b.name, argv[1]) == 0)
            return b.run(argc - 1, argv + 1);
    std::fprintf(stderr, "unknown benchmark: %s\n", argv[1]);
    return 2;
}
