// The user configuration file actions and their rollback twins on real
// files, each pair sharing one invocation-data folder as a host gives it.
#include <gtest/gtest.h>

#include "core/RollbackState.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
class UserConfigFileTest : public ::testing::Test {
protected:
    UserConfigFileTest()
        : duDir(dir.file(L"du\\")), invocation(dir.file(L"invocation\\step-1")), destDir(dir.file(L"app\\config")),
          destination(destDir + L"\\settings.ini"), copyState(invocation, L"copy", destination),
          removeState(invocation, L"remove", destination), signal(copyState.signalPath()),
          backup(removeState.kept(L"RollbackUserConfig"))
    {
        CreateDirectoryW(dir.file(L"du").c_str(), 0);
        CreateDirectoryW(dir.file(L"du\\userconfigfiles").c_str(), 0);
        WriteBytes(duDir + L"userconfigfiles\\default.ini", "default\r\n");
        // A path rooted without a drive ("\\x") then lies on the test
        // prefix's own drive, never on the machine's.
        GetCurrentDirectoryW(MAX_PATH, previousDirectory);
        SetCurrentDirectoryW(dir.path().c_str());
    }
    ~UserConfigFileTest() { SetCurrentDirectoryW(previousDirectory); }

    RecordingContextPtr newContext(const std::wstring& duAction)
    {
        context = RecordingContext::Create();
        context->properties[L"$du$action"] = duAction;
        context->properties[L"$du.dir"] = duDir;
        context->properties[L"$action.invocationdata.dir"] = runFolder.empty() ? invocation : runFolder;
        return context;
    }

    int copy(const std::wstring& duAction, const std::wstring& source = L"default.ini",
             const std::wstring& name = L"settings.ini")
    {
        newContext(duAction);
        context->arguments[L"SrcFileName"] = source;
        context->arguments[L"DestDirName"] = destDir;
        context->arguments[L"DestFileName"] = name;
        return CallAction("CopyUserConfigFile", context);
    }

    int rollbackCopy(const std::wstring& name = L"settings.ini", const std::wstring& folder = std::wstring())
    {
        newContext(L"install");
        context->arguments[L"DestDirName"] = folder.empty() ? destDir : folder;
        context->arguments[L"DestFileName"] = name;
        return CallAction("RollbackCopyUserConfigFile", context);
    }

    int remove(const std::wstring& duAction, const std::wstring& name = L"settings.ini")
    {
        newContext(duAction);
        context->arguments[L"DirName"] = destDir;
        context->arguments[L"FileName"] = name;
        return CallAction("RemoveUserConfigFile", context);
    }

    int rollbackRemove(const std::wstring& name = L"settings.ini")
    {
        newContext(L"uninstall");
        context->arguments[L"DirName"] = destDir;
        context->arguments[L"FileName"] = name;
        return CallAction("RollbackRemoveUserConfigFile", context);
    }

    void makeDestination(const std::string& content)
    {
        CreateDirectoryW(dir.file(L"app").c_str(), 0);
        CreateDirectoryW(destDir.c_str(), 0);
        WriteBytes(destination, content);
    }

    std::vector<std::wstring> lines(const std::wstring& line) { return std::vector<std::wstring>{ line }; }

    wchar_t previousDirectory[MAX_PATH];
    ScopedTempDir dir;
    const std::wstring duDir;
    const std::wstring invocation;
    const std::wstring destDir;
    const std::wstring destination;
    const RollbackState copyState;
    const RollbackState removeState;
    const std::wstring signal;
    const std::wstring backup;
    // The invocation-data folder of the next call; empty: the fixture's.
    std::wstring runFolder;
    RecordingContextPtr context;
};
}

