// The pure parts of text replacement: attribute bits, the entry list and its
// escaping, the attribute list.
#include <gtest/gtest.h>

#include "actions/files/EntryList.h"
#include "actions/files/ReplacementAttributes.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

TEST(ReplacementAttributes, BitsApplyInTheirOrder)
{
    // The trailing backslash goes before the others turn into slashes.
    EXPECT_EQ(L"C:/Program Files/App", PrepareReplacement(L"C:\\Program Files\\App\\", 6));
    // Only one trailing backslash is dropped; without 0x02 the others stay.
    EXPECT_EQ(L"C:\\App\\", PrepareReplacement(L"C:\\App\\\\", 4));
    // Apostrophes are doubled before XML escaping.
    EXPECT_EQ(L"it&apos;&apos;s", PrepareReplacement(L"it's", 72));
    // "&" first, so that the entities made later are not escaped again.
    EXPECT_EQ(L"&amp;lt; &lt;a href=&quot;x&quot;&gt;", PrepareReplacement(L"&lt; <a href=\"x\">", 8));
    // The log bits and unknown bits leave the text alone.
    EXPECT_EQ(L"C:\\x\\'<", PrepareReplacement(L"C:\\x\\'<", 0x10 | 0x20 | 0x01 | 0x80));
}

TEST(ReplacementAttributes, ValueIsReadLikeWcstol)
{
    EXPECT_EQ(16, ParseAttributeValue(L"16"));
    EXPECT_EQ(72, ParseAttributeValue(L"  +72"));
    EXPECT_EQ(-4, ParseAttributeValue(L"-4"));
    EXPECT_EQ(6, ParseAttributeValue(L"6,16"));
    EXPECT_EQ(0, ParseAttributeValue(L""));
    EXPECT_EQ(0, ParseAttributeValue(L"0x10"));
    EXPECT_EQ(0, ParseAttributeValue(L"abc"));
}

TEST(EntryList, EscapingProtectsEverythingButLettersAndDigits)
{
    EXPECT_EQ(L"a1\\=\\\"\\,\\\\\\ Z", EscapeEntryText(L"a1=\",\\ Z"));
    EXPECT_EQ(L"a1=\",\\ Z", UnescapeEntryText(EscapeEntryText(L"a1=\",\\ Z")));
    const std::wstring umlaut(L"\x00e4\x20ac");
    EXPECT_EQ(L"\\\x00e4\\\x20ac", EscapeEntryText(umlaut));
    // A character outside the basic plane is escaped as one character.
    const std::wstring emoji(L"\xd83d\xde00");
    EXPECT_EQ(L"\\" + emoji, EscapeEntryText(emoji));
    EXPECT_EQ(emoji, UnescapeEntryText(EscapeEntryText(emoji)));
    EXPECT_EQ(L"a\\b", UnescapeEntryText(L"a\\\\b"));
    EXPECT_EQ(L"ab", UnescapeEntryText(L"a\\b\\"));
}

TEST(EntryList, ParsesEntriesInOrder)
{
    RecordingContext logger;
    std::vector<ReplacementEntry> entries;
    ASSERT_TRUE(ParseEntryList(logger, L"A=\"1\",B=\"two words\",C=\"\"", false, entries));
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(L"A", entries[0].search);
    EXPECT_EQ(L"1", entries[0].replacement);
    EXPECT_EQ(L"B", entries[1].search);
    EXPECT_EQ(L"two words", entries[1].replacement);
    EXPECT_EQ(L"C", entries[2].search);
    EXPECT_EQ(L"", entries[2].replacement);
    EXPECT_TRUE(logger.lines.empty());
}

TEST(EntryList, EscapedTextsRoundTripThroughTheList)
{
    const std::wstring search(L"key=\"v,1\"\\");
    const std::wstring replacement(L"x\",y=z\\");
    RecordingContext logger;
    std::vector<ReplacementEntry> entries;
    const std::wstring list = BuildEntryList(EscapeEntryText(search), EscapeEntryText(replacement)) + L"," +
                              BuildEntryList(L"b", L"c");
    ASSERT_TRUE(ParseEntryList(logger, list, true, entries));
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(search, entries[0].search);
    EXPECT_EQ(replacement, entries[0].replacement);
    EXPECT_EQ(L"b", entries[1].search);
    EXPECT_EQ(L"c", entries[1].replacement);
    EXPECT_TRUE(logger.lines.empty());
}

TEST(EntryList, EqualsSignBehindEvenBackslashesEndsTheSearch)
{
    RecordingContext logger;
    std::vector<ReplacementEntry> entries;
    ASSERT_TRUE(ParseEntryList(logger, L"a\\\\=\"b\"", true, entries));
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(L"a\\", entries[0].search);
    EXPECT_EQ(L"b", entries[0].replacement);

    // Without escapes the first "=" ends the search and nothing is unescaped.
    entries.clear();
    ASSERT_TRUE(ParseEntryList(logger, L"a\\=\"c\\d\"", false, entries));
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(L"a\\", entries[0].search);
    EXPECT_EQ(L"c\\d", entries[0].replacement);
    EXPECT_TRUE(logger.lines.empty());
}

TEST(EntryList, MissingEqualsSignIsAFormatError)
{
    RecordingContext logger;
    std::vector<ReplacementEntry> entries;
    EXPECT_FALSE(ParseEntryList(logger, L"A=\"1\",B\\=\"2\"", true, entries));
    ASSERT_EQ(1u, logger.lines.size());
    EXPECT_EQ(2, logger.lines[0].level);
    EXPECT_EQ(L"ReplaceFileVariables: Incorrect formatting of string; need '=' have 'B\\=\"2\"'", logger.lines[0].text);
}

TEST(EntryList, LastEntryWithoutClosingQuoteIsReportedAndKept)
{
    RecordingContext logger;
    std::vector<ReplacementEntry> entries;
    EXPECT_TRUE(ParseEntryList(logger, L"A=\"1\",B=\"xyz", false, entries));
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(L"B", entries[1].search);
    EXPECT_EQ(L"xy", entries[1].replacement);
    ASSERT_EQ(1u, logger.lines.size());
    EXPECT_EQ(2, logger.lines[0].level);
    EXPECT_EQ(L"ReplaceFileVariables: expected ending '\",' rest of string is: 'B=\"xyz'", logger.lines[0].text);

    // Nothing after the "=" at all.
    entries.clear();
    EXPECT_TRUE(ParseEntryList(logger, L"A=", false, entries));
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(L"", entries[0].replacement);
}

TEST(EntryList, AttributeListGivesOneValuePerEntry)
{
    const std::vector<std::wstring> values = SplitAttributeList(L"16,,32,");
    ASSERT_EQ(3u, values.size());
    EXPECT_EQ(16, EntryAttribute(values, 0));
    EXPECT_EQ(0, EntryAttribute(values, 1));
    EXPECT_EQ(32, EntryAttribute(values, 2));
    // Entries beyond the list, and an empty list, count as 0.
    EXPECT_EQ(0, EntryAttribute(values, 3));
    EXPECT_TRUE(SplitAttributeList(L"").empty());
    EXPECT_EQ(0, EntryAttribute(SplitAttributeList(L""), 0));
}
