// The text rules of the command actions: number reader, yes words, the list
// formats, the command-line echo and the secret mask.
#include <climits>

#include <gtest/gtest.h>

#include "actions/command/CommandRunner.h"
#include "actions/command/CommandText.h"
#include "core/SecretMask.h"
#include "support/TestFiles.h"

namespace {
typedef std::vector<std::wstring> Texts;
}

TEST(StringToInt, ReadsTheLeadingNumber)
{
    int value = 99;
    EXPECT_TRUE(StringToInt(L"3010", value));
    EXPECT_EQ(3010, value);
    EXPECT_TRUE(StringToInt(L" \t-1", value));
    EXPECT_EQ(-1, value);
    EXPECT_TRUE(StringToInt(L"12abc", value));
    EXPECT_EQ(12, value);
    EXPECT_TRUE(StringToInt(L"+7 ", value));
    EXPECT_EQ(7, value);
}

TEST(StringToInt, TextWithoutNumberLeavesTheValue)
{
    for (const wchar_t* text : { L"", L" ", L"abc", L"-", L"x12", L"99999999999", L"-99999999999" }) {
        int value = 30;
        EXPECT_FALSE(StringToInt(text, value)) << Narrow(text);
        EXPECT_EQ(30, value) << Narrow(text);
    }
}

TEST(ReadReturnCode, OnlyAWholeDecimalEntryIsACode)
{
    const struct {
        const wchar_t* entry;
        int code;
    } codes[] = { { L"0", 0 },           { L" 3010 ", 3010 },         { L"-1", -1 },
                  { L"+7", 7 },          { L"2147483647", INT_MAX }, { L"-2147483648", INT_MIN },
                  { L"007", 7 } };
    for (const auto& c : codes) {
        int code = 99;
        EXPECT_TRUE(ReadReturnCode(c.entry, code)) << Narrow(c.entry);
        EXPECT_EQ(c.code, code) << Narrow(c.entry);
    }
    // Trailing or inner characters, other number forms, tabs (only blanks
    // are trimmed), digits of other scripts, and numbers out of range.
    for (const wchar_t* entry : { L"0x5", L"5th", L"1e3", L"3.0", L"1 2", L"--1", L"+", L"-", L"", L" ", L"\t5",
                                  L"\uff15", L"2147483648", L"-2147483649", L"99999999999999999999" }) {
        int code = 99;
        EXPECT_FALSE(ReadReturnCode(entry, code)) << Narrow(entry);
        EXPECT_EQ(99, code) << Narrow(entry);
    }
}

TEST(IsYesWord, CaseFoldedButNotTrimmed)
{
    for (const wchar_t* yes : { L"true", L"TRUE", L"Yes", L"yEs", L"1" })
        EXPECT_TRUE(IsYesWord(yes)) << Narrow(yes);
    for (const wchar_t* no : { L"", L" yes", L"yes ", L"on", L"y", L"01", L"false" })
        EXPECT_FALSE(IsYesWord(no)) << Narrow(no);
}

TEST(SplitTransactionKinds, DropsEmptyPiecesKeepsBlanks)
{
    EXPECT_EQ((Texts{ L"install", L"repair" }), SplitTransactionKinds(L"install|repair"));
    EXPECT_EQ((Texts{ L"install", L" Repair " }), SplitTransactionKinds(L"|install|| Repair |"));
    EXPECT_TRUE(SplitTransactionKinds(L"|||").empty());
    EXPECT_TRUE(SplitTransactionKinds(L"").empty());
}

TEST(SplitCodeList, KeepsPositionsAndTrimsSpaces)
{
    EXPECT_EQ((Texts{ L"0", L"3010", L"1641" }), SplitCodeList(L"0; 3010 ;1641"));
    EXPECT_EQ((Texts{ L"0", L"", L"1" }), SplitCodeList(L"0;;1"));
    EXPECT_EQ((Texts{ L"", L"1" }), SplitCodeList(L";1"));
    // The rest after the last ";" counts only when something is there.
    EXPECT_EQ((Texts{ L"0", L"1" }), SplitCodeList(L"0;1;"));
    EXPECT_EQ((Texts{ L"0", L"1", L"" }), SplitCodeList(L"0;1;  "));
    EXPECT_EQ((Texts{ L"a b" }), SplitCodeList(L"  a b  "));
    EXPECT_EQ((Texts{ L"\t1" }), SplitCodeList(L"\t1"));
    EXPECT_TRUE(SplitCodeList(L"").empty());
}

