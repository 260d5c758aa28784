// CreateUserConfigRegistryKey and RemoveUserConfigRegistryKey: one string
// value of a user's configuration, written at install and removed at
// uninstall together with its key when nothing else is left in it.
//
// Given an invocation-data folder, each first keeps there the value as it
// was (type and bytes, or absent) and, for a write, the keys it is about to
// create. RollbackCreateUserConfigRegistryKey gives the value back and
// deletes the keys the write made while they are empty;
// RollbackRemoveUserConfigRegistryKey puts the removed value back with its
// key. A twin acts only while the value is still what its action left.
#include <memory>
#include <optional>

#include "core/Action.h"
#include "core/MachineMutex.h"
#include "core/RollbackState.h"

#include "RegistryArgumentNames.h"
#include "RegistryState.h"
#include "RootKeys.h"
#include "ScopedRegistryKey.h"
#include "UserConfigRegistry.h"
#include "actions/du/DuArgumentNames.h"
#include "actions/files/FileArgumentNames.h"

namespace {
const wchar_t* const kUninstall = L"uninstall";
const wchar_t* const kCreateState = L"create";
const wchar_t* const kRemoveState = L"remove";
const wchar_t* const kWritten = L"written";
const wchar_t* const kRemoved = L"removed";

// The refusal line of a registry type that cannot be written, or null for
// the one type that can.
const wchar_t* refusedTypeLine(const std::wstring& type)
{
    if (type == L"string")
        return 0;
    if (type == L"integer")
        return L"integer registry type not supported.";
    if (type == L"binary")
        return L"binary registry type not supported.";
    if (type == L"expandable")
        return L"expandable registry type not supported.";
    if (type == L"multiString")
        return L"multiString registry type not supported.";
    return L"Unsupported registry type.";
}

// Deletes the key in the 64-bit view, where the value was removed, when it
// holds neither values nor subkeys. Never a root itself. False when the key
// stays.
bool deleteEmptyKey(HKEY root, const std::wstring& subKey)
{
    if (subKey.find_first_not_of(L'\\') == std::wstring::npos)
        return false;
    {
        ScopedRegistryKey key;
        if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.receive()) !=
            ERROR_SUCCESS)
            return false;
        DWORD subKeys = 0;
        DWORD values = 0;
        if (RegQueryInfoKeyW(key.get(), 0, 0, 0, &subKeys, 0, 0, &values, 0, 0, 0, 0) != ERROR_SUCCESS)
            return false;
        if (subKeys != 0 || values != 0)
            return false;
    }
    return RegDeleteKeyExW(root, subKey.c_str(), KEY_WOW64_64KEY, 0) == ERROR_SUCCESS;
}
}

namespace {
// The value an action of this file works on, in the 64-bit view where it
// writes and removes, and its state.
struct ConfigValue {
    HKEY root = 0;
    RegistryLocation location;
    std::wstring valueName;

    std::wstring name() const
    {
        return RootKeyName(root) + L"\\" + location.subKey + L" (value \"" + valueName + L"\")";
    }
    RollbackState state(const std::wstring& folder, const wchar_t* kind) const
    {
        return RollbackState::ForRegistry(
            folder, kind, RegistryObjectName(KEY_WOW64_64KEY, RootKeyName(root), location.subKey, valueName));
    }
    // The value as it is now; absent also when its key is missing.
    LONG read(RegistryValue& value) const
    {
        value = RegistryValue();
        value.name = valueName;
        ScopedRegistryKey key;
        const LONG rc = RegOpenKeyExW(root, location.subKey.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                                      key.receive());
        if (rc == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;
        return rc == ERROR_SUCCESS ? ReadRegistryValue(key.get(), valueName, value) : rc;
    }
    // The keys a write would create, outermost first.
    std::vector<std::wstring> missingKeys() const
    {
        std::vector<std::wstring> missing;
        std::wstring path = location.subKey;
        while (!path.empty() && path.find_first_not_of(L'\\') != std::wstring::npos) {
            ScopedRegistryKey key;
            if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.receive()) !=
                ERROR_FILE_NOT_FOUND)
                break;
            missing.insert(missing.begin(), path);
            const std::wstring::size_type backslash = path.find_last_of(L'\\');
            path = backslash == std::wstring::npos ? std::wstring() : path.substr(0, backslash);
        }
        return missing;
    }
};

