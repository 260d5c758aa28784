#pragma once
// What every benchmark program reports: each figure next to the limit it is
// measured against in the same run, and the process's peak memory. Lines
// start with "BENCH\t" so scripts/bench can gather them into one table.
#include <cstddef>
#include <functional>
#include <string>

// Wall-clock seconds of one call of work.
double SecondsOf(const std::function<void()>& work);

// The best of several runs, which is the least disturbed by other load.
double BestSecondsOf(const std::function<void()>& work, int runs);

// Peak working set of this process so far, in bytes.
std::size_t PeakWorkingSetBytes();

// "BENCH\t<figure>\t<value> <unit>\t<limit>\t<limit value> <unit>\t<ratio>"
// where ratio = value / limit value.
void ReportFigure(const std::string& figure, double value, const std::string& unit, const std::string& limit,
                  double limitValue);

// "BENCH\t<figure>\t<value> <unit>\t-\t-\t-": a figure without a limit (a rate).
void ReportValue(const std::string& figure, double value, const std::string& unit);

// "BENCH\t<figure> peak memory\t<MiB>\t...": the peak working set now.
void ReportPeakMemory(const std::string& figure);
