// CreateUserConfigRegistryKey and RemoveUserConfigRegistryKey and their
// twins on the real registry, looked at in the 64-bit view where they write.
#include <gtest/gtest.h>

#include "actions/registry/UserConfigRegistry.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
const wchar_t* const kKey = L"Software\\VerrandUserConfigTest\\Config";
const wchar_t* const kParent = L"Software\\VerrandUserConfigTest";
const REGSAM k64 = KEY_WOW64_64KEY;
const wchar_t* const kMayNotBeEmpty = L"RemoveUserConfigRegistryKey:: Failed to delete registry key (may not be empty).";

class UserConfigRegistryTest : public ::testing::Test {
protected:
    void SetUp() { clean(); }
    void TearDown() { clean(); }
    void clean()
    {
        for (REGSAM view : { KEY_WOW64_64KEY, KEY_WOW64_32KEY }) {
            RegRemoveTree(HKEY_CURRENT_USER, kParent, view);
            RegRemoveTree(HKEY_LOCAL_MACHINE, kParent, view);
        }
    }

    int create(const std::wstring& path, const std::wstring& name, const std::wstring& data,
               const std::wstring& type = L"string", const std::wstring& perUser = L"")
    {
        context = newContext();
        context->arguments[L"RegistryPath"] = path;
        context->arguments[L"RegistryValueName"] = name;
        context->arguments[L"RegistryValueData"] = data;
        context->arguments[L"RegistryType"] = type;
        context->arguments[L"PerUser"] = perUser;
        return CallAction("CreateUserConfigRegistryKey", context);
    }

    int remove(const std::wstring& path, const std::wstring& name, const std::wstring& perUser = L"",
               const std::wstring& duAction = L"uninstall")
    {
        context = newContext();
        context->properties[L"$du$action"] = duAction;
        context->arguments[L"RegistryPath"] = path;
        context->arguments[L"RegistryValueName"] = name;
        context->arguments[L"PerUser"] = perUser;
        return CallAction("RemoveUserConfigRegistryKey", context);
    }

    RecordingContextPtr newContext()
    {
        RecordingContextPtr made = RecordingContext::Create();
        if (!stateFolder.empty())
            made->properties[L"$action.invocationdata.dir"] = stateFolder;
        return made;
    }

    // A twin, given the arguments of its action.
    int rollback(const char* twin, const std::wstring& path, const std::wstring& name, const std::wstring& perUser = L"")
    {
        context = newContext();
        context->arguments[L"RegistryPath"] = path;
        context->arguments[L"RegistryValueName"] = name;
        context->arguments[L"PerUser"] = perUser;
        return CallAction(twin, context);
    }

    void expectOnlyLine(int level, const std::wstring& text)
    {
        ASSERT_EQ(1u, context->lines.size()) << Narrow(text);
        EXPECT_EQ(level, context->lines[0].level);
        EXPECT_EQ(text, context->lines[0].text);
    }

    RecordingContextPtr context;
    std::wstring stateFolder;
};
}

TEST(UserConfigRegistryPath, SplitsAtTheFirstBackslash)
{
    RegistryLocation location = SplitRegistryPath(L"HKMU\\Software\\Example\\Config");
    EXPECT_EQ(L"HKMU", location.rootName);
    EXPECT_EQ(L"Software\\Example\\Config", location.subKey);
    location = SplitRegistryPath(L"HKCU");
    EXPECT_EQ(L"HKCU", location.rootName);
    EXPECT_EQ(L"", location.subKey);
    location = SplitRegistryPath(L"\\x");
    EXPECT_EQ(L"", location.rootName);
    EXPECT_EQ(L"x", location.subKey);
}

