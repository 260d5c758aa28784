// The string library and the recursive #identifier# formatter.
#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <Poco/Exception.h>

#include "UiTextFixtures.h"
#include "PocoWrapper/String.h"
#include "support/InputMutator.h"
#include "support/InstallLogRecorder.h"
#include "support/TestFiles.h"
#include "uitext/BasicStringLibrary.h"
#include "uitext/StringFormatter.h"
#include "uitext/StringLibraryUtility.h"

using testing::AllOf;
using testing::ElementsAre;
using testing::EndsWith;
using testing::IsEmpty;
using testing::StartsWith;

namespace {
typedef boost::shared_ptr<IStringLibrary> LibraryPtr;

LibraryPtr Library(const wchar_t* fixture, const wchar_t* language = L"en")
{
    return LibraryPtr(new BasicStringLibrary(Fixture(fixture), language));
}

std::wstring Repeat(const std::wstring& text, size_t times)
{
    std::wstring result;
    for (size_t i = 0; i < times; ++i)
        result += text;
    return result;
}

// Equality of long texts, reported by length and first difference rather
// than by printing megabytes.
testing::AssertionResult SameText(const std::wstring& expected, const std::wstring& actual)
{
    if (expected == actual)
        return testing::AssertionSuccess();
    const std::pair<std::wstring::const_iterator, std::wstring::const_iterator> differ =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    return testing::AssertionFailure() << "lengths " << expected.size() << " and " << actual.size()
                                       << ", first difference at " << (differ.first - expected.begin());
}

const char* const kDepthError = "Error: DoBasicFormatString exceeded recursive depth with string: ";
const char* const kCapError = "Error: Formatted string exceeds 1048576 characters; rest left unformatted";
}

TEST(Formatter, SubstitutesCaseInsensitivelyAndLeavesOtherTextSilently)
{
    const LibraryPtr library = Library(L"strings.uitext");
    const struct {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        { L"Press #Button.OK# now", L"Press OK now" },
        { L"#button.ok##BUTTON.OK#", L"OKOK" },
        { L"#Welcome#!", L"Welcome to Verrand & friends, press OK!" },
        { L"100##", L"100#" },
        { L"####", L"##" },
        { L"", L"" },
        { L"#a-b#", L"#a-b#" },
        { L"50 #x", L"50 #x" },
        { L"#Button.OK\t#Button.OK#", L"#Button.OK\tOK" },
        { L"#Gr\x00F6\x00DF" L"e#", L"#Gr\x00F6\x00DF" L"e#" },
    };
    InstallLogRecorder recorder;
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, BasicFormatString(c.text, library)) << Narrow(c.text);
    EXPECT_THAT(recorder.Texts(), IsEmpty());
}

TEST(Formatter, UnknownIdentifiersAreKeptAndReported)
{
    const LibraryPtr library = Library(L"strings.uitext");
    InstallLogRecorder recorder;
    EXPECT_EQ(L"#missing# or #Product#", BasicFormatString(L"#missing# or #Product#", library));
    EXPECT_THAT(recorder.Texts(), ElementsAre("Error: Identifier not found in lookup: #missing#",
                                              "Error: Identifier not found in lookup: #Product#"));
}

TEST(Formatter, DepthBudgetResolvesFiveLevelsThenInsertsRaw)
{
    const LibraryPtr library = Library(L"strings.uitext");
    InstallLogRecorder recorder;
    EXPECT_EQ(L"xxxxxx#Self#", BasicFormatString(L"#Self#", library));
    // D5 is formatted at budget 0 (its ## becomes #), D6 goes in raw.
    EXPECT_EQ(L"a#bc##d#Button.OK#", BasicFormatString(L"#D1#", library));
    EXPECT_THAT(recorder.Texts(), ElementsAre(std::string(kDepthError) + "x#Self#",
                                              std::string(kDepthError) + "c##d#Button.OK#"));
}

