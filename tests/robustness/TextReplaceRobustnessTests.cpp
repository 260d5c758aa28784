// The text replacement on generated malformed entry lists and attribute
// texts (the engine called directly), and on generated search, replacement
// and attribute words through the real LMRXTextReplace export. A list the
// engine rejects must say why, and the edited file must never be damaged.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "RobustnessHarness.h"
#include "actions/files/EntryList.h"
#include "actions/files/ReplaceFileVariables.h"
#include "actions/files/ReplacementAttributes.h"
#include "support/ActionLibrary.h"
#include "support/InputMutator.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
const std::wstring kNeedSeparator = L"ReplaceFileVariables: Incorrect formatting of string; need '=' have '";
const std::wstring kExpectedEnding = L"ReplaceFileVariables: expected ending '\",' rest of string is: '";
const std::wstring kReplacedPrefix = L"ReplaceFileVariables: Replaced ";
const std::wstring kOutputLine = L"Output File will be UTF-8 Encoded";
const std::wstring kEmptySearchLine = L"Empty search string - replacement skipped.";

bool startsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(const std::wstring& text, const std::wstring& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The text a line shows between a fixed prefix and its closing "'".
bool quotedRest(const std::wstring& line, const std::wstring& prefix, std::wstring& rest)
{
    if (!startsWith(line, prefix) || !endsWith(line, L"'"))
        return false;
    rest = line.substr(prefix.size(), line.size() - prefix.size() - 1);
    return true;
}

std::string shownLines(const std::vector<LogLine>& lines)
{
    std::string shown;
    for (std::size_t i = 0; i < lines.size() && i < 10; ++i)
        shown += "\n  [" + std::to_string(lines[i].level) + "] " + Shown(lines[i].text);
    return shown;
}

// Where an entry can begin: the start of the list and every place after a
// double quote followed by a comma.
std::vector<std::wstring::size_type> entryStarts(const std::wstring& list)
{
    std::vector<std::wstring::size_type> starts(1, 0);
    for (std::wstring::size_type at = list.find(L"\","); at != std::wstring::npos; at = list.find(L"\",", at + 1))
        starts.push_back(at + 2);
    return starts;
}

// True when the tail of the list that a log line shows (after the round
// trip through UTF-8 that formatting makes, which cuts a text at its first
// NUL) begins at an entry boundary.
bool isEntryTail(const std::wstring& list, const std::wstring& shown, std::wstring& tail)
{
    const std::vector<std::wstring::size_type> starts = entryStarts(list);
    for (size_t i = 0; i < starts.size(); ++i) {
        const std::wstring::size_type end = starts[i] + shown.size();
        if (end > list.size() || (end < list.size() && list[end] != L'\0'))
            continue;
        if (Utf8RoundTrip(list.substr(starts[i], end - starts[i])) == shown) {
            tail = list.substr(starts[i]);
            return true;
        }
    }
    return false;
}

// True when the text holds an "=" that can end a search text: any "=", or
// with escapes honoured one behind an even number of backslashes.
bool hasSeparator(const std::wstring& text, bool honourEscapes)
{
    for (std::wstring::size_type at = text.find(L'='); at != std::wstring::npos; at = text.find(L'=', at + 1)) {
        std::wstring::size_type backslashes = 0;
        while (backslashes < at && text[at - 1 - backslashes] == L'\\')
            ++backslashes;
        if (!honourEscapes || backslashes % 2 == 0)
            return true;
    }
    return false;
}

// The file as the engine writes it back when nothing is replaced: every
// line ended by one line feed, a carriage return before it dropped.
std::string normalisedLines(const std::string& bytes)
{
    std::string result;
    std::string::size_type start = 0;
    while (start < bytes.size()) {
        std::string::size_type end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line[line.size() - 1] == '\r')
            line.erase(line.size() - 1);
        result += line + "\n";
        start = end + 1;
    }
    return result;
}

