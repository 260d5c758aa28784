// The registry actions through the real export where the registry or the
// state folder does not play along: MoveRegistry on keys that cannot be
// written keeps the value where it was, and so does whatever had the target
// name; an action whose state cannot be written touches nothing; a twin
// that cannot write keeps its state.
#include <cstring>

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
const wchar_t* const kKey = L"Software\\VerrandFaultsMove";
const wchar_t* const kHive = L"HKEY_LOCAL_MACHINE\\Software\\VerrandFaultsMove";

// A key that everyone may read but nobody may write, through a deny entry in
// its ACL (which Wine checks when a key is opened), restored afterwards.
class WriteDeniedKey {
public:
    WriteDeniedKey(HKEY root, const std::wstring& key, REGSAM view) : m_key(0), m_previous(0)
    {
        if (RegOpenKeyExW(root, key.c_str(), 0, READ_CONTROL | WRITE_DAC | view, &m_key) != ERROR_SUCCESS)
            throw std::runtime_error("cannot open the key for its ACL");
        DWORD size = 0;
        RegGetKeySecurity(m_key, DACL_SECURITY_INFORMATION, 0, &size);
        m_previous = LocalAlloc(LMEM_FIXED, size);
        if (RegGetKeySecurity(m_key, DACL_SECURITY_INFORMATION, m_previous, &size) != ERROR_SUCCESS)
            throw std::runtime_error("cannot read the key's ACL");
        PSECURITY_DESCRIPTOR denying = 0;
        // Everyone: denied setting values (0x2) and creating subkeys (0x4).
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(D;;0x6;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                  &denying, 0))
            throw std::runtime_error("cannot build the denying ACL");
        const LONG set = RegSetKeySecurity(m_key, DACL_SECURITY_INFORMATION, denying);
        LocalFree(denying);
        if (set != ERROR_SUCCESS)
            throw std::runtime_error("cannot set the denying ACL");
    }
    ~WriteDeniedKey()
    {
        RegSetKeySecurity(m_key, DACL_SECURITY_INFORMATION, m_previous);
        LocalFree(m_previous);
        RegCloseKey(m_key);
    }

private:
    WriteDeniedKey(const WriteDeniedKey&);
    HKEY m_key;
    PSECURITY_DESCRIPTOR m_previous;
};

class RegistryFaultTest : public ::testing::Test {
protected:
    // The cases write the source in the 32-bit view, the view of a 32-bit
    // process's default access.
    void SetUp()
    {
        SKIP_UNLESS_WOW64();
        clean();
    }
    void TearDown() { clean(); }
    void clean()
    {
        RegRemoveTree(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY);
        RegRemoveTree(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY);
    }

    int move(const std::wstring& type, const std::wstring& target, const std::wstring& wow64 = L"")
    {
        context = RecordingContext::Create({ { L"RegistryHive", kHive }, { L"RegistryKeySrc", L"Setting" },
                                             { L"RegistryKeyTgt", target }, { L"RegistryType", type },
                                             { L"RegistryWOW64", wow64 } });
        return CallAction("MoveRegistry", context);
    }

    // Source and target of each type in one view.
    void fill(REGSAM view)
    {
        RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Setting", L"C:\\Data", view);
        RegSetText(HKEY_LOCAL_MACHINE, kKey, L"OldSetting", L"C:\\Old", view);
        RegSetNumber(HKEY_LOCAL_MACHINE, kKey, L"Count", 7, view);
        RegSetNumber(HKEY_LOCAL_MACHINE, kKey, L"OldCount", 3, view);
    }

    std::wstring value(const wchar_t* name, REGSAM view)
    {
        return RegGetText(HKEY_LOCAL_MACHINE, kKey, name, view);
    }

    RecordingContextPtr context;
};
}

TEST_F(RegistryFaultTest, KeyWithoutWriteAccessKeepsSourceAndTarget)
{
    fill(KEY_WOW64_32KEY);
    fill(KEY_WOW64_64KEY);
    struct Case {
        const wchar_t* type;
        const wchar_t* wow64;
        REGSAM denied;
    };
    const Case cases[] = { { L"S", L"", KEY_WOW64_32KEY }, { L"E", L"", KEY_WOW64_32KEY },
                           { L"M", L"", KEY_WOW64_32KEY }, { L"S", L"yes", KEY_WOW64_64KEY } };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.type) + " " + Narrow(c.wow64));
        WriteDeniedKey denied(HKEY_LOCAL_MACHINE, kKey, c.denied);
        EXPECT_EQ(0, move(c.type, L"OldSetting", c.wow64));
        ASSERT_EQ(6u, context->lines.size());
        EXPECT_EQ(L"[MoveRegistry] reg.OpenKey fails (5)", context->lines.back().text);
        EXPECT_EQ(4, context->lines.back().level);
        for (REGSAM view : { KEY_WOW64_32KEY, KEY_WOW64_64KEY }) {
            EXPECT_EQ(L"C:\\Data", value(L"Setting", view));
            EXPECT_EQ(L"C:\\Old", value(L"OldSetting", view));
        }
    }
    WriteDeniedKey denied(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY);
    EXPECT_EQ(0, move(L"d", L"OldCount"));
    EXPECT_EQ(L"[MoveRegistry] reg.OpenKey fails (5)", context->lines.back().text);
    EXPECT_EQ(L"7", value(L"Count", KEY_WOW64_32KEY));
    EXPECT_EQ(L"3", value(L"OldCount", KEY_WOW64_32KEY));
}

