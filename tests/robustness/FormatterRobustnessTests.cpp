// The recursive formatter on generated strings against generated uitext
// libraries: texts that refer to each other, to themselves and to nothing,
// broken and unclosed identifiers, and fan-out files whose full expansion
// would run to gigabytes. The result must follow the formatting rules with
// their install-log lines, and no call may build more than the cap allows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FormatterModel.h"
#include "PocoWrapper/String.h"
#include "RobustnessHarness.h"
#include "support/ActionLibrary.h"
#include "support/InputMutator.h"
#include "support/InstallLogRecorder.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"
#include "uitext/BasicStringLibrary.h"
#include "uitext/StringFormatter.h"

namespace {
typedef boost::shared_ptr<IStringLibrary> LibraryPtr;
const std::string kCapLine = "Error: Formatted string exceeds 1048576 characters; rest left unformatted";
const std::string kLookupCapLine = "Error: Formatted string needs more than 1048576 lookups; rest left unformatted";

// A string table as written to a uitext file: identifiers as written, in
// file order, and the table the file must load into.
struct GeneratedLibrary {
    std::vector<std::pair<std::wstring, std::wstring> > written;
    FormatterModel::Strings strings;
    std::size_t longestValue;
};

std::string xmlAttribute(const std::wstring& value)
{
    std::string escaped;
    const std::string utf8 = Narrow(value);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(utf8[i]);
        switch (ch) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        default:
            if (ch < 0x20)
                escaped += "&#" + std::to_string(ch) + ";";
            else
                escaped += static_cast<char>(ch);
        }
    }
    return escaped;
}

void writeLibrary(const std::wstring& path, const GeneratedLibrary& library)
{
    std::string xml = "<uitext>\n  <language langcode=\"en\"/>\n  <context>\n";
    for (std::size_t i = 0; i < library.written.size(); ++i)
        xml += "    <string id=\"" + xmlAttribute(library.written[i].first) + "\" value=\"" +
               xmlAttribute(library.written[i].second) + "\"/>\n";
    xml += "  </context>\n</uitext>\n";
    WriteBytes(path, xml);
}

void add(GeneratedLibrary& library, const std::wstring& id, const std::wstring& value)
{
    library.written.push_back(std::make_pair(id, value));
    library.strings[PocoWrapper::toLower(id)] = value;
    library.longestValue = std::max(library.longestValue, value.size());
}

// What a uitext file can carry: no NUL, no lone surrogate.
std::wstring storable(const std::wstring& text)
{
    std::wstring result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t ch = text[i];
        const bool high = ch >= 0xD800 && ch <= 0xDBFF;
        const bool low = ch >= 0xDC00 && ch <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            result += ch;
            result += text[++i];
        } else if (high || low) {
            result += L'\xFFFD';
        } else if (ch != L'\0') {
            result += ch;
        }
    }
    return result;
}

const std::vector<std::wstring> kIdentifiers = { L"a",     L"B",     L"c.d",     L"e_f", L"g h",
                                                 L"Title", L"TITLE", L"x1",      L"Z",   L"\x00E9t\x00E9",
                                                 L"",      L" pad ", L"Product.Name" };

const std::vector<std::string> kTextSeeds = {
    "#a#", "x#a#", "#B##c.d#", "100##", "####", "#a-b#", "50 #x", "#g h#", "#Title# and #title#",
    "Welcome to #Product.Name#, press #a# (100##)", "#missing#", "#e_f##x1##Z#", "# pad #", "", "#\xC3\xA9t\xC3\xA9#",
};

class FormatterRobustness : public ::testing::Test {
protected:
    // Formats one text and checks the result and the lines against the
    // rules. A result the rules make longer than the cap must have been cut
    // there, with its one error line.
    void attack(std::size_t index, const std::wstring& text, const LibraryPtr& library,
                const FormatterModel::Strings& strings, bool loaded, std::size_t longestValue)
    {
        InstallLogRecorder recorder;
        std::wstring result;
        ASSERT_NO_THROW(result = BasicFormatString(text, library)) << "input " << index << ": " << Shown(text);
        const std::vector<InstallLogLine> lines = recorder.Lines();
        checkResult(index, text, result, lines, strings, loaded, longestValue);
    }

