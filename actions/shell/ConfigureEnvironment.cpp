// ConfigureEnvironment: edits one machine-wide environment variable in the
// system environment key (prepend, remove, assign or clear) and can tell the
// running programs that the environment changed.
#include <string>

#include "core/Action.h"
#include "core/MachineMutex.h"
#include "support/mossel/Mossel.h"

#include "EnvironmentBroadcast.h"
#include "ShellArgumentNames.h"

namespace {
const wchar_t* const kEnvironmentKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// Longest value a prepend may write.
const int kMaxPrependedLength = 2047;

std::wstring withError(const std::wstring& text, DWORD error)
{
    return text + L" [" + std::to_wstring(static_cast<int>(error)) + L"]";
}

// Values that hold a reference to another variable are stored expandable.
bool writeValue(CInstallRegistry& key, const CString& name, const CString& value)
{
    return key.SetString(name, value, value.Find(L'%') >= 0);
}

void prepend(IActionContext& context, CInstallRegistry& key, const CString& name, const CString& value,
             const CString& oldText)
{
    const CString newText = value + oldText;
    context.Log(LogLevelInfo, L"  Prepend from: " + oldText.str());
    context.Log(LogLevelInfo, L"            to: " + newText.str());
    if (newText.GetLength() > kMaxPrependedLength) {
        context.Log(LogLevelError, L"  the length is longer than 2047, installer will not add to crash the system");
        return;
    }
    if (!writeValue(key, name, newText))
        context.Log(LogLevelError, withError(L"Fail to prepend", GetLastError()));
}

void remove(IActionContext& context, CInstallRegistry& key, const CString& name, const CString& value,
            const CString& oldText)
{
    CString newText = oldText;
    newText.Replace(value, L"");
    context.Log(LogLevelInfo, L"  remove from: " + oldText.str());
    context.Log(LogLevelInfo, L"           to: " + newText.str());
    if (!writeValue(key, name, newText))
        context.Log(LogLevelError, withError(L"Fail to remove", GetLastError()));
}

void assign(IActionContext& context, CInstallRegistry& key, const CString& name, const CString& value)
{
    context.Log(LogLevelInfo, L"  assign: " + value.str());
    if (!writeValue(key, name, value))
        context.Log(LogLevelError, withError(L"Fail to assign", GetLastError()));
}

void clear(IActionContext& context, CInstallRegistry& key, const CString& name, const CString& value)
{
    context.Log(LogLevelInfo, L"  clear: " + value.str());
    if (!key.DeleteValue(name))
        context.Log(LogLevelError, withError(L"Fail to clear", GetLastError()));
}

// The edit itself, under the library's machine-wide lock so that setups
// running at once never write over each other's change. False when the lock
// cannot be had: nothing is read or written then.
bool edit(IActionContext& context, CInstallRegistry& key, const CString& name, const CString& value,
          const CString& action)
{
    MachineMutexLock lock(RegistryEditMutexName);
    if (!lock.held()) {
        context.Log(LogLevelError, withError(L"Fails to lock the Environment Hive", lock.error()));
        return false;
    }
    CString oldText;
    DWORD readError = ERROR_SUCCESS;
    if (key.GetString(name, oldText))
        context.Log(LogLevelInfo, L"  Value: " + oldText.str());
    else
        readError = GetLastError();
    // A value that is there but cannot be read as text is not edited: the
    // edit of an empty text would be written over it.
    const bool prepending = action.CompareNoCase(L"prepend") == 0;
    const bool removing = action.CompareNoCase(L"remove") == 0;
    if ((prepending || removing) && readError != ERROR_SUCCESS && readError != ERROR_FILE_NOT_FOUND) {
        context.Log(LogLevelError, withError(L"Fails to read the value as text", readError));
        return true;
    }

    if (prepending) {
        prepend(context, key, name, value, oldText);
    } else if (removing) {
        remove(context, key, name, value, oldText);
    } else if (action.CompareNoCase(L"assign") == 0) {
        assign(context, key, name, value);
    } else if (action.CompareNoCase(L"clear") == 0) {
        clear(context, key, name, value);
    } else {
        context.Log(LogLevelError, L"Incorrect action, should be 'prepend', 'remove', 'assign' or 'clear'");
    }
    return true;
}

void broadcast(IActionContext& context, const CString& timeoutText)
{
    context.Log(LogLevelInfo, L"Broadcast the changes...");
    if (SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                            SMTO_ABORTIFHUNG, BroadcastTimeout(timeoutText), 0) != 0)
        return;
    const DWORD error = GetLastError();
    if (error == ERROR_TIMEOUT)
        context.Log(LogLevelWarning, L"Broadcast is timeouted");
    else
        context.Log(LogLevelError, withError(L"Broadcast fails with error", error));
}
}

VERRAND_ACTION(ConfigureEnvironment)
{
    try {
        LogMessage(context, L"Running ConfigureEnvironment");
        const CString name = GetCStringArg(context, ShellArgumentNames::EnvName);
        const CString value = GetCStringArg(context, ShellArgumentNames::EnvValue);
        const CString action = GetCStringArg(context, ShellArgumentNames::Action);
        const CString broadcastWord = GetCStringArg(context, ShellArgumentNames::Broadcast);
        const CString timeoutText = GetCStringArg(context, ShellArgumentNames::TimeoutMilliSeconds);
        if (name.IsEmpty())
            return ActionFailed;

        context->Log(LogLevelInfo, std::wstring(L"Open Environment Hive: ") + kEnvironmentKey);
        CInstallRegistry key;
        if (!key.OpenKey(HKEY_LOCAL_MACHINE, kEnvironmentKey, KEY_ALL_ACCESS)) {
            context->Log(LogLevelError, withError(L"Fails to open the Environment Hive", GetLastError()));
            return ActionFailed;
        }

        context->Log(LogLevelInfo, L"Handle Key: " + name.str());
        if (!edit(*context, key, name, value, action))
            return ActionFailed;

        if (IsBroadcastWord(broadcastWord))
            broadcast(*context, timeoutText);

        context->Log(LogLevelInfo, L"ConfigureEnvironment is done");
        key.CloseKeys();
        return ActionDone;
    } catch (...) {
        context->Log(LogLevelError, L"ConfigureEnvironment crashed");
        return ActionFailed;
    }
}
