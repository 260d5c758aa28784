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
        if (m_file != INVALID_HANDLE_VALUE)
            AppendLine(m_file, m_output.secrets().MaskUtf8(message.getText()));
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

void AppendLine(HANDLE file, const std::string& text)
{
    const std::string line = text + "\r\n";
    // Windows appends each write to a handle opened for appending whole;
    // Wine finds the end and then writes there, so two hosts can meet at the
    // same end. A lock on one byte far past any end, which every host takes
    // around its write, makes the find-and-write one step there too.
    OVERLAPPED lockRange = {};
    lockRange.Offset = 0xFFFFFFFE;
    lockRange.OffsetHigh = 0x7FFFFFFF;
    const bool locked = LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockRange) != 0;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, 0);
    if (locked)
        UnlockFileEx(file, 0, 1, 0, &lockRange);
}

namespace {
HANDLE openForAppending(const std::wstring& path)
{
    if (path.empty())
        return INVALID_HANDLE_VALUE;
    // Read access only for the lock AppendLine takes.
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
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
