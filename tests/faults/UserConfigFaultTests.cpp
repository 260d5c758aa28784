// The user configuration file actions where the file system does not play
// along: links at or inside the named place (made as Unix symbolic links
// under the prefix's drive), a volume that fills up, a folder that refuses
// removals, and the state folder reached through another spelling.
#include <gtest/gtest.h>

#include "core/RollbackState.h"
#include "core/FileIdentity.h"
#include "core/FileLinks.h"
#include "core/ShellFolders.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

#include "UnixSide.h"

namespace {
class UserConfigFaultTest : public ::testing::Test {
protected:
    UserConfigFaultTest()
        : invocation(dir.file(L"invocation")), destDir(dir.file(L"config")), outside(dir.file(L"outside"))
    {
        CreateDirectoryW(dir.file(L"du").c_str(), 0);
        CreateDirectoryW(dir.file(L"du\\userconfigfiles").c_str(), 0);
        WriteBytes(dir.file(L"du\\userconfigfiles\\default.ini"), "default\r\n");
        CreateDirectoryW(destDir.c_str(), 0);
        CreateDirectoryW(outside.c_str(), 0);
        WriteBytes(outside + L"\\real.ini", "outside\r\n");
    }

    int run(const char* action, const std::wstring& duAction, const std::wstring& folder, const std::wstring& name)
    {
        context = RecordingContext::Create();
        context->properties[L"$du$action"] = duAction;
        context->properties[L"$du.dir"] = dir.file(L"du\\");
        context->properties[L"$action.invocationdata.dir"] = invocation;
        const bool copying = std::string(action).find("Copy") != std::string::npos;
        if (copying)
            context->arguments[L"SrcFileName"] = L"default.ini";
        context->arguments[copying ? L"DestDirName" : L"DirName"] = folder;
        context->arguments[copying ? L"DestFileName" : L"FileName"] = name;
        return CallAction(action, context);
    }
    int copy(const std::wstring& name, const std::wstring& folder = std::wstring())
    {
        return run("CopyUserConfigFile", L"install", folder.empty() ? destDir : folder, name);
    }
    int rollbackCopy(const std::wstring& name, const std::wstring& folder = std::wstring())
    {
        return run("RollbackCopyUserConfigFile", L"install", folder.empty() ? destDir : folder, name);
    }
    int remove(const std::wstring& name, const std::wstring& folder = std::wstring())
    {
        return run("RemoveUserConfigFile", L"uninstall", folder.empty() ? destDir : folder, name);
    }
    int rollbackRemove(const std::wstring& name, const std::wstring& folder = std::wstring())
    {
        return run("RollbackRemoveUserConfigFile", L"uninstall", folder.empty() ? destDir : folder, name);
    }

    // A Unix symbolic link; false (with the test skipped) where there is
    // no Unix side.
    bool makeLink(const std::wstring& link, const std::wstring& target) { return MakeUnixLink(link, target); }

    ScopedTempDir dir;
    const std::wstring invocation;
    const std::wstring destDir;
    const std::wstring outside;
    RecordingContextPtr context;
};

#define MAKE_LINK(link, target)                                                             \
    if (!makeLink(link, target)) {                                                          \
        GTEST_SKIP() << "links are made as Unix symbolic links, which needs Wine's Unix side"; \
    }
}

TEST_F(UserConfigFaultTest, LinkAtTheNamedPlaceIsNeverReachedThrough)
{
    // Each action would delete, move, write or restore through the link:
    // where the system cannot handle it as a link (Wine moves and empties
    // what it points to), each refuses, naming it, and nothing is touched.
    const struct {
        const wchar_t* name;
        std::wstring target;
        LinkKind kind;
    } links[] = { { L"profiles", outside, FolderLink }, { L"settings.ini", outside + L"\\real.ini", FileLink } };
    const struct {
        const char* action;
        const wchar_t* duAction;
    } rows[] = { { "CopyUserConfigFile", L"install" },
                 { "RemoveUserConfigFile", L"uninstall" },
                 { "RollbackRemoveUserConfigFile", L"uninstall" } };
    for (const auto& kind : links) {
        const std::wstring link = destDir + L"\\" + kind.name;
        RemoveTree(invocation);
        MAKE_LINK(link, kind.target);
        ASSERT_EQ(kind.kind, LinkAt(link));
        DWORD error = 0;
        if (LinkCanBeHandledItself(link, kind.kind, error))
            GTEST_SKIP() << "this system moves links as links; the refusal is for one that cannot";
        const std::map<std::wstring, std::string> before = TreeContent(outside);
        const RollbackState restore(invocation, L"remove", link);
        ASSERT_TRUE(restore.write({ restore.object(), L"removed", {} }, error));
        WriteBytes(restore.kept(L"RollbackUserConfig"), "backup");
        for (const auto& row : rows) {
            EXPECT_EQ(1, run(row.action, row.duAction, destDir, kind.name)) << row.action;
            ASSERT_EQ(1u, context->Texts(4).size()) << row.action;
            EXPECT_NE(std::wstring::npos, context->Texts(4)[0].find(link + L"\": it is a link")) << row.action;
            EXPECT_EQ(before, TreeContent(outside)) << row.action;
            EXPECT_EQ(kind.kind, LinkAt(link)) << row.action;
        }
        // The backup the refused restore needed is still there.
        EXPECT_EQ("backup", ReadBytes(restore.kept(L"RollbackUserConfig")));
    }
}

