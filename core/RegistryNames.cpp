#include "RegistryNames.h"

#include <windows.h>

namespace {
int lengthAsPassed(const std::wstring& name)
{
    const std::wstring::size_type end = name.find(L'\0');
    return static_cast<int>(end == std::wstring::npos ? name.size() : end);
}
}

bool SameRegistryName(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.data(), lengthAsPassed(a), b.data(), lengthAsPassed(b), TRUE) == CSTR_EQUAL;
}
