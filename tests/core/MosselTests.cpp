// The sibling support library as the actions use it: process launch,
// registry keys and values, slash and progress helpers.
#include <gtest/gtest.h>

#include "core/Utilities.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"
#include "support/mossel/Mossel.h"

namespace {
const wchar_t* const kKey = L"Software\\VerrandMosselTest";

DWORD run(const std::wstring& commandLine, bool noWait = false, bool* started = 0)
{
    RecordingContextPtr context = RecordingContext::Create();
    DWORD exitCode = 12345;
    const bool ok = RunRedistProgram(context, commandLine.c_str(), 7, true, 0, &exitCode, 0, false, 0, CString(),
                                     CString(), noWait);
    if (started)
        *started = ok;
    return exitCode;
}
}

TEST(RunRedistProgram, StoresTheExitCodeOrReportsALaunchFailure)
{
    EXPECT_EQ(0u, run(L"cmd /c exit 0"));
    EXPECT_EQ(3u, run(L"cmd /c exit 3"));

    bool started = true;
    RecordingContextPtr context = RecordingContext::Create();
    DWORD exitCode = 12345;
    started = RunRedistProgram(context, L"C:\\no\\such\\program.exe", 7, false, 0, &exitCode, 0, false, 0, CString(),
                               CString(), false);
    EXPECT_FALSE(started);
    EXPECT_EQ(12345u, exitCode);
    ASSERT_EQ(1u, context->lines.size());
    EXPECT_EQ(4, context->lines[0].level);
}

TEST(RunRedistProgram, NoWaitLeavesTheExitCodeAlone)
{
    ScopedTempDir dir;
    const std::wstring marker = dir.file(L"done.txt");
    bool started = false;
    // The child waits about a second, then writes the marker.
    const DWORD code = run(L"cmd /c ping -n 2 127.0.0.1 >nul & echo x>\"" + marker + L"\"", true, &started);
    EXPECT_TRUE(started);
    EXPECT_EQ(12345u, code);
    EXPECT_FALSE(PathExists(marker));
    for (int i = 0; i < 100 && !PathExists(marker); ++i)
        Sleep(100);
    EXPECT_TRUE(PathExists(marker));
}

class InstallRegistryTest : public ::testing::Test {
protected:
    void SetUp()
    {
        RegRemoveTree(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY);
        RegRemoveTree(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY);
        RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Seed", L"32", KEY_WOW64_32KEY);
        RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Seed", L"64", KEY_WOW64_64KEY);
    }
    void TearDown() { SetUp(); }
};