TEST(UserConfigRegistryPath, RootNamesAreExactAndHkmuFollowsPerUser)
{
    RecordingContext logger;
    HKEY root = 0;
    struct Case {
        const wchar_t* name;
        HKEY key;
    } accepted[] = {
        { L"HKCR", HKEY_CLASSES_ROOT },  { L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT },
        { L"HKCU", HKEY_CURRENT_USER },  { L"HKEY_CURRENT_USER", HKEY_CURRENT_USER },
        { L"HKLM", HKEY_LOCAL_MACHINE }, { L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE },
        { L"HKU", HKEY_USERS },          { L"HKEY_USERS", HKEY_USERS },
    };
    for (const Case& c : accepted) {
        EXPECT_TRUE(ResolveRootKey(logger, c.name, L"maybe", root)) << Narrow(c.name);
        EXPECT_EQ(c.key, root) << Narrow(c.name);
    }
    EXPECT_TRUE(ResolveRootKey(logger, L"HKMU", L" Yes ", root));
    EXPECT_EQ(HKEY_CURRENT_USER, root);
    EXPECT_TRUE(ResolveRootKey(logger, L"HKMU", L"OFF", root));
    EXPECT_EQ(HKEY_LOCAL_MACHINE, root);
    EXPECT_TRUE(logger.lines.empty());

    for (const wchar_t* refused : { L"hkcu", L"HKEY_PERFORMANCE_DATA", L"HKEY_CURRENT_CONFIG", L" HKLM", L"" }) {
        logger.lines.clear();
        EXPECT_FALSE(ResolveRootKey(logger, refused, L"1", root));
        EXPECT_EQ((std::vector<std::wstring>{ std::wstring(L"Invalid HKEY: ") + refused }), logger.Texts(4));
    }
    for (const wchar_t* neither : { L"maybe", L"", L"y" }) {
        logger.lines.clear();
        EXPECT_FALSE(ResolveRootKey(logger, L"HKMU", neither, root));
        EXPECT_EQ((std::vector<std::wstring>{ std::wstring(L"Unsupported PerUser value: ") + neither }),
                  logger.Texts(4));
    }
}

TEST_F(UserConfigRegistryTest, HkmuWritesForTheUserOrTheMachine)
{
    EXPECT_EQ(0, create(std::wstring(L"HKMU\\") + kKey, L"Theme", L"dark", L"string", L" Yes "));
    EXPECT_TRUE(context->lines.empty());
    EXPECT_EQ(L"dark", RegGetText(HKEY_CURRENT_USER, kKey, L"Theme", k64));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kKey, k64));

    EXPECT_EQ(0, create(std::wstring(L"HKMU\\") + kKey, L"Theme", L"light", L"string", L"0"));
    DWORD type = 0;
    EXPECT_EQ(L"light", RegGetText(HKEY_LOCAL_MACHINE, kKey, L"Theme", k64, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    // The 64-bit view, also from a 32-bit process.
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY));

    EXPECT_EQ(1, create(std::wstring(L"HKMU\\") + kKey, L"Other", L"x", L"string", L"maybe"));
    expectOnlyLine(4, L"Unsupported PerUser value: maybe");
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kKey, L"Other", k64));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, kKey, L"Other", k64));
}

TEST_F(UserConfigRegistryTest, ArgumentsAreReadBeforeAnythingIsDecided)
{
    EXPECT_EQ(1, create(L"hkcu\\Software\\X", L"n", L"d", L"binary", L"1"));
    const std::vector<std::wstring> order = { L"RegistryPath", L"RegistryValueName", L"RegistryValueData",
                                              L"RegistryType", L"PerUser" };
    EXPECT_EQ(order, context->argumentsRead);
    // The root is refused before the type is looked at.
    expectOnlyLine(4, L"Invalid HKEY: hkcu");
}

TEST_F(UserConfigRegistryTest, OnlyStringValuesAreWritten)
{
    const std::wstring path = std::wstring(L"HKEY_CURRENT_USER\\") + kKey;
    struct Case {
        const wchar_t* type;
        const wchar_t* line;
    } refused[] = {
        { L"integer", L"integer registry type not supported." },
        { L"binary", L"binary registry type not supported." },
        { L"expandable", L"expandable registry type not supported." },
        { L"multiString", L"multiString registry type not supported." },
        { L"String", L"Unsupported registry type." },
        { L"", L"Unsupported registry type." },
    };
    for (const Case& c : refused) {
        EXPECT_EQ(1, create(path, L"Value", L"1", c.type));
        expectOnlyLine(4, c.line);
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kKey, k64)) << Narrow(c.type);
    }
    EXPECT_EQ(0, create(path, L"Value", L"1", L"string"));
    EXPECT_EQ(L"1", RegGetText(HKEY_CURRENT_USER, kKey, L"Value", k64));
}

TEST_F(UserConfigRegistryTest, DefaultValueIsWrittenWithItsTerminator)
{
    EXPECT_EQ(0, create(std::wstring(L"HKCU\\") + kKey, L"", L"abc"));
    HKEY key = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ | k64, &key));
    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, 0, 0, &type, 0, &size));
    RegCloseKey(key);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(4 * sizeof(wchar_t), size);

    EXPECT_EQ(0, remove(std::wstring(L"HKCU\\") + kKey, L""));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kKey, k64));
}

