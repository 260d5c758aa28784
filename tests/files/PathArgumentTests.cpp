// Path arguments across the file, uitext and shell actions, through the real
// exports: empty ones are refused by name, and long paths work the same with
// either separator.
#include <gtest/gtest.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
const char* const kUiText = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<uitext>\n  <language langcode='en'/>\n"
                            "  <context>\n    <string id=\"Hello\" value=\"Hi there\"/>\n  </context>\n</uitext>\n";

std::wstring withSeparator(std::wstring path, wchar_t separator)
{
    for (wchar_t& ch : path) {
        if (ch == L'\\' || ch == L'/')
            ch = separator;
    }
    return path;
}

// The form test helpers use for paths past MAX_PATH.
std::wstring extended(const std::wstring& path)
{
    return L"\\\\?\\" + withSeparator(path, L'\\');
}

int run(const char* action, const RecordingContext::Values& arguments, RecordingContextPtr& context)
{
    context = RecordingContext::Create(arguments);
    return CallAction(action, context);
}
}

TEST(PathArguments, EmptyOrUnsafePathsAreRefusedByNameWithNothingDone)
{
    ScopedTempDir dir;
    const std::wstring file = dir.file(L"settings.xml");
    WriteBytes(file, "v=old\n");
    const std::wstring other = dir.file(L"other.xml");
    WriteBytes(other, "v=old\n");
    WriteBytes(other + L".tmp", "the user's own\n");
    struct Row {
        const char* action;
        RecordingContext::Values arguments;
        std::wstring refused;
    };
    const RecordingContext::Values edit = { { L"SearchWord", L"old" }, { L"ReplaceWord", L"new" },
                                            { L"Attributes", L"0" } };
    auto with = [](RecordingContext::Values values, const std::wstring& name, const std::wstring& value) {
        values[name] = value;
        return values;
    };
    const std::vector<Row> rows = {
        { "LMRXTextReplace", with(edit, L"File", L""), L"File" },
        { "LMRXTextReplace", with(edit, L"File", L"  "), L"File" },
        { "LMRXTextReplace", with(edit, L"File", L"C:\\"), L"File" },
        // settings.xml. is settings.xml to Windows.
        { "LMRXTextReplace", with(edit, L"File", file + L"."), L"File" },
        { "LMRXTextReplace", with(edit, L"File", dir.file(L"CON")), L"File" },
        // The edit would overwrite the file at the temporary name, and delete
        // it when the edit fails.
        { "LMRXTextReplace", with(edit, L"File", other), L"File" },
        { "TranslateString", { { L"LangCode", L"en" }, { L"StringToTranslate", L"#Hello#" } }, L"UITextFile" },
        { "TranslateString", { { L"UITextFile", L" " }, { L"LangCode", L"en" } }, L"UITextFile" },
        { "TranslateStringIfConditionsEqual", { { L"LangCode", L"en" } }, L"UITextFile" },
    };
    for (const Row& row : rows) {
        RecordingContextPtr context;
        EXPECT_EQ(1, run(row.action, row.arguments, context)) << row.action << " " << Narrow(row.refused);
        ASSERT_EQ(1u, context->lines.size()) << row.action;
        EXPECT_EQ(4, context->lines[0].level);
        EXPECT_EQ(0u, context->lines[0].text.find(L"Refusing " + row.refused + L" \"")) << row.action;
        EXPECT_TRUE(context->propertiesSet.empty()) << row.action;
        EXPECT_EQ("v=old\n", ReadBytes(file));
        EXPECT_FALSE(PathExists(file + L".tmp"));
    }
    EXPECT_EQ("v=old\n", ReadBytes(other));
    EXPECT_EQ("the user's own\n", ReadBytes(other + L".tmp"));
}

TEST(PathArguments, LongPathsWorkTheSameWithEitherSeparator)
{
    ScopedTempDir dir;
    // About 300 characters, past MAX_PATH.
    std::wstring longFolder = dir.path();
    while (longFolder.size() < 290)
        longFolder += L"\\" + std::wstring(40, L'f');
    for (wchar_t separator : { L'\\', L'/' }) {
        const std::wstring folder = withSeparator(longFolder + (separator == L'\\' ? L"\\back" : L"\\forward"),
                                                  separator);
        const std::string label = separator == L'\\' ? "backslashes" : "forward slashes";
        RecordingContextPtr context;

        ASSERT_EQ(0, run("EnsureFolderExists", { { L"FolderName", folder } }, context)) << label;
        ASSERT_TRUE(PathExists(extended(folder))) << label;
        const std::wstring sep(1, separator);

        WriteBytes(extended(folder + L"\\a.txt"), "v=old\n");
        EXPECT_EQ(0, run("LMRXTextReplace",
                         { { L"File", folder + sep + L"a.txt" }, { L"SearchWord", L"old" }, { L"ReplaceWord", L"new" },
                           { L"Attributes", L"0" } },
                         context))
            << label;
        EXPECT_EQ("v=new\n", ReadBytes(extended(folder + L"\\a.txt"))) << label;

        WriteBytes(extended(folder + L"\\s.uitext"), kUiText);
        EXPECT_EQ(0, run("TranslateString",
                         { { L"UITextFile", folder + sep + L"s.uitext" }, { L"LangCode", L"en" },
                           { L"StringToTranslate", L"#Hello#" } },
                         context))
            << label;
        std::wstring translated;
        EXPECT_TRUE(context->PropertySet(L"TranslatedString", &translated));
        EXPECT_EQ(L"Hi there", translated) << label;

        const RecordingContext::Values link = { { L"runAction", L"1" },
                                                { L"linkFullPath", folder + sep + L"menu" + sep + L"App.lnk" },
                                                { L"pathToTarget", L"C:\\windows\\notepad.exe" } };
        EXPECT_EQ(0, run("CreateShortcut", link, context)) << label;
        EXPECT_TRUE(PathExists(extended(folder + L"\\menu\\App.lnk"))) << label;
        EXPECT_EQ(0, run("RemoveShortcut", link, context)) << label;
        EXPECT_FALSE(PathExists(extended(folder + L"\\menu"))) << label;

        const RecordingContext::Values config = { { L"$du$action", L"uninstall" },
                                                  { L"$action.invocationdata.dir", dir.file(L"step") },
                                                  { L"DirName", folder },
                                                  { L"FileName", L"a.txt" } };
        EXPECT_EQ(0, run("RemoveUserConfigFile", config, context)) << label;
        EXPECT_FALSE(PathExists(extended(folder + L"\\a.txt"))) << label;
        EXPECT_EQ(0, run("RollbackRemoveUserConfigFile", config, context)) << label;
        EXPECT_EQ("v=new\n", ReadBytes(extended(folder + L"\\a.txt"))) << label;
    }
}
