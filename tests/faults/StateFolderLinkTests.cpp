// The folder an action keeps its rollback state in is never reached
// through a link: a $action.invocationdata.dir that is a link, or has one
// on its way, would put the records where the link points (into the
// user's data, or into the very folder a removal takes away).
#include <gtest/gtest.h>

#include "core/FileLinks.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

#include "UnixSide.h"

TEST(StateFolderLinks, AStateFolderWithALinkOnItsWayIsRefused)
{
    if (!RunningUnderWine())
        GTEST_SKIP() << "links are made as Unix symbolic links, which needs Wine's Unix side";
    ScopedTempDir dir;
    const std::wstring outside = dir.file(L"outside");
    CreateDirectoryW(outside.c_str(), 0);
    WriteBytes(outside + L"\\user.txt", "the user's\r\n");
    CreateDirectoryW(dir.file(L"du").c_str(), 0);
    CreateDirectoryW(dir.file(L"du\\userconfigfiles").c_str(), 0);
    WriteBytes(dir.file(L"du\\userconfigfiles\\default.ini"), "default\r\n");
    CreateDirectoryW(dir.file(L"config").c_str(), 0);
    WriteBytes(dir.file(L"config\\settings.ini"), "user's settings\r\n");
    ASSERT_EQ(0, RunUnixScript("ln -s " + QuotedUnixPath(outside) + " " + QuotedUnixPath(dir.file(L"link"))));
    ASSERT_EQ(FolderLink, LinkAt(dir.file(L"link")));

    const struct {
        const char* action;
        const wchar_t* duAction;
        bool copies;
    } actions[] = {
        { "CopyUserConfigFile", L"install", true },      { "RollbackCopyUserConfigFile", L"install", true },
        { "RemoveUserConfigFile", L"uninstall", false }, { "RollbackRemoveUserConfigFile", L"uninstall", false },
        { "ConfigureEnvironment", L"install", false },   { "RollbackConfigureEnvironment", L"install", false },
    };
    // The link as the folder itself, and a link further up its way.
    for (const std::wstring& stateFolder : { dir.file(L"link"), dir.file(L"link\\group-1\\step-1") }) {
        for (const auto& row : actions) {
            SCOPED_TRACE(row.action + (" in " + Narrow(stateFolder)));
            const std::map<std::wstring, std::string> outsideBefore = TreeContent(outside);
            RecordingContextPtr context = RecordingContext::Create();
            context->properties[L"$du$action"] = row.duAction;
            context->properties[L"$du.dir"] = dir.file(L"du\\");
            context->properties[L"$action.invocationdata.dir"] = stateFolder;
            if (row.copies) {
                context->arguments[L"SrcFileName"] = L"default.ini";
                context->arguments[L"DestDirName"] = dir.file(L"config");
                context->arguments[L"DestFileName"] = L"settings.ini";
            } else {
                context->arguments[L"DirName"] = dir.file(L"config");
                context->arguments[L"FileName"] = L"settings.ini";
                context->arguments[L"ENV_NAME"] = L"VERRAND_STATE_LINK";
                context->arguments[L"ENV_VALUE"] = L"x";
                context->arguments[L"ACTION"] = L"assign";
            }
            EXPECT_EQ(1, CallAction(row.action, context));
            EXPECT_EQ(std::vector<std::wstring>{ L"Refusing $action.invocationdata.dir \"" + stateFolder +
                                                 L"\": a link or junction stands on its way" },
                      context->Texts(4));
            EXPECT_EQ(outsideBefore, TreeContent(outside));
            EXPECT_EQ("user's settings\r\n", ReadBytes(dir.file(L"config\\settings.ini")));
        }
    }
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                                L"VERRAND_STATE_LINK"));
    RunUnixScript("rm " + QuotedUnixPath(dir.file(L"link")));
}
