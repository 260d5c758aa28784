// MoveRegistry against the real registry, in both WOW64 views.
#include <gtest/gtest.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
typedef std::vector<std::wstring> Texts;
const wchar_t* const kKey = L"Software\\VerrandMoveTest";
const wchar_t* const kHive = L"HKEY_LOCAL_MACHINE\\Software\\VerrandMoveTest";

class MoveRegistryTest : public ::testing::Test {
protected:
    void SetUp() { clean(); }
    void TearDown() { clean(); }
    void clean()
    {
        RegRemoveTree(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY);
        RegRemoveTree(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY);
    }

    int move(const std::wstring& type, const std::wstring& source = L"Old", const std::wstring& target = L"New",
             const std::wstring& wow64 = L"", const std::wstring& hive = kHive)
    {
        context = RecordingContext::Create({ { L"RegistryHive", hive }, { L"RegistryKeySrc", source },
                                             { L"RegistryKeyTgt", target }, { L"RegistryType", type },
                                             { L"RegistryWOW64", wow64 } });
        return CallAction("MoveRegistry", context);
    }

    Texts echo(const std::wstring& type, const std::wstring& source = L"Old", const std::wstring& target = L"New",
               const std::wstring& wow64 = L"", const std::wstring& hive = kHive)
    {
        return { L"[MoveRegistry] sRegistryHive    = " + hive, L"[MoveRegistry] sRegistryKeySrc  = " + source,
                 L"[MoveRegistry] sRegistryKeyTgt  = " + target, L"[MoveRegistry] sRegistryType    = " + type,
                 L"[MoveRegistry] sRegistryWOW64   = " + wow64 };
    }

    Texts plus(Texts lines, const std::wstring& last)
    {
        lines.push_back(last);
        return lines;
    }

    std::wstring valueOf(const wchar_t* name, DWORD* type = 0, REGSAM view = KEY_WOW64_32KEY)
    {
        return RegGetText(HKEY_LOCAL_MACHINE, kKey, name, view, type);
    }
    bool exists(const wchar_t* name, REGSAM view = KEY_WOW64_32KEY)
    {
        return RegValueExists(HKEY_LOCAL_MACHINE, kKey, name, view);
    }

    RecordingContextPtr context;
};
}

TEST_F(MoveRegistryTest, MovesEachTypeAndReplacesTheTarget)
{
    struct Case {
        const wchar_t* letter;
        DWORD sourceType;
        DWORD targetType;
        const wchar_t* data;
    } cases[] = {
        { L"D", REG_DWORD, REG_DWORD, L"3010" },
        { L"s", REG_SZ, REG_SZ, L"C:\\Program Files\\App" },
        // Expandable text moves unexpanded, as a plain string.
        { L"E", REG_EXPAND_SZ, REG_SZ, L"%ProgramFiles%\\App" },
        { L"m", REG_MULTI_SZ, REG_MULTI_SZ, L"first|second" },
    };
    for (const Case& c : cases) {
        if (c.sourceType == REG_DWORD)
            RegSetNumber(HKEY_LOCAL_MACHINE, kKey, L"Old", 3010, KEY_WOW64_32KEY);
        else if (c.sourceType == REG_MULTI_SZ)
            RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Old", std::wstring(L"first\0second\0", 14), KEY_WOW64_32KEY,
                       REG_MULTI_SZ);
        else
            RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Old", c.data, KEY_WOW64_32KEY, c.sourceType);
        RegSetText(HKEY_LOCAL_MACHINE, kKey, L"New", L"previous", KEY_WOW64_32KEY);

        EXPECT_EQ(0, move(c.letter));
        EXPECT_EQ(plus(echo(c.letter), L"[MoveRegistry] DONE"), context->Texts(2)) << Narrow(c.letter);
        EXPECT_EQ(6u, context->lines.size());
        DWORD type = 0;
        EXPECT_EQ(c.data, valueOf(L"New", &type)) << Narrow(c.letter);
        EXPECT_EQ(c.targetType, type) << Narrow(c.letter);
        EXPECT_FALSE(exists(L"Old")) << Narrow(c.letter);
    }
}

