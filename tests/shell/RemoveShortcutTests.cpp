// RemoveShortcut through the real export: the file, the emptied folders above
// it, and a status that is always 0.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

#include "support/ThrowingContext.h"

namespace {
class RemoveShortcutTest : public ::testing::Test {
protected:
    void SetUp()
    {
        // Keeps the temporary folder itself from being removed by the walk.
        WriteBytes(temp.file(L"keep.txt"), "x");
    }

    int run(const std::wstring& link, const std::wstring& target = L"C:\\App\\app.exe")
    {
        context = RecordingContext::Create();
        context->arguments[L"runAction"] = L"1";
        context->arguments[L"linkFullPath"] = link;
        context->arguments[L"pathToTarget"] = target;
        return CallAction("RemoveShortcut", context);
    }

    void makeFolders(const std::wstring& path)
    {
        std::wstring::size_type at = temp.path().size();
        while ((at = path.find(L'\\', at + 1)) != std::wstring::npos)
            CreateDirectoryW(path.substr(0, at).c_str(), 0);
        CreateDirectoryW(path.c_str(), 0);
    }

    ScopedTempDir temp;
    RecordingContextPtr context;
};
}

TEST_F(RemoveShortcutTest, RemovesEmptiedFoldersUpToTheFirstThatStays)
{
    makeFolders(temp.path() + L"\\P\\Menu\\Sub");
    const std::wstring link = temp.path() + L"\\P\\Menu\\Sub\\App.lnk";
    WriteBytes(link, "L");
    EXPECT_EQ(0, run(link));

    EXPECT_FALSE(PathExists(temp.path() + L"\\P"));
    EXPECT_TRUE(PathExists(temp.file(L"keep.txt")));
    const std::vector<std::wstring> expected = {
        L"Running RemoveShortcut",
        L" Remove link file: " + link,
        L" Remove directory: " + temp.path() + L"\\P\\Menu\\Sub",
        L" Remove directory: " + temp.path() + L"\\P\\Menu",
        L" Remove directory: " + temp.path() + L"\\P",
        // The temporary folder holds keep.txt: it stays, and no line says
        // it was removed.
        L"Shortcut directory still contains other shortcuts.145",
        L"RemoveShortcut is done",
    };
    EXPECT_EQ(expected, context->Texts(2));
    EXPECT_TRUE(context->Texts(4).empty());
}

TEST_F(RemoveShortcutTest, StopsAtFolderWithOtherShortcuts)
{
    makeFolders(temp.path() + L"\\Menu\\Sub");
    const std::wstring link = temp.path() + L"\\Menu\\Sub\\App.lnk";
    WriteBytes(link, "L");
    WriteBytes(temp.path() + L"\\Menu\\Other.lnk", "L");
    EXPECT_EQ(0, run(link));
    EXPECT_FALSE(PathExists(temp.path() + L"\\Menu\\Sub"));
    EXPECT_TRUE(PathExists(temp.path() + L"\\Menu\\Other.lnk"));
    const std::vector<std::wstring> texts = context->Texts();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(L" Remove directory: " + temp.path() + L"\\Menu\\Sub", texts[texts.size() - 3]);
    EXPECT_EQ(L"Shortcut directory still contains other shortcuts.145", texts[texts.size() - 2]);
    EXPECT_FALSE(context->HasLine(L" Remove directory: " + temp.path() + L"\\Menu"));
}

TEST_F(RemoveShortcutTest, OtherFolderErrorStopsTheWalkWithItsCode)
{
    // A doubled separator stays in the path, so the folder comes up twice:
    // once with a trailing separator, and then, already gone, without. Only
    // the removal that happened is logged as one.
    makeFolders(temp.path() + L"\\P");
    WriteBytes(temp.path() + L"\\P\\App.lnk", "L");
    EXPECT_EQ(0, run(temp.path() + L"\\P\\\\App.lnk"));
    EXPECT_FALSE(PathExists(temp.path() + L"\\P"));
    const std::vector<std::wstring> texts = context->Texts();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(L" Remove directory: " + temp.path() + L"\\P\\", texts[texts.size() - 3]);
    EXPECT_EQ(L"Failed to remove directory. Error code: 2", texts[texts.size() - 2]);
}

