// CreateShortcut through the real export, checked in the saved files.
#include <thread>

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

#include "ShortcutFile.h"

namespace {
class CreateShortcutTest : public ::testing::Test {
protected:
    void SetUp()
    {
        target = temp.file(L"app.exe");
        icon = temp.file(L"app.ico");
        WriteBytes(target, "MZ");
        WriteBytes(icon, "icon");
        context = RecordingContext::Create();
        context->arguments[L"runAction"] = L"1";
        context->arguments[L"pathToTarget"] = target;
    }

    int run() { return CallAction("CreateShortcut", context); }

    ScopedTempDir temp;
    std::wstring target;
    std::wstring icon;
    RecordingContextPtr context;
};
}

TEST_F(CreateShortcutTest, SavesEverySettingIntoANormalisedPathWithNewFolders)
{
    context->arguments[L"linkFullPath"] = temp.path() + L"\\Menu\\\\Sub\\App.lnk";
    context->arguments[L"arguments"] = L"-a \"b c\"";
    context->arguments[L"description"] = L"My tool";
    context->arguments[L"iconPath"] = icon;
    context->arguments[L"iconIndex"] = L"2";
    context->arguments[L"showCmd"] = L"7";
    context->arguments[L"workingDir"] = temp.path();
    context->arguments[L"runAsUser"] = L" Yes ";
    ASSERT_EQ(0, run());

    const std::wstring link = temp.path() + L"\\Menu\\Sub\\App.lnk";
    const std::vector<std::wstring> expected = {
        L"Creating link, location:  " + link,
        L"Saving shortcut file. Path = " + link,
    };
    EXPECT_EQ(expected, context->Texts(2));
    EXPECT_TRUE(context->Texts(4).empty());

    const ShellLinkContents saved = ReadShellLink(link);
    EXPECT_EQ(target, saved.path);
    EXPECT_EQ(L"-a \"b c\"", saved.arguments);
    EXPECT_EQ(L"My tool", saved.description);
    EXPECT_EQ(icon, saved.iconPath);
    EXPECT_EQ(2, saved.iconIndex);
    EXPECT_EQ(temp.path(), saved.workingDir);
    EXPECT_EQ(7u, ShowCommandInHeader(link));
}

TEST_F(CreateShortcutTest, OptionalSettingsLeftEmptyStayUnset)
{
    const std::wstring link = temp.file(L"Plain.lnk");
    context->arguments[L"linkFullPath"] = link;
    ASSERT_EQ(0, run());
    const ShellLinkContents saved = ReadShellLink(link);
    EXPECT_EQ(target, saved.path);
    EXPECT_EQ(L"", saved.arguments);
    EXPECT_EQ(L"", saved.description);
    EXPECT_EQ(L"", saved.iconPath);
    EXPECT_EQ(L"", saved.workingDir);
    EXPECT_EQ(static_cast<DWORD>(SW_SHOWNORMAL), ShowCommandInHeader(link));
}

TEST_F(CreateShortcutTest, NumbersThatDoNotParseFailWithTheirRawText)
{
    const std::wstring link = temp.file(L"Bad.lnk");
    context->arguments[L"linkFullPath"] = link;
    context->arguments[L"iconPath"] = icon;
    for (const wchar_t* index : { L"", L"abc", L"2x" }) {
        context->lines.clear();
        context->arguments[L"iconIndex"] = index;
        EXPECT_EQ(1, run()) << Narrow(index);
        EXPECT_EQ(std::wstring(L"Expecting an int for iconIndex, got: ") + index, context->lines.back().text);
        EXPECT_EQ(4, context->lines.back().level);
        EXPECT_FALSE(PathExists(link));
    }

    context->arguments[L"iconIndex"] = L"0";
    context->arguments[L"showCmd"] = L"max";
    context->lines.clear();
    EXPECT_EQ(1, run());
    EXPECT_TRUE(context->HasLine(L"Expecting an int for showCmd, got: max", 4));
    EXPECT_FALSE(PathExists(link));
}

