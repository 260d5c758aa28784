#include "RegistryValues.h"

bool operator==(const RegistryValue& left, const RegistryValue& right)
{
    if (left.present != right.present)
        return false;
    return !left.present || (left.type == right.type && left.data == right.data);
}

LONG ReadRegistryValue(HKEY key, const std::wstring& name, RegistryValue& value)
{
    value = RegistryValue();
    value.name = name;
    // The value may grow between the two calls: ask again until it fits.
    for (;;) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        LONG rc = RegQueryValueExW(key, name.c_str(), 0, &type, 0, &size);
        if (rc == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS)
            return rc;
        std::string data(size, '\0');
        rc = RegQueryValueExW(key, name.c_str(), 0, &type, size ? reinterpret_cast<BYTE*>(&data[0]) : 0, &size);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS)
            return rc;
        data.resize(size);
        value.present = true;
        value.type = type;
        value.data = data;
        return ERROR_SUCCESS;
    }
}

LONG ReadRegistryValues(HKEY key, std::vector<RegistryValue>& values)
{
    values.clear();
    DWORD count = 0;
    DWORD longestName = 0;
    LONG rc = RegQueryInfoKeyW(key, 0, 0, 0, 0, 0, 0, &count, &longestName, 0, 0, 0);
    if (rc != ERROR_SUCCESS)
        return rc;
    for (DWORD index = 0;; ++index) {
        std::wstring name(longestName + 1, L'\0');
        DWORD length = static_cast<DWORD>(name.size());
        rc = RegEnumValueW(key, index, &name[0], &length, 0, 0, 0, 0);
        if (rc == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (rc == ERROR_MORE_DATA) {
            // A longer name came in meanwhile.
            longestName = longestName * 2 + 256;
            --index;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return rc;
        name.resize(length);
        RegistryValue value;
        rc = ReadRegistryValue(key, name, value);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (value.present)
            values.push_back(value);
    }
}

LONG WriteRegistryValue(HKEY key, const RegistryValue& value)
{
    if (!value.present) {
        const LONG rc = RegDeleteValueW(key, value.name.c_str());
        return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
    }
    // The registry takes a NUL character right after a string's bytes as a
    // terminator the caller forgot to count and stores it too: a guard that
    // is no NUL keeps a string without a terminator as it was.
    std::string bytes = value.data;
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ)
        bytes.append("\xff\xff", 2);
    return RegSetValueExW(key, value.name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(value.data.size()));
}
