// A package's shared state folder is removed without ever following a link
// (made here as Unix symbolic links): a link standing at the folder's name
// is refused even when it leads to a real state folder, and a link inside
// the folder goes as a link or stops the removal, never taking what it
// points to along.
#include <gtest/gtest.h>

#include "UnixSide.h"
#include "core/FileLinks.h"
#include "core/RollbackState.h"
#include "msi/StateFolderEntry.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
bool makeLink(const std::wstring& link, const std::wstring& target)
{
    return RunningUnderWine() && RunUnixScript("ln -s " + QuotedUnixPath(target) + " " + QuotedUnixPath(link)) == 0;
}

int forget(RecordingContextPtr& context, const std::wstring& folder)
{
    context = RecordingContext::Create({ { L"Folder", folder } });
    return ForgetStateFolder(context);
}
}

TEST(StateFolderFault, LinksAreNeverFollowed)
{
    ScopedTempDir dir;
    const std::wstring outside = dir.file(L"outside");
    CreateDirectoryW(outside.c_str(), 0);
    WriteBytes(outside + L"\\own.txt", "a person's file");
    // A real state folder, as the steps make it, to stand behind a link.
    const std::wstring real = dir.file(L"real");
    DWORD error = 0;
    ASSERT_TRUE(MakeInvocationFolder(real + L"\\Install1", error)) << error;
    WriteBytes(real + L"\\Install1\\kept", "kept");
    RecordingContextPtr context;

    const std::wstring named = dir.file(L"Verrand {X}");
    if (!makeLink(named, real))
        GTEST_SKIP() << "links are made as Unix symbolic links, which needs Wine's Unix side";
    const auto before = TreeContent(real);
    EXPECT_EQ(1, forget(context, named));
    EXPECT_EQ(std::vector<std::wstring>{ named + L" is a link, not a state folder: left as it is" }, context->Texts(4));
    EXPECT_EQ(before, TreeContent(real));
    EXPECT_EQ(FolderLink, LinkAt(named));

    // Inside a state folder: a link to a folder and one to a file.
    const struct {
        const wchar_t* name;
        std::wstring target;
    } links[] = { { L"profiles", outside }, { L"settings.ini", outside + L"\\own.txt" } };
    for (const auto& row : links) {
        SCOPED_TRACE(Narrow(row.name));
        const std::wstring root = dir.file(L"Verrand " + std::wstring(row.name));
        ASSERT_TRUE(MakeInvocationFolder(root + L"\\Install2", error)) << error;
        const std::wstring link = root + L"\\Install2\\" + row.name;
        ASSERT_TRUE(makeLink(link, row.target));
        const LinkKind kind = LinkAt(link);
        const int status = forget(context, root);
        EXPECT_EQ("a person's file", ReadBytes(outside + L"\\own.txt"));
        if (status == 0) {
            EXPECT_FALSE(PathExists(root));
            continue;
        }
        // Where the system cannot remove the link itself (Wine, a link to a folder), the removal stops at it.
        EXPECT_FALSE(LinkCanBeHandledItself(link, kind, error));
        ASSERT_EQ(1u, context->Texts(4).size());
        EXPECT_EQ(0u, context->Texts(4)[0].find(L"Couldn't remove " + link + L" from the state folder " + root))
            << Narrow(context->Texts(4)[0]);
    }
}
