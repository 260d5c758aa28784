#pragma once
#include <string>

// Argument names of the registry actions, built once when the library loads.
namespace RegistryArgumentNames {
extern const std::wstring Path;
extern const std::wstring Root;
extern const std::wstring Value;

// User configuration keys. PerUser is the one of DuArgumentNames.
extern const std::wstring RegistryPath;
extern const std::wstring RegistryValueName;
extern const std::wstring RegistryValueData;
extern const std::wstring RegistryType;
}