TEST_F(UserConfigRegistryTest, RefusedWithoutARootName)
{
    EXPECT_EQ(1, create(L"", L"n", L"d"));
    expectOnlyLine(4, L"Invalid HKEY: ");
    EXPECT_EQ(1, remove(L"Software\\X", L"n"));
    expectOnlyLine(4, L"Invalid HKEY: Software");
}

TEST_F(UserConfigRegistryTest, RemovalHappensOnlyAtUninstall)
{
    RegSetText(HKEY_CURRENT_USER, kKey, L"Theme", L"dark", k64);
    for (const wchar_t* action : { L"install", L"Uninstall", L"repair", L"" }) {
        EXPECT_EQ(0, remove(std::wstring(L"HKCU\\") + kKey, L"Theme", L"", action));
        expectOnlyLine(2, std::wstring(L"Skipping action for the following kind of DU transaction: ") + action);
        EXPECT_EQ((std::vector<std::wstring>{ L"$du$action" }), context->argumentsRead);
    }
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kKey, L"Theme", k64));
}

TEST_F(UserConfigRegistryTest, LastValueTakesTheKeyWithIt)
{
    RegSetText(HKEY_CURRENT_USER, kKey, L"Theme", L"dark", k64);
    EXPECT_EQ(0, remove(std::wstring(L"HKMU\\") + kKey, L"Theme", L"true"));
    EXPECT_TRUE(context->lines.empty());
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kKey, k64));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kParent, k64));
}

TEST_F(UserConfigRegistryTest, OtherValuesAndSubkeysKeepTheKey)
{
    RegSetText(HKEY_CURRENT_USER, kKey, L"Theme", L"dark", k64);
    RegSetText(HKEY_CURRENT_USER, kKey, L"Other", L"kept", k64);
    EXPECT_EQ(0, remove(std::wstring(L"HKCU\\") + kKey, L"Theme"));
    expectOnlyLine(2, kMayNotBeEmpty);
    EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kKey, L"Theme", k64));
    EXPECT_EQ(L"kept", RegGetText(HKEY_CURRENT_USER, kKey, L"Other", k64));

    RegSetText(HKEY_CURRENT_USER, std::wstring(kKey) + L"\\Child", L"c", L"x", k64);
    EXPECT_EQ(0, remove(std::wstring(L"HKCU\\") + kKey, L"Other"));
    expectOnlyLine(2, kMayNotBeEmpty);
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, std::wstring(kKey) + L"\\Child", L"c", k64));
}

TEST_F(UserConfigRegistryTest, EmptiedKeyGoesInTheViewTheValueLeft)
{
    // The value goes in the 64-bit view, and so does the key it leaves
    // empty. The 32-bit process's own view of the machine's software key is
    // another key, empty too, but not the one the value was in: it stays.
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Theme", L"dark", k64);
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Scratch", L"", KEY_WOW64_32KEY);
    HKEY key = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &key));
    RegDeleteValueW(key, L"Scratch");
    RegCloseKey(key);

    EXPECT_EQ(0, remove(std::wstring(L"HKMU\\") + kKey, L"Theme", L"no"));
    EXPECT_TRUE(context->lines.empty());
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kKey, k64));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kParent, k64));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY));
}

TEST_F(UserConfigRegistryTest, MissingValueOrKeyFails)
{
    RegSetText(HKEY_CURRENT_USER, kKey, L"Other", L"kept", k64);
    EXPECT_EQ(1, remove(std::wstring(L"HKCU\\") + kKey, L"Theme"));
    expectOnlyLine(4, L"RemoveUserConfigRegistryKey:: failed to delete registry key value.");
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kKey, L"Other", k64));

    EXPECT_EQ(1, remove(std::wstring(L"HKCU\\") + kKey + L"\\Missing", L"Theme"));
    expectOnlyLine(4, L"RemoveUserConfigRegistryKey:: failed to find registry key.");

    EXPECT_EQ(1, remove(std::wstring(L"HKMU\\") + kKey, L"Other", L"maybe"));
    expectOnlyLine(4, L"Unsupported PerUser value: maybe");
    EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kKey, L"Other", k64));
}

