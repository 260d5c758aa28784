#pragma once
// Registry values exactly as stored: any type, any bytes (NULs and data
// that is no text included), read and written through an open key.
#include <string>
#include <vector>

#include <windows.h>

// One value, or the fact that there is none of that name.
struct RegistryValue {
    std::wstring name;
    bool present = false;
    DWORD type = REG_NONE;
    std::string data;
};

// Same presence, and for present values the same type and bytes; the names
// are not compared.
bool operator==(const RegistryValue& left, const RegistryValue& right);
inline bool operator!=(const RegistryValue& left, const RegistryValue& right) { return !(left == right); }

// The value of that name (empty: the key's default value). A missing value
// is read as absent; any other failure gives its Win32 error.
LONG ReadRegistryValue(HKEY key, const std::wstring& name, RegistryValue& value);
// Every value of the key, in the registry's order.
LONG ReadRegistryValues(HKEY key, std::vector<RegistryValue>& values);
// Stores the value exactly, or deletes it when it is absent (a value that
// is already gone counts as deleted).
LONG WriteRegistryValue(HKEY key, const RegistryValue& value);
