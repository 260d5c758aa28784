#include "EnvironmentSettings.h"

#include <vector>

#include <memory>
#include <new>

#include <windows.h>

#include "PocoWrapper/StringTokenizer.h"
#include "core/CString.h"
#include "core/LogLevel.h"
#include "core/SecretMask.h"
#include "core/ValueEntries.h"

namespace {
const DWORD kFirstBufferSize = 4096;

typedef std::unique_ptr<wchar_t[]> WideChars;

WideChars allocate(DWORD characters)
{
    return WideChars(new (std::nothrow) wchar_t[characters]);
}

void logError(IActionContext& context, const wchar_t* format, DWORD error)
{
    CString line;
    line.Format(format, static_cast<int>(error));
    context.Log(LogLevelError, line.str());
}

// The variable's current value; an absent or empty variable reads as empty.
// False when it cannot be read.
bool readVariable(IActionContext& context, const std::wstring& name, std::wstring& current)
{
    WideChars buffer = allocate(kFirstBufferSize);
    if (!buffer) {
        context.Log(LogLevelError, L"Out of memory");
        return false;
    }
    // A variable set to the empty text also reads as 0 characters; only a
    // fresh error number tells that apart from a failure.
    SetLastError(ERROR_SUCCESS);
    DWORD size = kFirstBufferSize;
    DWORD length = GetEnvironmentVariableW(name.c_str(), buffer.get(), size);
    if (length == 0) {
        const DWORD error = GetLastError();
        if (error != ERROR_ENVVAR_NOT_FOUND && error != ERROR_SUCCESS)
            return false;
        current.clear();
        return true;
    }
    // Too small: the result is the size needed, terminator included. Read
    // again until the value fits (it may grow between two reads).
    while (length >= size) {
        size = length;
        buffer = allocate(size);
        if (!buffer) {
            context.Log(LogLevelError, L"Out of memory after trying to increase the buffer");
            return false;
        }
        length = GetEnvironmentVariableW(name.c_str(), buffer.get(), size);
        if (length == 0) {
            logError(context, L"GetEnvironmentVariable failed (%d)\n", GetLastError());
            return false;
        }
    }
    current.assign(buffer.get(), length);
    return true;
}

std::wstring bracketed(const std::wstring& name, const std::wstring& value)
{
    return name + L" = [" + value + L"]";
}
}

bool ApplyEnvSetting(IActionContext& context, const std::wstring& name, const std::wstring& value, bool prepend,
                     const SecretMask& mask)
{
    std::wstring current;
    if (!readVariable(context, name, current))
        return false;

    std::wstring newValue = value;
    if (!current.empty()) {
        context.Log(LogLevelInfo, L"  EXISTING     " + bracketed(mask.Text(name), mask.Text(current)));
        if (prepend) {
            // Present only as a whole entry: C:\h1 is not in C:\h11;...
            if (FindWholeEntry(current, value) != std::wstring::npos) {
                context.Log(LogLevelInfo, L"  NO ACTION IS TAKEN BECAUSE [" + mask.Text(value) + L"] IS ALREADY IN [" +
                                              mask.Text(current) + L"]");
                return true;
            }
            newValue = value + current;
        }
    }

    context.Log(LogLevelInfo, L"  GOING TO SET " + bracketed(mask.Text(name), mask.Text(newValue)));
    if (!SetEnvironmentVariableW(name.c_str(), newValue.c_str())) {
        logError(context, L"SetEnvironmentVariable failed (%d)\n", GetLastError());
        return false;
    }
    return true;
}

void ApplyEnvSettings(IActionContext& context, const std::wstring& settings, const SecretMask& mask)
{
    const PocoWrapper::StringTokenizer pieces(settings, L"|", 0);
    for (std::size_t i = 0; i < pieces.count(); ++i) {
        const std::wstring setting = pieces[i];
        bool prepend = false;
        const wchar_t* separator = 0;
        if (setting.find(L'=') != std::wstring::npos)
            separator = L"=";
        else if (setting.find(L'+') != std::wstring::npos) {
            separator = L"+";
            prepend = true;
        }
        std::vector<std::wstring> parts;
        if (separator) {
            const PocoWrapper::StringTokenizer tokens(setting, separator, 0);
            for (std::size_t k = 0; k < tokens.count(); ++k)
                parts.push_back(tokens[k]);
        }
        if (parts.size() != 2) {
            // An empty piece (a "|" at an end) means nothing; any other says so.
            if (!setting.empty())
                context.Log(LogLevelWarning, SkippedSettingLine(i + 1));
            continue;
        }
        const std::wstring name = parts[0];
        const std::wstring value = parts[1];
        if (!ApplyEnvSetting(context, name, value, prepend, mask))
            context.Log(LogLevelError, L"FAILS TO SET " + mask.Text(name) + L" = " + mask.Text(value));
    }
}

std::wstring SkippedSettingLine(std::size_t piece)
{
    return L"EnvSettings piece " + std::to_wstring(piece) + L" is neither NAME=VALUE nor NAME+VALUE: skipped";
}
