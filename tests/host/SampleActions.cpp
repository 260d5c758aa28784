// Actions of a small test-only library that the host tests load with --dll:
// one that exercises every kind of output, two that let exceptions out,
// folder markers for plan steps and their twins, and one that waits on a
// child process; and an export that is no action.
#include <stdexcept>

#include <Poco/Exception.h>

#include <windows.h>

#include "core/Action.h"

VERRAND_ACTION(ShowEverything)
{
    context->Log(LogLevelInfo, L"info from " + *context->GetArg(L"Who"));
    context->Log(LogLevelWarning, L"a warning");
    context->Log(LogLevelError, L"an error");
    context->Log(7, L"an odd level");
    context->SetProperty(L"Formatted", context->FormatString(L"[Greeting], [Missing]world [Who]", L""));
    return 5;
}

VERRAND_ACTION(ThrowStandard)
{
    context->Log(LogLevelInfo, L"about to throw");
    throw std::runtime_error("deliberate failure");
}

VERRAND_ACTION(ThrowPoco)
{
    throw Poco::FileNotFoundException("C:\\nowhere\\file.txt");
}

// Leaves a marker in the step's invocation-data folder and returns Status.
VERRAND_ACTION(Touch)
{
    const std::wstring marker = *context->GetArg(L"$action.invocationdata.dir") + L"\\marker";
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(file);
    context->Log(LogLevelInfo, L"touched " + *context->GetArg(L"Name"));
    return _wtoi(context->GetArg(L"Status")->c_str());
}

// The rollback twin of Touch: reports whether its folder holds the marker,
// and consumes it as a twin consumes its state.
VERRAND_ACTION(ReportMarker)
{
    const std::wstring marker = *context->GetArg(L"$action.invocationdata.dir") + L"\\marker";
    const bool present = GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (present && !DeleteFileW(marker.c_str()))
        return 1;
    context->Log(LogLevelInfo, (present ? L"marker present for " : L"no marker for ") + *context->GetArg(L"Name"));
    return 0;
}

// Starts CmdLine the way the command actions start programs (no handles
// inherited: the child gets the host's standard handles) and waits for it;
// returns 0 when it exited with 0, else 1.
VERRAND_ACTION(RunAndWait)
{
    std::wstring commandLine = *context->GetArg(L"CmdLine");
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(0, &commandLine[0], 0, 0, FALSE, 0, 0, 0, &startup, &process))
        return 1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    context->Log(LogLevelInfo, L"child exited with " + std::to_wstring(exitCode));
    return exitCode == 0 ? 0 : 1;
}

// Logs "NAME=value" for the environment variable Name.
VERRAND_ACTION(ShowEnvironment)
{
    const std::wstring name = *context->GetArg(L"Name");
    wchar_t value[4096] = L"";
    GetEnvironmentVariableW(name.c_str(), value, 4096);
    context->Log(LogLevelInfo, name + L"=" + value);
    return 0;
}

// A plain-named export that is data, not an action.
extern "C" __declspec(dllexport) const int SampleConstant = 7;