TEST_F(InstallRegistryTest, OpensFullPathsByLongAndShortRootNamesInTheChosenView)
{
    SKIP_UNLESS_WOW64();
    CInstallRegistry reg;
    CString value;
    ASSERT_TRUE(reg.OpenKey(CString(L"HKEY_LOCAL_MACHINE\\") + kKey, KEY_READ));
    ASSERT_TRUE(reg.GetString(L"Seed", value));
    EXPECT_EQ(L"32", value);
    EXPECT_EQ(CString(kKey), reg.GetKeyPath());
    EXPECT_EQ(static_cast<unsigned long>(REG_SZ), reg.GetLastValueType());

    ASSERT_TRUE(reg.OpenKey(CString(L"hklm\\") + kKey, KEY_READ | KEY_WOW64_64KEY));
    ASSERT_TRUE(reg.GetString(L"Seed", value));
    EXPECT_EQ(L"64", value);

    ASSERT_TRUE(reg.OpenKey(HKEY_LOCAL_MACHINE, kKey, KEY_READ));
    EXPECT_TRUE(reg.GetHKEY() != 0);

    EXPECT_FALSE(reg.OpenKey(L"HKEY_NOWHERE\\Software", KEY_READ));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_FALSE(reg.OpenKey(L"HKLM\\Software\\VerrandNoSuchKey", KEY_READ));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(InstallRegistryTest, ValuesRoundTripWithTheirTypes)
{
    SKIP_UNLESS_WOW64();
    CInstallRegistry reg;
    ASSERT_TRUE(reg.OpenKey(CString(L"HKLM\\") + kKey, KEY_ALL_ACCESS));

    ASSERT_TRUE(reg.SetString(L"Plain", L"a;b", false));
    ASSERT_TRUE(reg.SetString(L"Expand", L"%SystemRoot%\\x", true));
    DWORD type = 0;
    EXPECT_EQ(L"a;b", RegGetText(HKEY_LOCAL_MACHINE, kKey, L"Plain", KEY_WOW64_32KEY, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(L"%SystemRoot%\\x", RegGetText(HKEY_LOCAL_MACHINE, kKey, L"Expand", KEY_WOW64_32KEY, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);

    ASSERT_TRUE(reg.SetDWord(L"Number", 4000000000u));
    DWORD number = 0;
    ASSERT_TRUE(reg.GetDWord(L"Number", number));
    EXPECT_EQ(4000000000u, number);

    CStringArray lines;
    lines.Add(L"first");
    lines.Add(L"second line");
    ASSERT_TRUE(reg.SetMultiString(L"Multi", lines));
    EXPECT_EQ(L"first|second line", RegGetText(HKEY_LOCAL_MACHINE, kKey, L"Multi", KEY_WOW64_32KEY));
    CStringArray back;
    ASSERT_TRUE(reg.GetMultiString(L"Multi", back));
    ASSERT_EQ(2, back.GetSize());
    EXPECT_EQ(L"second line", back[1]);

    ASSERT_TRUE(reg.SetMultiString(L"Empty", CStringArray()));
    ASSERT_TRUE(reg.GetMultiString(L"Empty", back));
    EXPECT_EQ(0, back.GetSize());

    // A value of another type is not read as a string or number.
    CString text;
    EXPECT_FALSE(reg.GetString(L"Number", text));
    EXPECT_FALSE(reg.GetDWord(L"Plain", number));

    ASSERT_TRUE(reg.DeleteValue(L"Plain"));
    EXPECT_FALSE(reg.GetString(L"Plain", text));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(reg.DeleteValue(L"Plain"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(InstallRegistryTest, ClosedKeyRefusesValueOperations)
{
    CInstallRegistry reg;
    CString text;
    EXPECT_FALSE(reg.GetString(L"Seed", text));
    EXPECT_FALSE(reg.SetString(L"Seed", L"x", false));
    ASSERT_TRUE(reg.OpenKey(CString(L"HKLM\\") + kKey, KEY_READ));
    reg.CloseKeys();
    EXPECT_TRUE(reg.GetHKEY() == 0);
    EXPECT_FALSE(reg.GetString(L"Seed", text));
}

TEST(SlashHelpers, AddOrRemoveOneTrailingSlash)
{
    CString path(L"C:\\x");
    AddTrailingBackSlash(path);
    EXPECT_EQ(L"C:\\x\\", path);
    AddTrailingBackSlash(path);
    EXPECT_EQ(L"C:\\x\\", path);
    RemoveTrailingBackSlash(path);
    EXPECT_EQ(L"C:\\x", path);

    CString url(L"a/b/");
    RemoveTrailingForwardSlash(url);
    EXPECT_EQ(L"a/b", url);
    RemoveTrailingForwardSlash(url);
    EXPECT_EQ(L"a/b", url);

    wchar_t buffer[6] = L"C:\\ab";
    AddTrailingBackSlash(buffer, 6); // no room for another character
    EXPECT_STREQ(L"C:\\ab", buffer);
    wchar_t roomy[8] = L"C:\\ab";
    AddTrailingBackSlash(roomy, 8);
    EXPECT_STREQ(L"C:\\ab\\", roomy);
    RemoveTrailingBackSlash(roomy, 8);
    EXPECT_STREQ(L"C:\\ab", roomy);
}

TEST(ProgressHelpers, SecondsBecomeTicksForTheHost)
{
    RecordingContextPtr context = RecordingContext::Create();
    EXPECT_EQ(300000u, AddTimeToProgressBar(context, 3));
    EXPECT_EQ(0u, UseProgressTime(context, 0));
    ASSERT_EQ(2u, context->lines.size());
    EXPECT_EQ(ProgressLogLevel, context->lines[0].level);
    EXPECT_EQ(L"Progress: add 300000 ticks", context->lines[0].text);
    EXPECT_EQ(L"Progress: use 0 ticks", context->lines[1].text);
}

TEST(CStringLayer, FormattingAndSearching)
{
    CString text;
    text.Format(L"%s=%d (%lu)", L"wide", -3, 7ul);
    EXPECT_EQ(L"wide=-3 (7)", text);
    EXPECT_EQ(4, text.Find(L'='));
    EXPECT_EQ(-1, text.Find(L"missing"));
    EXPECT_EQ(L"wide", text.Left(4));
    EXPECT_EQ(L"(7)", text.Right(3));
    EXPECT_EQ(L"=-3", text.Mid(4, 3));
    EXPECT_EQ(0, CString(L"ABC").CompareNoCase(L"abc"));

    CString list(L"a||b|");
    int position = 0;
    EXPECT_EQ(L"a", list.Tokenize(L"|", position));
    EXPECT_EQ(L"b", list.Tokenize(L"|", position));
    EXPECT_EQ(L"", list.Tokenize(L"|", position));
    EXPECT_EQ(-1, position);

    CString replaced(L"aaa");
    EXPECT_EQ(3, replaced.Replace(L"a", L"aa"));
    EXPECT_EQ(L"aaaaaa", replaced);
    CString spaced(L" \t x \r\n");
    EXPECT_EQ(L"x", spaced.Trim());
}
