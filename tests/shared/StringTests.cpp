// The wide-string layer: conversion, replacing, formatting fall-backs.
#include <gtest/gtest.h>

#include <Poco/Exception.h>
#include <Poco/UTF8String.h>

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

TEST(WideConversion, ExactlyTheTextsLengthIsConverted)
{
    // Ill-formed UTF-8 becomes U+FFFD and the rest survives; nothing is read
    // past the text, whatever follows it in memory, and NULs inside count.
    const struct {
        std::string utf8;
        std::wstring wide;
    } toWideCases[] = {
        { "a\x80" "b", L"a\uFFFD" L"b" },               // a lone continuation byte
        { "Caf\xE9", L"Caf\uFFFD" },                    // a lone lead byte at the end (Latin-1 text)
        { "\xE9", L"\uFFFD" },
        { "a\xE6\x96", L"a\uFFFD" },                    // a 3-byte sequence cut short
        { "a\xF0\x9F\x98", L"a\uFFFD" },                // a 4-byte sequence cut short
        { "\xFF\xFE", L"\uFFFD\uFFFD" },                // bytes that never occur in UTF-8 (a UTF-16 BOM)
        { "\xFFx", L"\uFFFDx" },
        { std::string("a\0b", 3), std::wstring(L"a\0b", 3) },
    };
    for (const auto& c : toWideCases) {
        EXPECT_EQ(c.wide, toWide(c.utf8)) << c.utf8;
        // The buffer form stops at the first NUL, and ends with one.
        const std::wstring untilNul = c.wide.substr(0, c.wide.find(L'\0'));
        WideBuffer buffer = toWideBuffer(c.utf8.c_str());
        ASSERT_TRUE(buffer);
        EXPECT_EQ(untilNul, std::wstring(buffer.get())) << c.utf8;
    }

    const wchar_t loneHigh[] = { L'a', 0xD800 };
    const wchar_t loneInside[] = { L'a', 0xDC00, L'b' };
    const struct {
        std::wstring wide;
        std::string utf8;
    } toUtf8Cases[] = {
        { std::wstring(loneHigh, 2), "a\xEF\xBF\xBD" },     // a lone surrogate at the end
        { std::wstring(loneInside, 3), "a\xEF\xBF\xBD" "b" },
        { std::wstring(L"a\0b", 3), std::string("a\0b", 3) },
    };
    for (const auto& c : toUtf8Cases) {
        EXPECT_EQ(c.utf8, toUtf8(c.wide)) << c.utf8;
        Utf8Buffer buffer = toUtf8Buffer(c.wide.c_str());
        ASSERT_TRUE(buffer);
        EXPECT_EQ(c.utf8.substr(0, c.utf8.find('\0')), std::string(buffer.get())) << c.utf8;
    }
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

TEST(TrimAndLower, EveryBasicPlaneCharacterFoldsAsItsUtf8FormDoes)
{
    // toLower folds without a round trip through UTF-8; Poco's folding of the
    // UTF-8 form is what it must give, for each character alone and between
    // ASCII letters.
    const auto throughUtf8 = [](const std::wstring& text) { return toWide(Poco::UTF8::toLower(toUtf8(text))); };
    std::size_t differing = 0;
    std::string examples;
    for (unsigned code = 0; code <= 0xFFFF; ++code) {
        const std::wstring alone(1, static_cast<wchar_t>(code));
        const std::wstring between = L"Ab" + alone + L"Z";
        if (toLower(alone) != throughUtf8(alone) || toLower(between) != throughUtf8(between)) {
            if (++differing <= 5)
                examples += " U+" + std::to_string(code);
        }
    }
    EXPECT_EQ(0u, differing) << examples;
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
