#include "RootKeys.h"

namespace {
struct RootEntry {
    const wchar_t* name;
    HKEY key;
};

const RootEntry kLongRoots[] = {
    { L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT },
    { L"HKEY_CURRENT_USER", HKEY_CURRENT_USER },
    { L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE },
    { L"HKEY_USERS", HKEY_USERS },
    { L"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA },
    { L"HKEY_PERFORMANCE_TEXT", HKEY_PERFORMANCE_TEXT },
    { L"HKEY_PERFORMANCE_NLSTEXT", HKEY_PERFORMANCE_NLSTEXT },
};

const RootEntry kShortAndLongRoots[] = {
    { L"HKCR", HKEY_CLASSES_ROOT },
    { L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT },
    { L"HKCU", HKEY_CURRENT_USER },
    { L"HKEY_CURRENT_USER", HKEY_CURRENT_USER },
    { L"HKLM", HKEY_LOCAL_MACHINE },
    { L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE },
    { L"HKU", HKEY_USERS },
    { L"HKEY_USERS", HKEY_USERS },
};

template <size_t N>
bool lookUp(const RootEntry (&table)[N], const std::wstring& name, HKEY& root)
{
    for (const RootEntry& entry : table) {
        if (name == entry.name) {
            root = entry.key;
            return true;
        }
    }
    return false;
}
}

bool LongRootKey(const std::wstring& name, HKEY& root)
{
    return lookUp(kLongRoots, name, root);
}

bool ShortOrLongRootKey(const std::wstring& name, HKEY& root)
{
    return lookUp(kShortAndLongRoots, name, root);
}

std::wstring RootKeyName(HKEY root)
{
    for (const RootEntry& entry : kLongRoots) {
        if (entry.key == root)
            return entry.name;
    }
    return std::wstring();
}
