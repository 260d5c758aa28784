// MoveRegistry through the real export on keys that cannot be written: the
// value stays where it was, and so does whatever had the target name.
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