TEST_F(RemoveShortcutTest, LinkAlreadyGoneIsReportedAndNoFolderIsTouched)
{
    makeFolders(temp.path() + L"\\Menu");
    const std::wstring link = temp.path() + L"\\Menu\\Gone.lnk";
    EXPECT_EQ(0, run(link));
    EXPECT_TRUE(PathExists(temp.path() + L"\\Menu"));
    const std::vector<std::wstring> expected = {
        L"Running RemoveShortcut",
        L" Remove link file: " + link,
        L" Cannot remove lik file: " + link,
        L"RemoveShortcut is done",
    };
    EXPECT_EQ(expected, context->Texts());
    EXPECT_TRUE(context->HasLine(L" Cannot remove lik file: " + link, 4));
}

TEST_F(RemoveShortcutTest, WebTargetFallsBackToTheUrlFileOnlyWhenNoLinkExists)
{
    makeFolders(temp.path() + L"\\Web");
    const std::wstring link = temp.path() + L"\\Web\\Site.lnk";
    const std::wstring url = temp.path() + L"\\Web\\Site.url";
    WriteBytes(url, "[InternetShortcut]\r\n");
    WriteBytes(temp.path() + L"\\Web\\other.txt", "x");

    EXPECT_EQ(0, run(link, L"https://example.com/"));
    EXPECT_FALSE(PathExists(url));
    EXPECT_TRUE(context->HasLine(L" Remove link file: " + url, 2));

    WriteBytes(link, "L");
    WriteBytes(url, "[InternetShortcut]\r\n");
    EXPECT_EQ(0, run(link, L"http://example.com/"));
    EXPECT_FALSE(PathExists(link));
    EXPECT_TRUE(PathExists(url));

    // Any other target never looks for a .url file.
    EXPECT_EQ(0, run(link, L"HTTP://example.com/"));
    EXPECT_TRUE(PathExists(url));
    EXPECT_TRUE(context->HasLine(L" Cannot remove lik file: " + link, 4));
}

TEST_F(RemoveShortcutTest, OnlyTheFileNamesExtensionOfAWebShortcutChanges)
{
    // As CreateShortcut saves it: ".lnk" in a folder's name or earlier in
    // the file name stays.
    makeFolders(temp.path() + L"\\my.lnk.files");
    const std::wstring url = temp.path() + L"\\my.lnk.files\\Site.lnk.url";
    WriteBytes(url, "[InternetShortcut]\r\n");
    EXPECT_EQ(0, run(temp.path() + L"\\my.lnk.files\\Site.lnk.lnk", L"https://example.com/"));
    EXPECT_FALSE(PathExists(url));
    EXPECT_FALSE(PathExists(temp.path() + L"\\my.lnk.files"));
}

TEST_F(RemoveShortcutTest, PathsWindowsWouldReadDifferentlyAreRefused)
{
    makeFolders(temp.path() + L"\\Menu");
    const std::wstring link = temp.path() + L"\\Menu\\App.lnk";
    WriteBytes(link, "L");
    // "App.lnk." is App.lnk to Windows, "Menu\\NUL.lnk" the null device.
    for (const wchar_t* path : { L"\\Menu\\App.lnk.", L"\\Menu\\NUL.lnk", L"\\Menu\\.\\App.lnk" }) {
        EXPECT_EQ(1, run(temp.path() + path)) << Narrow(path);
        const std::vector<std::wstring> errors = context->Texts(4);
        ASSERT_EQ(1u, errors.size()) << Narrow(path);
        EXPECT_EQ(0u, errors[0].find(L"Refusing linkFullPath \"")) << Narrow(path);
        EXPECT_EQ("L", ReadBytes(link)) << Narrow(path);
    }
}

