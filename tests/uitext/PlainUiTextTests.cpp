// The one-pass reading of plain uitext files and the compact string table it
// fills. That the pass and the parse tree agree on every file the pass takes
// is checked on generated files by the robustness suite; here: which files
// it takes, and what the table keeps.
#include <cstring>
#include <stdexcept>

#include <gtest/gtest.h>

#include "uitext/PlainUiText.h"
#include "uitext/StringMap.h"
#include "uitext/XmlFile.h"

namespace {
bool readPlainly(const std::string& text, StringMap& strings, std::vector<UiTextLine>& lines)
{
    FileBytes bytes(text.size());
    std::memcpy(bytes.data(), text.data(), text.size());
    return ReadPlainUiText(bytes, L"en", strings, lines);
}

std::string shown(const std::vector<UiTextLine>& lines)
{
    std::string text;
    for (const UiTextLine& line : lines)
        text += (line.error ? "[error] " : "[debug] ") + line.text + "\n";
    return text;
}
}

TEST(PlainUiText, TakesWhatTheParserSkipsAndLeavesTheRestToTheParseTree)
{
    const std::string strings = "<uitext><language langcode='en'/><context>";
    const struct {
        std::string text;
        bool plain;
        const char* why;
    } rows[] = {
        { "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- c --><uitext a='1'><?pi x?><language langcode='en'> </language>\n"
          "<context><!--<b>--><string id='A' value='a &amp; &#x263A;' value='not this'> <!-- c --> </string>"
          "<other x='&lt;'/></context><comment/><context/></uitext>\n<!-- end -->\n",
          true, "every kind of markup the parser skips, and what the load only reports" },
        { strings + "</context></uitext>", true, "no strings" },
        { "<uitext/>", true, "an empty root" },
        { strings + "<![CDATA[x]]></context></uitext>", false, "CDATA" },
        { "<!DOCTYPE uitext><uitext/>", false, "a DOCTYPE" },
        { strings + "text</context></uitext>", false, "text between elements" },
        { strings + "<string id='a' value='b'><b/></string></context></uitext>", false, "an element inside a string" },
        { strings + "<string id='a'/></context></uitext>", false, "a string without value: the load fails" },
        { "<uitext><language langcode='de'/></uitext>", false, "another language: the load fails" },
        { "<uitext><language/></uitext>", false, "a language without langcode: the load fails" },
        { "<other/><uitext/>", false, "another element before the root" },
        { "<uitext/><uitext/>", false, "a second top-level element" },
        { "<UIText/>", false, "no root named uitext" },
        { strings + "<string id='a' value='&#x110000;'/></context></uitext>", false, "a reference the parser refuses" },
        { strings + "<string id='a' value='b'/></context></uitext", false, "a parse error at the end" },
        { std::string("<uitext/>\0<x", 12), false, "a zero byte, where the parser stops" },
        { strings + "<!-- open </context></uitext>", false, "a comment left open" },
    };
    for (const auto& row : rows) {
        StringMap map;
        std::vector<UiTextLine> lines;
        EXPECT_EQ(row.plain, readPlainly(row.text, map, lines)) << row.why;
    }

    StringMap map;
    std::vector<UiTextLine> lines;
    ASSERT_TRUE(readPlainly(rows[0].text, map, lines));
    EXPECT_EQ(1u, map.size());
    EXPECT_EQ(L"a & \x263A", map.at(L"a"));
    EXPECT_EQ("[debug] Number of strings parsed: 1\n"
              "[error] getStringMap(): unrecognized element: comment\n"
              "[error] getStringMap(): multiple context elements found.\n"
              "[debug] Number of strings parsed: 0\n",
              shown(lines));
}

TEST(StringMap, KeepsTextsOfEitherWidthAndFindsThemByTheirUnits)
{
    StringMap map;
    const struct {
        const wchar_t* key;
        const wchar_t* text;
    } rows[] = {
        { L"ascii", L"plain text" },
        { L"latin \x00E9\x00FF", L"one byte a unit up to U+00FF: \x00E9" },
        { L"wide \x0100", L"two bytes a unit from U+0100: \x263A" },
        { L"", L"" }, // empty key and text
        { L"nul\0inside", L"a\0b" },
    };
    for (const auto& row : rows)
        map.set(row.key, std::wcslen(row.key), row.text, std::wcslen(row.text));
    map.set(std::wstring(L"nul\0inside", 10), std::wstring(L"a\0b", 3));
    for (const auto& row : rows)
        EXPECT_EQ(row.text, map.at(row.key));
    EXPECT_EQ(std::wstring(L"a\0b", 3), map.at(std::wstring(L"nul\0inside", 10)));
    EXPECT_EQ(6u, map.size());
    // A key whose units only agree in their low bytes is another key.
    EXPECT_EQ(0u, map.count(L"latin \x01E9\x00FF"));
    EXPECT_EQ(0u, map.count(L"Ascii"));
    EXPECT_THROW(map.at(L"missing"), std::out_of_range);

    // A later text replaces the earlier one, whatever their widths.
    map.set(L"ascii", L"\x263A now");
    map.set(L"wide \x0100", L"narrow now");
    EXPECT_EQ(L"\x263A now", map.at(L"ascii"));
    EXPECT_EQ(L"narrow now", map.at(L"wide \x0100"));
    EXPECT_EQ(6u, map.size());

    // Growing keeps every entry; equality looks at keys and texts only.
    StringMap many;
    StringMap reversed;
    for (int i = 0; i < 5000; ++i) {
        many.set(L"key " + std::to_wstring(i), L"text " + std::to_wstring(i));
        reversed.set(L"key " + std::to_wstring(4999 - i), L"text " + std::to_wstring(4999 - i));
    }
    EXPECT_EQ(5000u, many.size());
    EXPECT_EQ(L"text 1234", many.at(L"key 1234"));
    EXPECT_TRUE(many == reversed);
    reversed.set(L"key 7", L"other");
    EXPECT_FALSE(many == reversed);
}