    static void checkResult(std::size_t index, const std::wstring& text, const std::wstring& result,
                            std::vector<InstallLogLine> lines, const FormatterModel::Strings& strings, bool loaded,
                            std::size_t longestValue)
    {
        SCOPED_TRACE("input " + std::to_string(index) + ": " + Shown(text));
        ASSERT_LE(result.size(), kFormattedLengthCap + 2 * (text.size() + 7 * longestValue));

        FormatterModel model(strings, loaded, 2 * kFormattedLengthCap + text.size());
        std::wstring expected;
        const FormatterModel::Outcome outcome = model.Format(text, expected);
        std::size_t cuts = 0;
        for (std::size_t i = 0; i < lines.size(); ++i)
            cuts += lines[i].text == kCapLine || lines[i].text == kLookupCapLine;
        ASSERT_LE(cuts, 1u) << "one call is cut once";

        if (cuts == 0) {
            ASSERT_EQ(FormatterModel::Complete, outcome) << "past a cap, but nothing was cut";
            ASSERT_TRUE(expected == result) << "result " << Shown(result) << " expected " << Shown(expected);
            ASSERT_EQ("", CompareLines(model.Lines(), lines));
            return;
        }
        ASSERT_TRUE(outcome != FormatterModel::Complete || expected.size() > kFormattedLengthCap)
            << "cut although below both caps";
        // Past the lookup cap with a result still below the length cap, only
        // the lookup cap can have cut.
        if (outcome == FormatterModel::TooManyLookups && expected.size() <= kFormattedLengthCap) {
            ASSERT_EQ(kLookupCapLine, lines.back().text);
        }
        ASSERT_TRUE(lines.back().text == kCapLine || lines.back().text == kLookupCapLine)
            << "nothing is looked up once the result is cut";
        lines.pop_back();
        const std::size_t common = std::min(lines.size(), model.Lines().size());
        const std::vector<ExpectedLine> before(model.Lines().begin(), model.Lines().begin() + common);
        lines.resize(common);
        ASSERT_EQ("", CompareLines(before, lines));
    }

    ScopedTempDir dir;
};
}

TEST_F(FormatterRobustness, GeneratedStringsFollowTheRules)
{
    InputMutator values(kTextSeeds, 0xF0A1u, "# ._-aBcdeghxZ1\t");
    InputMutator texts(kTextSeeds, 0xF0A2u, "# ._-aBcdeghxZ1\t");
    const std::wstring file = dir.file(L"generated.uitext");
    std::size_t index = 0;
    for (int libraryIndex = 0; libraryIndex < 40; ++libraryIndex) {
        GeneratedLibrary generated;
        generated.longestValue = 0;
        for (std::size_t n = 4 + values.Below(12); n > 0; --n)
            add(generated, kIdentifiers[values.Below(kIdentifiers.size())], storable(values.NextWide()));
        writeLibrary(file, generated);
        LibraryPtr library;
        {
            InstallLogRecorder loading;
            library.reset(new BasicStringLibrary(file, L"en"));
            const std::vector<InstallLogLine> lines = loading.Lines();
            ASSERT_EQ(2u, lines.size()) << "library " << libraryIndex << " did not load: " << lines.back().text;
            ASSERT_EQ("Number of strings parsed: " + std::to_string(generated.written.size()), lines[1].text);
        }
        for (int i = 0; i < 250; ++i, ++index) {
            BeginInput(Target::Formatter, index);
            ASSERT_NO_FATAL_FAILURE(
                attack(index, texts.NextWide(), library, generated.strings, true, generated.longestValue));
        }
    }
}

