#include "ChildOutput.h"

#include <chrono>
#include <climits>

#include "UsageFailure.h"

namespace {
const DWORD kPollMilliseconds = 10;
const DWORD kReadBytes = 65536;
// A child left running (started without waiting) may write without pause;
// the plan does not wait for a quiet pipe longer than this.
const std::chrono::seconds kFlushLimit(5);
}

ChildOutput::ChildOutput(Output& output)
    : m_output(output), m_budget(ULONG_MAX), m_buffer(kReadBytes), m_requested(0), m_done(0), m_stop(false)
{
    const OutputCodePages codePages = ChildOutputCodePages(false);
    const char* const names[] = { "stdout", "stderr" };
    const DWORD handles[] = { STD_OUTPUT_HANDLE, STD_ERROR_HANDLE };
    for (int i = 0; i < 2; ++i) {
        Stream& stream = m_streams[i];
        const char* const name = names[i];
        stream.standardHandle = handles[i];
        stream.lines.reset(new OutputLines(m_output.secrets().Current(), codePages, m_budget, [this, name](const std::wstring& text) {
            m_output.childOutput(name, text);
        }));
        SECURITY_ATTRIBUTES inheritable = { sizeof(inheritable), 0, TRUE };
        if (!CreatePipe(&stream.read, &stream.write, &inheritable, 0))
            throw UsageFailure{ "cannot make a pipe for the output of child processes (error " +
                                std::to_string(GetLastError()) + ")" };
        SetHandleInformation(stream.read, HANDLE_FLAG_INHERIT, 0);
        stream.original = GetStdHandle(stream.standardHandle);
        SetStdHandle(stream.standardHandle, stream.write);
    }
    m_reader = std::thread(&ChildOutput::readLoop, this);
}

ChildOutput::~ChildOutput()
{
    for (Stream& stream : m_streams)
        SetStdHandle(stream.standardHandle, stream.original);
    flush();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_reader.join();
    // A child that is still running keeps its copy of the write end; what
    // it writes from now on is lost, and the host does not wait for it.
    for (Stream& stream : m_streams) {
        m_output.secrets().Locked([&stream]() { stream.lines->Finish(); });
        CloseHandle(stream.write);
        CloseHandle(stream.read);
    }
}

void ChildOutput::flush()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const unsigned long ticket = ++m_requested;
    m_changed.wait_for(lock, kFlushLimit, [&]() { return m_done >= ticket; });
}

void ChildOutput::readLoop()
{
    for (;;) {
        unsigned long requested;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop)
                return;
            requested = m_requested;
        }
        bool readSomething = false;
        for (Stream& stream : m_streams)
            readSomething = readAvailable(stream) || readSomething;
        if (readSomething)
            continue;
        // Both pipes were empty: everything written before the last flush
        // request has been shown, a last line without its line end too.
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (requested != m_done)
                for (Stream& stream : m_streams)
                    m_output.secrets().Locked([&stream]() { stream.lines->Finish(); });
            m_done = requested;
        }
        m_changed.notify_all();
        Sleep(kPollMilliseconds);
    }
}

bool ChildOutput::readAvailable(Stream& stream)
{
    DWORD available = 0;
    if (!PeekNamedPipe(stream.read, 0, 0, 0, &available, 0) || available == 0)
        return false;
    DWORD read = 0;
    if (!ReadFile(stream.read, &m_buffer[0], kReadBytes, &read, 0) || read == 0)
        return false;
    // The secrets may grow between steps: the mask is used under their lock.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_output.secrets().Locked([&]() { stream.lines->Add(&m_buffer[0], read); });
    return true;
}
