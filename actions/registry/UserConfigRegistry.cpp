#include "UserConfigRegistry.h"

#include "RootKeys.h"
#include "ScopedRegistryKey.h"
#include "core/LogLevel.h"
#include "core/MachineMutex.h"
#include "core/TrueFalseWords.h"

RegistryLocation SplitRegistryPath(const std::wstring& registryPath)
{
    RegistryLocation location;
    const std::wstring::size_type backslash = registryPath.find(L'\\');
    if (backslash == std::wstring::npos) {
        location.rootName = registryPath;
    } else {
        location.rootName = registryPath.substr(0, backslash);
        location.subKey = registryPath.substr(backslash + 1);
    }
    return location;
}

bool ResolveRootKey(ILogger& logger, const std::wstring& rootName, const std::wstring& perUser, HKEY& root)
{
    if (rootName == L"HKMU") {
        if (IsTrueWord(perUser)) {
            root = HKEY_CURRENT_USER;
            return true;
        }
        if (IsFalseWord(perUser)) {
            root = HKEY_LOCAL_MACHINE;
            return true;
        }
        logger.Log(LogLevelError, L"Unsupported PerUser value: " + perUser);
        return false;
    }
    if (ShortOrLongRootKey(rootName, root))
        return true;
    logger.Log(LogLevelError, L"Invalid HKEY: " + rootName);
    return false;
}

bool WriteValueToRegistry(const std::wstring& subKey, const std::wstring& data, const std::wstring& valueName,
                          HKEY root, std::wstring& errorText)
{
    // Under the lock that RemoveUserConfigRegistryKey holds while it finds a
    // key empty and deletes it, so that the key it deletes is never one this
    // write has just refilled.
    MachineMutexLock lock(RegistryEditMutexName);
    if (!lock.held()) {
        errorText = L"WriteValueToRegistry:: failed to lock registry key (" + std::to_wstring(lock.error()) + L").";
        return false;
    }
    ScopedRegistryKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, 0, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | KEY_WOW64_64KEY, 0,
                        key.receive(), &disposition) != ERROR_SUCCESS) {
        errorText = L"WriteValueToRegistry:: failed to create registry key.";
        return false;
    }
    const DWORD size = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), size) !=
        ERROR_SUCCESS) {
        errorText = L"WriteValueToRegistry:: failed to set registry value.";
        return false;
    }
    return true;
}