namespace {
class UserConfigRegistryTwinTest : public UserConfigRegistryTest {
protected:
    UserConfigRegistryTwinTest() { stateFolder = dir.file(L"state"); }
    std::map<std::wstring, std::string> content(HKEY root, const std::wstring& key = kKey)
    {
        return RegKeyContent(root, key, k64);
    }
    ScopedTempDir dir;
};

const struct {
    HKEY root;
    const wchar_t* path;  // with the root's name
    const wchar_t* perUser;
} kConfigRoots[] = { { HKEY_CURRENT_USER, L"HKMU\\Software\\VerrandUserConfigTest\\Config", L"yes" },
                     { HKEY_LOCAL_MACHINE, L"HKLM\\Software\\VerrandUserConfigTest\\Config", L"" } };
}

TEST_F(UserConfigRegistryTwinTest, CreateTwinGivesBackWhatStoodThereInEveryType)
{
    for (const auto& root : kConfigRoots) {
        // What the user had under the name the write takes: each type, and
        // nothing at all.
        std::vector<RegistryValue> befores = EveryRegistryType();
        befores.push_back(RegistryValue());
        for (RegistryValue before : befores) {
            before.name = L"Theme";
            RegSetText(root.root, kKey, L"Other", L"stays", k64);
            RegSetRaw(root.root, kKey, before, k64);
            const std::map<std::wstring, std::string> was = content(root.root);
            EXPECT_EQ(0, create(root.path, L"Theme", L"dark", L"string", root.perUser));
            EXPECT_EQ(L"dark", RegGetText(root.root, kKey, L"Theme", k64));
            EXPECT_EQ(0, rollback("RollbackCreateUserConfigRegistryKey", root.path, L"Theme", root.perUser));
            EXPECT_TRUE(context->Texts(4).empty()) << before.type;
            EXPECT_EQ(was, content(root.root)) << before.type;
            EXPECT_TRUE(TreeContent(stateFolder).empty()) << before.type;
            clean();
        }
    }
}

TEST_F(UserConfigRegistryTwinTest, CreateTwinRemovesTheKeysTheWriteMadeWhileEmpty)
{
    EXPECT_EQ(0, create(std::wstring(L"HKCU\\") + kKey, L"Theme", L"dark"));
    EXPECT_EQ(0, rollback("RollbackCreateUserConfigRegistryKey", std::wstring(L"HKCU\\") + kKey, L"Theme"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kParent, k64));
    EXPECT_EQ((std::vector<std::wstring>{
                  L"RollbackCreateUserConfigRegistryKey:: Gave back HKEY_CURRENT_USER\\" + std::wstring(kKey) +
                      L" (value \"Theme\")",
                  L"RollbackCreateUserConfigRegistryKey:: Removed the key the write created: HKEY_CURRENT_USER\\" +
                      std::wstring(kKey),
                  L"RollbackCreateUserConfigRegistryKey:: Removed the key the write created: HKEY_CURRENT_USER\\" +
                      std::wstring(kParent) }),
              context->Texts(2));

    // A key that someone filled meanwhile stays, with what is in it.
    EXPECT_EQ(0, create(std::wstring(L"HKCU\\") + kKey, L"Theme", L"dark"));
    RegSetText(HKEY_CURRENT_USER, kParent, L"Mine", L"kept", k64);
    EXPECT_EQ(0, rollback("RollbackCreateUserConfigRegistryKey", std::wstring(L"HKCU\\") + kKey, L"Theme"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kKey, k64));
    EXPECT_EQ(L"kept", RegGetText(HKEY_CURRENT_USER, kParent, L"Mine", k64));
}

TEST_F(UserConfigRegistryTwinTest, RemoveTwinPutsBackTheValueAndItsKey)
{
    const std::wstring path = std::wstring(L"HKCU\\") + kKey;
    // The last value goes with its key; one of several leaves the key.
    for (bool alone : { true, false }) {
        RegSetRaw(HKEY_CURRENT_USER, kKey, RawValue(L"Theme", REG_EXPAND_SZ, std::string("%\0x\0", 4)), k64);
        if (!alone)
            RegSetText(HKEY_CURRENT_USER, kKey, L"Other", L"stays", k64);
        const std::map<std::wstring, std::string> was = content(HKEY_CURRENT_USER);
        EXPECT_EQ(0, remove(path, L"Theme"));
        EXPECT_EQ(alone, !RegKeyExists(HKEY_CURRENT_USER, kKey, k64));
        EXPECT_EQ(0, rollback("RollbackRemoveUserConfigRegistryKey", path, L"Theme"));
        EXPECT_EQ(was, content(HKEY_CURRENT_USER)) << alone;
        EXPECT_TRUE(TreeContent(stateFolder).empty()) << alone;
        clean();
    }
    // A retried removal finds the value gone, fails as it always did, and
    // keeps the first run's state.
    RegSetText(HKEY_CURRENT_USER, kKey, L"Theme", L"mine", k64);
    EXPECT_EQ(0, remove(path, L"Theme"));
    EXPECT_EQ(1, remove(path, L"Theme"));
    EXPECT_EQ(0, rollback("RollbackRemoveUserConfigRegistryKey", path, L"Theme"));
    EXPECT_EQ(L"mine", RegGetText(HKEY_CURRENT_USER, kKey, L"Theme", k64));
}