TEST_F(FormatterRobustness, LibraryWithoutStringsAndNoLibrary)
{
    InputMutator texts(kTextSeeds, 0xF0A3u, "# ._-aBcdeghxZ1\t");
    const LibraryPtr missing(new BasicStringLibrary(dir.file(L"missing.uitext"), L"en"));
    const FormatterModel::Strings none;
    for (std::size_t i = 0; i < 300; ++i) {
        BeginInput(Target::Formatter, i);
        ASSERT_NO_FATAL_FAILURE(attack(i, texts.NextWide(), missing, none, false, 0));
    }
    for (std::size_t i = 0; i < 50; ++i) {
        BeginInput(Target::Formatter, i);
        const std::wstring text = texts.NextWide();
        InstallLogRecorder recorder;
        std::wstring result;
        ASSERT_NO_THROW(result = BasicFormatString(text, LibraryPtr()));
        ASSERT_TRUE(text == result) << Shown(text);
        ASSERT_EQ(1u, recorder.Lines().size());
        ASSERT_EQ("Error: Cannot format string using NULL string library.", recorder.Lines()[0].text);
    }
}

TEST_F(FormatterRobustness, HugeStringsAreFormattedWithinTheCap)
{
    GeneratedLibrary generated;
    generated.longestValue = 0;
    add(generated, L"a", L"A");
    add(generated, L"self", L"x#self#");
    add(generated, L"big", std::wstring(600000, L'b'));
    add(generated, std::wstring(2000, L' '), L"blank");
    const std::wstring file = dir.file(L"huge.uitext");
    writeLibrary(file, generated);
    const LibraryPtr library(new BasicStringLibrary(file, L"en"));

    std::wstring manyIdentifiers;
    std::wstring manyMissing;
    std::wstring manySelf;
    for (int i = 0; i < 200000; ++i) {
        manyIdentifiers += L"#a#";
        manyMissing += i % 1000 ? L"#a#" : L"#nothing#";
        manySelf += i % 100 ? L"#" : L"#self#";
    }
    const std::vector<std::wstring> inputs = {
        std::wstring(1000000, L'#'),
        std::wstring(999999, L'#'),
        std::wstring(2000000, L'z'),
        L"#" + std::wstring(2000, L' ') + L"#",
        L"#" + std::wstring(2000000, L'a'),
        manyIdentifiers,
        manyMissing,
        manySelf,
        L"#big##big#",
        L"#big##big##big##big#",
        L"#big#" + manyIdentifiers,
    };
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        BeginInput(Target::Formatter, i);
        ASSERT_NO_FATAL_FAILURE(attack(i, inputs[i], library, generated.strings, true, generated.longestValue));
    }
}

namespace {
// Texts that each refer `fanOut` times to the one below, `levels` deep, on
// top of a leaf text: the full expansion of the top is fanOut^levels
// leaves.
GeneratedLibrary fanOutLibrary(std::size_t fanOut, int levels, std::size_t leafLength)
{
    GeneratedLibrary library;
    library.longestValue = 0;
    add(library, L"L0", std::wstring(leafLength, L'z'));
    for (int level = 1; level <= levels; ++level) {
        std::wstring value;
        for (std::size_t i = 0; i < fanOut; ++i)
            value += L"#L" + std::to_wstring(level - 1) + L"#" + (i % 2 ? L" " : L"");
        add(library, L"L" + std::to_wstring(level), value);
    }
    add(library, L"Top", L"Top: #L" + std::to_wstring(levels) + L"# end");
    return library;
}

struct FanOutShape {
    std::size_t fanOut;
    int levels;
    std::size_t leafLength;
    std::vector<std::string> texts; // each formatted, then as many mutated ones
};

// Every shape's full expansion dwarfs the caps, or (the empty leaves) costs
// a hundred million lookups while its result stays short.
const FanOutShape kFanOutShapes[] = {
    { 2, 4, 10, { "#Top#", "#L4##L4#", "before #TOP# after #l3# ##" } },
    { 4, 4, 1000, { "#Top#", "#L4##L4#", "#top##top##top#" } },
    { 10, 4, 20, { "#Top#", "#L4##L4#", "#L2# #L3# #L4#" } },
    { 10, 6, 50, { "#Top#", "#L5#", "#L2# #L3# #L4# #L5# #L6#" } },
    { 16, 5, 2000, { "#Top#", "#L5#", "#l5##L4#" } },
    { 3, 7, 100, { "#Top#", "#L7#", "#L2# #L3# #L4# #L5# #L6# #L7#" } },
    { 50, 3, 500, { "#Top#", "#L3#", "#top##top##top#" } },
    { 100, 4, 0, { "#L4#", "#L3#" } },
};
}