TEST_F(RemoveShortcutTest, TheWalkNeverRemovesAShellFolder)
{
    // Each shell folder gets a lone shortcut; removing it leaves the folder
    // empty, and the walk must stop there.
    for (int id : { CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS,
                    CSIDL_STARTUP, CSIDL_COMMON_STARTUP, CSIDL_STARTMENU, CSIDL_PROFILE }) {
        wchar_t folder[MAX_PATH];
        ASSERT_EQ(S_OK, SHGetFolderPathW(0, id | CSIDL_FLAG_CREATE, 0, SHGFP_TYPE_CURRENT, folder)) << id;
        const std::wstring link = std::wstring(folder) + L"\\Verrand walk test.lnk";
        WriteBytes(link, "L");
        EXPECT_EQ(0, run(link)) << id;
        EXPECT_FALSE(PathExists(link)) << id;
        EXPECT_TRUE(PathExists(folder)) << Narrow(folder);
        EXPECT_TRUE(context->HasLine(L" Shell folder stays: " + std::wstring(folder), 2)) << Narrow(folder);
        EXPECT_FALSE(context->HasLine(L" Remove directory: " + std::wstring(folder))) << Narrow(folder);
    }
}

TEST_F(RemoveShortcutTest, EmptyLinkPathIsReported)
{
    for (const wchar_t* target : { L"C:\\App\\app.exe", L"https://example.com/" }) {
        EXPECT_EQ(0, run(L" ", target));
        const std::vector<std::wstring> expected = { L"Running RemoveShortcut", L" Empty link file",
                                                     L"RemoveShortcut is done" };
        EXPECT_EQ(expected, context->Texts()) << Narrow(target);
        EXPECT_EQ(4, context->lines[1].level);

        EXPECT_EQ(0, run(L"", target));
        EXPECT_EQ(expected, context->Texts()) << Narrow(target);
    }
}

TEST_F(RemoveShortcutTest, RunActionOtherThanOneSkips)
{
    for (const wchar_t* runAction : { L"0", L"", L" 1", L"true" }) {
        context = RecordingContext::Create();
        context->arguments[L"runAction"] = runAction;
        EXPECT_EQ(0, CallAction("RemoveShortcut", context));
        const std::vector<std::wstring> expected = { L"Running RemoveShortcut", L"runAction not 1. Skipping..." };
        EXPECT_EQ(expected, context->Texts(2)) << Narrow(runAction);
        EXPECT_EQ(std::vector<std::wstring>{ L"runAction" }, context->argumentsRead);
    }
}

TEST_F(RemoveShortcutTest, CrashIsReportedAndStillDone)
{
    boost::shared_ptr<ThrowingContext> throwing(new ThrowingContext);
    throwing->arguments[L"runAction"] = L"1";
    throwing->failingArgument = L"pathToTarget";
    EXPECT_EQ(0, CallAction("RemoveShortcut", throwing));
    ASSERT_EQ(2u, throwing->lines.size());
    EXPECT_EQ(L"Running RemoveShortcut", throwing->lines[0].text);
    EXPECT_EQ(4, throwing->lines[1].level);
    EXPECT_EQ(L"RemoveShortcut crashed", throwing->lines[1].text);
    EXPECT_EQ(1, throwing.use_count());
}

TEST_F(RemoveShortcutTest, PathPiecesAreUsedExactlyAsGiven)
{
    // A leading blank is part of the name: " notes.lnk" is not "notes.lnk",
    // neither for the removal nor for the shortcut made by that name.
    makeFolders(temp.path() + L"\\sc\\sub");
    const std::wstring other = temp.path() + L"\\sc\\sub\\notes.lnk";
    const std::wstring named = temp.path() + L"\\sc\\sub\\ notes.lnk";
    WriteBytes(other, "someone else's");
    EXPECT_EQ(0, run(named));
    EXPECT_EQ("someone else's", ReadBytes(other));
    EXPECT_TRUE(context->HasLine(L" Cannot remove lik file: " + named, 4));

    RecordingContextPtr create = RecordingContext::Create(
        { { L"linkFullPath", named }, { L"pathToTarget", L"C:\\windows\\notepad.exe" }, { L"runAction", L"1" } });
    EXPECT_EQ(0, CallAction("CreateShortcut", create));
    EXPECT_TRUE(PathExists(named));
    EXPECT_EQ("someone else's", ReadBytes(other));

    EXPECT_EQ(0, run(named));
    EXPECT_FALSE(PathExists(named));
    EXPECT_EQ("someone else's", ReadBytes(other));
    // A piece that Windows would read without its blank is refused.
    EXPECT_EQ(1, run(temp.path() + L"\\sc\\sub \\notes.lnk"));
    EXPECT_EQ("someone else's", ReadBytes(other));
}
