#pragma once

#include <vector>

namespace bench {

struct Bench
{
    const char* name;
    int (*run)(int argc, char** argv);
};

const std::vector<Bench>& registry();

// The benchmarks (argv[0] is the benchmark's name).
int runDraw(int argc, char** argv);   // bench_draw.cpp
int runImport(int argc, char** argv); // bench_xls.cpp
int runExport(int argc, char** argv); // bench_xls.cpp
int runLog(int argc, char** argv);    // bench_log.cpp
int runManage(int argc, char** argv); // bench_manage.cpp
int runReports(int argc, char** argv); // bench_reports.cpp
int runSeats(int argc, char** argv);   // bench_seats.cpp
int runGrid(int argc, char** argv);    // bench_grid.cpp

} // namespace bench