const std::string kOriginal = "alpha=\"beta\",gamma\r\n"
                              "path C:\\App\\bin and a \"quoted, text\" = here\n"
                              "\n"
                              "caf\xC3\xA9 \xE2\x98\xBA %s %d 50%\r\n"
                              "last line without an end";

const std::vector<std::string> kEntryListSeeds = {
    "alpha=\"omega\"",
    "S1=\"R1\",S2=\"R2\"",
    "a\\=b=\"c\\\"d\",e\\,f=\"g\"",
    "path=\"C\\:\\\\Program\\ Files\\\\\"",
    "=\"\"",
    "a=b",
    "a=\"b\",",
    "a\\\\=\"b\"",
    "caf\xC3\xA9=\"\xE2\x98\xBA\",\xE2\x98\xBA=\"x\"",
    "%s=\"%d\",[ERRFMT]=\"\"",
    "alpha=\"1\",beta=\"2\",gamma=\"3\",here=\"there\"",
    "",
};

const std::vector<std::string> kAttributeSeeds = {
    "0", "16", "32", "48", "16,32", "", "  -48", ",,", "0x30", "4294967296", "+16,abc", "48,0,16,32,",
};

class EntryListRobustness : public ::testing::Test {
protected:
    EntryListRobustness() : existing(dir.file(L"settings.txt")), missing(dir.file(L"missing.txt")) {}

    // One call of the engine and every check of what it did.
    void attack(std::size_t index, const std::wstring& list, const std::wstring& attributes, bool honourEscapes,
                bool debug, bool fileExists)
    {
        const std::wstring& path = fileExists ? existing : missing;
        if (fileExists)
            WriteBytes(existing, kOriginal);
        RecordingContextPtr context = RecordingContext::Create();
        bool ok = false;
        ASSERT_NO_THROW(ok = ReplaceFileVariables(*context, path, list, attributes, honourEscapes, debug))
            << "input " << index << ": " << Shown(list);
        SCOPED_TRACE("input " + std::to_string(index) + " list " + Shown(list) + " attributes " + Shown(attributes) +
                     (honourEscapes ? " escaped" : " plain") + "\nlines:" + shownLines(context->lines));
        ASSERT_FALSE(PathExists(path + L".tmp")) << "temporary file left behind";
        const std::vector<LogLine>& lines = context->lines;

        if (!ok) {
            ASSERT_EQ(1u, lines.size()) << "a rejected list is reported in one line";
            ASSERT_EQ(2, lines[0].level);
            std::wstring shown;
            std::wstring tail;
            ASSERT_TRUE(quotedRest(lines[0].text, kNeedSeparator, shown)) << Shown(lines[0].text);
            ASSERT_TRUE(isEntryTail(list, shown, tail)) << "the line must show the unparsed rest of the list";
            ASSERT_FALSE(tail.empty());
            ASSERT_FALSE(hasSeparator(tail, honourEscapes)) << "rejected a rest that has its \"=\"";
            if (fileExists) {
                ASSERT_EQ(kOriginal, ReadBytes(existing)) << "a rejected list must not touch the file";
            }
            return;
        }

        // The last entry must end with a double quote: the line that says it
        // does not is there when the list ends otherwise. A list ending in
        // the pair double quote and comma may have used that quote to open
        // its last replacement.
        std::size_t next = 0;
        const bool endsWithQuote = !list.empty() && list[list.size() - 1] == L'"';
        const bool endingLine = !lines.empty() && startsWith(lines[0].text, kExpectedEnding);
        if (endsWithQuote || list.empty()) {
            ASSERT_FALSE(endingLine);
        } else if (!endsWith(list, L"\",")) {
            ASSERT_TRUE(endingLine);
        }
        if (endingLine) {
            std::wstring shown;
            std::wstring tail;
            ASSERT_TRUE(quotedRest(lines[next].text, kExpectedEnding, shown)) << Shown(lines[next].text);
            ASSERT_EQ(2, lines[next].level);
            ASSERT_TRUE(isEntryTail(list, shown, tail)) << "the line must show the last entry";
            ++next;
        }

        if (!fileExists) {
            ASSERT_EQ(next + 1, lines.size());
            ASSERT_EQ(4, lines[next].level);
            ASSERT_EQ(Utf8RoundTrip(L"ReplaceFileVariables: " + path + L" doesn't exist"), lines[next].text);
            ASSERT_FALSE(PathExists(path));
            return;
        }

        ASSERT_LT(next, lines.size());
        ASSERT_EQ(kOutputLine, lines[next].text);
        bool replaced = false;
        for (++next; next < lines.size(); ++next) {
            const LogLine& line = lines[next];
            if (line.text == kEmptySearchLine) {
                ASSERT_EQ(4, line.level);
            } else {
                ASSERT_TRUE(startsWith(line.text, kReplacedPrefix) && endsWith(line.text, L" in '" + path + L"'"))
                    << Shown(line.text);
                ASSERT_EQ(2, line.level);
                replaced = true;
            }
        }
        if (!replaced) {
            ASSERT_EQ(normalisedLines(kOriginal), ReadBytes(existing)) << "nothing replaced, yet the text changed";
        }
    }

