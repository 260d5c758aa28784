// DeleteRegistryKey and its twin against the real registry.
#include <gtest/gtest.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
const wchar_t* const kKey = L"Software\\VerrandDeleteTest";

class DeleteRegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() { clean(); }
    void TearDown() { clean(); }
    void clean()
    {
        for (REGSAM view : { KEY_WOW64_64KEY, KEY_WOW64_32KEY }) {
            RegRemoveTree(HKEY_LOCAL_MACHINE, kKey, view);
            RegRemoveTree(HKEY_CURRENT_USER, kKey, view);
        }
    }

    int run(const std::wstring& root, const std::wstring& path, const std::wstring& value,
            const char* action = "DeleteRegistryKey")
    {
        context = RecordingContext::Create();
        context->arguments[L"Root"] = root;
        context->arguments[L"Path"] = path;
        if (!value.empty())
            context->arguments[L"Value"] = value;
        if (!stateFolder.empty())
            context->properties[L"$action.invocationdata.dir"] = stateFolder;
        return CallAction(action, context);
    }
    int rollback(const std::wstring& root, const std::wstring& path, const std::wstring& value)
    {
        return run(root, path, value, "RollbackDeleteRegistryKey");
    }

    RecordingContextPtr context;
    std::wstring stateFolder;
};
}

TEST_F(DeleteRegistryKeyTest, DeletesValueAndKeepsKey)
{
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Setting", L"x");
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Other", L"y");
    EXPECT_EQ(0, run(L"HKEY_LOCAL_MACHINE", kKey, L"Setting"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kKey, L"Setting"));
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, kKey, L"Other"));
    EXPECT_TRUE(context->lines.empty());
}

TEST_F(DeleteRegistryKeyTest, DeletesKeyWithoutSubkeys)
{
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Setting", L"x");
    EXPECT_EQ(0, run(L"HKEY_LOCAL_MACHINE", kKey, L""));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_TRUE(context->lines.empty());
}

TEST_F(DeleteRegistryKeyTest, RefusesKeyWithSubkeyButReportsDone)
{
    RegSetText(HKEY_LOCAL_MACHINE, std::wstring(kKey) + L"\\Child", L"v", L"x");
    EXPECT_EQ(0, run(L"HKEY_LOCAL_MACHINE", kKey, L""));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, std::wstring(kKey) + L"\\Child"));
    ASSERT_EQ(1u, context->lines.size());
    EXPECT_EQ(2, context->lines[0].level);
    EXPECT_EQ(std::wstring(L"failed to delete registry key:") + kKey, context->lines[0].text);
}

TEST_F(DeleteRegistryKeyTest, MissingValueOrKeyIsReportedAndDone)
{
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Other", L"y");
    EXPECT_EQ(0, run(L"HKEY_LOCAL_MACHINE", kKey, L"Setting"));
    EXPECT_TRUE(context->HasLine(std::wstring(L"failed to delete registry value:") + kKey + L"Setting", 2));

    EXPECT_EQ(0, run(L"HKEY_LOCAL_MACHINE", L"Software\\VerrandNoSuchKey", L"Setting"));
    EXPECT_TRUE(context->HasLine(L"failed to delete registry value:Software\\VerrandNoSuchKeySetting", 2));
}

TEST_F(DeleteRegistryKeyTest, OnlyExactLongRootNamesAreAccepted)
{
    for (const wchar_t* root : { L"hkey_local_machine", L"HKLM", L"HKEY_CURRENT_CONFIG", L"", L" HKEY_USERS" }) {
        RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Setting", L"x");
        EXPECT_EQ(1, run(root, kKey, L"Setting")) << Narrow(root);
        ASSERT_EQ(1u, context->lines.size());
        EXPECT_EQ(2, context->lines[0].level);
        EXPECT_EQ(std::wstring(L"Root is invalid:") + root, context->lines[0].text);
        EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, kKey, L"Setting"));
    }
}

TEST_F(DeleteRegistryKeyTest, CurrentUserRootReachesItsOwnHive)
{
    RegSetText(HKEY_CURRENT_USER, kKey, L"Setting", L"x");
    EXPECT_EQ(0, run(L"HKEY_CURRENT_USER", kKey, L""));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kKey));
}