TEST_F(UserConfigFaultTest, FolderHoldingALinkIsRemovedAndRestoredWithoutReachingThroughIt)
{
    const std::wstring profiles = destDir + L"\\profiles";
    CreateDirectoryW(profiles.c_str(), 0);
    WriteBytes(profiles + L"\\own.cfg", "own");
    MAKE_LINK(profiles + L"\\shared", outside);
    const std::map<std::wstring, std::string> before = TreeContent(outside);

    EXPECT_EQ(0, remove(L"profiles"));
    EXPECT_FALSE(PathExists(profiles));
    EXPECT_EQ(before, TreeContent(outside));
    EXPECT_EQ(0, rollbackRemove(L"profiles"));
    EXPECT_EQ("own", ReadBytes(profiles + L"\\own.cfg"));
    EXPECT_EQ(FolderLink, LinkAt(profiles + L"\\shared"));
    EXPECT_EQ(before, TreeContent(outside));

    // Removing such a tree (as a host removes a plan's folder) removes the
    // link or stops at it, and never empties what it points to.
    std::wstring failed;
    DWORD error = 0;
    if (!RemoveTreeNoFollow(profiles, failed, error)) {
        EXPECT_EQ(profiles + L"\\shared", failed);
    }
    EXPECT_EQ(before, TreeContent(outside));
}

TEST_F(UserConfigFaultTest, VolumeFillingUpKeepsTheUsersFileAndLeavesNoState)
{
    const std::wstring volume = dir.file(L"volume");
    ASSERT_TRUE(CreateDirectoryW(volume.c_str(), 0));
    SmallVolume small(volume, 64);
    if (!small.inForce())
        GTEST_SKIP() << small.reason();
    const std::string users(2500, 'u');
    WriteBytes(volume + L"\\notes.ini", users);
    WriteBytes(dir.file(L"du\\userconfigfiles\\default.ini"), std::string(1 << 20, 'd'));

    EXPECT_EQ(1, copy(L"notes.ini", volume));
    EXPECT_EQ(1u, context->Texts(4).size());
    EXPECT_EQ(users, ReadBytes(volume + L"\\notes.ini"));
    const std::map<std::wstring, std::string> left = { { L"notes.ini", users } };
    EXPECT_EQ(left, TreeContent(volume));
    EXPECT_EQ(0, rollbackCopy(L"notes.ini", volume));
    EXPECT_EQ(std::vector<std::wstring>{ L"Nothing to rollback" }, context->Texts());
    EXPECT_EQ(users, ReadBytes(volume + L"\\notes.ini"));

    // The state lies on another volume: the removal copies, then deletes,
    // and the restore copies back.
    WriteBytes(dir.file(L"du\\userconfigfiles\\default.ini"), "default\r\n");
    EXPECT_EQ(0, remove(L"notes.ini", volume));
    EXPECT_TRUE(TreeContent(volume).empty());
    EXPECT_EQ(0, rollbackRemove(L"notes.ini", volume));
    EXPECT_EQ(left, TreeContent(volume));
}

