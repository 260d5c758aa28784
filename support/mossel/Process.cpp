#include "Mossel.h"

#include <vector>

namespace {
void logLaunchError(const boost::shared_ptr<ILogger>& logger, const wchar_t* what, DWORD error)
{
    if (!logger)
        return;
    CString line;
    line.Format(L"RunRedistProgram: %s failed (%lu)", what, error);
    logger->Log(4, line.str());
}

struct HandleCloser {
    HANDLE handle;
    explicit HandleCloser(HANDLE h) : handle(h) {}
    ~HandleCloser() { if (handle) CloseHandle(handle); }
};
}

bool RunRedistProgram(boost::shared_ptr<ILogger> logger, const wchar_t* commandLine, int /*options*/, bool hide,
                      const wchar_t* workingDirectory, DWORD* exitCode, const wchar_t* /*title*/, bool /*elevate*/,
                      CString* /*output*/, const CString& /*user*/, const CString& /*password*/, bool noWait)
{
    // CreateProcessW may write into the command line, so give it a copy.
    std::wstring text(commandLine ? commandLine : L"");
    std::vector<wchar_t> buffer(text.begin(), text.end());
    buffer.push_back(L'\0');

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (hide) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(0, &buffer[0], 0, 0, FALSE, hide ? CREATE_NO_WINDOW : 0, 0, workingDirectory, &startup,
                        &process)) {
        const DWORD error = GetLastError();
        logLaunchError(logger, L"CreateProcess", error);
        SetLastError(error);
        return false;
    }
    HandleCloser processHandle(process.hProcess);
    HandleCloser threadHandle(process.hThread);
    if (noWait)
        return true;

    if (WaitForSingleObject(process.hProcess, INFINITE) != WAIT_OBJECT_0) {
        const DWORD error = GetLastError();
        logLaunchError(logger, L"WaitForSingleObject", error);
        SetLastError(error);
        return false;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(process.hProcess, &code)) {
        const DWORD error = GetLastError();
        logLaunchError(logger, L"GetExitCodeProcess", error);
        SetLastError(error);
        return false;
    }
    if (exitCode)
        *exitCode = code;
    return true;
}
