// The uitext loader on generated malformed files: truncated and mutated
// XML, deeply nested elements, huge attribute values, invalid UTF-8 and
// odd character references. A file either loads or is turned down with the
// install-log line of its first problem; nothing is thrown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <Poco/Message.h>

#include "PocoWrapper/String.h"
#include "RobustnessHarness.h"
#include "UiTextExpectations.h"
#include "support/ActionLibrary.h"
#include "support/InputMutator.h"
#include "support/InstallLogRecorder.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"
#include "uitext/UiTextMap.h"
#include "uitext/XmlNesting.h"

namespace {
const std::vector<std::string> kUiTextSeeds = {
    "<uitext><language langcode='en'/><context><string id='Button.OK' value='OK'/>"
    "<string id='Welcome' value='Welcome to #Product.Name#'/></context></uitext>",
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- strings -->\n<!DOCTYPE uitext [ <!ENTITY x \"y\"> ]>\n"
    "<uitext>\n  <language langcode=\"en\"/>\n  <context>\n"
    "    <string id=\"Title\" value=\"a &amp; b &#x263A; &#65; &lt;&gt;&quot;&apos;\"/>\n"
    "    <string id=\"TITLE\" value=\"later\">content <b>bold</b></string>\n  </context>\n"
    "  <context><string id=\"x\" value=\"y\" id=\"z\"/><other/></context>\n  <comment/>\n</uitext>\n",
    "<uitext><context><string id='a' value='b'/></context><language langcode='fr'/></uitext>",
    "<uitext><language/></uitext>",
    "<uitext><context><string id='a'/></context></uitext>",
    "<uitext><context><string value='a'/></context></uitext>",
    "<UIText><language langcode='en'/></UIText>",
    "<uitext><![CDATA[<context>]]><context><string id='c' value='d'/></context></uitext>",
    "<uitext><context></contexts></uitext>",
    "<uitext><language langcode='en'/><language langcode='en'/><?pi data?></uitext><uitext/>",
    "<uitext>\n<language langcode='en'/>\n<context>\n<string id='\xC3\xA9' value='\xE2\x98\xBA'/>\n</context>\n</uitext>",
    "",
};

// Bytes that XML and UTF-8 treat specially.
const std::string kUiTextAlphabet =
    std::string("<>/=\"'&#;x!?-[] \n\tuitextlanguagecontextstringidvalue\xC3\xA9\xFF\xFE\x80\xED\xA0") + '\0';

std::string repeat(const std::string& text, std::size_t times)
{
    std::string result;
    result.reserve(text.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        result += text;
    return result;
}

std::string wrapStrings(const std::string& strings)
{
    return "<uitext><language langcode='en'/><context>" + strings + "</context></uitext>";
}

struct ShapedFile {
    std::string bytes;
    std::size_t tooDeepAt; // where the element that nests too deeply begins
};

// The file `prefix + repeat(tag, times) + suffix`, in which `opened`
// elements are open when the repeated tags begin and each repeated tag
// opens one more.
ShapedFile nested(const std::string& prefix, std::size_t opened, const std::string& tag, std::size_t times,
                  const std::string& suffix)
{
    ShapedFile file = { prefix + repeat(tag, times) + suffix, std::string::npos };
    const std::size_t first = MaxXmlNesting - opened; // the first repeated tag that lies too deep
    if (times > first)
        file.tooDeepAt = prefix.size() + first * tag.size();
    return file;
}

ShapedFile plain(const std::string& bytes)
{
    ShapedFile file = { bytes, std::string::npos };
    return file;
}

// Files built to a shape rather than by chance.
std::vector<ShapedFile> shapedFiles()
{
    std::vector<ShapedFile> files;
    const std::string strings = "<uitext><language langcode='en'/><context>";
    // Deep nesting, closed and unclosed, of elements the loader ignores and
    // of the elements it reads, around the limit and far beyond it.
    const std::size_t depths[] = { 10, MaxXmlNesting - 2, MaxXmlNesting - 1, MaxXmlNesting, MaxXmlNesting + 1,
                                   1000, 5000, 20000, 100000, 400000 };
    for (std::size_t depth : depths) {
        files.push_back(nested(strings, 2, "<a>", depth, repeat("</a>", depth) + "</context></uitext>"));
        files.push_back(nested("<uitext>", 1, "<context>", depth, ""));
        files.push_back(nested("", 0, "<uitext>", depth, repeat("</uitext>", depth)));
        files.push_back(nested(strings, 2, "<string id='i' value='v'>", depth, repeat("</string>", depth)));
        files.push_back(nested("", 0, "<x a='1'>", depth, ""));
        files.push_back(nested("\xEF\xBB\xBF<?xml version='1.0'?>\n<!-- c -->\n", 0, "<uitext >\n", depth,
                               repeat("</uitext >\n", depth)));
    }
    // What the parser skips or reads otherwise than a plain tag: a quote in
    // a name, tags inside comments, CDATA, a DOCTYPE and attribute values,
    // empty elements.
    const std::string deep = repeat("<a>", 1000);
    files.push_back(nested("<uitext><context><a\"b>", 3, "<a>", 1000, ""));
    files.push_back(nested("<uitext><context><a b='\"'>", 3, "<a>", 1000, ""));
    files.push_back(plain("<uitext><!--" + deep + "--><context/></uitext>"));
    files.push_back(plain("<uitext><![CDATA[" + deep + "]]></uitext>"));
    files.push_back(plain("<!DOCTYPE uitext [" + deep + "]><uitext/>"));
    files.push_back(plain("<uitext><?pi " + deep + "?></uitext>"));
    files.push_back(plain("<uitext><x v='>" + deep + "'></x></uitext>"));
    files.push_back(plain("<uitext><context>" + repeat("<a/>", 1000) + repeat("<b></b>", 1000) + "</context></uitext>"));
    // Huge attribute values, identifiers, names and language codes.
    const std::size_t sizes[] = { 70000, 1000000, 4000000 };
    for (std::size_t size : sizes) {
        files.push_back(plain(wrapStrings("<string id='big' value='" + std::string(size, 'v') + "'/>")));
        files.push_back(plain(wrapStrings("<string id='" + std::string(size, 'i') + "' value='v'/>")));
        files.push_back(plain(wrapStrings("<string id='e' value='" + repeat("&amp;&#x263A;", size / 12) + "'/>")));
        files.push_back(plain("<uitext><language langcode='" + std::string(size, 'e') + "'/></uitext>"));
        files.push_back(plain("<uitext><" + std::string(size, 'n') + "/></uitext>"));
        files.push_back(plain(wrapStrings("<string id='open' value='" + std::string(size, 'v'))));
        files.push_back(plain(wrapStrings(repeat("<string id='s' value='v'/>", size / 24))));
        files.push_back(plain("<uitext>" + std::string(size, ' ') + "<context/></uitext>"));
    }
    // Files of more than 2 MB that the one-pass reading gives back pages of
    // before it meets what it leaves to the parse tree, near the end.
    std::string many;
    for (int i = 0; i < 50000; ++i)
        many += "<string id='String." + std::to_string(i) + "' value='Text &amp; " + std::to_string(i) + "'/>\n";
    files.push_back(plain(wrapStrings(many + "<![CDATA[x]]>")));
    files.push_back(plain(wrapStrings(many + "<string id='late'/>")));
    files.push_back(plain(wrapStrings(many + "<string id='x' value='&#x110000;'/>")));
    files.push_back(plain(wrapStrings(many) + "<uitext/>"));
    files.push_back(plain(wrapStrings(many)));
    // Invalid UTF-8 and odd character references where texts are read.
    const char* const oddTexts[] = { "\xFF",         "\xC0\xAF",     "\xED\xA0\x80", "\xF8\x88\x80\x80\x80",
                                     "\xE2\x98",     "\xF4\x90\x80\x80", "a\x80" "b", "&#0;",
                                     "&#x110000;",   "&#xD800;",     "&#99999999999999999999;", "&#x;",
                                     "&#;",          "&#xFFFFFFFF;", "&#65",         "&unknown;",
                                     "&#x41;&#x1F600;", "\xEF\xBB\xBF" };
    for (const char* odd : oddTexts) {
        files.push_back(plain(wrapStrings(std::string("<string id='") + odd + "' value='v'/>")));
        files.push_back(plain(wrapStrings(std::string("<string id='i' value='") + odd + "'/>")));
        files.push_back(plain(std::string("<uitext><language langcode='") + odd + "'/></uitext>"));
        files.push_back(plain(std::string("<uitext><") + odd + "/></uitext>"));
        files.push_back(plain(std::string("<uitext><context><string ") + odd + "='x' id='i' value='v'/></context></uitext>"));
        files.push_back(plain(std::string(odd) + "<uitext/>"));
    }
    return files;
}

class UiTextRobustness : public ::testing::Test {
protected:
    UiTextRobustness() : file(dir.file(L"strings.uitext")) {}

    // Loads the bytes as a uitext file and checks the outcome and every
    // install-log line against what the file's content calls for.
    void attack(std::size_t index, const std::string& bytes, std::size_t tooDeepAt = std::string::npos)
    {
        WriteBytes(file, bytes);
        const UiTextExpectation expected = ExpectUiTextLoad(bytes, file, L"en", tooDeepAt);
        InstallLogRecorder recorder;
        boost::shared_ptr<StringMap> strings;
        ASSERT_NO_THROW(strings = getStringMap(file, L"en")) << "input " << index << ": " << Shown(bytes);
        SCOPED_TRACE("input " + std::to_string(index) + ": " + Shown(bytes));
        ASSERT_EQ(expected.loads, static_cast<bool>(strings));
        ASSERT_EQ("", CompareLines(expected.lines, recorder.Lines()));
        if (strings) {
            ASSERT_LE(strings->size(), expected.strings);
            ASSERT_EQ(expected.strings > 0, !strings->empty());
            ASSERT_TRUE(*expected.map == *strings);
        }
    }

    ScopedTempDir dir;
    const std::wstring file;
};
}

TEST_F(UiTextRobustness, MutatedFilesLoadOrSayWhy)
{
    InputMutator mutator(kUiTextSeeds, 0x0171u, kUiTextAlphabet);
    for (std::size_t i = 0; i < 10000; ++i) {
        BeginInput(Target::UiTextFiles, i);
        ASSERT_NO_FATAL_FAILURE(attack(i, mutator.Next()));
    }
}

TEST_F(UiTextRobustness, ShapedFilesLoadOrSayWhy)
{
    const std::vector<ShapedFile> files = shapedFiles();
    for (std::size_t i = 0; i < files.size(); ++i) {
        BeginInput(Target::UiTextFiles, i);
        ASSERT_NO_FATAL_FAILURE(attack(i, files[i].bytes, files[i].tooDeepAt));
    }
}

TEST_F(UiTextRobustness, TranslateStringExportReportsTheFileAndStillTranslates)
{
    // Let Verrand.dll's own install-log facade write its one-time warning
    // before anything is recorded: a call that reaches the loader (an empty
    // file argument is refused before it).
    CallAction("TranslateString", RecordingContext::Create({ { L"UITextFile", file + L".missing" },
                                                             { L"LangCode", L"en" } }));
    InputMutator mutator(kUiTextSeeds, 0x0172u, kUiTextAlphabet);
    for (std::size_t i = 0; i < 300; ++i) {
        BeginInput(Target::UiTextThroughDll, i);
        const std::string bytes = mutator.Next();
        WriteBytes(file, bytes);
        const UiTextExpectation expected = ExpectUiTextLoad(bytes, file, L"en");
        RecordingContextPtr context = RecordingContext::Create(
            { { L"UITextFile", file }, { L"LangCode", L"en" }, { L"StringToTranslate", L"Press ##1 #Missing.Id#" } });
        std::vector<InstallLogLine> lines;
        {
            InstallLogRecorder recorder;
            ASSERT_EQ(0, CallAction("TranslateString", context)) << "input " << i;
            lines = recorder.Lines();
        }
        SCOPED_TRACE("input " + std::to_string(i) + ": " + Shown(bytes));
        std::wstring translated;
        ASSERT_TRUE(context->PropertySet(L"TranslatedString", &translated));
        ASSERT_TRUE(translated == L"Press #1 #Missing.Id#") << Shown(translated);
        // The load's lines, then the lookup of the one identifier: a warning
        // when nothing was loaded, then the not-found error.
        std::vector<ExpectedLine> expectedLines = expected.lines;
        if (!expected.loads) {
            ExpectedLine warning = { Poco::Message::PRIO_WARNING, "BasicStringLib: UI text not loaded." };
            expectedLines.push_back(warning);
        }
        ExpectedLine notFound = { Poco::Message::PRIO_ERROR, "Error: Identifier not found in lookup: #Missing.Id#" };
        expectedLines.push_back(notFound);
        ASSERT_EQ("", CompareLines(expectedLines, lines));
    }
}