TEST_F(CreateShortcutTest, MissingIconIsOnlyReported)
{
    const std::wstring link = temp.file(L"NoIcon.lnk");
    const std::wstring missing = temp.file(L"missing.ico");
    context->arguments[L"linkFullPath"] = link;
    context->arguments[L"iconPath"] = missing;
    context->arguments[L"iconIndex"] = L"abc";
    ASSERT_EQ(0, run());
    EXPECT_TRUE(context->HasLine(L"Icon doesn't exist: " + missing, 4));
    EXPECT_EQ(L"", ReadShellLink(link).iconPath);
}

TEST_F(CreateShortcutTest, RunActionOtherThanOneSkipsAfterReadingAllArguments)
{
    const std::wstring link = temp.file(L"Skipped.lnk");
    const std::vector<std::wstring> allArguments = {
        L"linkFullPath", L"pathToTarget", L"arguments", L"description", L"iconPath",
        L"iconIndex",    L"runAsUser",    L"showCmd",   L"workingDir",  L"runAction",
    };
    for (const wchar_t* runAction : { L"0", L"", L" 1", L"true", L"1 " }) {
        context = RecordingContext::Create();
        context->arguments[L"linkFullPath"] = link;
        context->arguments[L"pathToTarget"] = target;
        context->arguments[L"runAction"] = runAction;
        EXPECT_EQ(0, run()) << Narrow(runAction);
        EXPECT_EQ(allArguments, context->argumentsRead);
        ASSERT_EQ(1u, context->lines.size());
        EXPECT_EQ(2, context->lines[0].level);
        EXPECT_EQ(L"runAction not 1. Skipping...", context->lines[0].text);
        EXPECT_FALSE(PathExists(link));
    }
}

TEST_F(CreateShortcutTest, WebTargetSavesUrlFileWithoutArguments)
{
    const std::wstring url = L"https://example.com/start?x=1";
    context->arguments[L"pathToTarget"] = url;
    // Only the file name's extension changes, not ".lnk" inside a folder's
    // name or earlier in the file name.
    context->arguments[L"linkFullPath"] = temp.path() + L"\\my.lnk.files\\Site.lnk.lnk";
    context->arguments[L"arguments"] = L"--unused";
    ASSERT_EQ(0, run());

    const std::wstring saved = temp.path() + L"\\my.lnk.files\\Site.lnk.url";
    EXPECT_TRUE(
        context->HasLine(L"Creating link, location:  " + temp.path() + L"\\my.lnk.files\\Site.lnk.lnk", 2));
    EXPECT_TRUE(context->HasLine(L"Saving shortcut file. Path = " + saved, 2));
    EXPECT_FALSE(context->HasLine(L"Internet shortcut saved without link settings"));
    EXPECT_FALSE(PathExists(temp.path() + L"\\my.lnk.files\\Site.lnk.lnk"));
    EXPECT_EQ(url, InternetShortcutEntry(saved, L"URL"));
    EXPECT_EQ(std::string::npos, ReadBytes(saved).find("--unused"));
}

TEST_F(CreateShortcutTest, PathsWindowsWouldReadDifferentlyAreRefusedBeforeAnyFolderIsMade)
{
    for (const wchar_t* link : { L"\\Menu\\CON\\App.lnk", L"\\Menu\\App.lnk.", L"\\Menu.\\App.lnk",
                                 L"\\Menu\\lpt3.lnk" }) {
        context->lines.clear();
        context->arguments[L"linkFullPath"] = temp.path() + link;
        EXPECT_EQ(1, run()) << Narrow(link);
        ASSERT_EQ(1u, context->lines.size()) << Narrow(link);
        EXPECT_EQ(4, context->lines[0].level);
        EXPECT_EQ(0u, context->lines[0].text.find(L"Refusing linkFullPath \"")) << Narrow(link);
        EXPECT_FALSE(PathExists(temp.file(L"Menu"))) << Narrow(link);
    }
}

