// LMRXTextReplace through the real Verrand.dll export, on real files, and
// the replacement engine behind it.
#include <gtest/gtest.h>

#include <stdexcept>

#include "actions/files/LineFiles.h"
#include "actions/files/ReplaceFileVariables.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
const wchar_t* const kOutputLine = L"Output File will be UTF-8 Encoded";

class TextReplaceTest : public ::testing::Test {
protected:
    TextReplaceTest() : file(dir.file(L"settings.xml")) {}

    int run(const std::wstring& search, const std::wstring& replacement, const std::wstring& attributes,
            const std::wstring& debug = L"")
    {
        context = RecordingContext::Create();
        context->arguments[L"File"] = file;
        context->arguments[L"SearchWord"] = search;
        context->arguments[L"ReplaceWord"] = replacement;
        context->arguments[L"Attributes"] = attributes;
        context->properties[L"$debug"] = debug;
        return CallAction("LMRXTextReplace", context);
    }

    // Writes `before`, replaces, and gives back the file's bytes.
    std::string edit(const std::string& before, const std::wstring& search, const std::wstring& replacement,
                     const std::wstring& attributes = L"0")
    {
        WriteBytes(file, before);
        EXPECT_EQ(0, run(search, replacement, attributes));
        EXPECT_FALSE(PathExists(file + L".tmp"));
        return ReadBytes(file);
    }

    std::wstring replacedLine(int count, const std::wstring& search, const std::wstring& replacement) const
    {
        return L"ReplaceFileVariables: Replaced " + std::to_wstring(count) + L" instances of '" + search + L"' with '" +
               replacement + L"' in '" + file + L"'";
    }

    std::wstring abortLine() const
    {
        return L"ReplaceFileVariables: error reading from '" + file + L"' writing to '" + file +
               L".tmp', aborting..";
    }

    ScopedTempDir dir;
    const std::wstring file;
    RecordingContextPtr context;
};

class ThrowingContext : public RecordingContext {
public:
    boost::shared_ptr<std::wstring> GetArg(const std::wstring& name)
    {
        if (name == L"File")
            throw std::runtime_error("host failure");
        return RecordingContext::GetArg(name);
    }
};
}

TEST_F(TextReplaceTest, AttributesShapeTheReplacementInTheFile)
{
    EXPECT_EQ("<dir>C:/Program Files/App</dir>\n",
              edit("<dir>INSTALLDIR</dir>\n", L"INSTALLDIR", L"C:\\Program Files\\App\\", L"6"));
    ASSERT_EQ(2u, context->lines.size());
    EXPECT_EQ(2, context->lines[0].level);
    EXPECT_EQ(kOutputLine, context->lines[0].text);
    EXPECT_EQ(2, context->lines[1].level);
    EXPECT_EQ(replacedLine(1, L"INSTALLDIR", L"C:/Program Files/App"), context->lines[1].text);

    EXPECT_EQ("say='it&apos;&apos;s'\n", edit("say='WORD'\n", L"WORD", L"it's", L"72"));
}

TEST_F(TextReplaceTest, LogLineMasksTextsUnlessDebugging)
{
    const std::string content = "a=KEY\nb=none\nc=KEY KEY\n";
    struct Case {
        const wchar_t* attributes;
        const wchar_t* debug;
        const wchar_t* shownSearch;
        const wchar_t* shownReplacement;
    } cases[] = {
        { L"16", L"", L"KEY", L"********" },
        { L"16", L" True ", L"KEY", L"secret" },
        { L"32", L"no", L"********", L"secret" },
        { L"48", L"0", L"********", L"********" },
        { L"48", L"on", L"KEY", L"secret" },
    };
    for (const Case& c : cases) {
        WriteBytes(file, content);
        EXPECT_EQ(0, run(L"KEY", L"secret", c.attributes, c.debug));
        // One line for each line of the file in which something was replaced.
        const std::vector<std::wstring> expected = { kOutputLine, replacedLine(1, c.shownSearch, c.shownReplacement),
                                                     replacedLine(2, c.shownSearch, c.shownReplacement) };
        EXPECT_EQ(expected, context->Texts(2)) << Narrow(c.attributes) << " " << Narrow(c.debug);
        EXPECT_EQ("a=secret\nb=none\nc=secret secret\n", ReadBytes(file));
    }
}

TEST_F(TextReplaceTest, MatchesDoNotOverlapAndInsertedTextIsNotSearchedAgain)
{
    EXPECT_EQ("aa\n", edit("aaaa", L"aa", L"a"));
    EXPECT_TRUE(context->HasLine(replacedLine(2, L"aa", L"a"), 2));
    EXPECT_EQ("aabaa\n", edit("aba", L"a", L"aa"));
    EXPECT_TRUE(context->HasLine(replacedLine(2, L"a", L"aa"), 2));
    // Case-sensitive, and never across a line end.
    EXPECT_EQ("Key x\nke\ny\n", edit("Key key\nke\ny", L"key", L"x"));
}

