#include "ChildProcess.h"

#include <chrono>
#include <stdexcept>
#include <vector>

namespace {
class Handle {
public:
    explicit Handle(HANDLE handle = 0) : m_handle(handle) {}
    ~Handle() { close(); }
    HANDLE* out() { return &m_handle; }
    HANDLE get() const { return m_handle; }
    void close()
    {
        if (m_handle && m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
        m_handle = 0;
    }

private:
    Handle(const Handle&);
    HANDLE m_handle;
};

std::string errorText(const char* what)
{
    return std::string(what) + " failed with " + std::to_string(GetLastError());
}

// Starts the child with its standard output on a pipe; gives the process
// and the pipe's read end.
void startChild(const std::wstring& commandLine, HANDLE& processHandle, HANDLE& outputHandle)
{
    SECURITY_ATTRIBUTES inherit = { sizeof(inherit), 0, TRUE };
    Handle readEnd, writeEnd;
    if (!CreatePipe(readEnd.out(), writeEnd.out(), &inherit, 0))
        throw std::runtime_error(errorText("CreatePipe"));
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(0, &line[0], 0, 0, TRUE, 0, 0, 0, &startup, &process))
        throw std::runtime_error(errorText("CreateProcessW"));
    CloseHandle(process.hThread);
    processHandle = process.hProcess;
    outputHandle = readEnd.get();
    *readEnd.out() = 0; // the caller owns it now; the child holds the only write end
}
}

ChildResult RunChild(const std::wstring& commandLine)
{
    Handle processHandle, readEnd;
    startChild(commandLine, *processHandle.out(), *readEnd.out());

    ChildResult result = { 0, std::string() };
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(readEnd.get(), buffer, sizeof(buffer), &read, 0) && read > 0)
        result.output.append(buffer, read);
    if (WaitForSingleObject(processHandle.get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(processHandle.get(), &result.exitCode))
        throw std::runtime_error(errorText("waiting for the child"));
    return result;
}

std::wstring TestProgramFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(0, path, MAX_PATH);
    if (length == 0 || length == MAX_PATH)
        throw std::runtime_error(errorText("GetModuleFileNameW"));
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring DistFolder()
{
    const std::wstring tests = TestProgramFolder();
    return tests.substr(0, tests.find_last_of(L'\\')) + L"\\dist";
}

StartedChild::StartedChild(const std::wstring& commandLine) : m_process(0), m_output(0), m_outputClosed(false)
{
    startChild(commandLine, m_process, m_output);
    m_reader = std::thread(&StartedChild::readOutput, this);
}

StartedChild::~StartedChild()
{
    if (!Ended(0))
        Kill();
    if (m_reader.joinable())
        m_reader.join();
    CloseHandle(m_output);
    CloseHandle(m_process);
}

// Reads what is there and stops once the child has ended and the pipe is
// drained. It does not wait for the pipe's end: a process the child started
// may hold the write end longer than the child lives.
void StartedChild::readOutput()
{
    char buffer[4096];
    for (;;) {
        const bool ended = WaitForSingleObject(m_process, 0) == WAIT_OBJECT_0;
        DWORD available = 0;
        if (!PeekNamedPipe(m_output, 0, 0, 0, &available, 0))
            break;
        if (available > 0) {
            DWORD read = 0;
            if (!ReadFile(m_output, buffer, sizeof(buffer), &read, 0))
                break;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_text.append(buffer, read);
            m_changed.notify_all();
        } else if (ended) {
            break;
        } else {
            Sleep(10);
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_outputClosed = true;
    m_changed.notify_all();
}

bool StartedChild::WaitForOutput(const std::string& text, unsigned long milliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&]() {
        return m_text.find(text) != std::string::npos || m_outputClosed;
    }) && m_text.find(text) != std::string::npos;
}

bool StartedChild::Ended(unsigned long milliseconds) const
{
    return WaitForSingleObject(m_process, milliseconds) == WAIT_OBJECT_0;
}

void StartedChild::Kill()
{
    TerminateProcess(m_process, 99);
    WaitForSingleObject(m_process, INFINITE);
}

ChildResult StartedChild::Finish()
{
    ChildResult result = { 0, std::string() };
    if (WaitForSingleObject(m_process, INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(m_process, &result.exitCode))
        throw std::runtime_error(errorText("waiting for the child"));
    if (m_reader.joinable())
        m_reader.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    result.output = m_text;
    return result;
}

std::wstring QuotedArgument(const std::wstring& argument)
{
    // Backslashes are literal except in front of a double quote: those are
    // doubled there, and the quote itself is escaped.
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'"')
            quoted.append(backslashes + 1, L'\\');
        backslashes = c == L'\\' ? backslashes + 1 : 0;
        quoted += c;
    }
    quoted.append(backslashes, L'\\');
    return quoted + L"\"";
}