TEST_F(UserConfigFileTest, InstallCopiesIntoNewFoldersAndLeavesTheSignal)
{
    EXPECT_EQ(0, copy(L"install"));
    const std::vector<std::wstring> order = { L"$du$action", L"$action.invocationdata.dir", L"SrcFileName",
                                              L"DestDirName", L"DestFileName", L"$du.dir" };
    EXPECT_EQ(order, context->argumentsRead);
    EXPECT_EQ("default\r\n", ReadBytes(destination));
    // The signal names the file, what the copy did, the folders it made and
    // the file it left.
    RollbackSignal written;
    ASSERT_TRUE(copyState.read(written));
    const std::wstring app = copyState.object().substr(0, copyState.object().rfind(L"\\config\\"));
    EXPECT_EQ(copyState.object(), written.object);
    EXPECT_EQ(L"created", written.change);
    EXPECT_EQ((std::vector<std::wstring>{ app, app + L"\\config" }), written.madeFolders);
    EXPECT_TRUE(written.leftFile && IsMarkedFile(destination, written.left));
    EXPECT_EQ(lines(L"Writing rollback signal: " + signal), context->Texts(2));
    EXPECT_EQ(context->lines.size(), context->Texts(2).size());
}

TEST_F(UserConfigFileTest, InstallOverwritesTheUsersFile)
{
    makeDestination("user's own\r\n");
    EXPECT_EQ(0, copy(L"install"));
    EXPECT_EQ("default\r\n", ReadBytes(destination));
    EXPECT_TRUE(PathExists(signal));
}

TEST_F(UserConfigFileTest, OtherTransactionsKeepAnExistingFile)
{
    makeDestination("user's own\r\n");
    for (const wchar_t* duAction : { L"repair", L"Install", L"uninstall", L"" }) {
        EXPECT_EQ(0, copy(duAction));
        EXPECT_EQ(lines(std::wstring(L"Skipping action for the following kind of DU transaction: ") + duAction),
                  context->Texts(2));
        EXPECT_EQ("user's own\r\n", ReadBytes(destination));
        EXPECT_FALSE(PathExists(signal));
    }
    // Nothing was copied, so the rollback leaves the user's file alone.
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_EQ(lines(L"Nothing to rollback"), context->Texts());
    EXPECT_EQ("user's own\r\n", ReadBytes(destination));
}

TEST_F(UserConfigFileTest, RepairCopiesWhenTheFileIsMissing)
{
    EXPECT_EQ(0, copy(L"repair"));
    EXPECT_EQ("default\r\n", ReadBytes(destination));
    EXPECT_TRUE(PathExists(signal));
}

TEST_F(UserConfigFileTest, MissingSourceCopiesNothingAndSaysWhereItLooked)
{
    EXPECT_EQ(0, copy(L"install", L"absent.ini"));
    EXPECT_EQ(lines(L"Nothing copied: no source file at " + duDir + L"userconfigfiles\\absent.ini"),
              context->Texts(3));
    EXPECT_EQ(1u, context->lines.size());
    EXPECT_FALSE(PathExists(destination));
    EXPECT_FALSE(PathExists(destDir));
    EXPECT_FALSE(PathExists(signal));
    // A folder is not a source either.
    CreateDirectoryW((duDir + L"userconfigfiles\\folder").c_str(), 0);
    EXPECT_EQ(0, copy(L"install", L"folder"));
    EXPECT_EQ(1u, context->Texts(3).size());
    EXPECT_FALSE(PathExists(destination));
    EXPECT_FALSE(PathExists(signal));

    EXPECT_EQ(0, rollbackCopy());
    EXPECT_EQ(lines(L"Nothing to rollback"), context->Texts());
}

TEST_F(UserConfigFileTest, RollbackRemovesWhatTheCopyPutInPlaceWithTheFoldersItMade)
{
    EXPECT_EQ(0, copy(L"install"));
    EXPECT_EQ(0, rollbackCopy());
    const std::wstring app = copyState.object().substr(0, copyState.object().rfind(L"\\config\\"));
    const std::vector<std::wstring> expected = { L"Rollback UserConfigFile " + destination,
                                                 L"Removed the folder the copy created: " + app + L"\\config",
                                                 L"Removed the folder the copy created: " + app };
    EXPECT_EQ(expected, context->Texts(2));
    EXPECT_FALSE(PathExists(dir.file(L"app")));
    // The twin consumed its state: a second rollback has nothing to act on.
    EXPECT_FALSE(PathExists(copyState.folder()));
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_EQ(lines(L"Nothing to rollback"), context->Texts());

    // A folder the user filled meanwhile stays.
    EXPECT_EQ(0, copy(L"install"));
    WriteBytes(destDir + L"\\mine.txt", "mine");
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_FALSE(PathExists(destination));
    EXPECT_EQ("mine", ReadBytes(destDir + L"\\mine.txt"));
}

