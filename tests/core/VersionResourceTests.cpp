// The shipped DLLs carry a version resource a setup author can read.
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "support/TestFiles.h"

namespace {
std::wstring versionString(const std::wstring& module, const std::wstring& name)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(module.c_str(), &handle);
    if (size == 0)
        return L"(no version resource)";
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(module.c_str(), 0, size, &data[0]))
        return L"(unreadable)";
    wchar_t* value = 0;
    UINT length = 0;
    const std::wstring query = L"\\StringFileInfo\\040904B0\\" + name;
    if (!VerQueryValueW(&data[0], query.c_str(), reinterpret_cast<void**>(&value), &length))
        return L"(missing " + name + L")";
    return value;
}
}

TEST(VersionResource, EveryShippedLibraryNamesProductAndVersion)
{
    for (const wchar_t* module : { L"Verrand.dll", L"Mossel.dll", L"Brunlow.dll" }) {
        SCOPED_TRACE(Narrow(module));
        EXPECT_EQ(L"Verrand", versionString(module, L"ProductName"));
        EXPECT_EQ(std::wstring(VERRAND_VERSION_TEXT), versionString(module, L"FileVersion"));
        EXPECT_FALSE(versionString(module, L"FileDescription").empty());
    }
}
