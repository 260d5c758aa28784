#include "DuTestSupport.h"

#include <stdexcept>

#include <msi.h>
#include <shlobj.h>

const wchar_t* const MachineProduct = L"{7C0B1D2E-3F40-4A51-9B62-0D1E2F3A4B01}";
const wchar_t* const UserProduct = L"{7C0B1D2E-3F40-4A51-9B62-0D1E2F3A4B02}";
const wchar_t* const RebootProduct = L"{7C0B1D2E-3F40-4A51-9B62-0D1E2F3A4B03}";
const wchar_t* const FailingProduct = L"{7C0B1D2E-3F40-4A51-9B62-0D1E2F3A4B04}";

std::wstring PackagePath(const std::wstring& name)
{
    return TestProgramFolder() + L"\\du-packages\\" + name + L".msi";
}

std::wstring MutexHelper()
{
    return L"tests\\installer-mutex-holder.exe";
}

bool ProductInstalled(const wchar_t* productCode)
{
    return MsiQueryProductStateW(productCode) == INSTALLSTATE_DEFAULT;
}

void RemoveProduct(const wchar_t* productCode)
{
    if (!ProductInstalled(productCode))
        return;
    INSTALLUILEVEL previous = MsiSetInternalUI(INSTALLUILEVEL_NONE, 0);
    MsiConfigureProductExW(productCode, INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT, L"");
    MsiSetInternalUI(previous, 0);
}

std::wstring KnownFolder(int csidl)
{
    wchar_t path[MAX_PATH] = { 0 };
    SHGetFolderPathW(0, csidl, 0, SHGFP_TYPE_CURRENT, path);
    return path;
}

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& arguments, bool captureOutput)
    : m_outputRead(0)
{
    const std::wstring build = TestProgramFolder().substr(0, TestProgramFolder().rfind(L'\\'));
    std::wstring commandLine = L"\"" + build + L"\\" + program + L"\" " + arguments;
    STARTUPINFOW startup = { sizeof(startup) };
    HANDLE outputWrite = 0;
    if (captureOutput) {
        SECURITY_ATTRIBUTES inherit = { sizeof(inherit), 0, TRUE };
        if (!CreatePipe(&m_outputRead, &outputWrite, &inherit, 0))
            throw std::runtime_error("CreatePipe failed");
        SetHandleInformation(m_outputRead, HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = outputWrite;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    const BOOL started = CreateProcessW(0, &commandLine[0], 0, 0, captureOutput, 0, 0, build.c_str(), &startup,
                                        &m_process);
    if (outputWrite)
        CloseHandle(outputWrite);
    if (!started)
        throw std::runtime_error("cannot start a child process, error " + std::to_string(GetLastError()));
}

ChildProcess::~ChildProcess()
{
    if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(m_process.hProcess, 99);
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
    if (m_outputRead)
        CloseHandle(m_outputRead);
}

DWORD ChildProcess::Wait()
{
    if (m_outputRead) {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(m_outputRead, buffer, sizeof(buffer), &read, 0) && read > 0)
            output.append(buffer, read);
    }
    WaitForSingleObject(m_process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

NamedEvent::NamedEvent(const std::wstring& name) : name(name), handle(CreateEventW(0, TRUE, FALSE, name.c_str()))
{
    if (!handle)
        throw std::runtime_error("cannot create an event");
}

NamedEvent::~NamedEvent()
{
    CloseHandle(handle);
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const wchar_t* name, const wchar_t* value) : m_name(name)
{
    SetEnvironmentVariableW(name, value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable()
{
    SetEnvironmentVariableW(m_name.c_str(), 0);
}
