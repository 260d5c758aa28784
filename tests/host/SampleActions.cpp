// Actions of a small test-only library that the host tests load with --dll:
// one that exercises every kind of output and two that let exceptions out.
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

// The rollback twin of Touch: reports whether its folder holds the marker.
VERRAND_ACTION(ReportMarker)
{
    const std::wstring marker = *context->GetArg(L"$action.invocationdata.dir") + L"\\marker";
    const bool present = GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
    context->Log(LogLevelInfo, (present ? L"marker present for " : L"no marker for ") + *context->GetArg(L"Name"));
    return 0;
}
