#include "ChildOutput.h"

#include <chrono>

#include "UsageFailure.h"

namespace {
const wchar_t* const kStars = L"********";
const DWORD kPollMilliseconds = 10;
// A child left running (started without waiting) may write without pause;
// the plan does not wait for a quiet pipe longer than this.
const std::chrono::seconds kFlushLimit(5);
}

std::wstring ChildText(const std::string& bytes)
{
    if (bytes.empty())
        return std::wstring();
    const int length = static_cast<int>(bytes.size());
    UINT codePage = CP_UTF8;
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, 0, 0);
    if (size == 0) {
        codePage = CP_OEMCP;
        size = MultiByteToWideChar(codePage, 0, bytes.data(), length, 0, 0);
    }
    std::wstring text(size, L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, &text[0], size);
    return text;
}

ChildOutput::ChildOutput(Output& output) : m_output(output), m_requested(0), m_done(0), m_stop(false)
{
    m_streams[0] = Stream{ "stdout", STD_OUTPUT_HANDLE, 0, 0, 0, std::string() };
    m_streams[1] = Stream{ "stderr", STD_ERROR_HANDLE, 0, 0, 0, std::string() };
    for (Stream& stream : m_streams) {
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
        if (!stream.pending.empty())
            show(stream, stream.pending);
        CloseHandle(stream.write);
        CloseHandle(stream.read);
    }
}

void ChildOutput::addSecret(const std::wstring& secret)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!secret.empty())
        m_secrets.push_back(secret);
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
        if (requested != m_done)
            for (Stream& stream : m_streams)
                if (!stream.pending.empty()) {
                    show(stream, stream.pending);
                    stream.pending.clear();
                }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
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
    char buffer[4096];
    DWORD read = 0;
    if (!ReadFile(stream.read, buffer, sizeof(buffer), &read, 0) || read == 0)
        return false;
    stream.pending.append(buffer, read);
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = stream.pending.find('\n', start)) != std::string::npos; start = end + 1)
        show(stream, stream.pending.substr(start, end - start));
    stream.pending.erase(0, start);
    return true;
}

void ChildOutput::show(Stream& stream, const std::string& line)
{
    std::wstring text = ChildText(line.size() && line[line.size() - 1] == '\r' ? line.substr(0, line.size() - 1)
                                                                               : line);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::wstring& secret : m_secrets)
            for (std::wstring::size_type at = 0; (at = text.find(secret, at)) != std::wstring::npos;
                 at += wcslen(kStars))
                text.replace(at, secret.size(), kStars);
    }
    m_output.childOutput(stream.name, text);
}