TEST_F(DeleteRegistryKeyTest, WorksInTheProcessDefaultView)
{
    SKIP_UNLESS_WOW64();
    // A 32-bit process under WOW64 touches the redirected key.
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Setting", L"x", KEY_WOW64_64KEY);
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Setting", L"x", KEY_WOW64_32KEY);
    EXPECT_EQ(0, run(L"HKEY_LOCAL_MACHINE", kKey, L"Setting"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kKey, L"Setting", KEY_WOW64_32KEY));
    EXPECT_TRUE(RegValueExists(HKEY_LOCAL_MACHINE, kKey, L"Setting", KEY_WOW64_64KEY));
    RegRemoveTree(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY);
}

TEST_F(DeleteRegistryKeyTest, EmptyPathWithoutValueIsRefusedBeforeAnythingIsTouched)
{
    RegSetText(HKEY_CURRENT_USER, kKey, L"Setting", L"x");
    for (const wchar_t* path : { L"", L"\\", L"\\\\" }) {
        EXPECT_EQ(1, run(L"HKEY_CURRENT_USER", path, L"")) << Narrow(path);
        EXPECT_EQ((std::vector<std::wstring>{ std::wstring(L"Refusing Path \"") + path +
                                              L"\": without a Value it names the root key HKEY_CURRENT_USER itself" }),
                  context->Texts(4));
        EXPECT_EQ(1u, context->lines.size());
    }
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kKey, L"Setting"));
}

namespace {
class DeleteRegistryKeyTwinTest : public DeleteRegistryKeyTest {
protected:
    DeleteRegistryKeyTwinTest() { stateFolder = dir.file(L"state"); }
    // Both views hold the same values: only the process's own view may
    // change, and the twin gives back exactly what was in it.
    void fill(HKEY root, const std::vector<RegistryValue>& values)
    {
        for (REGSAM view : { KEY_WOW64_64KEY, KEY_WOW64_32KEY }) {
            for (const RegistryValue& value : values)
                RegSetRaw(root, kKey, value, view);
        }
    }
    std::map<std::wstring, std::string> ownView(HKEY root) { return RegKeyContent(root, kKey); }
    std::map<std::wstring, std::string> otherView(HKEY root)
    {
        return RegKeyContent(root, kKey, sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY);
    }