TEST_F(UserConfigFileTest, RemoveHappensOnlyAtUninstall)
{
    makeDestination("user's own\r\n");
    EXPECT_EQ(0, remove(L"install"));
    EXPECT_EQ(lines(L"Skipping action for the following kind of DU transaction: install"), context->Texts(2));
    EXPECT_EQ((std::vector<std::wstring>{ L"$du$action" }), context->argumentsRead);
    EXPECT_EQ("user's own\r\n", ReadBytes(destination));
    EXPECT_FALSE(PathExists(invocation));
}

TEST_F(UserConfigFileTest, RemovingAMissingFileDoesNothing)
{
    EXPECT_EQ(0, remove(L"uninstall"));
    EXPECT_TRUE(context->lines.empty());
    EXPECT_FALSE(PathExists(backup));
}

TEST_F(UserConfigFileTest, RemoveKeepsABackupThatTheRollbackPutsBack)
{
    makeDestination("user's own\r\n");
    EXPECT_EQ(0, remove(L"uninstall"));
    const std::vector<std::wstring> removal = { L"Copying rollback copy of userconfig file to " + backup,
                                                L"Removed the emptied folder " + destDir };
    EXPECT_EQ(removal, context->Texts(2));
    EXPECT_FALSE(PathExists(destDir));
    EXPECT_TRUE(PathExists(dir.file(L"app")));
    EXPECT_EQ("user's own\r\n", ReadBytes(backup));

    EXPECT_EQ(0, rollbackRemove());
    EXPECT_EQ(lines(L"Rollback copying " + backup + L" to " + destination), context->Texts(2));
    EXPECT_EQ("user's own\r\n", ReadBytes(destination));
    // The restore consumed the state.
    EXPECT_FALSE(PathExists(removeState.folder()));
}

TEST_F(UserConfigFileTest, FolderTreeIsBackedUpAndRestored)
{
    makeDestination("x");
    const std::wstring tree = destDir + L"\\profiles";
    CreateDirectoryW(tree.c_str(), 0);
    CreateDirectoryW((tree + L"\\inner").c_str(), 0);
    WriteBytes(tree + L"\\a.cfg", "a");
    WriteBytes(tree + L"\\inner\\b.cfg", "b");

    EXPECT_EQ(0, remove(L"uninstall", L"profiles"));
    EXPECT_FALSE(PathExists(tree));
    const RollbackState treeState(invocation, L"remove", tree);
    EXPECT_EQ("b", ReadBytes(treeState.kept(L"RollbackUserConfig") + L"\\inner\\b.cfg"));

    EXPECT_EQ(0, rollbackRemove(L"profiles"));
    EXPECT_EQ("a", ReadBytes(tree + L"\\a.cfg"));
    EXPECT_EQ("b", ReadBytes(tree + L"\\inner\\b.cfg"));
    EXPECT_FALSE(PathExists(tree + L"\\RollbackUserConfig"));
}

TEST_F(UserConfigFileTest, FilesSharingOneFolderAndRetriedStepsEachRollBackToTheirOwn)
{
    makeDestination("settings\r\n");
    WriteBytes(destDir + L"\\a.ini", "a's own");
    WriteBytes(destDir + L"\\b.ini", "b's own");
    EXPECT_EQ(0, copy(L"install", L"default.ini", L"a.ini"));
    EXPECT_EQ(0, copy(L"install", L"default.ini", L"b.ini"));
    // A retried step: the second run keeps what the first one saved.
    EXPECT_EQ(0, copy(L"install", L"default.ini", L"a.ini"));
    EXPECT_EQ(lines(L"Keeping the rollback state of an earlier run: " +
                    RollbackState(invocation, L"copy", destDir + L"\\a.ini").folder()),
              context->Texts(2));
    EXPECT_EQ("default\r\n", ReadBytes(destDir + L"\\a.ini"));
    EXPECT_EQ(0, rollbackCopy(L"b.ini"));
    // Another spelling of the same folder finds the same state.
    std::wstring upper = destDir;
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    EXPECT_EQ(0, rollbackCopy(L"A.INI", upper));
    EXPECT_EQ("a's own", ReadBytes(destDir + L"\\a.ini"));
    EXPECT_EQ("b's own", ReadBytes(destDir + L"\\b.ini"));

    // The same for removals, the second one of a.ini finding it gone.
    EXPECT_EQ(0, remove(L"uninstall", L"a.ini"));
    EXPECT_EQ(0, remove(L"uninstall", L"b.ini"));
    EXPECT_EQ(0, remove(L"uninstall", L"a.ini"));
    EXPECT_EQ(0, rollbackRemove(L"a.ini"));
    EXPECT_EQ(0, rollbackRemove(L"b.ini"));
    EXPECT_EQ("a's own", ReadBytes(destDir + L"\\a.ini"));
    EXPECT_EQ("b's own", ReadBytes(destDir + L"\\b.ini"));
    EXPECT_EQ("settings\r\n", ReadBytes(destination));
    EXPECT_TRUE(TreeContent(invocation).empty());
}

