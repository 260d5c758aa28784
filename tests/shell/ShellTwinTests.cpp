// The shortcut and folder actions with their rollback twins, through the real
// exports: each action keeps its state in the invocation-data folder, and
// its twin gives back exactly the tree that was there before, consumes the
// state, and leaves alone an object that changed since.
#include <gtest/gtest.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
const wchar_t* const kProgram = L"C:\\windows\\system32\\notepad.exe";
const wchar_t* const kWebSite = L"https://example.com/start";
// A user's own shortcut: bytes no save would write, in a hidden file.
const std::string kUsersBytes("user's own shortcut\r\n\x00\xff\x01", 24);

class ShellTwinTest : public ::testing::Test {
protected:
    void SetUp()
    {
        // Keeps the place itself from being removed by RemoveShortcut's walk.
        WriteBytes(place.file(L"keep.txt"), "x");
    }

    int run(const char* action, const RecordingContext::Values& arguments)
    {
        context = RecordingContext::Create(arguments);
        context->arguments[L"$action.invocationdata.dir"] = state.path();
        return CallAction(action, context);
    }

    RecordingContext::Values shortcut(const std::wstring& link, const std::wstring& target) const
    {
        return { { L"linkFullPath", place.file(link) }, { L"pathToTarget", target }, { L"runAction", L"1" } };
    }

    RecordingContext::Values folder(const std::wstring& name) const { return { { L"FolderName", place.file(name) } }; }

    void placeUsersFile(const std::wstring& name)
    {
        const std::wstring path = place.file(name);
        WriteBytes(path, kUsersBytes);
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    }

    void makeFolder(const std::wstring& name) { ASSERT_TRUE(CreateDirectoryW(place.file(name).c_str(), 0)); }

    bool stateEmpty() const { return TreeContent(state.path()).empty(); }

    void clearState()
    {
        RemoveTree(state.path());
        CreateDirectoryW(state.path().c_str(), 0);
    }

    bool logged(const std::wstring& start) const
    {
        for (const std::wstring& text : context->Texts())
            if (text.compare(0, start.size(), start) == 0)
                return true;
        return false;
    }

    // The twin's refusal: one level-4 line, status 1, and the state kept.
    void expectLeftAsItIs(const char* twin, const RecordingContext::Values& arguments)
    {
        EXPECT_EQ(1, run(twin, arguments));
        const std::vector<std::wstring> errors = context->Texts(4);
        ASSERT_EQ(1u, errors.size());
        EXPECT_EQ(0u, errors[0].find(L"Leaving ")) << Narrow(errors[0]);
        EXPECT_NE(std::wstring::npos, errors[0].find(L"changed since")) << Narrow(errors[0]);
        EXPECT_FALSE(stateEmpty());
    }

    ScopedTempDir place;
    ScopedTempDir state;
    RecordingContextPtr context;
};
}

TEST_F(ShellTwinTest, RollbackCreateShortcutGivesBackTheTreeAsItWas)
{
    struct Row {
        const char* why;
        const wchar_t* link;
        const wchar_t* target;
        const wchar_t* usersFile;  // what stands at the place before, or none
        const wchar_t* saved;      // where the create saves
        int runs;
    };
    const Row rows[] = {
        { "a new shortcut and the folders made for it go", L"Menu\\Sub\\App.lnk", kProgram, 0, L"Menu\\Sub\\App.lnk", 1 },
        { "the user's own shortcut comes back byte for byte, hidden", L"Notes.lnk", kProgram, L"Notes.lnk",
          L"Notes.lnk", 1 },
        { "a web shortcut's .url is the object", L"Site.lnk", kWebSite, L"Site.url", L"Site.url", 1 },
        { "a retried step keeps the first run's backup", L"Notes.lnk", kProgram, L"Notes.lnk", L"Notes.lnk", 2 },
        { "a retried step keeps the first run's made folders", L"Menu\\App.lnk", kProgram, 0, L"Menu\\App.lnk", 2 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        if (row.usersFile)
            placeUsersFile(row.usersFile);
        const std::map<std::wstring, std::string> before = TreeContent(place.path());

        for (int i = 0; i < row.runs; ++i)
            ASSERT_EQ(0, run("CreateShortcut", shortcut(row.link, row.target)));
        EXPECT_EQ(row.runs > 1, logged(L"Keeping the rollback state of this step's first run: "));
        EXPECT_NE(kUsersBytes, ReadBytes(place.file(row.saved)));
        EXPECT_FALSE(stateEmpty());

        ASSERT_EQ(0, run("RollbackCreateShortcut", shortcut(row.link, row.target)));
        EXPECT_TRUE(context->Texts(4).empty());
        EXPECT_EQ(before, TreeContent(place.path()));
        if (row.usersFile) {
            EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN),
                      GetFileAttributesW(place.file(row.usersFile).c_str()) & FILE_ATTRIBUTE_HIDDEN);
            EXPECT_TRUE(SetFileAttributesW(place.file(row.usersFile).c_str(), FILE_ATTRIBUTE_NORMAL));
            EXPECT_TRUE(DeleteFileW(place.file(row.usersFile).c_str()));
        }
        EXPECT_TRUE(stateEmpty());

        // The state is consumed: a second rollback has nothing to do.
        ASSERT_EQ(0, run("RollbackCreateShortcut", shortcut(row.link, row.target)));
        EXPECT_EQ(std::vector<std::wstring>{ L"Nothing to rollback" }, context->Texts());
    }
}