    ScopedTempDir dir;
};

const struct {
    HKEY root;
    const wchar_t* name;
    bool sharedViews;  // the user's Software key is one key in both views
} kRoots[] = { { HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", false },
               { HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", true } };
}

TEST_F(DeleteRegistryKeyTwinTest, ValuesOfEveryTypeComeBackExactlyInTheirView)
{
    for (const auto& root : kRoots) {
        fill(root.root, EveryRegistryType());
        const std::map<std::wstring, std::string> before = ownView(root.root);
        const std::map<std::wstring, std::string> other = otherView(root.root);
        for (const RegistryValue& value : EveryRegistryType()) {
            // An empty Value names the key itself.
            if (value.name.empty())
                continue;
            EXPECT_EQ(0, run(root.name, kKey, value.name)) << Narrow(value.name);
            EXPECT_TRUE(context->lines.empty()) << Narrow(value.name);
            EXPECT_FALSE(RegValueExists(root.root, kKey, value.name)) << Narrow(value.name);
            EXPECT_EQ(0, rollback(root.name, kKey, value.name)) << Narrow(value.name);
            EXPECT_TRUE(context->Texts(4).empty()) << Narrow(value.name);
            EXPECT_EQ(before, ownView(root.root)) << Narrow(value.name);
            if (!root.sharedViews) {
                EXPECT_EQ(other, otherView(root.root)) << Narrow(value.name);
            }
        }
        // Every state was consumed.
        EXPECT_TRUE(TreeContent(stateFolder).empty());
        clean();
    }
}

TEST_F(DeleteRegistryKeyTwinTest, KeyComesBackWithEveryValue)
{
    for (const auto& root : kRoots) {
        fill(root.root, EveryRegistryType());
        const std::map<std::wstring, std::string> before = ownView(root.root);
        const std::map<std::wstring, std::string> other = otherView(root.root);
        EXPECT_EQ(0, run(root.name, kKey, L""));
        EXPECT_EQ((std::map<std::wstring, std::string>{ { L"<no key>", "" } }), ownView(root.root));
        if (!root.sharedViews) {
            EXPECT_EQ(other, otherView(root.root));
        }
        EXPECT_EQ(0, rollback(root.name, kKey, L""));
        EXPECT_EQ(before, ownView(root.root));
        if (!root.sharedViews) {
            EXPECT_EQ(other, otherView(root.root));
        }
        EXPECT_TRUE(TreeContent(stateFolder).empty());

        // An empty key comes back empty.
        clean();
        RegSetRaw(root.root, kKey, RegistryValue());
        EXPECT_EQ(0, run(root.name, kKey, L""));
        EXPECT_FALSE(RegKeyExists(root.root, kKey));
        EXPECT_EQ(0, rollback(root.name, kKey, L""));
        EXPECT_EQ((std::map<std::wstring, std::string>{}), ownView(root.root));
        clean();
    }
}

TEST_F(DeleteRegistryKeyTwinTest, RetriedDeletionKeepsTheFirstStateAndNothingDeletedKeepsNone)
{
    RegSetRaw(HKEY_CURRENT_USER, kKey, RawValue(L"Setting", REG_BINARY, std::string("\0mine\0", 6)));
    const std::map<std::wstring, std::string> before = ownView(HKEY_CURRENT_USER);
    EXPECT_EQ(0, run(L"HKEY_CURRENT_USER", kKey, L"Setting"));
    // The retried step finds nothing to delete and keeps what the first one
    // kept.
    EXPECT_EQ(0, run(L"HKEY_CURRENT_USER", kKey, L"Setting"));
    EXPECT_TRUE(context->HasLine(std::wstring(L"failed to delete registry value:") + kKey + L"Setting", 2));
    EXPECT_EQ(0, rollback(L"HKEY_CURRENT_USER", kKey, L"Setting"));
    EXPECT_EQ(before, ownView(HKEY_CURRENT_USER));
    EXPECT_EQ(0, rollback(L"HKEY_CURRENT_USER", kKey, L"Setting"));
    EXPECT_EQ((std::vector<std::wstring>{ L"Nothing to rollback" }), context->Texts());

    // A missing value, and a key that has subkeys, are not deleted: no
    // state is kept for them.
    EXPECT_EQ(0, run(L"HKEY_CURRENT_USER", kKey, L"Missing"));
    RegSetText(HKEY_CURRENT_USER, std::wstring(kKey) + L"\\Child", L"c", L"x");
    EXPECT_EQ(0, run(L"HKEY_CURRENT_USER", kKey, L""));
    EXPECT_TRUE(context->HasLine(std::wstring(L"failed to delete registry key:") + kKey, 2));
    EXPECT_TRUE(TreeContent(stateFolder).empty());
    EXPECT_EQ(0, rollback(L"HKEY_CURRENT_USER", kKey, L""));
    EXPECT_EQ((std::vector<std::wstring>{ L"Nothing to rollback" }), context->Texts());
}

TEST_F(DeleteRegistryKeyTwinTest, ValueWrittenSinceIsLeftAloneWithTheState)
{
    struct {
        const wchar_t* value;  // empty: the key
    } rows[] = { { L"Setting" }, { L"" } };
    for (const auto& row : rows) {
        RegSetText(HKEY_CURRENT_USER, kKey, L"Setting", L"user's");
        EXPECT_EQ(0, run(L"HKEY_CURRENT_USER", kKey, row.value));
        RegSetText(HKEY_CURRENT_USER, kKey, L"Setting", L"written since");
        const std::map<std::wstring, std::string> since = ownView(HKEY_CURRENT_USER);
        const std::map<std::wstring, std::string> state = TreeContent(stateFolder);

        // Neither the twin nor a retried deletion touches it, and the state
        // that holds the user's value stays.
        EXPECT_EQ(1, rollback(L"HKEY_CURRENT_USER", kKey, row.value)) << Narrow(row.value);
        ASSERT_EQ(1u, context->Texts(4).size());
        EXPECT_EQ(0u, context->Texts(4)[0].find(L"RollbackDeleteRegistryKey: Leaving ")) << Narrow(row.value);
        EXPECT_EQ(1, run(L"HKEY_CURRENT_USER", kKey, row.value)) << Narrow(row.value);
        ASSERT_EQ(1u, context->Texts(4).size());
        EXPECT_EQ(0u, context->Texts(4)[0].find(L"Refusing to delete ")) << Narrow(row.value);
        EXPECT_EQ(since, ownView(HKEY_CURRENT_USER));
        EXPECT_EQ(state, TreeContent(stateFolder));

        // Once it is gone again, the user's value comes back.
        clean();
        EXPECT_EQ(0, rollback(L"HKEY_CURRENT_USER", kKey, row.value));
        EXPECT_EQ(L"user's", RegGetText(HKEY_CURRENT_USER, kKey, L"Setting"));
        clean();
    }
}
