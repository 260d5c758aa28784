#include "ChildProcess.h"

#include <stdexcept>
#include <vector>

#include <windows.h>

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
}

ChildResult RunChild(const std::wstring& commandLine)
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
    Handle processHandle(process.hProcess);
    Handle threadHandle(process.hThread);
    writeEnd.close(); // the child holds the only write end now

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
