// The entry that removes a package's shared state folder, called on a
// recording context: it removes the folder the steps' state writers made,
// and leaves anything else (a folder a person made, a file, a path that
// names too much) as it is.
#include <gtest/gtest.h>

#include "core/RollbackState.h"
#include "msi/StateFolderEntry.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
class ForgetStateFolderTest : public testing::Test {
protected:
    int forget(const std::wstring& folder)
    {
        context = RecordingContext::Create({ { L"Folder", folder } });
        return ForgetStateFolder(context);
    }
    // The state a step keeps in [root]\Install3, written as the actions write it.
    void keepState(const std::wstring& root)
    {
        DWORD error = 0;
        const RollbackState state(root + L"\\Install3", L"copy", dir.file(L"settings.ini"));
        RollbackSignal signal = { state.object(), L"replaced", {} };
        ASSERT_TRUE(state.write(signal, error)) << error;
        WriteBytes(state.kept(L"original"), "the user's own");
    }

    ScopedTempDir dir;
    RecordingContextPtr context;
};
}

TEST_F(ForgetStateFolderTest, TheFolderTheStepsMadeGoesWithEverythingInIt)
{
    const std::wstring root = dir.file(L"Verrand {X}");
    keepState(root);
    // A second step's folder; the separator the package's property may end in.
    DWORD error = 0;
    ASSERT_TRUE(MakeInvocationFolder(root + L"\\Remove2\\", error)) << error;
    EXPECT_EQ(0, forget(root + L"\\"));
    EXPECT_FALSE(PathExists(root));
    EXPECT_EQ(std::vector<std::wstring>{ L"Removed the state folder " + root + L"\\" }, context->Texts());
    // Gone already (a run that kept no state made none): nothing to do, no failure.
    EXPECT_EQ(0, forget(root));
    EXPECT_EQ(std::vector<std::wstring>{ L"No state folder at " + root + L": nothing to remove" }, context->Texts(2));
}

TEST_F(ForgetStateFolderTest, WhatTheStepsDidNotMakeIsLeftAsItIs)
{
    const std::wstring own = dir.file(L"own");
    CreateDirectoryW(own.c_str(), 0);
    WriteBytes(dir.file(L"own\\notes.txt"), "a person's notes");
    // A state folder inside a folder that stood already: only what the steps made is marked.
    keepState(own);
    WriteBytes(dir.file(L"file"), "a file");
    struct Row {
        std::wstring folder;
        std::wstring line;
    };
    const Row rows[] = {
        { own, own + L" is not a state folder Verrand made: left as it is" },
        { dir.file(L"file"), dir.file(L"file") + L" is a file, not a state folder: left as it is" },
        // Refused by the path rules before anything is looked at.
        { L"", L"Refusing Folder \"\": the path is empty" },
        { L"C:\\", L"Refusing Folder \"C:\\\": it names the root of a drive" },
    };
    for (const Row& row : rows) {
        const auto before = TreeContent(dir.path());
        EXPECT_EQ(1, forget(row.folder)) << Narrow(row.folder);
        ASSERT_EQ(1u, context->Texts(4).size()) << Narrow(row.folder);
        EXPECT_EQ(0u, context->Texts(4)[0].find(row.line)) << Narrow(context->Texts(4)[0]);
        EXPECT_EQ(before, TreeContent(dir.path())) << Narrow(row.folder);
    }
}
