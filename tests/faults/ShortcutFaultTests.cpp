// CreateShortcut through the real export when the file system refuses the
// shortcut's folder or file: the action fails with its line, and neither a
// folder nor a shortcut file is left half made.
#include <gtest/gtest.h>

#include <objbase.h>

#include "core/FileLinks.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

#include "UnixSide.h"

namespace {
const wchar_t* const kProgram = L"C:\\windows\\system32\\notepad.exe";
const wchar_t* const kWebSite = L"https://example.com/support";

// The names in a folder, "." and ".." left out.
std::vector<std::wstring> entriesOf(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// True when the calling thread has no COM initialisation left over.
bool comReleased()
{
    const HRESULT first = CoInitialize(0);
    if (SUCCEEDED(first))
        CoUninitialize();
    return first == S_OK;
}

class ShortcutFaultTest : public ::testing::Test {
protected:
    int create(const std::wstring& link, const std::wstring& target)
    {
        context = RecordingContext::Create();
        context->arguments[L"linkFullPath"] = link;
        context->arguments[L"pathToTarget"] = target;
        context->arguments[L"description"] = L"Verrand fault test";
        context->arguments[L"runAction"] = L"1";
        return CallAction("CreateShortcut", context);
    }

    void expectFailedWith(const std::wstring& line)
    {
        ASSERT_FALSE(context->lines.empty());
        EXPECT_EQ(line, context->lines.back().text);
        EXPECT_EQ(4, context->lines.back().level);
        EXPECT_EQ(1u, context->Texts(4).size());
        EXPECT_TRUE(comReleased());
    }

    ScopedTempDir root;
    RecordingContextPtr context;
};
}

TEST_F(ShortcutFaultTest, FolderThatCannotBeCreatedLeavesNothingBehind)
{
    const std::wstring menu = root.file(L"Menu");
    ASSERT_TRUE(CreateDirectoryW(menu.c_str(), 0));
    CreationDeniedFolder denied(menu);
    if (!denied.inForce())
        GTEST_SKIP() << denied.reason();
    for (const wchar_t* target : { kProgram, kWebSite }) {
        SCOPED_TRACE(Narrow(target));
        EXPECT_EQ(1, create(menu + L"\\Verrand\\Tools\\App.lnk", target));
        expectFailedWith(L"Couldn't create folder: " + menu + L"\\Verrand\\Tools\\");
        EXPECT_EQ(L"Creating link, location:  " + menu + L"\\Verrand\\Tools\\App.lnk", context->lines.at(0).text);
        EXPECT_TRUE(entriesOf(menu).empty());
    }
}

TEST_F(ShortcutFaultTest, FolderThatRefusesTheFileGetsNoShortcut)
{
    struct Case {
        const wchar_t* target;
        const wchar_t* saved;
    };
    for (const Case& c : { Case{ kProgram, L"App.lnk" }, Case{ kWebSite, L"App.url" } }) {
        SCOPED_TRACE(Narrow(c.target));
        const std::wstring menu = root.file(c.saved) + L" folder";
        ASSERT_TRUE(CreateDirectoryW(menu.c_str(), 0));
        CreationDeniedFolder denied(menu);
        if (!denied.inForce())
            GTEST_SKIP() << denied.reason();
        EXPECT_EQ(1, create(menu + L"\\App.lnk", c.target));
        EXPECT_TRUE(context->HasLine(L"Saving shortcut file. Path = " + menu + L"\\" + c.saved, 2));
        expectFailedWith(L"Couldn't save shortcut file");
        EXPECT_TRUE(entriesOf(menu).empty());
    }
}

TEST_F(ShortcutFaultTest, ShortcutHeldOpenByAnotherProgramKeepsItsOldBytes)
{
    const std::wstring link = root.file(L"App.lnk");
    ASSERT_EQ(0, create(link, kProgram));
    const std::string before = ReadBytes(link);
    HANDLE held = CreateFileW(link.c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(1, create(link, L"C:\\windows\\system32\\winver.exe"));
    CloseHandle(held);
    expectFailedWith(L"Couldn't save shortcut file");
    EXPECT_EQ(before, ReadBytes(link));
}

TEST_F(ShortcutFaultTest, FullVolumeLeavesNoHalfWrittenShortcut)
{
    const std::wstring volume = root.file(L"volume");
    ASSERT_TRUE(CreateDirectoryW(volume.c_str(), 0));
    SmallVolume small(volume, 4);
    if (!small.inForce())
        GTEST_SKIP() << small.reason();
    // Nothing but a new name fits any more. (The Internet-shortcut object
    // under Wine reports such a save as done, leaving an empty file.)
    WriteBytes(volume + L"\\filler", std::string(4096, 'f'));
    for (const wchar_t* target : { kProgram, kWebSite }) {
        SCOPED_TRACE(Narrow(target));
        EXPECT_EQ(1, create(volume + L"\\App.lnk", target));
        expectFailedWith(L"Couldn't save shortcut file");
        EXPECT_FALSE(context->HasLine(L"Internet shortcut saved without link settings"));
        EXPECT_EQ(std::vector<std::wstring>{ L"filler" }, entriesOf(volume));
    }
}

TEST_F(ShortcutFaultTest, ALinkAtTheShortcutsPlaceIsNeverReachedThroughByTheStateKeepingActions)
{
    // The user's own shortcut elsewhere, and a link to it at the place. Kept
    // for a rollback, the link would be moved by following it (Wine), and a
    // save would write into the user's file: where the link cannot be moved
    // as a link, the actions refuse it.
    const std::wstring usersShortcut = root.file(L"users.lnk");
    const std::wstring link = root.file(L"Notes.lnk");
    const std::wstring state = root.file(L"state");
    WriteBytes(usersShortcut, "the user's own shortcut");
    if (!MakeUnixLink(link, usersShortcut))
        GTEST_SKIP() << "links are made as Unix symbolic links, which needs Wine's Unix side";
    DWORD error = 0;
    if (LinkCanBeHandledItself(link, LinkAt(link), error))
        GTEST_SKIP() << "this system moves links as links; the refusal is for one that cannot";
    for (const char* action : { "CreateShortcut", "RemoveShortcut" }) {
        SCOPED_TRACE(action);
        context = RecordingContext::Create({ { L"linkFullPath", link }, { L"pathToTarget", kProgram },
                                             { L"runAction", L"1" }, { L"$action.invocationdata.dir", state } });
        EXPECT_EQ(1, CallAction(action, context));
        const std::vector<std::wstring> errors = context->Texts(4);
        ASSERT_EQ(1u, errors.size());
        EXPECT_EQ(0u, errors[0].find(L"Refusing linkFullPath \"" + link + L"\": it is a link")) << Narrow(errors[0]);
        EXPECT_EQ("the user's own shortcut", ReadBytes(usersShortcut));
        EXPECT_NE(NoLink, LinkAt(link));
        EXPECT_TRUE(entriesOf(state).empty());
    }
}
