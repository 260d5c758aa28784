#include "InstallLogRecorder.h"

#include <Poco/Channel.h>
#include <Poco/Message.h>
#include <Poco/Mutex.h>

#include "log/InstallLog.h"

class InstallLogRecorder::Channel : public Poco::Channel {
public:
    void log(const Poco::Message& message)
    {
        InstallLogLine line = { message.getPriority(), message.getText(), message.getText() };
        const std::string::size_type blank = line.line.find(' ');
        if (blank != std::string::npos)
            line.text = line.line.substr(blank + 1);
        Poco::FastMutex::ScopedLock lock(m_mutex);
        m_lines.push_back(line);
    }

    std::vector<InstallLogLine> lines() const
    {
        Poco::FastMutex::ScopedLock lock(m_mutex);
        return m_lines;
    }

private:
    mutable Poco::FastMutex m_mutex;
    std::vector<InstallLogLine> m_lines;
};

InstallLogRecorder::InstallLogRecorder() : m_channel(new Channel)
{
    // A test program carries two copies of the facade: its own (linked from
    // the product's sources) and Brunlow's. Whichever comes second warns once
    // on its first call; make that happen before anything is recorded.
    static const bool bothFacadesExist =
        (InstallLog::Debug(std::string("install-log recorder: first use")),
         InstallLogLogger::GetInstallLogLogger()->Log(7, L"install-log recorder: first use"), true);
    (void)bothFacadesExist;
    InstallLog::AttachOutput(Poco::Channel::Ptr(m_channel.get(), true));
}

InstallLogRecorder::~InstallLogRecorder()
{
    InstallLog::DetachOutput(Poco::Channel::Ptr(m_channel.get(), true));
}

std::vector<InstallLogLine> InstallLogRecorder::Lines() const
{
    return m_channel->lines();
}

std::vector<std::string> InstallLogRecorder::Texts() const
{
    std::vector<std::string> texts;
    const std::vector<InstallLogLine> lines = Lines();
    for (size_t i = 0; i < lines.size(); ++i)
        texts.push_back(lines[i].text);
    return texts;
}
