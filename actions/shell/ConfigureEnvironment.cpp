// ConfigureEnvironment: edits one machine-wide environment variable in the
// system environment key (prepend, remove, assign or clear) and can tell the
// running programs that the environment changed. RollbackConfigureEnvironment
// undoes exactly what one such edit changed.
//
// Given an invocation-data folder, the edit first records there what it is
// about to change (the value before and after, and a prepend's text); the
// twin takes that record and gives the value back.
#include <string>

#include "core/Action.h"
#include "core/MachineMutex.h"
#include "core/FileLinks.h"
#include "core/PathRules.h"
#include "core/ValueEntries.h"
#include "PocoWrapper/File.h"
#include "support/mossel/Mossel.h"

#include "EnvironmentBroadcast.h"
#include "EnvironmentChange.h"
#include "ShellArgumentNames.h"
#include "actions/files/FileArgumentNames.h"

namespace {
const wchar_t* const kEnvironmentKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// Longest value a prepend may write.
const std::wstring::size_type kMaxPrependedLength = 2047;
// Longest value Windows keeps in one environment variable.
const std::wstring::size_type kMaxVariableLength = 32767;

std::wstring withError(const std::wstring& text, DWORD error)
{
    return text + L" [" + std::to_wstring(static_cast<int>(error)) + L"]";
}

std::wstring missing(const std::wstring& argument, const wchar_t* why)
{
    return L"Missing argument " + argument + L": " + why;
}

// Values that hold a reference to another variable are stored expandable.
DWORD typeFor(const std::wstring& text)
{
    return text.find(L'%') != std::wstring::npos ? REG_EXPAND_SZ : REG_SZ;
}

struct Arguments {
    CString name;
    CString value;
    CString action;
    CString broadcast;
    CString timeout;
    std::wstring stateFolder;
};

// The value as it stands; false (with the reason in error) when it is there
// but cannot be read as text.
bool readValue(CInstallRegistry& key, const CString& name, EnvironmentValue& value, DWORD& error)
{
    CString text;
    value = EnvironmentValue{ false, REG_SZ, std::wstring() };
    error = ERROR_SUCCESS;
    if (key.GetString(name, text)) {
        value = EnvironmentValue{ true, key.GetLastValueType(), text.str() };
        return true;
    }
    error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND;
}

bool writeValue(CInstallRegistry& key, const CString& name, const EnvironmentValue& value)
{
    if (!value.exists)
        return key.DeleteValue(name);
    return key.SetString(name, CString(value.text), value.type == REG_EXPAND_SZ);
}

// The edit ConfigureEnvironment is asked for, worked out before anything is
// written: what the value becomes and the failure line of the write.
struct Edit {
    bool write;
    int status;
    EnvironmentValue after;
    std::wstring added;
    const wchar_t* failure;
};

Edit noWrite(int status = ActionDone)
{
    return Edit{ false, status, EnvironmentValue{ false, REG_SZ, std::wstring() }, std::wstring(), L"" };
}

Edit writing(const std::wstring& text, const wchar_t* failure)
{
    return Edit{ true, ActionDone, EnvironmentValue{ true, typeFor(text), text }, std::wstring(), failure };
}

Edit plan(IActionContext& context, const Arguments& arguments, const EnvironmentValue& before)
{
    const std::wstring value = arguments.value.str();
    const std::wstring& oldText = before.text;
    if (arguments.action.CompareNoCase(L"prepend") == 0) {
        if (value.empty()) {
            context.Log(LogLevelError, missing(ShellArgumentNames::EnvValue, L"nothing to prepend"));
            return noWrite(ActionFailed);
        }
        const std::wstring newText = value + oldText;
        context.Log(LogLevelInfo, L"  Prepend from: " + oldText);
        context.Log(LogLevelInfo, L"            to: " + newText);
        if (newText.size() > kMaxPrependedLength) {
            context.Log(LogLevelError, L"  the length is longer than 2047, installer will not add to crash the system");
            return noWrite();
        }
        Edit edit = writing(newText, L"Fail to prepend");
        edit.added = value;
        return edit;
    }
    if (arguments.action.CompareNoCase(L"remove") == 0) {
        if (value.empty()) {
            context.Log(LogLevelError, missing(ShellArgumentNames::EnvValue, L"nothing to remove"));
            return noWrite(ActionFailed);
        }
        const EntryRemoval removal = RemoveWholeEntries(oldText, value);
        if (removal.insideEntry) {
            context.Log(LogLevelError, L"  " + value + L" is no whole entry of " + oldText +
                                           L": nothing removed, the value stays as it is");
            return noWrite();
        }
        context.Log(LogLevelInfo, L"  remove from: " + oldText);
        context.Log(LogLevelInfo, L"           to: " + removal.value);
        return writing(removal.value, L"Fail to remove");
    }
    if (arguments.action.CompareNoCase(L"assign") == 0) {
        context.Log(LogLevelInfo, L"  assign: " + value);
        if (value.size() > kMaxVariableLength) {
            context.Log(LogLevelError, L"  the value has " + std::to_wstring(value.size()) +
                                           L" characters, more than the 32767 an environment variable can hold: "
                                           L"nothing assigned");
            return noWrite(ActionFailed);
        }
        return writing(value, L"Fail to assign");
    }
    if (arguments.action.CompareNoCase(L"clear") == 0) {
        context.Log(LogLevelInfo, L"  clear: " + value);
        Edit edit = writing(std::wstring(), L"Fail to clear");
        edit.after.exists = false;
        return edit;
    }
    if (arguments.action.IsEmpty())
        context.Log(LogLevelError, missing(ShellArgumentNames::Action, L"should be 'prepend', 'remove', 'assign' or 'clear'"));
    else
        context.Log(LogLevelError, L"Incorrect action, should be 'prepend', 'remove', 'assign' or 'clear'");
    return noWrite();
}

// The edit itself, under the library's machine-wide lock so that setups
// running at once never write over each other's change. The status to
// return; with ActionFailed nothing was written.
int edit(IActionContext& context, CInstallRegistry& key, const Arguments& arguments)
{
    MachineMutexLock lock(RegistryEditMutexName);
    if (!lock.held()) {
        context.Log(LogLevelError, withError(L"Fails to lock the Environment Hive", lock.error()));
        return ActionFailed;
    }
    EnvironmentValue before;
    DWORD readError = ERROR_SUCCESS;
    const bool readable = readValue(key, arguments.name, before, readError);
    if (before.exists)
        context.Log(LogLevelInfo, L"  Value: " + before.text);
    // A value that is there but cannot be read as text is not edited: the
    // edit of an empty text would be written over it, and no record could
    // give it back.
    const bool assignOrClear =
        arguments.action.CompareNoCase(L"assign") == 0 || arguments.action.CompareNoCase(L"clear") == 0;
    if (!readable && (!assignOrClear || !arguments.stateFolder.empty())) {
        context.Log(LogLevelError, withError(L"Fails to read the value as text", readError));
        return ActionDone;
    }

    const Edit edit = plan(context, arguments, before);
    if (!edit.write)
        return edit.status;

    // What the twin needs is kept before the value is touched; an edit that
    // changes nothing leaves nothing to undo.
    std::wstring record;
    if (!arguments.stateFolder.empty() && readable && edit.after != before) {
        const EnvironmentChange change{ arguments.name.str(), edit.added, before, edit.after };
        DWORD error = ERROR_SUCCESS;
        if (!SaveEnvironmentChange(arguments.stateFolder, change, record, error)) {
            context.Log(LogLevelError, withError(L"Fails to keep the rollback state in " + arguments.stateFolder +
                                                     L"; nothing changed",
                                                 error));
            return ActionFailed;
        }
    }
    if (!writeValue(key, arguments.name, edit.after)) {
        context.Log(LogLevelError, withError(edit.failure, GetLastError()));
        if (!record.empty())
            DeleteFileW(PocoWrapper::toExtendedLengthPathW(record).c_str());
    }
    return ActionDone;
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

bool openEnvironmentKey(IActionContext& context, CInstallRegistry& key)
{
    context.Log(LogLevelInfo, std::wstring(L"Open Environment Hive: ") + kEnvironmentKey);
    if (key.OpenKey(HKEY_LOCAL_MACHINE, kEnvironmentKey, KEY_ALL_ACCESS))
        return true;
    context.Log(LogLevelError, withError(L"Fails to open the Environment Hive", GetLastError()));
    return false;
}

// What the value goes back to, or false when the twin must leave it: the
// value the edit wrote gives way to the one before it; a prepended text that
// others have written around since is cut out where it stands.
bool undoneValue(IActionContext& context, const EnvironmentChange& change, const EnvironmentValue& now,
                 EnvironmentValue& target, int& status)
{
    status = ActionDone;
    if (now == change.after) {
        target = change.before;
        return true;
    }
    if (change.added.empty() || !now.exists) {
        context.Log(LogLevelError, L"  the value changed since ConfigureEnvironment wrote it: it stays as it is");
        status = ActionFailed;
        return false;
    }
    std::wstring::size_type at = now.text.compare(0, change.added.size(), change.added) == 0
                                     ? 0
                                     : FindWholeEntry(now.text, change.added);
    if (at == std::wstring::npos) {
        context.Log(LogLevelWarning, L"  " + change.added + L" is no longer in the value: nothing to undo");
        return false;
    }
    const std::wstring text = now.text.substr(0, at) + now.text.substr(at + change.added.size());
    target = text == change.before.text && change.before.exists ? change.before
                                                                 : EnvironmentValue{ true, typeFor(text), text };
    return true;
}

// Gives back what the newest record of the variable says. The record goes
// once the value is as it was (or nothing was left to undo); a value that
// cannot be given back keeps it.
int rollBack(IActionContext& context, CInstallRegistry& key, const Arguments& arguments)
{
    std::wstring path;
    if (!NewestEnvironmentChange(arguments.stateFolder, arguments.name.str(), path)) {
        context.Log(LogLevelInfo, L"Nothing to rollback");
        return ActionDone;
    }
    EnvironmentChange change;
    DWORD error = ERROR_SUCCESS;
    if (!LoadEnvironmentChange(path, arguments.name.str(), change, error)) {
        context.Log(LogLevelError, withError(L"Fails to read the rollback state " + path, error));
        return ActionFailed;
    }
    if (!openEnvironmentKey(context, key))
        return ActionFailed;
    MachineMutexLock lock(RegistryEditMutexName);
    if (!lock.held()) {
        context.Log(LogLevelError, withError(L"Fails to lock the Environment Hive", lock.error()));
        return ActionFailed;
    }
    EnvironmentValue now;
    if (!readValue(key, arguments.name, now, error)) {
        context.Log(LogLevelError, withError(L"Fails to read the value as text", error));
        return ActionFailed;
    }
    context.Log(LogLevelInfo, now.exists ? L"  Value: " + now.text : std::wstring(L"  Value: (none)"));
    EnvironmentValue target;
    int status = ActionDone;
    if (undoneValue(context, change, now, target, status)) {
        context.Log(LogLevelInfo, target.exists ? L"  back to: " + target.text : std::wstring(L"  back to: (none)"));
        if (target != now && !writeValue(key, arguments.name, target)) {
            context.Log(LogLevelError, withError(L"Fail to roll back", GetLastError()));
            return ActionFailed;
        }
    }
    if (status == ActionDone && !DeleteFileW(PocoWrapper::toExtendedLengthPathW(path).c_str()))
        context.Log(LogLevelWarning, withError(L"Fails to delete the rollback state " + path, GetLastError()));
    return status;
}

Arguments readArguments(const boost::shared_ptr<IActionContext>& context)
{
    Arguments arguments;
    arguments.name = GetCStringArg(context, ShellArgumentNames::EnvName);
    arguments.value = GetCStringArg(context, ShellArgumentNames::EnvValue);
    arguments.action = GetCStringArg(context, ShellArgumentNames::Action);
    arguments.broadcast = GetCStringArg(context, ShellArgumentNames::Broadcast);
    arguments.timeout = GetCStringArg(context, ShellArgumentNames::TimeoutMilliSeconds);
    arguments.stateFolder = *context->GetArg(FileArgumentNames::InvocationDataDir);
    return arguments;
}

bool acceptName(IActionContext& context, const Arguments& arguments)
{
    if (!arguments.name.IsEmpty())
        return true;
    context.Log(LogLevelError, missing(ShellArgumentNames::EnvName, L"the name of the environment variable"));
    return false;
}

void finish(IActionContext& context, const Arguments& arguments, const wchar_t* doneLine)
{
    if (IsBroadcastWord(arguments.broadcast))
        broadcast(context, arguments.timeout);
    context.Log(LogLevelInfo, doneLine);
}
}

VERRAND_ACTION(ConfigureEnvironment)
{
    try {
        LogMessage(context, L"Running ConfigureEnvironment");
        const Arguments arguments = readArguments(context);
        if (!acceptName(*context, arguments))
            return ActionFailed;
        if (!arguments.stateFolder.empty() &&
            !AcceptPath(*context, FileArgumentNames::InvocationDataDir, arguments.stateFolder,
                        CheckStateFolder(arguments.stateFolder)))
            return ActionFailed;

        CInstallRegistry key;
        if (!openEnvironmentKey(*context, key))
            return ActionFailed;
        context->Log(LogLevelInfo, L"Handle Key: " + arguments.name.str());
        if (edit(*context, key, arguments) != ActionDone)
            return ActionFailed;
        finish(*context, arguments, L"ConfigureEnvironment is done");
        key.CloseKeys();
        return ActionDone;
    } catch (...) {
        context->Log(LogLevelError, L"ConfigureEnvironment crashed");
        return ActionFailed;
    }
}

VERRAND_ACTION(RollbackConfigureEnvironment)
{
    try {
        LogMessage(context, L"Running RollbackConfigureEnvironment");
        // The record says what to undo: the twin reads no ACTION or ENV_VALUE.
        Arguments arguments;
        arguments.name = GetCStringArg(context, ShellArgumentNames::EnvName);
        arguments.broadcast = GetCStringArg(context, ShellArgumentNames::Broadcast);
        arguments.timeout = GetCStringArg(context, ShellArgumentNames::TimeoutMilliSeconds);
        arguments.stateFolder = *context->GetArg(FileArgumentNames::InvocationDataDir);
        if (!acceptName(*context, arguments))
            return ActionFailed;
        if (arguments.stateFolder.empty()) {
            context->Log(LogLevelError, missing(FileArgumentNames::InvocationDataDir,
                                                L"the folder that holds what ConfigureEnvironment changed"));
            return ActionFailed;
        }
        if (!AcceptPath(*context, FileArgumentNames::InvocationDataDir, arguments.stateFolder,
                        CheckStateFolder(arguments.stateFolder)))
            return ActionFailed;
        context->Log(LogLevelInfo, L"Handle Key: " + arguments.name.str());
        CInstallRegistry key;
        if (rollBack(*context, key, arguments) != ActionDone)
            return ActionFailed;
        finish(*context, arguments, L"RollbackConfigureEnvironment is done");
        return ActionDone;
    } catch (...) {
        context->Log(LogLevelError, L"RollbackConfigureEnvironment crashed");
        return ActionFailed;
    }
}
