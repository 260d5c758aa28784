// Loading uitext files into string maps, with the install-log line of every
// problem.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "UiTextFixtures.h"
#include "support/InstallLogRecorder.h"
#include "support/TestFiles.h"
#include "uitext/UiTextMap.h"

using testing::ElementsAre;

namespace {
typedef boost::shared_ptr<StringMap> MapPtr;

std::string parsing(const std::wstring& path)
{
    return "Parsing file: " + Narrow(path);
}

// Loads a fixture that must fail with exactly these lines after the first.
void ExpectRejected(const wchar_t* name, const std::wstring& language, const std::vector<std::string>& lines)
{
    InstallLogRecorder recorder;
    const std::wstring path = Fixture(name);
    EXPECT_FALSE(getStringMap(path, language)) << Narrow(name);
    std::vector<std::string> expected(1, parsing(path));
    expected.insert(expected.end(), lines.begin(), lines.end());
    EXPECT_EQ(expected, recorder.Texts()) << Narrow(name);
}
}

TEST(UiTextMap, StringsDecodedAndKeyedByLowerCaseIdentifier)
{
    InstallLogRecorder recorder;
    const std::wstring path = Fixture(L"strings.uitext");
    const MapPtr strings = getStringMap(path, L"en");
    ASSERT_TRUE(strings);
    EXPECT_EQ(L"OK", strings->at(L"button.ok"));
    EXPECT_EQ(L"Verrand & friends", strings->at(L"product name"));
    EXPECT_EQ(L"Welcome to #Product Name#, press #Button.OK#", strings->at(L"welcome"));
    EXPECT_EQ(L"second", strings->at(L"title")); // Title and TITLE share a key; the later wins
    EXPECT_EQ(L"a & b \x263A A<>\"'", strings->at(L"symbols"));
    EXPECT_EQ(L"Gr\x00F6\x00DF" L"e", strings->at(L"gr\x00F6\x00DF" L"e"));
    EXPECT_EQ(L"one", strings->at(L"twice")); // the first of two equal attributes
    EXPECT_EQ(0u, strings->count(L"notastring"));
    EXPECT_EQ(14u, strings->size());
    EXPECT_THAT(recorder.Texts(), ElementsAre(parsing(path), "Number of strings parsed: 15"));
}

TEST(UiTextMap, ByteOrderMarkIsSkipped)
{
    const MapPtr withMark = getStringMap(Fixture(L"bom.uitext"), L"en");
    const MapPtr without = getStringMap(Fixture(L"nobom.uitext"), L"en");
    ASSERT_TRUE(withMark && without);
    EXPECT_EQ(*without, *withMark);
    EXPECT_EQ(1u, withMark->size());
}

TEST(UiTextMap, FileWithoutLanguageLoadsForAnyLanguageAndEmptyRootGivesEmptyMap)
{
    for (const wchar_t* language : { L"en", L"de", L"EN" })
        EXPECT_TRUE(getStringMap(Fixture(L"nobom.uitext"), language));

    InstallLogRecorder recorder;
    const MapPtr empty = getStringMap(Fixture(L"empty.uitext"), L"en");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    EXPECT_THAT(recorder.Texts(), ElementsAre(parsing(Fixture(L"empty.uitext"))));
}

TEST(UiTextMap, ContextsMergeAndRepeatedOrUnknownElementsOnlyReport)
{
    InstallLogRecorder recorder;
    const std::wstring path = Fixture(L"two-contexts.uitext");
    const MapPtr strings = getStringMap(path, L"en");
    ASSERT_TRUE(strings);
    EXPECT_EQ(5u, strings->size());
    EXPECT_EQ(L"1", strings->at(L"a"));
    EXPECT_EQ(L"5", strings->at(L"e"));
    EXPECT_THAT(recorder.Texts(),
                ElementsAre(parsing(path), "Number of strings parsed: 2", "Error: getStringMap(): unrecognized element: comment",
                            "Error: getStringMap(): multiple context elements found.", "Number of strings parsed: 3",
                            "Error: getStringMap(): multiple language elements found."));
}

TEST(UiTextMap, LanguageMismatchRejectsWholeFileWhereverTheElementIs)
{
    const std::wstring late = Fixture(L"late-language.uitext");
    ExpectRejected(L"late-language.uitext", L"en",
                   { "Number of strings parsed: 1",
                     "Error: Locale mismatch: current [en], locale in file: [" + Narrow(late) + "] : [EN]" });
    EXPECT_TRUE(getStringMap(late, L"EN"));
    ExpectRejected(L"strings.uitext", L"de",
                   { "Error: Locale mismatch: current [de], locale in file: [" + Narrow(Fixture(L"strings.uitext")) +
                     "] : [en]" });
    ExpectRejected(L"no-langcode.uitext", L"en", { "Error: getStringMap(): language element missing langcode attribute." });
}

TEST(UiTextMap, StringWithoutIdOrValueAnywhereRejectsWholeFile)
{
    ExpectRejected(L"missing-id.uitext", L"en",
                   { "Number of strings parsed: 1", "Error: getStringMap(): multiple context elements found.",
                     "Error: getStringMap(): language element missing id attribute." });
    ExpectRejected(L"missing-value.uitext", L"en",
                   { "Number of strings parsed: 1", "Error: getStringMap(): multiple context elements found.",
                     "Error: getStringMap(): language element missing value attribute." });
}

TEST(UiTextMap, UnreadableFileAndWrongRoot)
{
    ScopedTempDir folder;
    const std::wstring missing = folder.file(L"missing.uitext");
    ExpectRejected(L"wrong-root.uitext", L"en", { "Error: This file does not have a root named 'uitext'" });

    InstallLogRecorder recorder;
    EXPECT_FALSE(getStringMap(missing, L"en"));
    EXPECT_FALSE(getStringMap(folder.path(), L"en"));
    EXPECT_THAT(recorder.Texts(), ElementsAre(parsing(missing), "Error: Could not open file " + Narrow(missing),
                                              parsing(folder.path()), "Error: Could not open file " + Narrow(folder.path())));
}

TEST(UiTextMap, ParseErrorsNameTheLineOfTheFileAsWritten)
{
    ExpectRejected(L"error-line1.uitext", L"en",
                   { "Error: Parse error in file " + Narrow(Fixture(L"error-line1.uitext")) + ", line: 1",
                     "Error: Error - expected >" });
    ExpectRejected(L"error-line3.uitext", L"en",
                   { "Error: Parse error in file " + Narrow(Fixture(L"error-line3.uitext")) + ", line: 3",
                     "Error: Error - expected >" });
    // Earlier elements spread over several lines: the parser writes into
    // the buffer behind it, the line is still the one in the file.
    ExpectRejected(L"error-after-multiline.uitext", L"en",
                   { "Error: Parse error in file " + Narrow(Fixture(L"error-after-multiline.uitext")) + ", line: 7",
                     "Error: Error - expected >" });
    const MapPtr mismatched = getStringMap(Fixture(L"mismatched-close.uitext"), L"en");
    ASSERT_TRUE(mismatched);
    EXPECT_EQ(L"1", mismatched->at(L"a"));
}

TEST(UiTextMap, PathOutsideTheAnsiCodePage)
{
    ScopedTempDir folder;
    const std::wstring path = folder.file(L"\x0394\x4E2D.uitext");
    WriteBytes(path, ReadBytes(Fixture(L"nobom.uitext")));
    const MapPtr strings = getStringMap(path, L"en");
    ASSERT_TRUE(strings);
    EXPECT_EQ(L"OK", strings->at(L"button.ok"));
}