TEST_F(UserConfigFaultTest, RemovalThatCannotFinishLeavesTheTargetAsItWas)
{
    const std::wstring profiles = destDir + L"\\profiles";
    CreateDirectoryW(profiles.c_str(), 0);
    WriteBytes(profiles + L"\\a.cfg", "a");
    WriteBytes(profiles + L"\\locked.cfg", "locked");
    SetFileAttributesW((profiles + L"\\locked.cfg").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::map<std::wstring, std::string> before = TreeContent(profiles);
    {
        CreationDeniedFolder denied(destDir);
        if (!denied.inForce())
            GTEST_SKIP() << denied.reason();
        EXPECT_EQ(1, remove(L"profiles"));
        EXPECT_EQ(1u, context->Texts(4).size());
    }
    EXPECT_EQ(before, TreeContent(profiles));
    EXPECT_EQ(0, rollbackRemove(L"profiles"));
    EXPECT_EQ(std::vector<std::wstring>{ L"Nothing to rollback" }, context->Texts());

    // Allowed, the removal takes the read-only file too, and the rollback
    // gives it back read-only.
    EXPECT_EQ(0, remove(L"profiles"));
    EXPECT_FALSE(PathExists(profiles));
    EXPECT_EQ(0, rollbackRemove(L"profiles"));
    EXPECT_EQ(before, TreeContent(profiles));
    EXPECT_NE(0u, GetFileAttributesW((profiles + L"\\locked.cfg").c_str()) & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((profiles + L"\\locked.cfg").c_str(), FILE_ATTRIBUTE_NORMAL);
}

namespace {
// An existing folder's other spellings: upper case, with "..", its short
// name, and under Wine the drive that maps the Unix root.
std::vector<std::wstring> spellingsOf(const std::wstring& folder)
{
    std::wstring upper = folder;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    wchar_t shortName[MAX_PATH];
    const DWORD shortLength = GetShortPathNameW(folder.c_str(), shortName, MAX_PATH);
    std::vector<std::wstring> spellings = { upper, folder + L"\\config\\..\\." };
    if (shortLength > 0 && shortLength < MAX_PATH)
        spellings.push_back(std::wstring(shortName, shortLength));
    if (RunningUnderWine()) {
        std::string unix = QuotedUnixPath(folder);
        unix = unix.substr(1, unix.size() - 2);
        std::wstring mapped = L"Z:" + std::wstring(unix.begin(), unix.end());
        for (wchar_t& ch : mapped)
            ch = ch == L'/' ? L'\\' : ch;
        spellings.push_back(mapped);
    }
    return spellings;
}
}

TEST_F(UserConfigFaultTest, StateFolderInsideTheTargetIsFoundUnderEverySpelling)
{
    const std::vector<std::wstring> spellings = spellingsOf(dir.path());
    CreateDirectoryW(invocation.c_str(), 0);
    for (const std::wstring& spelling : spellings) {
        EXPECT_TRUE(IsSameOrInsideObject(invocation, spelling + L"\\invocation")) << Narrow(spelling);
        EXPECT_TRUE(IsSameOrInsideObject(invocation + L"\\not yet\\made", spelling)) << Narrow(spelling);
        EXPECT_FALSE(IsSameOrInsideObject(invocation, spelling + L"\\invocatio")) << Narrow(spelling);
        EXPECT_FALSE(IsSameOrInsideObject(dir.path(), spelling + L"\\invocation")) << Narrow(spelling);
        for (const char* action : { "RemoveUserConfigFile", "CopyUserConfigFile" }) {
            EXPECT_EQ(1, run(action, std::string(action) == "CopyUserConfigFile" ? L"install" : L"uninstall",
                             spelling, L"invocation"))
                << action << " " << Narrow(spelling);
            EXPECT_EQ(1u, context->Texts(4).size());
        }
        EXPECT_TRUE(PathExists(invocation));
        EXPECT_TRUE(TreeContent(invocation).empty()) << Narrow(spelling);
    }
}

// A folder the shell owns stays, whichever spelling names it or the
// folder; a folder beside it, or one missing, is no shell folder.
TEST_F(UserConfigFaultTest, AShellFolderIsKnownUnderEverySpelling)
{
    const std::wstring beside = dir.path() + L"\\beside";
    CreateDirectoryW(beside.c_str(), 0);
    for (const std::wstring& spelling : spellingsOf(dir.path())) {
        const std::vector<std::wstring> shellFolders = { L"C:\\windows", spelling, L"C:\\users" };
        EXPECT_TRUE(IsShellFolder(dir.path(), shellFolders)) << Narrow(spelling);
        EXPECT_TRUE(IsShellFolder(spelling, { dir.path() })) << Narrow(spelling);
        EXPECT_FALSE(IsShellFolder(beside, shellFolders)) << Narrow(spelling);
        EXPECT_FALSE(IsShellFolder(dir.path() + L"\\missing", shellFolders)) << Narrow(spelling);
    }
    EXPECT_TRUE(IsShellFolder(dir.path() + L"\\missing", { dir.path() + L"\\MISSING" }));
}