TEST(Formatter, LibraryWithoutStrings)
{
    InstallLogRecorder recorder;
    ScopedTempDir folder;
    const std::wstring missing = folder.file(L"missing.uitext");
    const LibraryPtr library(new BasicStringLibrary(missing, L"en"));
    EXPECT_EQ(L"#a# x # #b#", BasicFormatString(L"#a# x ## #b#", library));
    EXPECT_EQ(L"a ## b", BasicFormatString(L"a ## b", LibraryPtr()));
    EXPECT_THAT(recorder.Texts(),
                ElementsAre("Error: UI Text file doesn't exists: " + Narrow(missing), "BasicStringLib: UI text not loaded.",
                            "Error: Identifier not found in lookup: #a#", "BasicStringLib: UI text not loaded.",
                            "Error: Identifier not found in lookup: #b#",
                            "Error: Cannot format string using NULL string library."));
}

namespace {
// A library the formatter does not know: every lookup goes through the
// library interface, as for any library other than BasicStringLibrary.
class ForwardingLibrary : public IStringLibrary {
public:
    explicit ForwardingLibrary(const LibraryPtr& library) : m_library(library) {}
    bool FindString(const std::wstring& id, std::wstring& text) { return m_library->FindString(id, text); }
    bool HasString(const std::wstring& id) { return m_library->HasString(id); }
    std::wstring GetLibraryName(const std::wstring& id) { return m_library->GetLibraryName(id); }

private:
    LibraryPtr m_library;
};
}

// BasicStringLibrary's strings are looked up in its table directly; the
// results and log lines must be those of the lookups through the interface,
// for texts short and long, with every kind of identifier, at the depth
// limit and past the length cap, and for a library without strings.
TEST(Formatter, ALibrarysOwnTableGivesWhatItsInterfaceGives)
{
    ScopedTempDir folder;
    // Each library with texts to vary and texts taken only as they are
    // (those that reach the length cap are slow to vary).
    const struct {
        std::wstring file;
        std::vector<std::string> seeds;
        std::vector<std::string> fixed;
    } libraries[] = {
        { Fixture(L"strings.uitext"),
          { "Press #Button.OK# now", "#welcome#, #SELF# and #D1#", "##### #Title#", "#Product Name# #a-b#",
            "#Gr\xC3\xB6\xC3\x9F" "e# #missing# #D5", std::string(1500, 'w') + "#Button.OK#" },
          {} },
        { Fixture(L"fanout.uitext"), { "#F0# and #F1#", "#F2##F0#x", "#E2##E1#" },
          { "#E4# tail ##", "x#F4##F4##F4##F4#", "#F4##F4##F4##F4#" } },
        { folder.file(L"missing.uitext"), { "#a# x ## #b#", "#Button.OK#" }, {} },
    };
    for (const auto& source : libraries) {
        const LibraryPtr library(new BasicStringLibrary(source.file, L"en"));
        const LibraryPtr forwarding(new ForwardingLibrary(library));
        InputMutator mutator(source.seeds, 16, "#aBx. _-F0124DE\t");
        std::vector<std::wstring> texts;
        for (const std::string& text : source.fixed)
            texts.push_back(PocoWrapper::toWide(text));
        for (const std::string& text : source.seeds)
            texts.push_back(PocoWrapper::toWide(text));
        for (int i = 0; i < 250; ++i)
            texts.push_back(mutator.NextWide());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            std::wstring direct, through;
            std::vector<std::string> directLines, throughLines;
            {
                InstallLogRecorder recorder;
                direct = BasicFormatString(texts[i], library);
                directLines = recorder.Texts();
            }
            {
                InstallLogRecorder recorder;
                through = BasicFormatString(texts[i], forwarding);
                throughLines = recorder.Texts();
            }
            ASSERT_TRUE(SameText(through, direct)) << Narrow(source.file) << " text " << i;
            ASSERT_EQ(throughLines, directLines) << Narrow(source.file) << " text " << i;
        }
    }
}

