#include "RegistryArgumentNames.h"

namespace RegistryArgumentNames {
const std::wstring Path(L"Path");
const std::wstring Root(L"Root");
const std::wstring Value(L"Value");

const std::wstring RegistryPath(L"RegistryPath");
const std::wstring RegistryValueName(L"RegistryValueName");
const std::wstring RegistryValueData(L"RegistryValueData");
const std::wstring RegistryType(L"RegistryType");
}