TEST_F(UserConfigFileTest, StateOfAnotherRunOrFileIsNeverActedOn)
{
    // A consumed state: the twin of a later run that kept the user's file
    // has nothing to remove.
    EXPECT_EQ(0, copy(L"install"));
    EXPECT_EQ(0, rollbackCopy());
    makeDestination("written since\r\n");
    EXPECT_EQ(0, copy(L"repair"));
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_EQ(lines(L"Nothing to rollback"), context->Texts());
    EXPECT_EQ("written since\r\n", ReadBytes(destination));

    // A state an earlier run left unused goes with a run that changes nothing.
    RemoveTree(destination);
    EXPECT_EQ(0, copy(L"install"));
    WriteBytes(destination, "written since\r\n");
    EXPECT_EQ(0, copy(L"repair"));
    EXPECT_EQ(L"Removing the rollback state an earlier run left: " + copyState.folder(), context->Texts(2).at(0));
    EXPECT_FALSE(PathExists(copyState.folder()));
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_EQ(lines(L"Nothing to rollback"), context->Texts());
    EXPECT_EQ("written since\r\n", ReadBytes(destination));

    // A signal naming another file is ignored.
    DWORD error = 0;
    ASSERT_TRUE(copyState.write({ dir.file(L"other.ini"), L"created", {} }, error));
    ASSERT_TRUE(removeState.write({ dir.file(L"other.ini"), L"removed", {} }, error));
    WriteBytes(backup, "not mine");
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_EQ(lines(L"Nothing to rollback"), context->Texts());
    EXPECT_EQ(0, rollbackRemove());
    EXPECT_EQ(lines(L"Nothing to rollback"), context->Texts());
    EXPECT_EQ("written since\r\n", ReadBytes(destination));
}

TEST_F(UserConfigFileTest, NothingToRestoreWithoutABackup)
{
    EXPECT_EQ(0, rollbackRemove());
    EXPECT_EQ(lines(L"Nothing to rollback"), context->Texts());
    EXPECT_EQ((std::vector<std::wstring>{ L"$action.invocationdata.dir", L"DirName", L"FileName" }),
              context->argumentsRead);
    EXPECT_FALSE(PathExists(destination));
}

namespace {
struct Refusal {
    const char* action;
    // Arguments that replace the fixture's; "{tmp}" stands for the test's
    // folder.
    std::vector<std::pair<std::wstring, std::wstring> > arguments;
    std::wstring refused;  // the argument the error line names
};

std::wstring inTemp(std::wstring text, const std::wstring& temp)
{
    const std::wstring::size_type at = text.find(L"{tmp}");
    if (at != std::wstring::npos)
        text.replace(at, 5, temp);
    return text;
}

std::vector<std::wstring> rootEntries()
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(L"\\*", &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}
}