    ScopedTempDir dir;
    const std::wstring existing;
    const std::wstring missing;
};
}

TEST_F(EntryListRobustness, MalformedListsAreRejectedWithTheirRestOrApplied)
{
    InputMutator lists(kEntryListSeeds, 0x5E71u, "=\",\\ aA0%s'\xC3\xA9");
    InputMutator attributes(kAttributeSeeds, 0xA771u, "0123456789,-+ x");
    for (std::size_t i = 0; i < 12000; ++i) {
        BeginInput(Target::EntryLists, i);
        const std::wstring list = lists.NextWide();
        const std::wstring attributeText = attributes.NextWide();
        const bool honourEscapes = lists.Below(8) != 0;
        const bool debug = lists.Below(4) == 0;
        // The file is what the list is applied to, not what is attacked here:
        // a few hundred real edits are enough.
        const bool fileExists = lists.Below(20) == 0;
        ASSERT_NO_FATAL_FAILURE(attack(i, list, attributeText, honourEscapes, debug, fileExists));
    }
}

TEST_F(EntryListRobustness, HugeListsAndAttributeTextsAreHandled)
{
    // Long runs of what the parser scans for: backslashes in front of "=",
    // entries without their closing pair, a hundred thousand entries and
    // values (parsing them must take time in proportion to the list, or
    // the run does not come back).
    std::wstring backslashes(200000, L'\\');
    std::wstring manyEntries;
    std::wstring manyValues;
    for (int i = 0; i < 100000; ++i) {
        manyEntries += L"k" + std::to_wstring(i) + L"=\"v\",";
        manyValues += L"16,";
    }
    const std::vector<std::wstring> inputs = {
        backslashes + L"=\"x\"",
        L"a" + backslashes + L"=\"x\"",
        std::wstring(300000, L'='),
        std::wstring(300000, L'"'),
        L"a=\"" + std::wstring(300000, L',') + L"\"",
        manyEntries,
        manyEntries + L"tail",
    };
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        BeginInput(Target::EntryLists, i);
        ASSERT_NO_FATAL_FAILURE(attack(i, inputs[i], manyValues, true, false, true));
    }

    RecordingContextPtr context = RecordingContext::Create();
    std::vector<ReplacementEntry> entries;
    ASSERT_TRUE(ParseEntryList(*context, manyEntries, true, entries));
    ASSERT_EQ(100000u, entries.size());
    EXPECT_EQ(L"k99999", entries.back().search);
    EXPECT_EQ(L"v", entries.back().replacement);
}