TEST_F(UserConfigRegistryTwinTest, TheUsersDwordSurvivesAFailedInstall)
{
    // The user had a number under the name; the install writes a string
    // over it and fails later: the twin gives the number back, where the
    // removal (the inexact pair) would have deleted it.
    RegSetNumber(HKEY_CURRENT_USER, kKey, L"Level", 7, k64);
    const std::wstring path = std::wstring(L"HKCU\\") + kKey;
    EXPECT_EQ(0, create(path, L"Level", L"9"));
    EXPECT_EQ(0, rollback("RollbackCreateUserConfigRegistryKey", path, L"Level"));
    DWORD type = 0;
    EXPECT_EQ(L"7", RegGetText(HKEY_CURRENT_USER, kKey, L"Level", k64, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);

    // A retried write keeps the state of the first; the same value again
    // changes nothing and keeps none.
    EXPECT_EQ(0, create(path, L"Level", L"9"));
    EXPECT_EQ(0, create(path, L"Level", L"9"));
    EXPECT_EQ(0u, context->Texts(2).at(0).find(L"CreateUserConfigRegistryKey:: Keeping the rollback state"));
    EXPECT_EQ(0, rollback("RollbackCreateUserConfigRegistryKey", path, L"Level"));
    EXPECT_EQ(L"7", RegGetText(HKEY_CURRENT_USER, kKey, L"Level", k64));
    RegSetText(HKEY_CURRENT_USER, kKey, L"Level", L"9", k64);
    EXPECT_EQ(0, create(path, L"Level", L"9"));
    EXPECT_TRUE(TreeContent(stateFolder).empty());
    EXPECT_EQ(0, rollback("RollbackCreateUserConfigRegistryKey", path, L"Level"));
    EXPECT_EQ((std::vector<std::wstring>{ L"Nothing to rollback" }), context->Texts());
}

TEST_F(UserConfigRegistryTwinTest, ValueChangedSinceIsLeftAloneWithTheState)
{
    const std::wstring path = std::wstring(L"HKCU\\") + kKey;
    const struct {
        const char* action;
        const char* twin;
        const wchar_t* refusal;  // how the twin's line begins
    } rows[] = {
        { "CreateUserConfigRegistryKey", "RollbackCreateUserConfigRegistryKey",
          L"RollbackCreateUserConfigRegistryKey:: Leaving " },
        { "RemoveUserConfigRegistryKey", "RollbackRemoveUserConfigRegistryKey",
          L"RollbackRemoveUserConfigRegistryKey:: Leaving " },
    };
    for (const auto& row : rows) {
        RegSetText(HKEY_CURRENT_USER, kKey, L"Theme", L"user's", k64);
        if (std::string(row.action) == "CreateUserConfigRegistryKey")
            EXPECT_EQ(0, create(path, L"Theme", L"dark"));
        else
            EXPECT_EQ(0, remove(path, L"Theme"));
        RegSetText(HKEY_CURRENT_USER, kKey, L"Theme", L"written since", k64);
        const std::map<std::wstring, std::string> state = TreeContent(stateFolder);

        EXPECT_EQ(1, rollback(row.twin, path, L"Theme")) << row.twin;
        ASSERT_EQ(1u, context->Texts(4).size()) << row.twin;
        EXPECT_EQ(0u, context->Texts(4)[0].find(row.refusal)) << row.twin;
        // A retried step would take what was written since: refused too.
        const int retried = std::string(row.action) == "CreateUserConfigRegistryKey" ? create(path, L"Theme", L"dark")
                                                                                       : remove(path, L"Theme");
        EXPECT_EQ(1, retried) << row.action;
        EXPECT_EQ(1u, context->Texts(4).size()) << row.action;
        EXPECT_EQ(L"written since", RegGetText(HKEY_CURRENT_USER, kKey, L"Theme", k64)) << row.twin;
        EXPECT_EQ(state, TreeContent(stateFolder)) << row.twin;
        clean();
        RemoveTree(stateFolder);
    }
}
