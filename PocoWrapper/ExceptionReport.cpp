#include "ExceptionReport.h"

#include <Poco/Format.h>

#include "String.h"
#include "core/LogLevel.h"
#include "log/InstallLog.h"

void ReportPocoException(const Poco::Exception& exception, boost::shared_ptr<ILogger> logger)
{
    logger->Log(LogLevelError, L"Class name:   " + PocoWrapper::toWide(exception.className()));
    logger->Log(LogLevelError, L"Display text: " + PocoWrapper::toWide(exception.displayText()));
    if (exception.nested()) {
        logger->Log(LogLevelError, L"Nested Exception: ");
        ReportPocoException(*exception.nested(), logger);
    }
}

void ReportAssertion(const char* expr, const char* file, int line, const std::wstring& message)
{
    std::wstring text = PocoWrapper::toWide(Poco::format("Assert(%s) failed in file %s line %d",
                                                         std::string(expr ? expr : ""),
                                                         std::string(file ? file : ""), line));
    if (!message.empty())
        text += L"\r\nMessage:\r\n" + message;
    InstallLog::Error(text);
    throw Poco::AssertionViolationException(PocoWrapper::toUtf8(text));
}

void ReportAssertion(const char* expr, const char* file, int line, const wchar_t* message)
{
    ReportAssertion(expr, file, line, std::wstring(message ? message : L""));
}
