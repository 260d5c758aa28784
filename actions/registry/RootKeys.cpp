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
}

bool LongRootKey(const std::wstring& name, HKEY& root)
{
    for (const RootEntry& entry : kLongRoots) {
        if (name == entry.name) {
            root = entry.key;
            return true;
        }
    }
    return false;
}