// The REG_SZ value a write stores, with its terminator.
RegistryValue stringValue(const std::wstring& name, const std::wstring& data)
{
    RegistryValue value;
    value.name = name;
    value.present = true;
    value.type = REG_SZ;
    value.data.assign(reinterpret_cast<const char*>(data.c_str()), (data.size() + 1) * sizeof(wchar_t));
    return value;
}

int failWith(IActionContext& context, const std::wstring& line)
{
    context.Log(LogLevelError, line);
    return ActionFailed;
}

// The write with its state kept first. A retried write keeps the first
// run's state while the value is still what that run wrote; a write that
// changes nothing keeps none.
int writeKeepingState(IActionContext& context, const ConfigValue& target, const std::wstring& data,
                      const std::wstring& folder)
{
    const std::wstring who = L"CreateUserConfigRegistryKey:: ";
    MachineMutexLock lock(RegistryEditMutexName);
    if (!lock.held())
        return failWith(context, L"WriteValueToRegistry:: failed to lock registry key (" +
                                     std::to_wstring(lock.error()) + L").");
    const RollbackState state = target.state(folder, kCreateState);
    const RegistryValue written = stringValue(target.valueName, data);
    RegistryValue before;
    const LONG rc = target.read(before);
    if (rc != ERROR_SUCCESS)
        return failWith(context, who + L"Couldn't read " + target.name() + L" to keep it" + ErrorSuffix(rc));
    const std::vector<std::wstring> missing = target.missingKeys();
    RollbackSignal signal;
    bool ownState = false;
    if (state.read(signal)) {
        if (signal.after.size() != 1 || before != signal.after[0])
            return failWith(context, who + L"Refusing to write " + target.name() +
                                         L": it changed since an earlier run wrote it, and the rollback state of "
                                         L"that run is kept at " + state.folder());
        context.Log(LogLevelInfo, who + L"Keeping the rollback state of an earlier run: " + state.folder());
    } else if (!missing.empty() || before != written) {
        signal = RollbackSignal();
        signal.object = state.object();
        signal.change = kWritten;
        signal.madeKeys = missing;
        signal.before.assign(1, before);
        signal.after.assign(1, written);
        if (!WriteRegistryState(context, who, state, signal))
            return ActionFailed;
        ownState = true;
    }
    std::wstring errorText;
    if (!WriteValueToRegistry(target.location.subKey, data, target.valueName, target.root, errorText)) {
        if (ownState)
            DiscardRegistryState(context, who, state);
        return failWith(context, errorText);
    }
    return ActionDone;
}

// Keeps the value a removal is about to take. False (after logging why)
// when the removal must not run.
bool keepRemoved(IActionContext& context, const ConfigValue& target, const RollbackState& state, bool& kept)
{
    const std::wstring who = L"RemoveUserConfigRegistryKey:: ";
    kept = false;
    RegistryValue before;
    const LONG rc = target.read(before);
    if (rc != ERROR_SUCCESS) {
        context.Log(LogLevelError, who + L"Couldn't read " + target.name() + L" to keep it" + ErrorSuffix(rc));
        return false;
    }
    // Nothing to take: the removal fails as it always does, and a retried
    // step keeps the first run's state.
    if (!before.present)
        return true;
    RollbackSignal signal;
    if (state.read(signal)) {
        context.Log(LogLevelError, who + L"Refusing to remove " + target.name() +
                                       L": it was written again after an earlier run removed it, and the rollback "
                                       L"state of that run is kept at " + state.folder());
        return false;
    }
    signal.object = state.object();
    signal.change = kRemoved;
    signal.before.assign(1, before);
    signal.after.assign(1, RegistryValue());
    signal.after[0].name = target.valueName;
    if (!WriteRegistryState(context, who, state, signal))
        return false;
    kept = true;
    return true;
}

// What a twin works with: the value its action worked on, the registry
// lock, and the state its action kept.
struct ConfigTwin {
    ConfigValue target;
    std::unique_ptr<MachineMutexLock> lock;
    std::optional<RollbackState> state;
    RollbackSignal signal;
};

