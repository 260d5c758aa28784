// MoveRegistry and its twin against the real registry, in both WOW64 views.
#include <algorithm>

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

    int move(const std::wstring& type, const std::wstring& source = L"Old", const std::wstring& target = L"New",
             const std::wstring& wow64 = L"", const std::wstring& hive = kHive)
    {
        context = RecordingContext::Create({ { L"RegistryHive", hive }, { L"RegistryKeySrc", source },
                                             { L"RegistryKeyTgt", target }, { L"RegistryType", type },
                                             { L"RegistryWOW64", wow64 } });
        if (!stateFolder.empty())
            context->properties[L"$action.invocationdata.dir"] = stateFolder;
        return CallAction(twin ? "RollbackMoveRegistry" : "MoveRegistry", context);
    }
    int rollback(const std::wstring& type, const std::wstring& wow64 = L"")
    {
        twin = true;
        const int status = move(type, L"Old", L"New", wow64);
        twin = false;
        return status;
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
    bool exists(const std::wstring& name, REGSAM view = KEY_WOW64_32KEY)
    {
        return RegValueExists(HKEY_LOCAL_MACHINE, kKey, name, view);
    }
    // The value's data exactly as stored.
    std::wstring rawOf(const wchar_t* name)
    {
        HKEY key = 0;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
            return L"<no key>";
        DWORD size = 0;
        std::wstring data;
        if (RegQueryValueExW(key, name, 0, 0, 0, &size) == ERROR_SUCCESS) {
            data.resize(size / sizeof(wchar_t));
            RegQueryValueExW(key, name, 0, 0, reinterpret_cast<BYTE*>(&data[0]), &size);
        } else {
            data = L"<no value>";
        }
        RegCloseKey(key);
        return data;
    }

    RecordingContextPtr context;
    std::wstring stateFolder;
    bool twin = false;
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
        // Expandable text moves unexpanded and stays expandable, whatever the
        // source's type; "S" writes a plain string.
        { L"E", REG_EXPAND_SZ, REG_EXPAND_SZ, L"%ProgramFiles%\\App" },
        { L"e", REG_SZ, REG_EXPAND_SZ, L"%ProgramFiles%\\App" },
        { L"S", REG_EXPAND_SZ, REG_SZ, L"%ProgramFiles%\\App" },
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

TEST_F(MoveRegistryTest, MultiStringsMoveWhole)
{
    // Whole stored data.
    const std::wstring lists[] = {
        // Empty entries inside and at the end of the list.
        std::wstring(L"a\0\0b\0c\0\0", 8),
        std::wstring(L"a\0\0\0", 4),
        std::wstring(L"\0\0", 2),
        // The empty list.
        std::wstring(L"\0", 1),
    };
    for (const std::wstring& list : lists) {
        // The helper adds the last NUL.
        RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Old", list.substr(0, list.size() - 1), KEY_WOW64_32KEY, REG_MULTI_SZ);
        EXPECT_EQ(0, move(L"M"));
        EXPECT_EQ(plus(echo(L"M"), L"[MoveRegistry] DONE"), context->Texts(2)) << list.size();
        EXPECT_EQ(list, rawOf(L"New")) << list.size();
        EXPECT_FALSE(exists(L"Old")) << list.size();
    }
}

TEST_F(MoveRegistryTest, NamesTheRegistryTakesForOneAreIdentical)
{
    struct Case {
        std::wstring source;
        std::wstring target;
    } same[] = {
        // Case differs outside ASCII: Latin, Greek, Cyrillic.
        { L"\u00c4rger", L"\u00e4rger" },
        { L"\u03a3\u03b9\u03b3\u03bc\u03b1", L"\u03c3\u03b9\u03b3\u03bc\u03b1" },
        { L"\u042f\u0434\u0440\u043e", L"\u044f\u0434\u0440\u043e" },
        // The registry reads a name up to its first NUL.
        { L"Old", std::wstring(L"Old\0x", 5) },
    };
    for (const Case& c : same) {
        RegSetText(HKEY_LOCAL_MACHINE, kKey, c.source, L"kept", KEY_WOW64_32KEY);
        EXPECT_EQ(0, move(L"S", c.source, c.target));
        EXPECT_EQ(plus(echo(L"S", c.source, c.target), L"[MoveRegistry] Source and Target are identical"),
                  context->Texts(2));
        EXPECT_EQ(L"kept", RegGetText(HKEY_LOCAL_MACHINE, kKey, c.source, KEY_WOW64_32KEY)) << Narrow(c.source);
        clean();
    }
    // Names that only a locale's rules would equate are two names.
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"stra\u00dfe", L"moved", KEY_WOW64_32KEY);
    EXPECT_EQ(0, move(L"S", L"stra\u00dfe", L"STRASSE"));
    EXPECT_EQ(L"[MoveRegistry] DONE", context->lines.back().text);
    EXPECT_EQ(L"moved", valueOf(L"STRASSE"));
    EXPECT_FALSE(exists(L"stra\u00dfe"));
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

namespace {
class MoveRegistryTwinTest : public MoveRegistryTest {
protected:
    MoveRegistryTwinTest() { stateFolder = dir.file(L"state"); }
    ScopedTempDir dir;
};

const struct {
    const wchar_t* wow64;
    REGSAM view;
    REGSAM other;
} kViews[] = { { L"", KEY_WOW64_32KEY, KEY_WOW64_64KEY }, { L"yes", KEY_WOW64_64KEY, KEY_WOW64_32KEY } };
}

TEST_F(MoveRegistryTwinTest, SourceAndTargetComeBackExactlyInTheirView)
{
    const RegistryValue absent;
    const struct {
        const wchar_t* letter;
        RegistryValue source;
        RegistryValue target;
    } rows[] = {
        // A move onto a binary value: the rollback gives the binary data back.
        { L"S", RawValue(L"", REG_SZ, std::string("n\0e\0w\0\0\0", 8)),
          RawValue(L"", REG_BINARY, std::string("\0\xff\0\x01", 4)) },
        // "S" turns an expandable source into a plain string; it comes back
        // expandable.
        { L"S", RawValue(L"", REG_EXPAND_SZ, std::string("%\0P\0%\0\0\0", 8)), absent },
        { L"D", RawValue(L"", REG_DWORD, std::string("\x01\0\0\0", 4)),
          RawValue(L"", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)) },
        { L"M", RawValue(L"", REG_MULTI_SZ, std::string("a\0\0\0b\0\0\0\0\0", 10)),
          RawValue(L"", REG_NONE, std::string("\0", 1)) },
        // A missing source: the move only deletes the target.
        { L"E", absent, RawValue(L"", REG_MULTI_SZ, std::string("x\0\0\0\0\0", 6)) },
        // A source of another type stays, the target goes.
        { L"D", RawValue(L"", REG_SZ, std::string("t\0\0\0", 4)), RawValue(L"", REG_DWORD, std::string(4, '\0')) },
    };
    for (const auto& view : kViews) {
        for (const auto& row : rows) {
            RegistryValue source = row.source, target = row.target;
            source.name = L"Old";
            target.name = L"New";
            for (REGSAM each : { view.view, view.other }) {
                RegSetRaw(HKEY_LOCAL_MACHINE, kKey, source, each);
                RegSetRaw(HKEY_LOCAL_MACHINE, kKey, target, each);
                RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Other", L"stays", each);
            }
            const std::map<std::wstring, std::string> before = RegKeyContent(HKEY_LOCAL_MACHINE, kKey, view.view);
            const std::map<std::wstring, std::string> other = RegKeyContent(HKEY_LOCAL_MACHINE, kKey, view.other);
            EXPECT_EQ(0, move(row.letter, L"Old", L"New", view.wow64));
            EXPECT_NE(before, RegKeyContent(HKEY_LOCAL_MACHINE, kKey, view.view)) << Narrow(row.letter);
            EXPECT_EQ(0, rollback(row.letter, view.wow64)) << Narrow(row.letter);
            EXPECT_TRUE(context->Texts(4).empty()) << Narrow(row.letter);
            EXPECT_EQ(before, RegKeyContent(HKEY_LOCAL_MACHINE, kKey, view.view)) << Narrow(row.letter);
            EXPECT_EQ(other, RegKeyContent(HKEY_LOCAL_MACHINE, kKey, view.other)) << Narrow(row.letter);
            EXPECT_TRUE(TreeContent(stateFolder).empty()) << Narrow(row.letter);
            clean();
        }
    }
}

