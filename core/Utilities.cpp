#include "Utilities.h"

#include "support/mossel/Mossel.h"

namespace {
const unsigned long TicksPerSecond = 100000;
}

void AddTrailingBackSlash(wchar_t* buffer, unsigned size) { HandleSlash(buffer, size, L'\\', 0); }
void AddTrailingBackSlash(CString& text) { HandleSlash(text, L'\\', 0); }
void RemoveTrailingBackSlash(wchar_t* buffer, unsigned size) { HandleSlash(buffer, size, L'\\', 1); }
void RemoveTrailingBackSlash(CString& text) { HandleSlash(text, L'\\', 1); }
void RemoveTrailingForwardSlash(wchar_t* buffer, unsigned size) { HandleSlash(buffer, size, L'/', 1); }
void RemoveTrailingForwardSlash(CString& text) { HandleSlash(text, L'/', 1); }

unsigned long AddTimeToProgressBar(boost::shared_ptr<ILogger> logger, int seconds)
{
    return AddTicksToProgressBar(logger, seconds * TicksPerSecond);
}

unsigned long UseProgressTime(boost::shared_ptr<ILogger> logger, int seconds)
{
    return UseProgressTicks(logger, seconds * TicksPerSecond);
}