TEST_F(UserConfigFileTest, PathsThatNameMoreOrOtherThanMeantAreRefusedAndNothingIsTouched)
{
    const std::vector<Refusal> rows = {
        // An empty name joined to the folder names the whole folder.
        { "RemoveUserConfigFile", { { L"FileName", L"" } }, L"FileName" },
        { "RemoveUserConfigFile", { { L"FileName", L" " } }, L"FileName" },
        { "RemoveUserConfigFile", { { L"FileName", L"\\" } }, L"FileName" },
        // An empty folder joins to a path rooted on the current drive.
        { "RemoveUserConfigFile", { { L"DirName", L"" }, { L"FileName", L"absent-8d1f" } }, L"DirName" },
        // Windows drops the trailing dot: "config." is "config".
        { "RemoveUserConfigFile", { { L"DirName", L"{tmp}\\app" }, { L"FileName", L"config." } }, L"FileName" },
        { "RemoveUserConfigFile", { { L"DirName", L"{tmp}\\app\\config\\.." }, { L"FileName", L"config" } },
          L"DirName" },
        // Without the invocation folder the backup would go to the drive root.
        { "RemoveUserConfigFile", { { L"$action.invocationdata.dir", L"" } }, L"$action.invocationdata.dir" },
        { "RemoveUserConfigFile", { { L"$action.invocationdata.dir", L"C:\\" } }, L"$action.invocationdata.dir" },
        // Backing up a folder that holds the invocation folder copies it into itself.
        { "RemoveUserConfigFile", { { L"DirName", L"{tmp}" }, { L"FileName", L"invocation" } },
          L"DirName and FileName" },
        { "RollbackRemoveUserConfigFile", { { L"$action.invocationdata.dir", L"" } }, L"$action.invocationdata.dir" },
        { "RollbackRemoveUserConfigFile", { { L"FileName", L"" } }, L"FileName" },
        { "RollbackRemoveUserConfigFile", { { L"DirName", L" " } }, L"DirName" },
        { "CopyUserConfigFile", { { L"DestDirName", L"" } }, L"DestDirName" },
        { "CopyUserConfigFile", { { L"DestDirName", L"{tmp}\\app\\sub." } }, L"DestDirName" },
        { "CopyUserConfigFile", { { L"DestDirName", L"{tmp}\\app\\sub " } }, L"DestDirName" },
        { "CopyUserConfigFile", { { L"DestFileName", L"CON" } }, L"DestFileName" },
        { "CopyUserConfigFile", { { L"DestFileName", L"nul.ini" } }, L"DestFileName" },
        { "CopyUserConfigFile", { { L"DestDirName", L"{tmp}\\app\\COM1" } }, L"DestDirName" },
        { "CopyUserConfigFile", { { L"DestFileName", L"" } }, L"DestFileName" },
        { "CopyUserConfigFile", { { L"$action.invocationdata.dir", L"" } }, L"$action.invocationdata.dir" },
        { "CopyUserConfigFile", { { L"SrcFileName", L"" } }, L"SrcFileName" },
        { "RollbackCopyUserConfigFile", { { L"DestDirName", L"" } }, L"DestDirName" },
        { "RollbackCopyUserConfigFile", { { L"DestFileName", L"" } }, L"DestFileName" },
        { "RollbackCopyUserConfigFile", { { L"$action.invocationdata.dir", L"" } }, L"$action.invocationdata.dir" },
    };
    makeDestination("user's own\r\n");
    CreateDirectoryW(invocation.substr(0, invocation.rfind(L'\\')).c_str(), 0);
    CreateDirectoryW(invocation.c_str(), 0);
    // The twins have something to restore or remove.
    // The twins have a state of their own file to act on.
    DWORD error = 0;
    ASSERT_TRUE(copyState.write({ copyState.object(), L"created", {} }, error));
    ASSERT_TRUE(removeState.write({ removeState.object(), L"removed", {} }, error));
    WriteBytes(backup, "backup\r\n");
    const std::map<std::wstring, std::string> before = TreeContent(dir.path());
    const std::vector<std::wstring> rootBefore = rootEntries();

    for (const Refusal& row : rows) {
        const bool copying = std::string(row.action).find("Copy") != std::string::npos;
        newContext(std::string(row.action) == "CopyUserConfigFile" ? L"install" : L"uninstall");
        context->arguments[copying ? L"SrcFileName" : L"FileName"] = copying ? L"default.ini" : L"settings.ini";
        context->arguments[copying ? L"DestDirName" : L"DirName"] = destDir;
        if (copying)
            context->arguments[L"DestFileName"] = L"settings.ini";
        for (const auto& argument : row.arguments)
            context->arguments[argument.first] = inTemp(argument.second, dir.path());
        const std::string label = std::string(row.action) + " " + Narrow(row.refused) + " = \"" +
                                  Narrow(inTemp(row.arguments.back().second, dir.path())) + "\"";

        EXPECT_EQ(1, CallAction(row.action, context)) << label;
        ASSERT_EQ(1u, context->lines.size()) << label;
        EXPECT_EQ(4, context->lines[0].level) << label;
        EXPECT_EQ(0u, context->lines[0].text.find(L"Refusing " + row.refused + L" \"")) << label;
        EXPECT_EQ(before, TreeContent(dir.path())) << label;
        EXPECT_EQ(rootBefore, rootEntries()) << label;
    }
}

