// The wide-string layer: conversion, replacing, formatting fall-backs.
#include <gtest/gtest.h>

#include <Poco/Exception.h>

#include "PocoWrapper/String.h"
#include "support/InstallLogRecorder.h"

using namespace PocoWrapper;

TEST(WideConversion, RoundTripOutsideTheBasicPlane)
{
    const std::wstring text = L"a\u00e9\u6587\U0001F600\U00010348z";
    const std::string utf8 = toUtf8(text);
    EXPECT_EQ("a\xC3\xA9\xE6\x96\x87\xF0\x9F\x98\x80\xF0\x90\x8D\x88z", utf8);
    EXPECT_EQ(text, toWide(utf8));
    EXPECT_EQ(L"", toWide(toUtf8(L"")));
}

TEST(WideConversion, InvalidInputBecomesReplacementCharacters)
{
    // A lone continuation byte, a truncated sequence and a byte that never
    // occurs in UTF-8: each becomes U+FFFD, the rest survives.
    EXPECT_EQ(L"a\uFFFDb", toWide("a\x80" "b"));
    EXPECT_EQ(L"a\uFFFD", toWide("a\xE6\x96"));
    EXPECT_EQ(L"\uFFFDx", toWide("\xFFx"));
    // A lone surrogate has no UTF-8 form either.
    const wchar_t lone[] = { L'a', 0xD800, L'b', 0 };
    EXPECT_EQ("a\xEF\xBF\xBD" "b", toUtf8(lone));
}

TEST(WideConversion, BuffersAreNullWhenNothingCanBeConverted)
{
    EXPECT_FALSE(toUtf8Buffer(0));
    EXPECT_FALSE(toWideBuffer(0));
    Utf8Buffer buffer = toUtf8Buffer(L"\u00fc");
    ASSERT_TRUE(buffer);
    EXPECT_STREQ("\xC3\xBC", buffer.get());
}

TEST(ReplaceInPlace, InsertedTextIsNotSearchedAgain)
{
    std::wstring text = L"aaa";
    EXPECT_EQ(L"aaaaaa", replaceInPlace(text, std::wstring(L"a"), std::wstring(L"aa")));
    EXPECT_EQ(L"aaaaaa", text);
    text = L"aaa";
    EXPECT_EQ(L"aaaaa", replaceInPlace(text, L"a", L"aa", 1));
    text = L"x-y-z";
    EXPECT_EQ(L"x-y+z", replaceInPlace(text, L"-", L"+", 2));
    text = L"abc";
    EXPECT_EQ(L"abc", replaceInPlace(text, L"b", L"", 5));
    EXPECT_EQ(L"ac", replaceInPlace(text, L"b", L""));
}

TEST(ReplaceInPlace, EmptySearchTextFailsAPocoAssertionAndLeavesTheText)
{
    std::wstring text = L"keep";
    try {
        replaceInPlace(text, std::wstring(), std::wstring(L"x"));
        FAIL() << "no assertion";
    } catch (const Poco::AssertionViolationException& e) {
        EXPECT_EQ("from.size() > 0 in file \"PocoWrapper\\String\", line 272", e.message());
    }
    try {
        replaceInPlace(text, L"", L"x");
        FAIL() << "no assertion";
    } catch (const Poco::AssertionViolationException& e) {
        EXPECT_EQ("*from in file \"PocoWrapper\\String\", line 296", e.message());
    }
    EXPECT_THROW(replaceInPlace(text, static_cast<const wchar_t*>(0), L"x"), Poco::AssertionViolationException);
    EXPECT_EQ(L"keep", text);
}

TEST(Format, WideArgumentsAreFormattedAsUtf8)
{
    EXPECT_EQ(L"\u00e9t\u00e9 = 7", format(L"%s = %d", std::wstring(L"\u00e9t\u00e9"), 7));
    EXPECT_EQ(L"[x] [y] 1 2", format(L"[%s] [%s] %d %d", static_cast<const char*>("x"), std::string("y"), 1, 2));
    EXPECT_EQ(L"5 [ERRFMT]", format(L"%d %s", 5, std::wstring(L"[ERRFMT]")));
}

TEST(Format, PlaceholderThatDoesNotFitIsLoggedAndTheFormatReturned)
{
    InstallLogRecorder log;
    EXPECT_EQ(L"%d of %s", format(L"%d of %s", std::wstring(L"one"), 2));
    EXPECT_EQ(L"%s%s%s%d", format(L"%s%s%s%d", std::string("a"), std::string("b"), std::string("c"), std::string("d")));
    const std::vector<std::string> expected = {
        "Error: Bad cast exception",
        "Error: a placeholder does not fit its argument in \"%d of %s\"",
        "Error: Bad cast exception",
        "Error: a placeholder does not fit its argument in \"%s%s%s%d\"",
    };
    EXPECT_EQ(expected, log.Texts());
    // The one-argument form does not catch.
    EXPECT_THROW(format(L"%d", std::wstring(L"one")), Poco::BadCastException);
}

TEST(TrimAndLower, WhiteSpaceAndUnicodeCase)
{
    EXPECT_EQ(L"", trim(L" \t\r\n\v\f "));
    EXPECT_EQ(L"a b", trim(L"\t a b \n"));
    EXPECT_EQ(L"\u00e9\u00e0 ok", toLower(L"\u00c9\u00c0 OK"));
}

TEST(Numbers, ParseAndFormat)
{
    unsigned value = 0;
    EXPECT_TRUE(tryParseUnsigned(L"4294967295", value));
    EXPECT_EQ(4294967295u, value);
    EXPECT_FALSE(tryParseUnsigned(L"-1", value));
    EXPECT_EQ(-12, parse(L"-12"));
    EXPECT_THROW(parse(L"12x"), Poco::SyntaxException);
    EXPECT_EQ(L"-2147483648", formatNumber(-2147483647 - 1));
}
