#pragma once
// Exported helpers: trailing slashes and progress time.
#include <boost/shared_ptr.hpp>

#include "CString.h"
#include "Export.h"
#include "ILogger.h"

VERRAND_API void AddTrailingBackSlash(wchar_t* buffer, unsigned size);
VERRAND_API void AddTrailingBackSlash(CString& text);
VERRAND_API void RemoveTrailingBackSlash(wchar_t* buffer, unsigned size);
VERRAND_API void RemoveTrailingBackSlash(CString& text);
VERRAND_API void RemoveTrailingForwardSlash(wchar_t* buffer, unsigned size);
VERRAND_API void RemoveTrailingForwardSlash(CString& text);

// One second is 100 000 progress ticks.
VERRAND_API unsigned long AddTimeToProgressBar(boost::shared_ptr<ILogger> logger, int seconds);
VERRAND_API unsigned long UseProgressTime(boost::shared_ptr<ILogger> logger, int seconds);