TEST_F(UserConfigFileTest, RestoreRecreatesMissingFoldersAndKeepsTheBackupUntilItSucceeds)
{
    makeDestination("user's own\r\n");
    EXPECT_EQ(0, remove(L"uninstall"));
    // A later step removed the emptied folders.
    RemoveTree(dir.file(L"app"));

    // A file stands where a folder of the target must go: the restore
    // fails, says where the backup is, and the backup stays.
    WriteBytes(dir.file(L"app"), "blocker");
    EXPECT_EQ(1, rollbackRemove());
    ASSERT_EQ(1u, context->Texts(4).size());
    EXPECT_NE(std::wstring::npos, context->Texts(4)[0].find(L"the backup stays at " + backup));
    EXPECT_EQ("user's own\r\n", ReadBytes(backup));

    RemoveTree(dir.file(L"app"));
    EXPECT_EQ(0, rollbackRemove());
    EXPECT_EQ("user's own\r\n", ReadBytes(destination));
    EXPECT_FALSE(PathExists(backup));
    EXPECT_TRUE(context->Texts(4).empty());
}

TEST_F(UserConfigFileTest, RestoreAndCopyPutExactlyWhatWasNamedAtTheTarget)
{
    // A folder comes back as it was. What was put at its place meanwhile is
    // not the removal's to replace: it stays until it is gone.
    makeDestination("x");
    const std::wstring tree = destDir + L"\\profiles";
    CreateDirectoryW(tree.c_str(), 0);
    WriteBytes(tree + L"\\a.cfg", "a");
    EXPECT_EQ(0, remove(L"uninstall", L"profiles"));
    CreateDirectoryW(tree.c_str(), 0);
    WriteBytes(tree + L"\\new.cfg", "new");
    EXPECT_EQ(1, rollbackRemove(L"profiles"));
    const std::map<std::wstring, std::string> since = { { L"new.cfg", "new" } };
    EXPECT_EQ(since, TreeContent(tree));
    RemoveTree(tree);
    EXPECT_EQ(0, rollbackRemove(L"profiles"));
    const std::map<std::wstring, std::string> restored = { { L"a.cfg", "a" } };
    EXPECT_EQ(restored, TreeContent(tree));

    // A copy onto a folder of the file's name lands at the name, and the
    // rollback gives the folder back.
    RemoveTree(destination);
    CreateDirectoryW(destination.c_str(), 0);
    WriteBytes(destination + L"\\inner.txt", "inner");
    EXPECT_EQ(0, copy(L"install"));
    EXPECT_EQ("default\r\n", ReadBytes(destination));
    EXPECT_EQ(0, rollbackCopy());
    const std::map<std::wstring, std::string> folderBack = { { L"inner.txt", "inner" } };
    EXPECT_EQ(folderBack, TreeContent(destination));
}

TEST_F(UserConfigFileTest, RollbackOfACopyGivesTheReplacedFileBack)
{
    makeDestination("user's own\r\n");
    EXPECT_EQ(0, copy(L"install"));
    EXPECT_EQ("default\r\n", ReadBytes(destination));
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_EQ("user's own\r\n", ReadBytes(destination));

    // A copy that replaced nothing leaves nothing to give back, even where an
    // earlier copy in the same folder did.
    RemoveTree(destination);
    EXPECT_EQ(0, copy(L"install"));
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_FALSE(PathExists(destination));
}

