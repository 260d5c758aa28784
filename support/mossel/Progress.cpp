#include "Mossel.h"

namespace {
unsigned long report(const boost::shared_ptr<ILogger>& logger, const wchar_t* verb, unsigned long ticks)
{
    if (logger) {
        CString line;
        line.Format(L"Progress: %s %lu ticks", verb, ticks);
        logger->Log(ProgressLogLevel, line.str());
    }
    return ticks;
}
}

unsigned long AddTicksToProgressBar(boost::shared_ptr<ILogger> logger, unsigned long ticks)
{
    return report(logger, L"add", ticks);
}

unsigned long UseProgressTicks(boost::shared_ptr<ILogger> logger, unsigned long ticks)
{
    return report(logger, L"use", ticks);
}
