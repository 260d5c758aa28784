// SetWindowsSystemFolderProps through the real export, compared with what
// the system itself reports.
#include <set>

#include <shlobj.h>

#include <gtest/gtest.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

#include "support/ThrowingContext.h"

namespace {
const std::vector<std::wstring> kPropertyOrder = {
    L"AdminToolsFolder",     L"AppDataFolder",     L"CommonAppDataFolder", L"CommonFiles64Folder",
    L"CommonFilesFolder",    L"DesktopFolder",     L"FavoritesFolder",     L"FontsFolder",
    L"LocalAppDataFolder",   L"MyPicturesFolder",  L"NetHoodFolder",       L"PersonalFolder",
    L"PrintHoodFolder",      L"ProgramFiles64Folder", L"ProgramFilesFolder", L"ProgramMenuFolder",
    L"RecentFolder",         L"SendToFolder",      L"StartMenuFolder",     L"StartupFolder",
    L"System16Folder",       L"System64Folder",    L"SystemFolder",        L"TempFolder",
    L"TemplateFolder",       L"WindowsFolder",     L"WindowsVolume",       L"CommonAppData",
};

const std::set<std::wstring> kProfileDependent = {
    L"AdminToolsFolder", L"DesktopFolder", L"ProgramMenuFolder",
    L"StartMenuFolder",  L"StartupFolder", L"TemplateFolder",
};

RecordingContextPtr run(const std::wstring& perUser, int expectedStatus = 0)
{
    RecordingContextPtr context = RecordingContext::Create();
    context->arguments[L"ArgPerUserInstall"] = perUser;
    EXPECT_EQ(expectedStatus, CallAction("SetWindowsSystemFolderProps", context));
    return context;
}

std::vector<std::wstring> names(const RecordingContext& context)
{
    std::vector<std::wstring> result;
    for (const auto& set : context.propertiesSet)
        result.push_back(set.first);
    return result;
}

std::wstring lower(std::wstring text)
{
    CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

std::wstring property(const RecordingContext& context, const std::wstring& name)
{
    std::wstring value;
    EXPECT_TRUE(context.PropertySet(name, &value)) << Narrow(name);
    return value;
}
}

TEST(SetWindowsSystemFolderProps, SetsAllPropertiesInOrderForEitherContext)
{
    RecordingContextPtr machine = run(L"");
    EXPECT_EQ(kPropertyOrder, names(*machine));
    EXPECT_EQ(std::vector<std::wstring>{ L"SetWindowsSystemFolderProps uses Per-Machine context." }, machine->Texts(2));

    RecordingContextPtr user = run(L"True");
    EXPECT_EQ(kPropertyOrder, names(*user));
    EXPECT_EQ(std::vector<std::wstring>{ L"SetWindowsSystemFolderProps uses Per-User context." }, user->Texts(2));
}

TEST(SetWindowsSystemFolderProps, OnlyTrueInAnyCaseMeansPerUser)
{
    for (const wchar_t* word : { L"true", L"TRUE", L"tRuE" })
        EXPECT_TRUE(run(word)->HasLine(L"SetWindowsSystemFolderProps uses Per-User context.", 2)) << Narrow(word);
    for (const wchar_t* word : { L"yes", L"1", L"", L" true", L"on" })
        EXPECT_TRUE(run(word)->HasLine(L"SetWindowsSystemFolderProps uses Per-Machine context.", 2)) << Narrow(word);
}

TEST(SetWindowsSystemFolderProps, PerUserAndPerMachineDifferInTheProfileFoldersOnly)
{
    RecordingContextPtr machine = run(L"no");
    RecordingContextPtr user = run(L"true");
    for (size_t i = 0; i < kPropertyOrder.size(); ++i) {
        const std::wstring& name = kPropertyOrder[i];
        const bool differs = machine->propertiesSet[i].second != user->propertiesSet[i].second;
        EXPECT_EQ(kProfileDependent.count(name) == 1, differs) << Narrow(name);
    }
    wchar_t expected[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathW(0, CSIDL_DESKTOPDIRECTORY, 0, SHGFP_TYPE_CURRENT, expected));
    EXPECT_EQ(std::wstring(expected) + L"\\", property(*user, L"DesktopFolder"));
    ASSERT_EQ(S_OK, SHGetFolderPathW(0, CSIDL_COMMON_DESKTOPDIRECTORY, 0, SHGFP_TYPE_CURRENT, expected));
    EXPECT_EQ(std::wstring(expected) + L"\\", property(*machine, L"DesktopFolder"));
}

TEST(SetWindowsSystemFolderProps, FolderValuesEndWithExactlyOneBackslash)
{
    RecordingContextPtr context = run(L"");
    for (const auto& set : context->propertiesSet) {
        ASSERT_GE(set.second.size(), 4u) << Narrow(set.first);
        EXPECT_EQ(L'\\', set.second[set.second.size() - 1]) << Narrow(set.first);
        EXPECT_NE(L'\\', set.second[set.second.size() - 2]) << Narrow(set.first);
    }
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(std::wstring(windows) + L"\\", property(*context, L"WindowsFolder"));
    EXPECT_EQ(std::wstring(windows) + L"\\", property(*context, L"WindowsVolume"));

    const std::vector<std::pair<std::wstring, std::wstring> > pairs = {
        { L"CommonFiles64Folder", L"CommonFilesFolder" }, { L"ProgramFiles64Folder", L"ProgramFilesFolder" },
        { L"System16Folder", L"System64Folder" },         { L"CommonAppDataFolder", L"CommonAppData" },
    };
    for (const auto& pair : pairs)
        EXPECT_EQ(property(*context, pair.first), property(*context, pair.second)) << Narrow(pair.first);
}

TEST(SetWindowsSystemFolderProps, SystemFolderIsThe32BitOneUnderWow64)
{
    SKIP_UNLESS_WOW64();

    RecordingContextPtr context = run(L"");
    EXPECT_EQ(L"c:\\windows\\syswow64\\", lower(property(*context, L"SystemFolder")));
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(std::wstring(system) + L"\\", property(*context, L"System64Folder"));
    EXPECT_EQ(std::wstring(system) + L"\\", property(*context, L"System16Folder"));
    EXPECT_NE(lower(property(*context, L"SystemFolder")), lower(property(*context, L"System64Folder")));
}

TEST(SetWindowsSystemFolderProps, TempFolderIsWhatTheSystemReturns)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    EXPECT_EQ(std::wstring(temp), property(*run(L""), L"TempFolder"));
}

TEST(SetWindowsSystemFolderProps, CrashKeepsEarlierPropertiesAndFails)
{
    boost::shared_ptr<ThrowingContext> context(new ThrowingContext);
    context->failingProperty = L"FontsFolder";
    EXPECT_EQ(1, CallAction("SetWindowsSystemFolderProps", context));
    EXPECT_EQ(std::vector<std::wstring>(kPropertyOrder.begin(), kPropertyOrder.begin() + 7), names(*context));
    ASSERT_EQ(2u, context->lines.size());
    EXPECT_EQ(4, context->lines[1].level);
    EXPECT_EQ(L"SetWindowsSystemFolderProps crashed.", context->lines[1].text);
    EXPECT_EQ(1, context.use_count());
}
