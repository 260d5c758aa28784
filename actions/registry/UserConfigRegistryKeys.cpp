// CreateUserConfigRegistryKey and RemoveUserConfigRegistryKey: one string
// value of a user's configuration, written at install and removed at
// uninstall together with its key when nothing else is left in it.
#include "core/Action.h"
#include "core/MachineMutex.h"

#include "RegistryArgumentNames.h"
#include "ScopedRegistryKey.h"
#include "UserConfigRegistry.h"
#include "actions/du/DuArgumentNames.h"
#include "actions/files/FileArgumentNames.h"

namespace {
const wchar_t* const kUninstall = L"uninstall";

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

VERRAND_ACTION(CreateUserConfigRegistryKey)
{
    const std::wstring registryPath = *context->GetArg(RegistryArgumentNames::RegistryPath);
    const std::wstring valueName = *context->GetArg(RegistryArgumentNames::RegistryValueName);
    const std::wstring valueData = *context->GetArg(RegistryArgumentNames::RegistryValueData);
    const std::wstring type = *context->GetArg(RegistryArgumentNames::RegistryType);
    const std::wstring perUser = *context->GetArg(DuArgumentNames::PerUser);

    const RegistryLocation location = SplitRegistryPath(registryPath);
    HKEY root = 0;
    if (!ResolveRootKey(*context, location.rootName, perUser, root))
        return ActionFailed;

    if (const wchar_t* refusal = refusedTypeLine(type)) {
        context->Log(LogLevelError, refusal);
        return ActionFailed;
    }
    std::wstring errorText;
    if (!WriteValueToRegistry(location.subKey, valueData, valueName, root, errorText)) {
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
    const std::wstring registryPath = *context->GetArg(RegistryArgumentNames::RegistryPath);
    const std::wstring valueName = *context->GetArg(RegistryArgumentNames::RegistryValueName);
    const std::wstring perUser = *context->GetArg(DuArgumentNames::PerUser);

    const RegistryLocation location = SplitRegistryPath(registryPath);
    HKEY root = 0;
    if (!ResolveRootKey(*context, location.rootName, perUser, root))
        return ActionFailed;

    // Other setups may write to the same key meanwhile: the value's removal
    // and the emptiness check with the key's deletion are one step for them.
    MachineMutexLock lock(RegistryEditMutexName);
    if (!lock.held()) {
        context->Log(LogLevelError, L"RemoveUserConfigRegistryKey:: failed to lock registry key (" +
                                        std::to_wstring(lock.error()) + L").");
        return ActionFailed;
    }
    {
        ScopedRegistryKey key;
        if (RegOpenKeyExW(root, location.subKey.c_str(), 0, KEY_SET_VALUE | DELETE | KEY_WOW64_64KEY,
                          key.receive()) != ERROR_SUCCESS) {
            context->Log(LogLevelError, L"RemoveUserConfigRegistryKey:: failed to find registry key.");
            return ActionFailed;
        }
        if (RegDeleteValueW(key.get(), valueName.c_str()) != ERROR_SUCCESS) {
            key.close();
            context->Log(LogLevelError, L"RemoveUserConfigRegistryKey:: failed to delete registry key value.");
            return ActionFailed;
        }
    }
    if (!deleteEmptyKey(root, location.subKey))
        context->Log(LogLevelInfo, L"RemoveUserConfigRegistryKey:: Failed to delete registry key (may not be empty).");
    return ActionDone;
}