TEST_F(UserConfigFileTest, TwoRunsOfOnePlanNeverLoseTheUsersFile)
{
    // Two runs at once, each with its own folder: the second one's backup
    // is the first one's default copy. Whichever twin comes first, each
    // acts only on the file its own copy left, and the user's file is on
    // the disk all along and back in place at the end.
    const std::wstring first = dir.file(L"run-1"), second = dir.file(L"run-2");
    const RollbackState firstState(first, L"copy", destination);
    const struct {
        std::vector<std::wstring> twins;  // in the order they run
        std::vector<int> statuses;
    } orders[] = { { { first, second, first }, { 1, 0, 0 } }, { { second, first }, { 0, 0 } } };
    for (const auto& order : orders) {
        RemoveTree(first);
        RemoveTree(second);
        makeDestination("user's own\r\n");
        runFolder = first;
        EXPECT_EQ(0, copy(L"install"));
        runFolder = second;
        EXPECT_EQ(0, copy(L"install"));
        for (std::size_t i = 0; i < order.twins.size(); ++i) {
            runFolder = order.twins[i];
            EXPECT_EQ(order.statuses[i], rollbackCopy()) << i;
            const bool inPlace = ReadBytes(destination) == "user's own\r\n";
            EXPECT_TRUE(inPlace || ReadBytes(firstState.kept(L"ReplacedUserConfig")) == "user's own\r\n") << i;
            if (order.statuses[i] == 1) {
                ASSERT_EQ(1u, context->Texts(4).size());
                EXPECT_EQ(L"Leaving " + destination +
                              L" as it is: it is no longer the file CopyUserConfigFile put there, and the rollback "
                              L"state stays at " + firstState.folder(),
                          context->Texts(4)[0]);
            }
        }
        EXPECT_EQ("user's own\r\n", ReadBytes(destination));
        EXPECT_TRUE(TreeContent(first).empty());
        EXPECT_TRUE(TreeContent(second).empty());
    }
    runFolder.clear();
}

TEST_F(UserConfigFileTest, FileChangedSinceTheCopyIsLeftAloneAndARetryKeepsTheUsersFile)
{
    makeDestination("user's own\r\n");
    EXPECT_EQ(0, copy(L"install"));
    // The user edits the copy: the twin would replace the edit.
    WriteBytes(destination, "edited\r\n");
    EXPECT_EQ(1, rollbackCopy());
    EXPECT_EQ("edited\r\n", ReadBytes(destination));
    // A retried copy would lose the edit, and its state could not give it
    // back: refused too.
    EXPECT_EQ(1, copy(L"install"));
    EXPECT_EQ("edited\r\n", ReadBytes(destination));
    EXPECT_EQ("user's own\r\n", ReadBytes(copyState.kept(L"ReplacedUserConfig")));

    // Gone since: the user's file comes back, nothing is replaced.
    RemoveTree(destination);
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_EQ("user's own\r\n", ReadBytes(destination));

    // A removal's twin leaves a file put at the place since, with the backup.
    EXPECT_EQ(0, remove(L"uninstall"));
    makeDestination("new one\r\n");
    EXPECT_EQ(1, rollbackRemove());
    EXPECT_EQ("new one\r\n", ReadBytes(destination));
    EXPECT_EQ("user's own\r\n", ReadBytes(backup));
}

TEST_F(UserConfigFileTest, CopyThatNeverReachedTheDestinationLeavesItToTheNextRun)
{
    // An earlier run stopped after writing its signal and before its copy
    // was in place: the destination is still the user's. A retried copy
    // keeps it as its own backup; the twin then gives it back.
    makeDestination("user's own\r\n");
    DWORD error = 0;
    ASSERT_TRUE(copyState.write({ copyState.object(), L"replaced", {} }, error));
    EXPECT_EQ(0, copy(L"install"));
    EXPECT_EQ("default\r\n", ReadBytes(destination));
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_EQ("user's own\r\n", ReadBytes(destination));

    // Its twin alone touches nothing.
    ASSERT_TRUE(copyState.write({ copyState.object(), L"replaced", {} }, error));
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_EQ(lines(L"Nothing to rollback"), context->Texts());
    EXPECT_EQ("user's own\r\n", ReadBytes(destination));
    EXPECT_FALSE(PathExists(copyState.folder()));
}