TEST_F(TextReplaceTest, ListSyntaxInTheTextsIsTakenLiterally)
{
    const std::wstring search(L"k=\"v,1\"\\");
    const std::wstring replacement(L"\",x=\\\"");
    EXPECT_EQ("line \",x=\\\" end\n", edit("line k=\"v,1\"\\ end", search, replacement));
    EXPECT_TRUE(context->HasLine(replacedLine(1, search, replacement), 2));
}

TEST_F(TextReplaceTest, LineEndsBecomeLineFeedsEvenWithoutAMatch)
{
    EXPECT_EQ("one\ntwo\n\nthree\n", edit("one\r\ntwo\r\n\r\nthree", L"absent", L"x"));
    EXPECT_EQ((std::vector<std::wstring>{ kOutputLine }), context->Texts());
    // Only the carriage return that ends a line goes.
    EXPECT_EQ("a\rb\nc\r\n", edit("a\rb\r\nc\r\r\n", L"absent", L"x"));
    EXPECT_EQ("", edit("", L"absent", L"x"));
}

TEST_F(TextReplaceTest, ByteOrderMarkStaysInFront)
{
    EXPECT_EQ("\xEF\xBB\xBFkey=new\nx\n", edit("\xEF\xBB\xBFkey=old\r\nx\r\n", L"old", L"new"));
}

TEST_F(TextReplaceTest, EmptySearchTextRewritesWithoutReplacing)
{
    WriteBytes(file, "one\r\ntwo\r\nthree");
    EXPECT_EQ(0, run(L"", L"x", L"0"));
    EXPECT_EQ("one\ntwo\nthree\n", ReadBytes(file));
    const std::vector<std::wstring> skipped(3, L"Empty search string - replacement skipped.");
    EXPECT_EQ(skipped, context->Texts(4));
    EXPECT_EQ((std::vector<std::wstring>{ kOutputLine }), context->Texts(2));
}

TEST_F(TextReplaceTest, MissingFileIsOnlyReported)
{
    EXPECT_EQ(0, run(L"a", L"b", L"0"));
    ASSERT_EQ(1u, context->lines.size());
    EXPECT_EQ(4, context->lines[0].level);
    EXPECT_EQ(L"ReplaceFileVariables: " + file + L" doesn't exist", context->lines[0].text);
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(PathExists(file + L".tmp"));
}

TEST_F(TextReplaceTest, TextInAnotherEncodingKeepsItsBytes)
{
    // Latin-1 umlauts around an ASCII word.
    EXPECT_EQ("name=Gr\xFC\xDF" "e C:\\App \xE4\n", edit("name=Gr\xFC\xDF" "e INSTALLDIR \xE4\r\n", L"INSTALLDIR", L"C:\\App"));
    // A non-ASCII search text is matched in its UTF-8 form only.
    EXPECT_EQ("Gr\xFC\xDF" "e\nX\n", edit("Gr\xFC\xDF" "e\nGr\xC3\xBC\xC3\x9F" "e", L"Gr\x00fc\x00df" L"e", L"X"));
    // A NUL byte does not end a line.
    EXPECT_EQ(std::string("a\0b new\n", 8), edit(std::string("a\0b old", 7), L"old", L"new"));
}

TEST_F(TextReplaceTest, UnicodeTextIsReplacedInUtf8)
{
    EXPECT_EQ("\xE2\x82\xAC" "5 \xF0\x9F\x98\x80\n",
              edit("\xE2\x82\xAC" "5 \xC3\xA4\xC3\xB6\n", L"\x00e4\x00f6", L"\xd83d\xde00"));
}

namespace {
// A text as a UTF-16 file holds it, byte-order mark first.
std::string utf16File(const std::wstring& text, bool bigEndian)
{
    std::string bytes;
    for (wchar_t unit : L"\xFEFF" + text) {
        const char low = static_cast<char>(unit & 0xFF);
        const char high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? std::string(1, high) + low : std::string(1, low) + high;
    }
    return bytes;
}
}