TEST_F(ShellTwinTest, RollbackRemoveShortcutPutsBackTheShortcutAndItsFolders)
{
    struct Row {
        const char* why;
        const wchar_t* folders;  // made beforehand, outermost first, '|'-separated
        const wchar_t* link;
        const wchar_t* target;
        const wchar_t* usersFile;
        int runs;
    };
    const Row rows[] = {
        { "the emptied folders the walk removed come back", L"P|P\\Menu", L"P\\Menu\\App.lnk", kProgram,
          L"P\\Menu\\App.lnk", 1 },
        { "the .url a web target falls back to", L"", L"Site.lnk", kWebSite, L"Site.url", 1 },
        { "a retried removal finds it gone and keeps the first state", L"Menu", L"Menu\\App.lnk", kProgram,
          L"Menu\\App.lnk", 2 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        std::wstring folders = row.folders;
        for (std::wstring::size_type start = 0; start < folders.size();) {
            const std::wstring::size_type end = std::min(folders.find(L'|', start), folders.size());
            makeFolder(folders.substr(start, end - start));
            start = end + 1;
        }
        placeUsersFile(row.usersFile);
        const std::map<std::wstring, std::string> before = TreeContent(place.path());

        for (int i = 0; i < row.runs; ++i)
            ASSERT_EQ(0, run("RemoveShortcut", shortcut(row.link, row.target)));
        EXPECT_FALSE(PathExists(place.file(row.usersFile)));
        EXPECT_FALSE(stateEmpty());

        ASSERT_EQ(0, run("RollbackRemoveShortcut", shortcut(row.link, row.target)));
        EXPECT_TRUE(context->Texts(4).empty());
        EXPECT_EQ(before, TreeContent(place.path()));
        EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN),
                  GetFileAttributesW(place.file(row.usersFile).c_str()) & FILE_ATTRIBUTE_HIDDEN);
        EXPECT_TRUE(stateEmpty());
        RemoveTree(place.file(row.usersFile));
        if (!folders.empty())
            RemoveTree(place.file(folders.substr(0, folders.find(L'|'))));
    }
}

