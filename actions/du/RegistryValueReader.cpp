#include "RegistryValueReader.h"

#include <vector>

#include <windows.h>

namespace {
class OpenKey {
public:
    OpenKey() : key(0) {}
    ~OpenKey()
    {
        if (key)
            RegCloseKey(key);
    }
    HKEY key;

private:
    OpenKey(const OpenKey&);
    OpenKey& operator=(const OpenKey&);
};
}

bool ReadValueFromRegistry(const std::wstring& subKey, const std::wstring& valueName, std::wstring& value,
                           std::wstring& error)
{
    OpenKey open;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &open.key) != ERROR_SUCCESS) {
        open.key = 0;
        error = L"ReadValueFromRegistry:: failed to open registry key.";
        return false;
    }
    DWORD size = 0;
    if (RegQueryValueExW(open.key, valueName.c_str(), 0, 0, 0, &size) != ERROR_SUCCESS) {
        error = L"ReadValueFromRegistry:: failed to query registry value to get value length.";
        return false;
    }
    if (size == 0) {
        error = L"ReadValueFromRegistry:: succeeded in retrieving value, but its value is empty.";
        return false;
    }
    std::vector<BYTE> data(size);
    if (RegQueryValueExW(open.key, valueName.c_str(), 0, 0, &data[0], &size) != ERROR_SUCCESS) {
        error = L"ReadValueFromRegistry:: failed to query registry value to get value.";
        return false;
    }
    // Up to the terminator, never past the data returned.
    const wchar_t* text = reinterpret_cast<const wchar_t*>(&data[0]);
    const size_t characters = size / sizeof(wchar_t);
    size_t length = 0;
    while (length < characters && text[length] != L'\0')
        ++length;
    value.assign(text, length);
    return true;
}