namespace {
// The file after the action, computed on its bytes: every line without its
// carriage return, with each occurrence of the search text replaced.
std::string replacedLines(const std::string& bytes, const std::string& search, const std::string& replacement)
{
    const std::string lines = normalisedLines(bytes);
    if (search.empty())
        return lines;
    std::string result;
    std::string::size_type start = 0;
    while (start < lines.size()) {
        const std::string::size_type end = lines.find('\n', start);
        std::string line = lines.substr(start, end - start);
        std::string replaced;
        std::string::size_type pos = 0;
        for (std::string::size_type hit = line.find(search); hit != std::string::npos;
             hit = line.find(search, pos)) {
            replaced += line.substr(pos, hit - pos) + replacement;
            pos = hit + search.size();
        }
        result += replaced + line.substr(pos) + "\n";
        start = end + 1;
    }
    return result;
}

std::wstring withoutNuls(std::wstring text)
{
    text.erase(std::remove(text.begin(), text.end(), L'\0'), text.end());
    return text;
}
}

TEST(TextReplaceRobustness, ExportFindsAnySearchTextLiterally)
{
    // Whatever the words hold (quotes, "=", commas, backslashes, lone
    // surrogates), the one-entry list the action builds must bring them
    // through the engine unchanged: the file ends up exactly as a plain
    // replacement of the prepared words would make it.
    InputMutator words({ "INSTALLDIR", "C:\\Program Files\\App\\", "it's", "a=\"b\",c", "\\\\", "\"", "=", ",",
                         "<tag attr='&'>", "caf\xC3\xA9" },
                       0x7E47u, "=\",\\'&<> aA0\xC3\xA9");
    InputMutator attributes(kAttributeSeeds, 0x7A77u, "0123456789,-+ x");
    InputMutator lines({ "<dir>INSTALLDIR</dir>", "key=\"value\",other", "C:\\Program Files\\App\\" }, 0x7F11u,
                       "=\",\\' aA\xE2\x98\xBA");
    ScopedTempDir dir;
    const std::wstring file = dir.file(L"config.xml");
    for (std::size_t i = 0; i < 300; ++i) {
        BeginInput(Target::TextReplaceThroughDll, i);
        std::string original;
        std::wstring firstLine;
        for (std::size_t n = 1 + lines.Below(4); n > 0; --n) {
            const std::wstring line = withoutNuls(lines.NextWide());
            if (firstLine.empty())
                firstLine = line;
            original += Narrow(line) + (lines.Below(3) ? "\r\n" : "\n");
        }
        std::wstring search = withoutNuls(words.NextWide());
        if (words.Below(2) && !firstLine.empty()) {
            // Often a piece of the file itself, so that something is found.
            const std::size_t at = words.Below(firstLine.size());
            search = firstLine.substr(at, 1 + words.Below(12));
        }
        const std::wstring replacement = withoutNuls(words.NextWide());
        const std::wstring attributeText = withoutNuls(attributes.NextWide());
        WriteBytes(file, original);

        RecordingContextPtr context = RecordingContext::Create();
        context->arguments[L"File"] = file;
        context->arguments[L"SearchWord"] = search;
        context->arguments[L"ReplaceWord"] = replacement;
        context->arguments[L"Attributes"] = attributeText;
        SCOPED_TRACE("input " + std::to_string(i) + " search " + Shown(search) + " replacement " +
                     Shown(replacement) + " attributes " + Shown(attributeText));
        ASSERT_EQ(0, CallAction("LMRXTextReplace", context));
        ASSERT_FALSE(context->HasLine(L"LMRXTextReplace crashed"));
        ASSERT_FALSE(PathExists(file + L".tmp"));
        const std::wstring prepared = PrepareReplacement(replacement, ParseAttributeValue(attributeText));
        ASSERT_EQ(replacedLines(original, Narrow(search), Narrow(prepared)), ReadBytes(file));
    }
}
