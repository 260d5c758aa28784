#pragma once
// The process-wide install log. Code that has no action context writes here;
// every library in the process shares Poco's root logger, so all of them end
// up on the same channels.
#include <string>

#include <boost/shared_ptr.hpp>

#include <Poco/Channel.h>

#include "core/Export.h"
#include "core/ILogger.h"

class BRUNLOW_API InstallLog {
public:
    static void Debug(const std::string& message);
    static void Debug(const std::wstring& message);
    static void Info(const std::string& message);
    static void Info(const std::wstring& message);
    static void Warn(const std::string& message);
    static void Warn(const std::wstring& message);
    static void Error(const std::string& message);
    static void Error(const std::wstring& message);

    // Sends every line from now on, behind the log's formatter (local time
    // "hh:mm:ss.mmm text"), to output as well. Throws
    // Poco::IllegalStateException when the process's root logger was made
    // without a splitter channel.
    static void AttachOutput(Poco::Channel::Ptr output);
    // Stops sending lines to an output attached before; others stay.
    static void DetachOutput(Poco::Channel::Ptr output);

    class Impl;

private:
    InstallLog();
};

// The install log as an ILogger: level 4 writes an error, 3 a warning, 2 an
// information line and anything else a debug line.
class BRUNLOW_API InstallLogLogger {
public:
    static boost::shared_ptr<ILogger> GetInstallLogLogger();
};