TEST_F(RegistryFaultTest, TargetThatCannotBeWrittenLeavesTheSourceInPlace)
{
    fill(KEY_WOW64_32KEY);
    // No registry takes a value name of more than 16383 characters.
    const std::wstring tooLong(16384, L'n');
    EXPECT_EQ(0, move(L"S", tooLong));
    ASSERT_FALSE(context->lines.empty());
    const std::wstring line = context->lines.back().text;
    EXPECT_EQ(0u, line.find(L"[MoveRegistry] reg.SetString fails (")) << Narrow(line);
    EXPECT_EQ(4, context->lines.back().level);
    EXPECT_FALSE(context->HasLine(L"[MoveRegistry] DONE"));
    EXPECT_EQ(L"C:\\Data", value(L"Setting", KEY_WOW64_32KEY));
}

namespace {
const wchar_t* const kUserKey = L"Software\\VerrandFaultsTwins";

// The registry actions that keep state, each with arguments that would
// change the value "Setting" of the user's key.
struct KeepingAction {
    const char* action;
    const char* twin;
    RecordingContext::Values arguments;
};

std::vector<KeepingAction> keepingActions()
{
    const std::wstring path = std::wstring(L"HKCU\\") + kUserKey;
    return {
        { "DeleteRegistryKey", "RollbackDeleteRegistryKey",
          { { L"Root", L"HKEY_CURRENT_USER" }, { L"Path", kUserKey }, { L"Value", L"Setting" } } },
        { "MoveRegistry", "RollbackMoveRegistry",
          { { L"RegistryHive", L"HKEY_CURRENT_USER\\" + std::wstring(kUserKey) },
            { L"RegistryKeySrc", L"Setting" },
            { L"RegistryKeyTgt", L"Moved" },
            { L"RegistryType", L"S" } } },
        { "CreateUserConfigRegistryKey", "RollbackCreateUserConfigRegistryKey",
          { { L"RegistryPath", path },
            { L"RegistryValueName", L"Setting" },
            { L"RegistryValueData", L"new" },
            { L"RegistryType", L"string" } } },
        { "RemoveUserConfigRegistryKey", "RollbackRemoveUserConfigRegistryKey",
          { { L"$du$action", L"uninstall" }, { L"RegistryPath", path }, { L"RegistryValueName", L"Setting" } } },
    };
}

class RegistryStateFaultTest : public ::testing::Test {
protected:
    void SetUp() { clean(); }
    void TearDown() { clean(); }
    void clean() { RegRemoveTree(HKEY_CURRENT_USER, kUserKey, KEY_WOW64_64KEY); }

    int run(const char* action, const RecordingContext::Values& arguments, const std::wstring& folder)
    {
        context = RecordingContext::Create(arguments);
        context->properties[L"$action.invocationdata.dir"] = folder;
        return CallAction(action, context);
    }

    ScopedTempDir dir;
    RecordingContextPtr context;
};
}

TEST_F(RegistryStateFaultTest, StateThatCannotBeWrittenStopsTheActionBeforeItTouchesAnything)
{
    // The folder lies below a file: no state can be written there.
    WriteBytes(dir.file(L"file"), "x");
    const std::wstring folder = dir.file(L"file\\state");
    for (const KeepingAction& row : keepingActions()) {
        RegSetText(HKEY_CURRENT_USER, kUserKey, L"Setting", L"user's", KEY_WOW64_64KEY);
        const std::map<std::wstring, std::string> before = RegKeyContent(HKEY_CURRENT_USER, kUserKey, KEY_WOW64_64KEY);
        EXPECT_EQ(1, run(row.action, row.arguments, folder)) << row.action;
        ASSERT_EQ(1u, context->Texts(4).size()) << row.action;
        EXPECT_NE(std::wstring::npos, context->Texts(4)[0].find(L"Couldn't write the rollback state ")) << row.action;
        EXPECT_EQ(before, RegKeyContent(HKEY_CURRENT_USER, kUserKey, KEY_WOW64_64KEY)) << row.action;
        clean();
    }
}

TEST_F(RegistryStateFaultTest, TwinThatCannotWriteKeepsItsStateForALaterRun)
{
    for (const KeepingAction& row : keepingActions()) {
        const std::wstring folder = dir.file(std::wstring(row.action, row.action + strlen(row.action)));
        RegSetText(HKEY_CURRENT_USER, kUserKey, L"Setting", L"user's", KEY_WOW64_64KEY);
        const std::map<std::wstring, std::string> before = RegKeyContent(HKEY_CURRENT_USER, kUserKey, KEY_WOW64_64KEY);
        EXPECT_EQ(0, run(row.action, row.arguments, folder)) << row.action;
        ASSERT_NE(before, RegKeyContent(HKEY_CURRENT_USER, kUserKey, KEY_WOW64_64KEY)) << row.action;
        // The removal took the key with its last value: it is made again to
        // be denied.
        RegSetRaw(HKEY_CURRENT_USER, kUserKey, RegistryValue(), KEY_WOW64_64KEY);
        const std::map<std::wstring, std::string> state = TreeContent(folder);
        {
            WriteDeniedKey denied(HKEY_CURRENT_USER, kUserKey, KEY_WOW64_64KEY);
            EXPECT_EQ(1, run(row.twin, row.arguments, folder)) << row.twin;
            ASSERT_EQ(1u, context->Texts(4).size()) << row.twin;
            EXPECT_NE(std::wstring::npos, context->Texts(4)[0].find(L"(error 5); the rollback state stays at "))
                << Narrow(context->Texts(4)[0]);
            EXPECT_EQ(state, TreeContent(folder)) << row.twin;
        }
        EXPECT_EQ(0, run(row.twin, row.arguments, folder)) << row.twin;
        EXPECT_EQ(before, RegKeyContent(HKEY_CURRENT_USER, kUserKey, KEY_WOW64_64KEY)) << row.twin;
        EXPECT_TRUE(TreeContent(folder).empty()) << row.twin;
        clean();
    }
}