TEST(Formatter, FailedLoadPreconditionsLeaveTheLibraryEmpty)
{
    ScopedTempDir folder;
    const std::wstring present = Fixture(L"strings.uitext");
    for (const auto& input : { std::make_pair(folder.path(), std::wstring(L"en")), std::make_pair(present, std::wstring()) }) {
        InstallLogRecorder recorder;
        BasicStringLibrary library(input.first, input.second);
        std::wstring text = L"stale";
        EXPECT_FALSE(library.FindString(L"Button.OK", text));
        EXPECT_EQ(L"", text);
        const std::vector<std::string> lines = recorder.Texts();
        ASSERT_EQ(2u, lines.size());
        EXPECT_EQ("BasicStringLib: UI text not loaded.", lines[1]);
        if (input.second.empty())
            EXPECT_THAT(lines[0], AllOf(StartsWith("Error: Assert(!setupUILanguage.empty()) failed in file "
                                                   "StringLibraryUtility line "),
                                        testing::Not(testing::HasSubstr("Message:"))));
        else
            EXPECT_THAT(lines[0], AllOf(StartsWith("Error: Assert(uiTextPathFile.isFile()) failed in file "
                                                   "StringLibraryUtility line "),
                                        EndsWith("\r\nMessage:\r\nCould not find ui text file: " + Narrow(folder.path()))));
    }
    EXPECT_THROW(loadStringMap(L"", L"en"), Poco::AssertionViolationException);
}

TEST(Formatter, LibraryIsNamedAfterItsFile)
{
    const LibraryPtr library = Library(L"strings.uitext");
    EXPECT_TRUE(library->HasString(L"TITLE"));
    EXPECT_EQ(L"strings.uitext", library->GetLibraryName(L"button.OK"));
    EXPECT_EQ(L"", library->GetLibraryName(L"nothing"));
}

TEST(Formatter, ResultIsCappedAtTheIdentifierThatWouldPassTheLimit)
{
    const LibraryPtr library = Library(L"fanout.uitext");
    InstallLogRecorder recorder;
    // Four F4 make exactly the limit: nothing changes.
    EXPECT_TRUE(SameText(std::wstring(1048576, L'z'), BasicFormatString(Repeat(L"#F4#", 4), library)));
    EXPECT_THAT(recorder.Texts(), IsEmpty());
    // One character more: the last F0 stays as written.
    EXPECT_TRUE(SameText(L"x" + std::wstring(1023 * 1024, L'z') + L"#F0#",
                         BasicFormatString(L"x" + Repeat(L"#F4#", 4), library)));
    // Ten-fold fan-out: the 1025th E0 passes the limit; every level keeps
    // the rest of its text as written. Each call has a limit of its own.
    const std::wstring expected = std::wstring(1048576, L'y') + Repeat(L"#E0#", 6) + Repeat(L"#E1#", 7) +
                                  Repeat(L"#E2#", 9) + Repeat(L"#E3#", 8) + L" tail ##";
    EXPECT_TRUE(SameText(expected, BasicFormatString(L"#E4# tail ##", library)));
    EXPECT_TRUE(SameText(expected, BasicFormatString(L"#E4# tail ##", library)));
    EXPECT_THAT(recorder.Texts(), ElementsAre(kCapError, kCapError, kCapError));
}

namespace {
// Other delimiters and another not-found text: the formatter has to ask the
// mechanism for all of them.
class BracketMechanism : public IParamLookupMechanism {
public:
    bool Lookup(const std::wstring& id, std::wstring& text, std::wstring& libraryName)
    {
        if (id != L"n")
            return false;
        text = L"[n]#";
        libraryName = L"brackets";
        return true;
    }
    wchar_t IdentifierStart() { return L'['; }
    wchar_t IdentifierEnd() { return L']'; }
    std::wstring NotFoundText(const std::wstring& token) { return L"<" + token + L">"; }
    bool IsIdentifierChar(const wchar_t& ch) { return ch != L'-'; }
};
}

TEST(Formatter, MechanismDecidesTheSyntax)
{
    const boost::shared_ptr<BracketMechanism> mechanism(new BracketMechanism);
    InstallLogRecorder recorder;
    EXPECT_EQ(L"#[n]##[x-] [ <[?]>", DoBasicFormatString(L"#[n][x-] [] [?]", mechanism, 1));
    EXPECT_EQ(L"[n]", DoBasicFormatString(L"[n]", mechanism, -1));
    EXPECT_THAT(recorder.Texts(), ElementsAre(std::string(kDepthError) + "[n]#", "Error: Identifier not found in lookup: [?]",
                                              std::string(kDepthError) + "[n]"));
}