TEST_F(ShellTwinTest, RollbackEnsureFolderExistsRemovesOnlyTheFoldersItMade)
{
    struct Row {
        const char* why;
        const wchar_t* existing;  // there before, or none
        const wchar_t* folder;
        int runs;
        bool keepsState;
    };
    const Row rows[] = {
        { "three new levels go, innermost first", 0, L"Data\\App\\Logs", 1, true },
        { "a parent that was there stays", L"Data", L"Data\\App\\Logs", 1, true },
        { "a folder that was there is no change: nothing is written", L"Data", L"Data", 1, false },
        { "a retried step keeps the first run's record", 0, L"Data\\App", 2, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        if (row.existing)
            makeFolder(row.existing);
        const std::map<std::wstring, std::string> before = TreeContent(place.path());
        for (int i = 0; i < row.runs; ++i)
            ASSERT_EQ(0, run("EnsureFolderExists", folder(row.folder)));
        EXPECT_TRUE(PathExists(place.file(row.folder)));
        EXPECT_EQ(row.keepsState, !stateEmpty());

        ASSERT_EQ(0, run("RollbackEnsureFolderExists", folder(row.folder)));
        EXPECT_EQ(before, TreeContent(place.path()));
        EXPECT_EQ(!row.keepsState, context->HasLine(L"Nothing to rollback", 2));
        EXPECT_TRUE(stateEmpty());
        if (row.existing)
            RemoveTree(place.file(row.existing));
    }
}

TEST_F(ShellTwinTest, AFolderThatHoldsFilesStaysWithItsParents)
{
    ASSERT_EQ(0, run("EnsureFolderExists", folder(L"Data/App")));
    WriteBytes(place.file(L"Data\\App\\user.txt"), "mine");
    ASSERT_EQ(0, run("RollbackEnsureFolderExists", folder(L"Data\\App")));
    EXPECT_EQ("mine", ReadBytes(place.file(L"Data\\App\\user.txt")));
    EXPECT_TRUE(context->HasLine(L"The folder " + place.file(L"Data\\App") + L" stays: it is not empty", 2));
    EXPECT_TRUE(stateEmpty());
}

TEST_F(ShellTwinTest, ATwinLeavesAnObjectThatChangedSinceAndKeepsItsState)
{
    // The create's shortcut edited afterwards: the user's edit stays.
    const RecordingContext::Values notes = shortcut(L"Notes.lnk", kProgram);
    placeUsersFile(L"Notes.lnk");
    ASSERT_EQ(0, run("CreateShortcut", notes));
    WriteBytes(place.file(L"Notes.lnk"), "edited since");
    expectLeftAsItIs("RollbackCreateShortcut", notes);
    EXPECT_EQ("edited since", ReadBytes(place.file(L"Notes.lnk")));
    // A retried create finds the same change and refuses to write over it.
    EXPECT_EQ(1, run("CreateShortcut", notes));
    EXPECT_EQ("edited since", ReadBytes(place.file(L"Notes.lnk")));
    clearState();
    DeleteFileW(place.file(L"Notes.lnk").c_str());

    // A shortcut made at the place after the removal is someone else's.
    const RecordingContext::Values removed = shortcut(L"Old.lnk", kProgram);
    placeUsersFile(L"Old.lnk");
    ASSERT_EQ(0, run("RemoveShortcut", removed));
    WriteBytes(place.file(L"Old.lnk"), "new one");
    expectLeftAsItIs("RollbackRemoveShortcut", removed);
    EXPECT_EQ("new one", ReadBytes(place.file(L"Old.lnk")));
    // A retried removal would delete it with no backup of its own.
    EXPECT_EQ(1, run("RemoveShortcut", removed));
    EXPECT_EQ("new one", ReadBytes(place.file(L"Old.lnk")));
    clearState();

    // A file where the made folder was is not the folder the action made.
    ASSERT_EQ(0, run("EnsureFolderExists", folder(L"Made")));
    ASSERT_TRUE(RemoveDirectoryW(place.file(L"Made").c_str()));
    WriteBytes(place.file(L"Made"), "a file now");
    expectLeftAsItIs("RollbackEnsureFolderExists", folder(L"Made"));
    EXPECT_EQ("a file now", ReadBytes(place.file(L"Made")));
}

TEST_F(ShellTwinTest, AnActionThatChangesNothingWritesNoState)
{
    struct Row {
        const char* why;
        const char* action;
        const char* twin;
        RecordingContext::Values arguments;
    };
    RecordingContext::Values skipped = shortcut(L"App.lnk", kProgram);
    skipped[L"runAction"] = L"0";
    const Row rows[] = {
        { "a skipped create", "CreateShortcut", "RollbackCreateShortcut", skipped },
        { "a removal of a shortcut that is not there", "RemoveShortcut", "RollbackRemoveShortcut",
          shortcut(L"Gone.lnk", kProgram) },
        { "a folder that is there", "EnsureFolderExists", "RollbackEnsureFolderExists", folder(L"") },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(0, run(row.action, row.arguments));
        EXPECT_TRUE(stateEmpty());
        EXPECT_EQ(0, run(row.twin, row.arguments));
        EXPECT_EQ(std::vector<std::wstring>{ L"Nothing to rollback" }, context->Texts());
    }
}

TEST_F(ShellTwinTest, ACreateThatCannotKeepTheUsersShortcutLeavesItAndNoState)
{
    placeUsersFile(L"Held.lnk");
    HANDLE held = CreateFileW(place.file(L"Held.lnk").c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(1, run("CreateShortcut", shortcut(L"Held.lnk", kProgram)));
    CloseHandle(held);
    const std::vector<std::wstring> errors = context->Texts(4);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(0u, errors[0].find(L"Couldn't keep " + place.file(L"Held.lnk"))) << Narrow(errors[0]);
    EXPECT_EQ(kUsersBytes, ReadBytes(place.file(L"Held.lnk")));
    EXPECT_TRUE(stateEmpty());
}

TEST_F(ShellTwinTest, TwinsNeedTheInvocationDataFolder)
{
    for (const char* twin : { "RollbackCreateShortcut", "RollbackRemoveShortcut", "RollbackEnsureFolderExists" }) {
        RecordingContextPtr bare = RecordingContext::Create(shortcut(L"App.lnk", kProgram));
        bare->arguments[L"FolderName"] = place.file(L"Data");
        EXPECT_EQ(1, CallAction(twin, bare)) << twin;
        EXPECT_EQ(std::vector<std::wstring>{ L"Refusing $action.invocationdata.dir \"\": the path is empty" },
                  bare->Texts(4))
            << twin;
    }
}
