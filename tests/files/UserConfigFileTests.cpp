// The user configuration file actions and their rollback twins on real
// files, each pair sharing one invocation-data folder as a host gives it.
#include <gtest/gtest.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
class UserConfigFileTest : public ::testing::Test {
protected:
    UserConfigFileTest()
        : duDir(dir.file(L"du\\")), invocation(dir.file(L"invocation\\step-1")), destDir(dir.file(L"app\\config")),
          destination(destDir + L"\\settings.ini"), signal(invocation + L"\\DoRollback"),
          backup(invocation + L"\\RollbackUserConfig")
    {
        CreateDirectoryW(dir.file(L"du").c_str(), 0);
        CreateDirectoryW(dir.file(L"du\\userconfigfiles").c_str(), 0);
        WriteBytes(duDir + L"userconfigfiles\\default.ini", "default\r\n");
    }

    RecordingContextPtr newContext(const std::wstring& duAction)
    {
        context = RecordingContext::Create();
        context->properties[L"$du$action"] = duAction;
        context->properties[L"$du.dir"] = duDir;
        context->properties[L"$action.invocationdata.dir"] = invocation;
        return context;
    }

    int copy(const std::wstring& duAction, const std::wstring& source = L"default.ini")
    {
        newContext(duAction);
        context->arguments[L"SrcFileName"] = source;
        context->arguments[L"DestDirName"] = destDir;
        context->arguments[L"DestFileName"] = L"settings.ini";
        return CallAction("CopyUserConfigFile", context);
    }

    int rollbackCopy()
    {
        newContext(L"install");
        context->arguments[L"DestDirName"] = destDir;
        context->arguments[L"DestFileName"] = L"settings.ini";
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

    ScopedTempDir dir;
    const std::wstring duDir;
    const std::wstring invocation;
    const std::wstring destDir;
    const std::wstring destination;
    const std::wstring signal;
    const std::wstring backup;
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
    EXPECT_TRUE(PathExists(signal));
    EXPECT_EQ("", ReadBytes(signal));
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

TEST_F(UserConfigFileTest, MissingSourceCopiesNothing)
{
    EXPECT_EQ(0, copy(L"install", L"absent.ini"));
    EXPECT_TRUE(context->lines.empty());
    EXPECT_FALSE(PathExists(destination));
    EXPECT_FALSE(PathExists(signal));
    // A folder is not a source either.
    CreateDirectoryW((duDir + L"userconfigfiles\\folder").c_str(), 0);
    EXPECT_EQ(0, copy(L"install", L"folder"));
    EXPECT_TRUE(context->lines.empty());
    EXPECT_FALSE(PathExists(destination));
    EXPECT_FALSE(PathExists(signal));

    EXPECT_EQ(0, rollbackCopy());
    EXPECT_EQ(lines(L"Nothing to rollback"), context->Texts());
}

TEST_F(UserConfigFileTest, RollbackRemovesWhatTheCopyPutInPlace)
{
    EXPECT_EQ(0, copy(L"install"));
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_EQ(lines(L"Rollback UserConfigFile " + destination), context->Texts(2));
    EXPECT_FALSE(PathExists(destination));
    EXPECT_TRUE(PathExists(signal));

    // The signal stays: a second rollback finds no file and says nothing.
    EXPECT_EQ(0, rollbackCopy());
    EXPECT_TRUE(context->lines.empty());
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
    EXPECT_EQ(lines(L"Copying rollback copy of userconfig file to " + backup), context->Texts(2));
    EXPECT_FALSE(PathExists(destination));
    EXPECT_EQ("user's own\r\n", ReadBytes(backup));

    EXPECT_EQ(0, rollbackRemove());
    EXPECT_EQ(lines(L"Rollback copying " + backup + L" to " + destination), context->Texts(2));
    EXPECT_EQ("user's own\r\n", ReadBytes(destination));
    EXPECT_EQ("user's own\r\n", ReadBytes(backup));
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
    EXPECT_EQ("b", ReadBytes(backup + L"\\inner\\b.cfg"));

    EXPECT_EQ(0, rollbackRemove(L"profiles"));
    EXPECT_EQ("a", ReadBytes(tree + L"\\a.cfg"));
    EXPECT_EQ("b", ReadBytes(tree + L"\\inner\\b.cfg"));
    EXPECT_FALSE(PathExists(tree + L"\\RollbackUserConfig"));
}

TEST_F(UserConfigFileTest, LaterRemoveReplacesAnEarlierBackup)
{
    makeDestination("file content");
    const std::wstring tree = destDir + L"\\profiles";
    CreateDirectoryW(tree.c_str(), 0);
    WriteBytes(tree + L"\\a.cfg", "a");
    EXPECT_EQ(0, remove(L"uninstall", L"profiles"));

    // The same invocation folder now backs up a file: the folder backup goes.
    EXPECT_EQ(0, remove(L"uninstall"));
    EXPECT_EQ("file content", ReadBytes(backup));
    EXPECT_EQ(0, rollbackRemove());
    EXPECT_EQ("file content", ReadBytes(destination));
}

TEST_F(UserConfigFileTest, NothingToRestoreWithoutABackup)
{
    EXPECT_EQ(0, rollbackRemove());
    EXPECT_EQ(lines(L"Nothing to rollback"), context->Texts());
    EXPECT_EQ((std::vector<std::wstring>{ L"$action.invocationdata.dir" }), context->argumentsRead);
    EXPECT_FALSE(PathExists(destination));
}