TEST_F(MoveRegistryTest, Wow64SwitchSelectsTheNativeView)
{
    RegSetNumber(HKEY_LOCAL_MACHINE, kKey, L"Old", 64, KEY_WOW64_64KEY);
    RegSetNumber(HKEY_LOCAL_MACHINE, kKey, L"Old", 32, KEY_WOW64_32KEY);
    EXPECT_EQ(0, move(L"D", L"Old", L"New", L"yEs"));
    EXPECT_TRUE(context->HasLine(L"[MoveRegistry] DONE", 2));
    EXPECT_EQ(L"64", valueOf(L"New", 0, KEY_WOW64_64KEY));
    EXPECT_FALSE(exists(L"Old", KEY_WOW64_64KEY));
    EXPECT_EQ(L"32", valueOf(L"Old"));
    EXPECT_FALSE(exists(L"New"));

    // Not an exact word (trailing blank): the view of this 32-bit process.
    EXPECT_EQ(0, move(L"D", L"Old", L"New", L"1 "));
    EXPECT_EQ(L"32", valueOf(L"New"));
    EXPECT_FALSE(exists(L"Old"));
    EXPECT_EQ(L"64", valueOf(L"New", 0, KEY_WOW64_64KEY));
}

TEST_F(MoveRegistryTest, MissingSourceStillRemovesTheTarget)
{
    struct Case {
        const wchar_t* letter;
        const wchar_t* info;
    } cases[] = { { L"D", L"GetDWord" }, { L"S", L"GetString" }, { L"E", L"GetString" }, { L"M", L"GetMultiString" } };
    for (const Case& c : cases) {
        RegSetText(HKEY_LOCAL_MACHINE, kKey, L"New", L"previous", KEY_WOW64_32KEY);
        EXPECT_EQ(0, move(c.letter));
        EXPECT_EQ(plus(echo(c.letter), std::wstring(L"[MoveRegistry] reg.") + c.info + L" info (2)"),
                  context->Texts(2));
        EXPECT_EQ(6u, context->lines.size());
        EXPECT_FALSE(exists(L"New")) << Narrow(c.letter);
    }
}

TEST_F(MoveRegistryTest, SourceOfAnotherTypeIsLeftInPlace)
{
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Old", L"text", KEY_WOW64_32KEY);
    EXPECT_EQ(0, move(L"D"));
    EXPECT_EQ(L"text", valueOf(L"Old"));
    EXPECT_FALSE(exists(L"New"));
    const std::wstring last = context->lines.back().text;
    EXPECT_EQ(0u, last.find(L"[MoveRegistry] reg.GetDWord info ("));
    EXPECT_EQ(2, context->lines.back().level);
}

TEST_F(MoveRegistryTest, RefusalsTouchNothing)
{
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Old", L"a", KEY_WOW64_32KEY);
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"New", L"b", KEY_WOW64_32KEY);

    EXPECT_EQ(0, move(L"S", L"Old", L"OLD"));
    EXPECT_EQ(plus(echo(L"S", L"Old", L"OLD"), L"[MoveRegistry] Source and Target are identical"), context->Texts(2));

    for (const wchar_t* type : { L"X", L"SZ", L"d " }) {
        EXPECT_EQ(0, move(type));
        EXPECT_EQ(plus(echo(type), L"[MoveRegistry] Invalid registry type from (D, E, M, S)"), context->Texts(2));
    }

    EXPECT_EQ(0, move(L""));
    EXPECT_EQ(plus(echo(L""), L"[MoveRegistry] Empty Information"), context->Texts(2));
    EXPECT_EQ(0, move(L"S", L"Old", L"New", L"", L""));
    EXPECT_EQ(L"[MoveRegistry] Empty Information", context->lines.back().text);
    EXPECT_EQ(0, move(L"S", L"", L"New"));
    EXPECT_EQ(L"[MoveRegistry] Empty Information", context->lines.back().text);

    EXPECT_EQ(L"a", valueOf(L"Old"));
    EXPECT_EQ(L"b", valueOf(L"New"));
}

TEST_F(MoveRegistryTest, KeyThatCannotBeOpenedIsAnError)
{
    const std::wstring hive = std::wstring(kHive) + L"\\Missing";
    EXPECT_EQ(0, move(L"S", L"Old", L"New", L"", hive));
    ASSERT_EQ(6u, context->lines.size());
    EXPECT_EQ(4, context->lines.back().level);
    EXPECT_EQ(L"[MoveRegistry] reg.OpenKey fails (2)", context->lines.back().text);
}
