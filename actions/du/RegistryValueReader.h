#pragma once
#include <string>

// A value under HKEY_LOCAL_MACHINE, read from the 64-bit view, taken as a
// wide string whatever its registry type. False with a message in error when
// the key cannot be opened or the value is missing or empty.
bool ReadValueFromRegistry(const std::wstring& subKey, const std::wstring& valueName, std::wstring& value,
                           std::wstring& error);
