#include "BenchReport.h"

#include <algorithm>
#include <cstdio>

#include <windows.h>
#include <psapi.h>

double SecondsOf(const std::function<void()>& work)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    work();
    QueryPerformanceCounter(&end);
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

double BestSecondsOf(const std::function<void()>& work, int runs)
{
    double best = SecondsOf(work);
    for (int i = 1; i < runs; ++i)
        best = std::min(best, SecondsOf(work));
    return best;
}

std::size_t PeakWorkingSetBytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)))
        return 0;
    return counters.PeakWorkingSetSize;
}

void ReportFigure(const std::string& figure, double value, const std::string& unit, const std::string& limit,
                  double limitValue)
{
    std::printf("BENCH\t%s\t%.6g %s\t%s\t%.6g %s\t%.2f\n", figure.c_str(), value, unit.c_str(), limit.c_str(),
                limitValue, unit.c_str(), limitValue > 0 ? value / limitValue : 0.0);
    std::fflush(stdout);
}

void ReportValue(const std::string& figure, double value, const std::string& unit)
{
    std::printf("BENCH\t%s\t%.6g %s\t-\t-\t-\n", figure.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

void ReportPeakMemory(const std::string& figure)
{
    std::printf("BENCH\t%s peak memory\t%.1f MiB\t-\t-\t-\n", figure.c_str(),
                PeakWorkingSetBytes() / (1024.0 * 1024.0));
    std::fflush(stdout);
}
