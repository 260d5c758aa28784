// DeleteRegistryKey against the real registry.
#include <gtest/gtest.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
const wchar_t* const kKey = L"Software\\VerrandDeleteTest";

class DeleteRegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() { RegRemoveTree(HKEY_LOCAL_MACHINE, kKey); }
    void TearDown() { RegRemoveTree(HKEY_LOCAL_MACHINE, kKey); }

    int run(const std::wstring& root, const std::wstring& path, const std::wstring& value)
    {
        context = RecordingContext::Create();
        context->arguments[L"Root"] = root;
        context->arguments[L"Path"] = path;
        if (!value.empty())
            context->arguments[L"Value"] = value;
        return CallAction("DeleteRegistryKey", context);
    }

    RecordingContextPtr context;
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
