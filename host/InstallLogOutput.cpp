#include "InstallLogOutput.h"

#include <windows.h>

#include <Poco/Channel.h>
#include <Poco/Message.h>
#include <Poco/Mutex.h>

#include "UsageFailure.h"
#include "log/InstallLog.h"

class InstallLogOutput::Channel : public Poco::Channel {
public:
    Channel(Output& output, HANDLE file) : m_output(output), m_file(file) {}

    void log(const Poco::Message& message)
    {
        Poco::FastMutex::ScopedLock lock(m_mutex);
        m_output.installLog(message.getText());
        if (m_file != INVALID_HANDLE_VALUE) {
            const std::string line = message.getText() + "\r\n";
            DWORD written = 0;
            WriteFile(m_file, line.data(), static_cast<DWORD>(line.size()), &written, 0);
        }
    }

protected:
    ~Channel()
    {
        if (m_file != INVALID_HANDLE_VALUE)
            CloseHandle(m_file);
    }

private:
    Output& m_output;
    HANDLE m_file;
    Poco::FastMutex m_mutex;
};

namespace {
HANDLE openForAppending(const std::wstring& path)
{
    if (path.empty())
        return INVALID_HANDLE_VALUE;
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        throw UsageFailure{ "cannot open the install log " + utf8(path) + " (error " +
                            std::to_string(GetLastError()) + ")" };
    return file;
}
}

InstallLogOutput::InstallLogOutput(Output& output, const std::wstring& file)
    : m_channel(new Channel(output, openForAppending(file)))
{
    InstallLog::AttachOutput(Poco::Channel::Ptr(m_channel.get(), true));
}

InstallLogOutput::~InstallLogOutput()
{
    InstallLog::DetachOutput(Poco::Channel::Ptr(m_channel.get(), true));
}
