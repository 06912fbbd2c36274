#pragma once

#include <QString>
#include <functional>
#include <vector>

// What every benchmark prints and how it times: "key: value" lines, medians, wall and processor time.
namespace bench {

void print(const char* key, const QString& value);
void print(const char* key, double value); // three decimals
double median(std::vector<double> v);
double msOf(const std::function<void()>& fn); // wall-clock milliseconds of one call
// Wall-clock milliseconds of each of n runs of fn.
std::vector<double> timeRuns(int n, const std::function<void()>& fn);
// Peak resident memory of this process in MB since the last resetPeak() (-1: not known).
double peakMb();
// Gives freed memory back and starts the peak afresh from what is resident now.
void resetPeak();
// Processor seconds of this process (user + system): on a machine shared with other work the
// wall-clock figures include time spent waiting for a processor.
double cpuSeconds();
// The machine's load averages over 1, 5 and 15 minutes, as /proc/loadavg gives them.
QString loadAverage();

} // namespace bench