TEST_F(MoveRegistryTwinTest, RetriedMoveKeepsTheFirstState)
{
    RegSetRaw(HKEY_LOCAL_MACHINE, kKey, RawValue(L"Old", REG_SZ, std::string("s\0\0\0", 4)), KEY_WOW64_32KEY);
    RegSetRaw(HKEY_LOCAL_MACHINE, kKey, RawValue(L"New", REG_BINARY, std::string("\0\x01", 2)), KEY_WOW64_32KEY);
    const std::map<std::wstring, std::string> before = RegKeyContent(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY);
    EXPECT_EQ(0, move(L"S"));
    // The second run finds no source and deletes the moved value.
    EXPECT_EQ(0, move(L"S"));
    const std::wstring keeping = L"[MoveRegistry] Keeping the rollback state of an earlier run: ";
    EXPECT_EQ(1, std::count_if(context->lines.begin(), context->lines.end(),
                               [&](const LogLine& line) { return line.text.compare(0, keeping.size(), keeping) == 0; }));
    EXPECT_FALSE(exists(L"New"));
    EXPECT_EQ(0, rollback(L"S"));
    EXPECT_EQ(before, RegKeyContent(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY));
    EXPECT_EQ(0, rollback(L"S"));
    EXPECT_EQ(L"Nothing to rollback", context->lines.back().text);

    // Nothing there to move: the move changes nothing and keeps no state.
    clean();
    EXPECT_EQ(0, move(L"S"));
    EXPECT_TRUE(TreeContent(stateFolder).empty());
}