TEST_F(CreateShortcutTest, WebShortcutWithoutShellLinkKeepsIconAndReportsLeftOutSettings)
{
    if (InternetShortcutOffersShellLink())
        GTEST_SKIP() << "this shell's Internet-shortcut object applies link settings itself";

    context->arguments[L"pathToTarget"] = L"http://example.com/";
    context->arguments[L"linkFullPath"] = temp.file(L"Site.lnk");
    context->arguments[L"description"] = L"Home page";
    context->arguments[L"iconPath"] = icon;
    context->arguments[L"iconIndex"] = L"4";
    ASSERT_EQ(0, run());
    const std::wstring saved = temp.file(L"Site.url");
    EXPECT_EQ(L"http://example.com/", InternetShortcutEntry(saved, L"URL"));
    EXPECT_EQ(icon, InternetShortcutEntry(saved, L"IconFile"));
    EXPECT_EQ(L"4", InternetShortcutEntry(saved, L"IconIndex"));
    EXPECT_EQ(L"Internet shortcut saved without link settings", context->lines.back().text);
    EXPECT_EQ(2, context->lines.back().level);

    // Each of the settings a .url cannot hold is reported; the icon alone is not.
    for (const wchar_t* setting : { L"showCmd", L"workingDir", L"iconPath" }) {
        context = RecordingContext::Create();
        context->arguments[L"runAction"] = L"1";
        context->arguments[L"pathToTarget"] = L"http://example.com/";
        context->arguments[L"linkFullPath"] = temp.file(L"Site.lnk");
        context->arguments[L"iconIndex"] = L"0";
        context->arguments[setting] = std::wstring(setting) == L"showCmd" ? L"3" : icon;
        ASSERT_EQ(0, run()) << Narrow(setting);
        EXPECT_EQ(std::wstring(setting) != L"iconPath",
                  context->HasLine(L"Internet shortcut saved without link settings", 2))
            << Narrow(setting);
    }
}

TEST_F(CreateShortcutTest, WebShortcutStillChecksItsNumbers)
{
    context->arguments[L"pathToTarget"] = L"https://example.com/";
    context->arguments[L"linkFullPath"] = temp.file(L"Site.lnk");
    context->arguments[L"iconPath"] = icon;
    context->arguments[L"iconIndex"] = L"first";
    EXPECT_EQ(1, run());
    EXPECT_TRUE(context->HasLine(L"Expecting an int for iconIndex, got: first", 4));
    EXPECT_FALSE(PathExists(temp.file(L"Site.url")));
}

TEST_F(CreateShortcutTest, OnlyLowerCaseWebPrefixesAtTheStartMakeUrlFiles)
{
    for (const wchar_t* text : { L"HTTP://example.com/", L" http://example.com/" }) {
        context = RecordingContext::Create();
        context->arguments[L"runAction"] = L"1";
        context->arguments[L"pathToTarget"] = text;
        context->arguments[L"linkFullPath"] = temp.file(L"Odd.lnk");
        run();
        EXPECT_FALSE(PathExists(temp.file(L"Odd.url"))) << Narrow(text);
        EXPECT_TRUE(context->HasLine(L"Saving shortcut file. Path = " + temp.file(L"Odd.lnk"), 2)) << Narrow(text);
    }
}

TEST_F(CreateShortcutTest, FolderThatCannotBeMadeFailsTheAction)
{
    WriteBytes(temp.file(L"file.txt"), "x");
    context->arguments[L"linkFullPath"] = temp.path() + L"\\file.txt\\Menu\\App.lnk";
    EXPECT_EQ(1, run());
    EXPECT_EQ(L"Couldn't create folder: " + temp.path() + L"\\file.txt\\Menu\\", context->lines.back().text);
    EXPECT_EQ(4, context->lines.back().level);
}

TEST_F(CreateShortcutTest, ThreadInAnotherApartmentCannotInitialiseCom)
{
    context->arguments[L"linkFullPath"] = temp.file(L"Mta.lnk");
    int result = -1;
    std::thread worker([&] {
        CoInitializeEx(0, COINIT_MULTITHREADED);
        result = run();
        CoUninitialize();
    });
    worker.join();
    EXPECT_EQ(1, result);
    ASSERT_EQ(1u, context->lines.size());
    EXPECT_EQ(4, context->lines[0].level);
    EXPECT_EQ(L"Couldn't init COM", context->lines[0].text);
    EXPECT_TRUE(context->argumentsRead.empty());
    EXPECT_FALSE(PathExists(temp.file(L"Mta.lnk")));
}
