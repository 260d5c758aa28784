#pragma once
// Reports of caught Poco exceptions and of failed internal assertions.
#include <string>

#include <boost/shared_ptr.hpp>

#include <Poco/Exception.h>

#include "core/ILogger.h"

// Writes the exception's class name and display text at the error level,
// then the same for every exception nested in it.
void ReportPocoException(const Poco::Exception& exception, boost::shared_ptr<ILogger> logger);

// Writes "Assert(expr) failed in file F line N" (and the message, when there
// is one) to the install log, then throws Poco::AssertionViolationException
// with the same text so that the asserting operation stops there.
[[noreturn]] void ReportAssertion(const char* expr, const char* file, int line, const wchar_t* message);
[[noreturn]] void ReportAssertion(const char* expr, const char* file, int line, const std::wstring& message);

// Checks an internal condition; a false one is reported and ends the
// operation as ReportAssertion describes.
#define VERRAND_ASSERT(condition, message)                                                                 \
    do {                                                                                                   \
        if (!(condition))                                                                                  \
            ReportAssertion(#condition, __FILE__, __LINE__, message);                                     \
    } while (0)
