#pragma once
// Records the install-log lines written while it exists, as any output
// attached to the log sees them: behind the log's formatter. Another library
// with its own facade (Verrand.dll loaded by a test) writes the one-time line
// "Multiple InstallLogs instantiated." on its first call.
#include <string>
#include <vector>

#include <Poco/AutoPtr.h>

struct InstallLogLine {
    int priority;     // Poco::Message priority
    std::string line; // as formatted: "hh:mm:ss.mmm text"
    std::string text; // the line without its time stamp
};

class InstallLogRecorder {
public:
    InstallLogRecorder();
    ~InstallLogRecorder();

    std::vector<InstallLogLine> Lines() const;
    std::vector<std::string> Texts() const;

    class Channel;

private:
    InstallLogRecorder(const InstallLogRecorder&);
    Poco::AutoPtr<Channel> m_channel;
};