TEST(CommandLineEcho, FollowsLogCmdLine)
{
    const SecretMask none(L"", false);
    const std::wstring command = L"setup.exe /pw hunter2 /confirm hunter2";
    EXPECT_EQ(command, CommandLineEcho(command, L"yes", none));
    EXPECT_EQ(L"", CommandLineEcho(command, L"", none));
    EXPECT_EQ(L"Yes", CommandLineEcho(command, L"Yes", none));
    EXPECT_EQ(L"installing the runtime", CommandLineEcho(command, L"installing the runtime", none));

    const SecretMask secret(L"hunter2", false);
    EXPECT_EQ(L"setup.exe /pw ******** /confirm ********", CommandLineEcho(command, L"yes", secret));
    EXPECT_EQ(L"password ********", CommandLineEcho(command, L"password hunter2", secret));

    const SecretMask hidden(L"hunter2", true);
    EXPECT_EQ(L"********", CommandLineEcho(command, L"no", hidden));
    EXPECT_EQ(L"********", CommandLineEcho(command, L"no", none));
}

TEST(SecretMask, MasksEveryOccurrenceOrHidesTheCommand)
{
    const SecretMask mask(L"ab", false);
    EXPECT_EQ(L"x********y********", mask.Text(L"xabyab"));
    EXPECT_EQ(L"********b", mask.Text(L"abb"));
    EXPECT_EQ(L"a b", mask.CommandLine(L"a b"));
    EXPECT_EQ(L"********", SecretMask(L"", true).CommandLine(L"run.exe"));
    EXPECT_EQ(L"run.exe", SecretMask(L"", true).Text(L"run.exe"));
    // Stars as the secret do not mask the stars again.
    EXPECT_EQ(L"********", SecretMask(L"*", false).Text(L"*"));
}

TEST(SecretMask, LongestSecretFirstAndNoPieceOfOneShows)
{
    struct Row {
        std::vector<std::wstring> secrets;
        const wchar_t* text;
        const wchar_t* masked;
    } rows[] = {
        // Given shortest first, the longer one still wins where both match.
        { { L"abc", L"abcdef" }, L"x abcdef y abc", L"x ******** y ********" },
        { { L"abcdef", L"abc" }, L"x abcdef y abc", L"x ******** y ********" },
        // Overlapping secrets are masked as one stretch.
        { { L"bcdef", L"abc" }, L"abcdef", L"********" },
        { { L"abc", L"cde" }, L"abcde!", L"********!" },
        { { L"aa" }, L"aaa", L"********" },
        // Next to each other they stay two.
        { { L"ab" }, L"abab", L"****************" },
        { { L"", L"ab" }, L"xaby", L"x********y" },
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.masked, SecretMask(row.secrets, false).Text(row.text)) << Narrow(row.text);

    // A secret added later joins the others.
    SecretMask growing(L"abc", false);
    growing.Add(L"abcdef");
    EXPECT_EQ(L"********", growing.Text(L"abcdef"));
}

TEST(RetryWait, NeverNegativeNorEndless)
{
    EXPECT_EQ(0u, RetryWaitMilliseconds(-5));
    EXPECT_EQ(0u, RetryWaitMilliseconds(INT_MIN));
    EXPECT_EQ(0u, RetryWaitMilliseconds(0));
    EXPECT_EQ(5000u, RetryWaitMilliseconds(5));
    EXPECT_GT(static_cast<unsigned long>(INFINITE), RetryWaitMilliseconds(INT_MAX));
    EXPECT_LT(2000000000ul, RetryWaitMilliseconds(INT_MAX));
}