// Reads a twin's arguments, takes the lock and reads its action's state of
// the given change with one value before it. False, with the status to
// return, when the twin is done: a refusal, or nothing to roll back.
bool startTwin(const boost::shared_ptr<IActionContext>& context, const std::wstring& who, const wchar_t* kind,
               const wchar_t* change, ConfigTwin& twin, int& status)
{
    status = ActionFailed;
    const std::wstring registryPath = *context->GetArg(RegistryArgumentNames::RegistryPath);
    twin.target.valueName = *context->GetArg(RegistryArgumentNames::RegistryValueName);
    const std::wstring perUser = *context->GetArg(DuArgumentNames::PerUser);
    const std::wstring folder = *context->GetArg(FileArgumentNames::InvocationDataDir);
    twin.target.location = SplitRegistryPath(registryPath);
    if (!ResolveRootKey(*context, twin.target.location.rootName, perUser, twin.target.root) ||
        !AcceptStateFolder(*context, folder, true))
        return false;
    twin.lock.reset(new MachineMutexLock(RegistryEditMutexName));
    if (!twin.lock->held()) {
        failWith(*context, who + L"Couldn't lock the registry" + ErrorSuffix(twin.lock->error()));
        return false;
    }
    twin.state.emplace(twin.target.state(folder, kind));
    if (!twin.state->read(twin.signal) || twin.signal.change != change || twin.signal.before.size() != 1 ||
        twin.signal.after.size() != 1) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        status = ActionDone;
        return false;
    }
    return true;
}

std::wstring stateStays(const ConfigTwin& twin)
{
    return L"; the rollback state stays at " + twin.state->folder();
}
}

VERRAND_ACTION(CreateUserConfigRegistryKey)
{
    const std::wstring registryPath = *context->GetArg(RegistryArgumentNames::RegistryPath);
    const std::wstring valueName = *context->GetArg(RegistryArgumentNames::RegistryValueName);
    const std::wstring valueData = *context->GetArg(RegistryArgumentNames::RegistryValueData);
    const std::wstring type = *context->GetArg(RegistryArgumentNames::RegistryType);
    const std::wstring perUser = *context->GetArg(DuArgumentNames::PerUser);

    ConfigValue target;
    target.location = SplitRegistryPath(registryPath);
    target.valueName = valueName;
    if (!ResolveRootKey(*context, target.location.rootName, perUser, target.root))
        return ActionFailed;

    if (const wchar_t* refusal = refusedTypeLine(type)) {
        context->Log(LogLevelError, refusal);
        return ActionFailed;
    }
    const std::wstring folder = *context->GetArg(FileArgumentNames::InvocationDataDir);
    if (!AcceptStateFolder(*context, folder, false))
        return ActionFailed;
    if (!folder.empty())
        return writeKeepingState(*context, target, valueData, folder);
    std::wstring errorText;
    if (!WriteValueToRegistry(target.location.subKey, valueData, valueName, target.root, errorText)) {
        context->Log(LogLevelError, errorText);
        return ActionFailed;
    }
    return ActionDone;
}

VERRAND_ACTION(RemoveUserConfigRegistryKey)
{
    const std::wstring duAction = *context->GetArg(FileArgumentNames::DuAction);
    if (duAction != kUninstall) {
        context->Log(LogLevelInfo, L"Skipping action for the following kind of DU transaction: " + duAction);
        return ActionDone;
    }
    ConfigValue target;
    const std::wstring registryPath = *context->GetArg(RegistryArgumentNames::RegistryPath);
    target.valueName = *context->GetArg(RegistryArgumentNames::RegistryValueName);
    const std::wstring perUser = *context->GetArg(DuArgumentNames::PerUser);

    target.location = SplitRegistryPath(registryPath);
    if (!ResolveRootKey(*context, target.location.rootName, perUser, target.root))
        return ActionFailed;
    const std::wstring folder = *context->GetArg(FileArgumentNames::InvocationDataDir);
    if (!AcceptStateFolder(*context, folder, false))
        return ActionFailed;
    const HKEY root = target.root;
    const RegistryLocation& location = target.location;
    const std::wstring& valueName = target.valueName;

    // Other setups may write to the same key meanwhile: the value's removal
    // and the emptiness check with the key's deletion are one step for them.
    MachineMutexLock lock(RegistryEditMutexName);
    if (!lock.held()) {
        context->Log(LogLevelError, L"RemoveUserConfigRegistryKey:: failed to lock registry key (" +
                                        std::to_wstring(lock.error()) + L").");
        return ActionFailed;
    }
    const RollbackState state = target.state(folder, kRemoveState);
    bool kept = false;
    if (!folder.empty() && !keepRemoved(*context, target, state, kept))
        return ActionFailed;
    {
        ScopedRegistryKey key;
        if (RegOpenKeyExW(root, location.subKey.c_str(), 0, KEY_SET_VALUE | DELETE | KEY_WOW64_64KEY,
                          key.receive()) != ERROR_SUCCESS) {
            if (kept)
                DiscardRegistryState(*context, L"RemoveUserConfigRegistryKey:: ", state);
            context->Log(LogLevelError, L"RemoveUserConfigRegistryKey:: failed to find registry key.");
            return ActionFailed;
        }
        if (RegDeleteValueW(key.get(), valueName.c_str()) != ERROR_SUCCESS) {
            key.close();
            if (kept)
                DiscardRegistryState(*context, L"RemoveUserConfigRegistryKey:: ", state);
            context->Log(LogLevelError, L"RemoveUserConfigRegistryKey:: failed to delete registry key value.");
            return ActionFailed;
        }
    }
    if (!deleteEmptyKey(root, location.subKey))
        context->Log(LogLevelInfo, L"RemoveUserConfigRegistryKey:: Failed to delete registry key (may not be empty).");
    return ActionDone;
}