TEST_F(TextReplaceTest, Utf16FilesAreEditedInTheirOwnEncoding)
{
    // Each line keeps its ending, the last one none; the texts are prepared
    // and masked as for any file.
    const std::wstring before = L"path=INSTALLDIR\r\n\xC4 INSTALLDIR+INSTALLDIR\n\r\r\n\xD83D\xDE00INSTALLDIR\r";
    struct Case {
        const wchar_t* replacement;
        const wchar_t* attributes;
        const wchar_t* written;
        const wchar_t* shown;
    } cases[] = {
        { L"C:\\Program Files\\\xC4pp\\", L"6", L"C:/Program Files/\xC4pp", L"C:/Program Files/\xC4pp" },
        { L"it's", L"24", L"it&apos;s", L"********" },
        { L"", L"0", L"", L"" },
    };
    for (bool bigEndian : { false, true }) {
        for (const Case& c : cases) {
            const std::wstring after = L"path=" + std::wstring(c.written) + L"\r\n\xC4 " + c.written + L"+" + c.written +
                                       L"\n\r\r\n\xD83D\xDE00" + c.written + L"\r";
            EXPECT_EQ(utf16File(after, bigEndian),
                      edit(utf16File(before, bigEndian), L"INSTALLDIR", c.replacement, c.attributes))
                << bigEndian << " " << Narrow(c.attributes);
            const std::vector<std::wstring> expected = { kOutputLine, replacedLine(1, L"INSTALLDIR", c.shown),
                                                         replacedLine(2, L"INSTALLDIR", c.shown),
                                                         replacedLine(1, L"INSTALLDIR", c.shown) };
            EXPECT_EQ(expected, context->Texts());
        }
        // A search text outside the Basic Multilingual Plane, and an odd last
        // byte, which no line holds and which stays.
        EXPECT_EQ(utf16File(L"a-b\n", bigEndian) + "\x01",
                  edit(utf16File(L"a\xD83D\xDE00" L"b\n", bigEndian) + "\x01", L"\xD83D\xDE00", L"-"));
    }
}

TEST_F(TextReplaceTest, LongLinesAndALastLineWithoutLineFeed)
{
    // The match straddles the reader's chunks.
    const std::size_t before = kFileChunkSize - 6;
    std::string line(before, 'x');
    line += "MARKER";
    line += std::string(100000, 'y');
    std::string expected = line.substr(0, before) + "done" + line.substr(before + 6);
    EXPECT_EQ("a\n" + expected + "\n", edit("a\n" + line, L"MARKER", L"done"));
}

TEST_F(TextReplaceTest, EmptyAttributesStillEdit)
{
    EXPECT_EQ("v=new\n", edit("v=old\n", L"old", L"new", L""));
    EXPECT_TRUE(context->HasLine(replacedLine(1, L"old", L"new"), 2));
}

TEST_F(TextReplaceTest, TargetThatCannotBeReplacedKeepsItsBytes)
{
    const std::string original = "keep=old\r\n";
    WriteBytes(file, original);
    // Another program holds the file open, without and with delete sharing.
    for (DWORD share : { DWORD(FILE_SHARE_READ), DWORD(FILE_SHARE_READ | FILE_SHARE_DELETE) }) {
        HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, share, 0, OPEN_EXISTING, 0, 0);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        EXPECT_EQ(1, run(L"old", L"new", L"0"));
        CloseHandle(held);
        EXPECT_EQ(original, ReadBytes(file)) << share;
        EXPECT_FALSE(PathExists(file + L".tmp"));
        EXPECT_TRUE(context->HasLine(abortLine(), 4));
    }

    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(1, run(L"old", L"new", L"0"));
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(original, ReadBytes(file));
    EXPECT_FALSE(PathExists(file + L".tmp"));
    EXPECT_TRUE(context->HasLine(abortLine(), 4));
}

TEST_F(TextReplaceTest, FolderInPlaceOfTheFileAbortsTheEdit)
{
    ASSERT_TRUE(CreateDirectoryW(file.c_str(), 0));
    EXPECT_EQ(1, run(L"old", L"new", L"0"));
    EXPECT_EQ((std::vector<std::wstring>{ abortLine() }), context->Texts());
    EXPECT_FALSE(PathExists(file + L".tmp"));
}

TEST_F(TextReplaceTest, CrashIsLoggedAndReportedDone)
{
    boost::shared_ptr<ThrowingContext> throwing(new ThrowingContext);
    const long before = throwing.use_count();
    EXPECT_EQ(0, CallAction("LMRXTextReplace", throwing));
    EXPECT_EQ(before, throwing.use_count());
    EXPECT_EQ((std::vector<std::wstring>{ L"LMRXTextReplace crashed" }), throwing->Texts(4));
}

TEST_F(TextReplaceTest, EntriesApplyInOrderWithTheirOwnAttributes)
{
    RecordingContext logger;
    WriteBytes(file, "A B\n");
    // The second entry works on what the first left; it has no attribute
    // value and so is not masked.
    EXPECT_TRUE(ReplaceFileVariables(logger, file, L"A=\"B\",B=\"C\"", L"16", false, false));
    EXPECT_EQ("C C\n", ReadBytes(file));
    const std::vector<std::wstring> expected = { kOutputLine, replacedLine(1, L"A", L"********"),
                                                 replacedLine(2, L"B", L"C") };
    EXPECT_EQ(expected, logger.Texts());
}

TEST_F(TextReplaceTest, ListFormatErrorLeavesTheFileAlone)
{
    RecordingContext logger;
    WriteBytes(file, "A\r\n");
    EXPECT_FALSE(ReplaceFileVariables(logger, file, L"A", L"0", true, false));
    EXPECT_EQ("A\r\n", ReadBytes(file));
    EXPECT_EQ((std::vector<std::wstring>{ L"ReplaceFileVariables: Incorrect formatting of string; need '=' have 'A'" }),
              logger.Texts());
}
