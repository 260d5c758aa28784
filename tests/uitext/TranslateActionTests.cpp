// TranslateString and TranslateStringIfConditionsEqual through the real
// Verrand.dll exports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "UiTextFixtures.h"
#include "support/ActionLibrary.h"
#include "support/InstallLogRecorder.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

using testing::ElementsAre;
using testing::IsEmpty;
using testing::StartsWith;

namespace {
class TranslateActions : public testing::Test {
protected:
    // Verrand.dll carries its own install-log facade, which warns once on
    // its first line; let that happen before anything is recorded.
    static void SetUpTestSuite() { CallAction("TranslateString", RecordingContext::Create()); }

    // Runs the action and gives the translation (fails the test when none
    // was set).
    std::wstring Translate(const char* action, const RecordingContext::Values& arguments)
    {
        context = RecordingContext::Create(arguments);
        EXPECT_EQ(0, CallAction(action, context));
        std::wstring value;
        EXPECT_TRUE(context->PropertySet(L"TranslatedString", &value));
        return value;
    }

    RecordingContextPtr context;
};

const std::string kNotLoaded = "BasicStringLib: UI text not loaded.";
}

TEST_F(TranslateActions, TranslatesFromTheFile)
{
    const std::wstring file = Fixture(L"strings.uitext");
    EXPECT_EQ(L"Press OK: Welcome to Verrand & friends, press OK (100#)",
              Translate("TranslateString", { { L"UITextFile", file }, { L"LangCode", L"en" },
                                             { L"StringToTranslate", L"Press #button.ok#: #Welcome# (100##)" } }));
    EXPECT_THAT(context->argumentsRead, ElementsAre(L"LangCode", L"UITextFile", L"StringToTranslate"));
    EXPECT_EQ(L"no identifiers", Translate("TranslateString", { { L"UITextFile", file }, { L"LangCode", L"en" },
                                                                 { L"StringToTranslate", L"no identifiers" } }));
    EXPECT_EQ(L"", Translate("TranslateString", { { L"UITextFile", file }, { L"LangCode", L"en" } }));
    EXPECT_THAT(context->Texts(), IsEmpty());
}

TEST_F(TranslateActions, FileThatCannotBeUsedStillSetsTheInput)
{
    ScopedTempDir folder;
    const std::wstring missing = folder.file(L"missing.uitext");
    const std::wstring strings = Fixture(L"strings.uitext");
    const struct {
        std::wstring file;
        std::wstring language;
        std::string firstLine;
    } cases[] = {
        { missing, L"en", "Error: UI Text file doesn't exists: " + Narrow(missing) },
        { strings, L"de", "Error: Locale mismatch: current [de], locale in file: [" + Narrow(strings) + "] : [en]" },
        { folder.path(), L"en", "Error: Assert(uiTextPathFile.isFile()) failed in file StringLibraryUtility line " },
        { strings, L"", "Error: Assert(!setupUILanguage.empty()) failed in file StringLibraryUtility line " },
    };
    for (const auto& c : cases) {
        InstallLogRecorder recorder;
        EXPECT_EQ(L"#Button.OK# #", Translate("TranslateString", { { L"UITextFile", c.file }, { L"LangCode", c.language },
                                                                   { L"StringToTranslate", L"#Button.OK# ##" } }));
        const std::vector<std::string> lines = recorder.Texts();
        ASSERT_GE(lines.size(), 3u) << c.firstLine;
        EXPECT_THAT(lines[lines.size() - 3], StartsWith(c.firstLine));
        EXPECT_EQ(kNotLoaded, lines[lines.size() - 2]);
        EXPECT_EQ("Error: Identifier not found in lookup: #Button.OK#", lines.back());
    }
}

TEST_F(TranslateActions, ConditionalTranslationComparesExactly)
{
    const RecordingContext::Values file = { { L"UITextFile", Fixture(L"strings.uitext") }, { L"LangCode", L"en" },
                                            { L"StringToTranslate", L"#Title#" } };
    RecordingContext::Values differ = file;
    differ[L"LHSCondition"] = L"Yes";
    differ[L"RHSCondition"] = L"yes";
    context = RecordingContext::Create(differ, { { L"TranslatedString", L"earlier" } });
    InstallLogRecorder recorder;
    EXPECT_EQ(0, CallAction("TranslateStringIfConditionsEqual", context));
    EXPECT_THAT(context->propertiesSet, IsEmpty());
    EXPECT_THAT(context->argumentsRead, ElementsAre(L"LHSCondition", L"RHSCondition"));
    EXPECT_THAT(recorder.Texts(), IsEmpty());
    // The skip says why.
    EXPECT_THAT(context->Texts(2),
                ElementsAre(L"TranslateStringIfConditionsEqual: the conditions differ; nothing is translated"));

    EXPECT_EQ(L"second", Translate("TranslateStringIfConditionsEqual", file));
    RecordingContext::Values same = file;
    same[L"LHSCondition"] = same[L"RHSCondition"] = L" Yes";
    EXPECT_EQ(L"second", Translate("TranslateStringIfConditionsEqual", same));
    EXPECT_THAT(context->argumentsRead,
                ElementsAre(L"LHSCondition", L"RHSCondition", L"LangCode", L"UITextFile", L"StringToTranslate"));
}