TEST_F(FormatterRobustness, FanOutFilesAreCutAtTheCaps)
{
    const std::wstring file = dir.file(L"fanout.uitext");
    std::size_t index = 0;
    for (const FanOutShape& shape : kFanOutShapes) {
        const GeneratedLibrary generated = fanOutLibrary(shape.fanOut, shape.levels, shape.leafLength);
        writeLibrary(file, generated);
        const LibraryPtr library(new BasicStringLibrary(file, L"en"));
        // The empty leaves cost a million lookups a text: the fixed texts say
        // enough there.
        const std::size_t mutated = shape.leafLength == 0 ? 0 : shape.texts.size();
        InputMutator texts(shape.texts, 0xFA11u + static_cast<std::uint32_t>(index), "#LTop0123456 ");
        for (std::size_t i = 0; i < shape.texts.size() + mutated; ++i, ++index) {
            BeginInput(Target::Formatter, index);
            const std::wstring text = i < shape.texts.size() ? PocoWrapper::toWide(shape.texts[i]) : texts.NextWide();
            ASSERT_NO_FATAL_FAILURE(attack(index, text, library, generated.strings, true, generated.longestValue));
        }
    }
}

TEST_F(FormatterRobustness, TranslateStringExportCutsFanOutAtTheCap)
{
    // Let Verrand.dll's own install-log facade write its one-time warning
    // before anything is recorded.
    CallAction("TranslateString", RecordingContext::Create());
    std::size_t index = 0;
    for (const FanOutShape& shape : kFanOutShapes) {
        const GeneratedLibrary generated = fanOutLibrary(shape.fanOut, shape.levels, shape.leafLength);
        const std::wstring file = dir.file(L"fanout" + std::to_wstring(index) + L".uitext");
        writeLibrary(file, generated);
        InputMutator texts(shape.texts, 0xFA12u + static_cast<std::uint32_t>(index), "#LTop0123456 ");
        const std::size_t count = shape.leafLength == 0 ? 1 : shape.texts.size() + 1;
        for (std::size_t i = 0; i < count; ++i, ++index) {
            BeginInput(Target::FormatterThroughDll, index);
            const std::wstring text = i < shape.texts.size() ? PocoWrapper::toWide(shape.texts[i]) : texts.NextWide();
            RecordingContextPtr context = RecordingContext::Create(
                { { L"UITextFile", file }, { L"LangCode", L"en" }, { L"StringToTranslate", text } });
            std::wstring result;
            std::vector<InstallLogLine> lines;
            {
                InstallLogRecorder recorder;
                ASSERT_EQ(0, CallAction("TranslateString", context));
                lines = recorder.Lines();
            }
            ASSERT_TRUE(context->PropertySet(L"TranslatedString", &result));
            // The load writes its own lines first: "Parsing file: " and one
            // count line.
            ASSERT_GE(lines.size(), 2u);
            lines.erase(lines.begin(), lines.begin() + 2);
            ASSERT_NO_FATAL_FAILURE(
                checkResult(index, text, result, lines, generated.strings, true, generated.longestValue));
        }
    }
}
