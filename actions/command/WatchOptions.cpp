#include "WatchOptions.h"

#include <climits>

#include "core/TrueFalseWords.h"
#include "PocoWrapper/String.h"

bool ParseTimeoutSeconds(const std::wstring& text, unsigned long& seconds)
{
    const std::wstring digits = PocoWrapper::trim(text);
    if (digits.empty())
        return false;
    unsigned long value = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9')
            return false;
        const unsigned long digit = static_cast<unsigned long>(c - L'0');
        value = value > (ULONG_MAX - digit) / 10 ? ULONG_MAX : value * 10 + digit;
    }
    if (value == 0)
        return false;
    seconds = value;
    return true;
}

WatchOptions ReadWatchOptions(const std::wstring& captureOutput, const std::wstring& timeoutSeconds, bool shell,
                              bool noWait)
{
    WatchOptions options;
    options.capture = IsTrueWord(captureOutput);
    options.timeoutSeconds = 0;
    if (!timeoutSeconds.empty() && !ParseTimeoutSeconds(timeoutSeconds, options.timeoutSeconds))
        options.refusal =
            L"TimeoutSeconds [" + timeoutSeconds + L"] is not a whole number of seconds from 1 up; the command is not run";

    // A shell launch gives no process to watch and never waits.
    const wchar_t* const unwatched = shell ? L"UseShellExecute" : noWait ? L"NoWaiting" : 0;
    if (unwatched) {
        if (options.capture)
            options.notes.push_back(std::wstring(L"CaptureOutput is ignored with ") + unwatched);
        if (options.timeoutSeconds > 0)
            options.notes.push_back(std::wstring(L"TimeoutSeconds is ignored with ") + unwatched);
        options.capture = false;
        options.timeoutSeconds = 0;
    }
    return options;
}