TEST_F(MoveRegistryTwinTest, ValuesChangedSinceAreLeftAloneWithTheState)
{
    RegSetRaw(HKEY_LOCAL_MACHINE, kKey, RawValue(L"Old", REG_SZ, std::string("s\0\0\0", 4)), KEY_WOW64_32KEY);
    RegSetRaw(HKEY_LOCAL_MACHINE, kKey, RawValue(L"New", REG_BINARY, std::string("\0\x01", 2)), KEY_WOW64_32KEY);
    const std::map<std::wstring, std::string> before = RegKeyContent(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY);
    EXPECT_EQ(0, move(L"S"));
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"New", L"written since", KEY_WOW64_32KEY);
    const std::map<std::wstring, std::string> state = TreeContent(stateFolder);

    EXPECT_EQ(1, rollback(L"S"));
    ASSERT_EQ(1u, context->Texts(4).size());
    EXPECT_EQ(0u, context->Texts(4)[0].find(L"[RollbackMoveRegistry] Leaving Old and New of "));
    // A retried move would replace the value written since: refused too.
    RegSetText(HKEY_LOCAL_MACHINE, kKey, L"Old", L"again", KEY_WOW64_32KEY);
    const std::map<std::wstring, std::string> again = RegKeyContent(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY);
    EXPECT_EQ(1, move(L"S"));
    ASSERT_EQ(1u, context->Texts(4).size());
    EXPECT_EQ(0u, context->Texts(4)[0].find(L"[MoveRegistry] Refusing to move: "));
    EXPECT_EQ(again, RegKeyContent(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY));
    EXPECT_EQ(state, TreeContent(stateFolder));

    // Back as the move left it, the twin puts back what was there.
    RegSetRaw(HKEY_LOCAL_MACHINE, kKey, RegistryValue{ L"Old" }, KEY_WOW64_32KEY);
    RegSetRaw(HKEY_LOCAL_MACHINE, kKey, RawValue(L"New", REG_SZ, std::string("s\0\0\0", 4)), KEY_WOW64_32KEY);
    EXPECT_EQ(0, rollback(L"S"));
    EXPECT_EQ(before, RegKeyContent(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_32KEY));
}