VERRAND_ACTION(RollbackCreateUserConfigRegistryKey)
{
    const std::wstring who = L"RollbackCreateUserConfigRegistryKey:: ";
    ConfigTwin twin;
    int status = ActionFailed;
    if (!startTwin(context, who, kCreateState, kWritten, twin, status))
        return status;
    const ConfigValue& target = twin.target;
    RegistryValue now;
    LONG rc = target.read(now);
    if (rc != ERROR_SUCCESS || now != twin.signal.after[0])
        return failWith(*context, who + L"Leaving " + target.name() +
                                      L" as it is: it changed since CreateUserConfigRegistryKey wrote it, and the "
                                      L"rollback state stays at " + twin.state->folder());
    {
        ScopedRegistryKey key;
        rc = RegOpenKeyExW(target.root, target.location.subKey.c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                           key.receive());
        if (rc == ERROR_SUCCESS)
            rc = WriteRegistryValue(key.get(), twin.signal.before[0]);
        if (rc != ERROR_SUCCESS)
            return failWith(*context, who + L"Couldn't give back " + target.name() + ErrorSuffix(rc) + stateStays(twin));
    }
    context->Log(LogLevelInfo, who + L"Gave back " + target.name());
    const std::vector<std::wstring>& made = twin.signal.madeKeys;
    for (std::size_t i = made.size(); i-- > 0;) {
        if (!deleteEmptyKey(target.root, made[i]))
            break;
        context->Log(LogLevelInfo,
                     who + L"Removed the key the write created: " + RootKeyName(target.root) + L"\\" + made[i]);
    }
    DiscardRegistryState(*context, who, *twin.state);
    return ActionDone;
}

VERRAND_ACTION(RollbackRemoveUserConfigRegistryKey)
{
    const std::wstring who = L"RollbackRemoveUserConfigRegistryKey:: ";
    ConfigTwin twin;
    int status = ActionFailed;
    if (!startTwin(context, who, kRemoveState, kRemoved, twin, status))
        return status;
    const ConfigValue& target = twin.target;
    RegistryValue now;
    LONG rc = target.read(now);
    if (rc != ERROR_SUCCESS || now.present)
        return failWith(*context, who + L"Leaving " + target.name() +
                                      L" as it is: it was written again after RemoveUserConfigRegistryKey removed "
                                      L"it, and the rollback state stays at " + twin.state->folder());
    // The key comes back with the keys above it that went away meanwhile.
    ScopedRegistryKey key;
    rc = RegCreateKeyExW(target.root, target.location.subKey.c_str(), 0, 0, REG_OPTION_NON_VOLATILE,
                         KEY_SET_VALUE | KEY_WOW64_64KEY, 0, key.receive(), 0);
    if (rc == ERROR_SUCCESS)
        rc = WriteRegistryValue(key.get(), twin.signal.before[0]);
    if (rc != ERROR_SUCCESS)
        return failWith(*context, who + L"Couldn't put back " + target.name() + ErrorSuffix(rc) + stateStays(twin));
    context->Log(LogLevelInfo, who + L"Put back " + target.name());
    DiscardRegistryState(*context, who, *twin.state);
    return ActionDone;
}
