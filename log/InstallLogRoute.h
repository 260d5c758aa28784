#pragma once
// Lines of the process-wide install log, handed to a front door's own
// place (the package's log, a C caller's callback, the NSIS plugin's
// details) for as long as a route lives.
#include <functional>
#include <string>

#include <Poco/Channel.h>

class InstallLogRoute {
public:
    typedef std::function<void(const std::wstring& line)> LineSink;
    // Every line from now on, with the log's time stamp, goes to sink.
    // Throws what InstallLog::AttachOutput throws.
    explicit InstallLogRoute(LineSink sink);
    // Never throws: only a lost lock can fail there, and the lines stop
    // either way once the route's sink is gone.
    ~InstallLogRoute();

private:
    InstallLogRoute(const InstallLogRoute&);
    InstallLogRoute& operator=(const InstallLogRoute&);
    Poco::Channel::Ptr m_channel;
};
