// DeleteRegistryKey: deletes one value, or one key without subkeys, below a
// predefined root named by its long name. Failures are only reported; a
// missing value or key counts as done. An empty Path names the root itself:
// without a Value that is refused.
//
// Given an invocation-data folder, the action first keeps there what it
// deletes (the value with its type and bytes, or the key's every value);
// RollbackDeleteRegistryKey puts it back in the same view, as long as
// nothing has been written there since.
#include "core/Action.h"
#include "core/MachineMutex.h"
#include "core/RollbackState.h"

#include "RegistryArgumentNames.h"
#include "RegistryState.h"
#include "RootKeys.h"
#include "ScopedRegistryKey.h"
#include "actions/files/FileArgumentNames.h"

namespace {
const wchar_t* const kStateKind = L"delete";
const wchar_t* const kDeletedValue = L"deleted-value";
const wchar_t* const kDeletedKey = L"deleted-key";
const wchar_t* const kTwin = L"RollbackDeleteRegistryKey: ";

struct Target {
    HKEY root = 0;
    std::wstring rootName;
    std::wstring path;
    std::wstring value;
    std::wstring stateFolder;

    bool isKey() const { return value.empty(); }
    // The value, or the key itself.
    std::wstring name() const { return isKey() ? path : path + L"\\" + value; }
    RollbackState state() const
    {
        return RollbackState::ForRegistry(stateFolder, kStateKind, RegistryObjectName(0, rootName, path, value));
    }
};

// Reads the arguments and refuses what names no value or key: an unknown
// root, or the root key itself.
bool readTarget(IActionContext& context, Target& target, int rootLevel)
{
    target.path = *context.GetArg(RegistryArgumentNames::Path);
    target.rootName = *context.GetArg(RegistryArgumentNames::Root);
    target.value = *context.GetArg(RegistryArgumentNames::Value);
    target.stateFolder = *context.GetArg(FileArgumentNames::InvocationDataDir);
    if (!LongRootKey(target.rootName, target.root)) {
        context.Log(rootLevel, L"Root is invalid:" + target.rootName);
        return false;
    }
    if (target.isKey() && target.path.find_first_not_of(L'\\') == std::wstring::npos) {
        context.Log(LogLevelError, L"Refusing " + RegistryArgumentNames::Path + L" \"" + target.path +
                                       L"\": without a " + RegistryArgumentNames::Value +
                                       L" it names the root key " + target.rootName + L" itself");
        return false;
    }
    return true;
}

void logFailure(IActionContext& context, const Target& target)
{
    if (target.isKey())
        context.Log(LogLevelInfo, L"failed to delete registry key:" + target.path);
    else
        context.Log(LogLevelInfo, L"failed to delete registry value:" + target.path + target.value);
}

// What the deletion is about to take: the value, or every value of a key
// without subkeys. False when there is nothing it could delete.
bool readDeleted(const Target& target, std::vector<RegistryValue>& values)
{
    ScopedRegistryKey key;
    if (RegOpenKeyExW(target.root, target.path.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
        return false;
    if (!target.isKey()) {
        RegistryValue value;
        if (ReadRegistryValue(key.get(), target.value, value) != ERROR_SUCCESS || !value.present)
            return false;
        values.assign(1, value);
        return true;
    }
    DWORD subKeys = 0;
    return RegQueryInfoKeyW(key.get(), 0, 0, 0, &subKeys, 0, 0, 0, 0, 0, 0, 0) == ERROR_SUCCESS && subKeys == 0 &&
           ReadRegistryValues(key.get(), values) == ERROR_SUCCESS;
}

bool deleteTarget(const Target& target)
{
    if (target.isKey())
        return RegDeleteKeyW(target.root, target.path.c_str()) == ERROR_SUCCESS;
    ScopedRegistryKey key;
    return RegOpenKeyExW(target.root, target.path.c_str(), 0, KEY_SET_VALUE, key.receive()) == ERROR_SUCCESS &&
           RegDeleteValueW(key.get(), target.value.c_str()) == ERROR_SUCCESS;
}

// True while the value (or the key) is still gone, as the deletion left it.
bool stillDeleted(const Target& target)
{
    ScopedRegistryKey key;
    const LONG rc = RegOpenKeyExW(target.root, target.path.c_str(), 0, KEY_READ, key.receive());
    if (target.isKey() || rc != ERROR_SUCCESS)
        return rc == ERROR_FILE_NOT_FOUND;
    RegistryValue value;
    return ReadRegistryValue(key.get(), target.value, value) == ERROR_SUCCESS && !value.present;
}

// The deletion with its state kept first. A retried step finds the value
// gone and keeps the first run's state; one that finds it written again
// since leaves both alone.
int deleteKeepingState(IActionContext& context, const Target& target)
{
    std::vector<RegistryValue> values;
    if (!readDeleted(target, values)) {
        logFailure(context, target);
        return ActionDone;
    }
    const RollbackState state = target.state();
    RollbackSignal signal;
    if (state.read(signal)) {
        context.Log(LogLevelError, L"Refusing to delete " + target.name() +
                                       L": it was written again after an earlier run deleted it, and the rollback "
                                       L"state of that run is kept at " + state.folder());
        return ActionFailed;
    }
    signal = RollbackSignal();
    signal.object = state.object();
    signal.change = target.isKey() ? kDeletedKey : kDeletedValue;
    signal.before = values;
    if (!WriteRegistryState(context, L"", state, signal))
        return ActionFailed;
    if (!deleteTarget(target)) {
        DiscardRegistryState(context, L"", state);
        logFailure(context, target);
    }
    return ActionDone;
}
}

VERRAND_ACTION(DeleteRegistryKey)
{
    Target target;
    if (!readTarget(*context, target, LogLevelInfo))
        return ActionFailed;
    if (!AcceptStateFolder(*context, target.stateFolder, false))
        return ActionFailed;
    if (!target.stateFolder.empty())
        return deleteKeepingState(*context, target);
    if (!deleteTarget(target))
        logFailure(*context, target);
    return ActionDone;
}

VERRAND_ACTION(RollbackDeleteRegistryKey)
{
    Target target;
    if (!readTarget(*context, target, LogLevelError) || !AcceptStateFolder(*context, target.stateFolder, true))
        return ActionFailed;
    const RollbackState state = target.state();
    RollbackSignal signal;
    if (!state.read(signal) || signal.change != (target.isKey() ? kDeletedKey : kDeletedValue)) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        return ActionDone;
    }
    MachineMutexLock lock(RegistryEditMutexName);
    if (!lock.held()) {
        context->Log(LogLevelError, kTwin + std::wstring(L"Couldn't lock the registry") + ErrorSuffix(lock.error()));
        return ActionFailed;
    }
    if (!stillDeleted(target)) {
        context->Log(LogLevelError, kTwin + std::wstring(L"Leaving ") + target.name() +
                                        L" as it is: it was written again after DeleteRegistryKey deleted it, and "
                                        L"the rollback state stays at " + state.folder());
        return ActionFailed;
    }
    // The key comes back with the keys above it that went away meanwhile.
    ScopedRegistryKey key;
    LONG rc = RegCreateKeyExW(target.root, target.path.c_str(), 0, 0, REG_OPTION_NON_VOLATILE,
                              KEY_SET_VALUE | KEY_QUERY_VALUE, 0, key.receive(), 0);
    if (rc == ERROR_SUCCESS)
        rc = WriteValues(key.get(), signal.before);
    if (rc != ERROR_SUCCESS) {
        context->Log(LogLevelError, kTwin + std::wstring(L"Couldn't put back ") + target.name() + ErrorSuffix(rc) +
                                        L"; the rollback state stays at " + state.folder());
        return ActionFailed;
    }
    context->Log(LogLevelInfo, kTwin + std::wstring(L"Put back ") + target.name());
    DiscardRegistryState(*context, kTwin, state);
    return ActionDone;
}
