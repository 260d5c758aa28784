#pragma once
// Shared pieces of the user configuration registry actions.
#include <string>

#include <windows.h>

#include "core/ILogger.h"

// A RegistryPath split at its first backslash. Without a backslash the whole
// text names the root and the sub-key path is empty (the root key itself).
struct RegistryLocation {
    std::wstring rootName;
    std::wstring subKey;
};
RegistryLocation SplitRegistryPath(const std::wstring& registryPath);

// The root key for a root name: HKMU is the current user for a true
// `perUser` word and the local machine for a false one. An unknown name or a
// per-user value that is neither word is logged at level 4 and gives false.
bool ResolveRootKey(ILogger& logger, const std::wstring& rootName, const std::wstring& perUser, HKEY& root);

// Writes a REG_SZ value, creating the key in the 64-bit registry view. On
// failure `errorText` says what failed.
bool WriteValueToRegistry(const std::wstring& subKey, const std::wstring& data, const std::wstring& valueName,
                          HKEY root, std::wstring& errorText);
