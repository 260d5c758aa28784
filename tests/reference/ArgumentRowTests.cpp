// Each action's table of arguments against the action itself: every
// required argument, and every optional one whose default is a line, a
// refusal or a skip, is left out, and then given empty, in an otherwise
// valid call through the real export, and the action must do what the row's
// "default when missing or empty" cell says.
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include <windows.h>

#include <gtest/gtest.h>

#include "host/Reference.h"
#include "QuotedLines.h"
#include "ReferenceInputs.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
const wchar_t* const kKey = L"Software\\VerrandRowCheck";
const wchar_t* const kProperty = L"ROWPROP";

struct Row {
    std::string argument;
    bool required;
    std::string fallback;  // the "default when missing or empty" cell
};

std::string cell(const std::vector<std::string>& cells, size_t i)
{
    std::string text = i < cells.size() ? cells[i] : std::string();
    const std::string::size_type first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The rows of the argument tables.
std::vector<Row> argumentRows(const std::string& text)
{
    std::vector<Row> rows;
    std::istringstream input(text);
    bool arguments = false;
    for (std::string line; std::getline(input, line);) {
        if (line.compare(0, 1, "|") != 0) {
            arguments = false;
            continue;
        }
        // Cells split at "|" that is not written "\|".
        std::vector<std::string> cells;
        std::string current;
        for (size_t i = 1; i < line.size(); ++i) {
            if (line[i] == '|' && line[i - 1] != '\\') {
                cells.push_back(current);
                current.clear();
            } else {
                current += line[i];
            }
        }
        const std::string first = cell(cells, 0);
        if (first == "argument") {
            arguments = true;
            continue;
        }
        if (!arguments || first.compare(0, 3, "---") == 0)
            continue;
        rows.push_back(Row{ first.substr(1, first.size() - 2), cell(cells, 1).compare(0, 8, "required") == 0,
                            cell(cells, 3) });
    }
    return rows;
}

typedef std::vector<std::pair<std::wstring, std::wstring>> Call;

// A valid call of each action with rows to try: a row's call is this one
// without the row's argument. A key "Action.argument" gives that row a call
// of its own. {dir} stands for the row's own folder.
const std::map<std::string, Call> kCalls = {
    { "RunCommand", { { L"CmdLine", L"cmd /c exit 0" } } },
    { "RunRollBackCommand", { { L"RollBackCmdLine", L"cmd /c exit 0" } } },
    { "RunCommandOnNormalAndRepair",
      { { L"CmdLine", L"cmd /c exit 0" }, { L"CmdLineOnRepair", L"cmd /c exit 0" }, { L"DUInstallAction", L"install" } } },
    { "RunCommandOnNormalAndRepair.CmdLineOnRepair",
      { { L"CmdLine", L"cmd /c exit 0" }, { L"CmdLineOnRepair", L"cmd /c exit 0" }, { L"DUInstallAction", L"repair" } } },
    { "RunCommandConditional",
      { { L"CmdLine", L"cmd /c exit 0" }, { L"ConditionPropertyToCheck", kProperty }, { L"PropertyValueCompareWith", L"" } } },
    { "RunCommandAndSetProperty",
      { { L"CmdLine", L"cmd /c exit 0" }, { L"WriteProperty", kProperty }, { L"Default", L"d" } } },
    { "SetPrivilege", { { L"Privilege", L"SeServiceLogonRight" }, { L"DomainUser", L"verrand-row-check" } } },
    { "RollbackSetPrivilege",
      { { L"Privilege", L"SeServiceLogonRight" }, { L"DomainUser", L"verrand-row-check" },
        { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "MoveRegistry",
      { { L"RegistryHive", std::wstring(L"HKCU\\") + kKey }, { L"RegistryKeySrc", L"a" }, { L"RegistryKeyTgt", L"b" },
        { L"RegistryType", L"S" } } },
    { "RollbackMoveRegistry",
      { { L"RegistryHive", std::wstring(L"HKCU\\") + kKey }, { L"RegistryKeySrc", L"a" }, { L"RegistryKeyTgt", L"b" },
        { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    // A package that is not there: the lines come before the installer fails.
    { "InstallDUBundle",
      { { L"DUBundle", L"{dir}\\none.msi" }, { L"PerUser", L"no" }, { L"$du.dir", L"{dir}\\du\\" } } },
    { "GetProductOSDefaultInstallLocation", { { L"InstallFolderName", L"Notes" }, { L"PropertyName", kProperty } } },
    { "GetProductPatchLevel",
      { { L"ProductDUID", L"{5E1F7A30-0000-4000-8000-00000000C0DE}" }, { L"PropertyName", kProperty } } },
    { "CreateShortcut",
      { { L"runAction", L"1" }, { L"linkFullPath", L"{dir}\\Notes.lnk" },
        { L"pathToTarget", L"C:\\windows\\system32\\notepad.exe" } } },
    { "RollbackCreateShortcut",
      { { L"linkFullPath", L"{dir}\\Notes.lnk" }, { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "RemoveShortcut", { { L"runAction", L"1" }, { L"linkFullPath", L"{dir}\\Notes.lnk" } } },
    { "RollbackRemoveShortcut",
      { { L"linkFullPath", L"{dir}\\Notes.lnk" }, { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "EnsureFolderExists", { { L"FolderName", L"{dir}\\made" } } },
    { "RollbackEnsureFolderExists",
      { { L"FolderName", L"{dir}\\made" }, { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "ConfigureEnvironment",
      { { L"ENV_NAME", L"VERRAND_ROW_CHECK" }, { L"ENV_VALUE", L"{dir}" }, { L"ACTION", L"prepend" } } },
    { "RollbackConfigureEnvironment",
      { { L"ENV_NAME", L"VERRAND_ROW_CHECK" }, { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "LMRXTextReplace", { { L"File", L"{dir}\\text.txt" }, { L"SearchWord", L"line" }, { L"ReplaceWord", L"row" } } },
    { "RollbackLMRXTextReplace",
      { { L"File", L"{dir}\\text.txt" }, { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "DeleteRegistryKey", { { L"Root", L"HKEY_CURRENT_USER" }, { L"Path", kKey } } },
    { "RollbackDeleteRegistryKey",
      { { L"Root", L"HKEY_CURRENT_USER" }, { L"Path", kKey }, { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "CopyUserConfigFile",
      { { L"$du.dir", L"{dir}\\du\\" }, { L"$du$action", L"install" }, { L"SrcFileName", L"notes.ini" },
        { L"DestDirName", L"{dir}\\profile" }, { L"DestFileName", L"copied.ini" },
        { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "RollbackCopyUserConfigFile",
      { { L"$du$action", L"install" }, { L"DestDirName", L"{dir}\\profile" }, { L"DestFileName", L"copied.ini" },
        { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "RemoveUserConfigFile",
      { { L"$du$action", L"uninstall" }, { L"DirName", L"{dir}\\profile" }, { L"FileName", L"notes.ini" },
        { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "RollbackRemoveUserConfigFile",
      { { L"$du$action", L"uninstall" }, { L"DirName", L"{dir}\\profile" }, { L"FileName", L"notes.ini" },
        { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "CreateUserConfigRegistryKey",
      { { L"RegistryPath", std::wstring(L"HKMU\\") + kKey }, { L"RegistryValueName", L"v" },
        { L"RegistryValueData", L"d" }, { L"RegistryType", L"string" }, { L"PerUser", L"yes" } } },
    { "RollbackCreateUserConfigRegistryKey",
      { { L"RegistryPath", std::wstring(L"HKCU\\") + kKey }, { L"RegistryValueName", L"v" },
        { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "RemoveUserConfigRegistryKey",
      { { L"$du$action", L"uninstall" }, { L"RegistryPath", std::wstring(L"HKCU\\") + kKey },
        { L"RegistryValueName", L"v" } } },
    { "RollbackRemoveUserConfigRegistryKey",
      { { L"RegistryPath", std::wstring(L"HKCU\\") + kKey }, { L"RegistryValueName", L"v" },
        { L"$action.invocationdata.dir", L"{dir}\\state" } } },
    { "TranslateString", { { L"UITextFile", L"{dir}\\ui.xml" }, { L"LangCode", L"en" }, { L"StringToTranslate", L"#Welcome#" } } },
    { "TranslateStringIfConditionsEqual",
      { { L"LHSCondition", L"a" }, { L"RHSCondition", L"a" }, { L"UITextFile", L"{dir}\\ui.xml" }, { L"LangCode", L"en" },
        { L"StringToTranslate", L"#Welcome#" } } },
};

// Rows the check leaves to the action's own tests, and why.
const std::map<std::string, const char*> kUntried = {
    { "CreateShortcut.iconIndex", "required only beside an iconPath that exists, and without a default: its values "
                                  "cell says what an empty one does" },
};

enum class Outcome {
    Line,               // "level L `TEXT`", with ", status S" or not
    Refused,            // status 1, one level-4 line `Refusing NAME "...`
    NothingToRollback,  // status 0 and the line `Nothing to rollback`
    Done,               // status 0 and no level-4 line
    AnError,            // some level-4 line
    EmptyNamedProperty, // the property with the empty name is set
    EmptyProperty,      // the named property is set empty
    NoStrings,          // the text comes back as it was given
};

struct Expectation {
    Outcome outcome;
    int level;
    std::string line;
    int status;  // -1: not said
};

// Whether an optional argument's default claims a line, a refusal or a
// skip (the others, "none", "empty" and the like, leave nothing to see).
bool claimsAnOutcome(const std::string& text)
{
    static const std::regex claim("level[ -]\\d|refused|a skip");
    return std::regex_search(text, claim);
}

// What a default cell says, when the check can read it.
bool readCell(const std::string& text, Expectation& expected)
{
    static const std::regex line("level (\\d) `([^`]*)`(, status (\\d))?");
    static const struct {
        const char* words;
        Outcome outcome;
    } readings[] = {
        { "refused", Outcome::Refused },
        { "`Nothing to rollback`", Outcome::NothingToRollback },
        { "a skip", Outcome::Done },
        { "nothing to roll back", Outcome::Done },
        { "a shortcut to nothing", Outcome::Done },
        { "level-4 line", Outcome::AnError },
        { "the property with the empty name", Outcome::EmptyNamedProperty },
        { "the property becomes empty", Outcome::EmptyProperty },
        { "no strings are found", Outcome::NoStrings },
    };
    std::smatch match;
    if (std::regex_search(text, match, line)) {
        expected = Expectation{ Outcome::Line, std::stoi(match[1].str()), match[2].str(),
                                match[4].matched ? std::stoi(match[4].str()) : -1 };
        return true;
    }
    for (const auto& reading : readings) {
        if (text.find(reading.words) != std::string::npos) {
            expected = Expectation{ reading.outcome, 0, std::string(), -1 };
            return true;
        }
    }
    return false;
}

bool hasLevel4(const RecordingContext& context) { return !context.Texts(LogLevelError).empty(); }

void expectOutcome(const Expectation& expected, const std::string& argument, int status, const RecordingContext& context,
                   const Call& call)
{
    std::string lines;
    for (const LogLine& line : context.lines)
        lines += "\n  " + std::to_string(line.level) + " " + Narrow(line.text);
    SCOPED_TRACE("status " + std::to_string(status) + ", lines:" + lines);
    std::wstring value;
    switch (expected.outcome) {
    case Outcome::Line: {
        bool found = false;
        for (const std::wstring& text : context.Texts(expected.level))
            found = found || LineFits(Narrow(text), expected.line);
        EXPECT_TRUE(found) << "no level-" << expected.level << " line `" << expected.line << "`";
        if (expected.status >= 0) {
            EXPECT_EQ(expected.status, status);
        }
        break;
    }
    case Outcome::Refused: {
        EXPECT_EQ(1, status);
        const std::vector<std::wstring> errors = context.Texts(LogLevelError);
        ASSERT_EQ(1u, errors.size());
        EXPECT_EQ(0u, Narrow(errors[0]).find("Refusing " + argument + " \""));
        break;
    }
    case Outcome::NothingToRollback:
        EXPECT_EQ(0, status);
        EXPECT_TRUE(context.HasLine(L"Nothing to rollback"));
        break;
    case Outcome::Done:
        EXPECT_EQ(0, status);
        EXPECT_FALSE(hasLevel4(context));
        break;
    case Outcome::AnError:
        EXPECT_TRUE(hasLevel4(context));
        break;
    case Outcome::EmptyNamedProperty:
        EXPECT_TRUE(context.PropertySet(L""));
        EXPECT_FALSE(context.PropertySet(kProperty));
        break;
    case Outcome::EmptyProperty:
        ASSERT_TRUE(context.PropertySet(kProperty, &value));
        EXPECT_EQ(L"", value);
        break;
    case Outcome::NoStrings:
        for (const auto& given : call) {
            if (given.first == L"StringToTranslate") {
                ASSERT_TRUE(context.PropertySet(L"TranslatedString", &value));
                EXPECT_EQ(given.second, value);
            }
        }
        break;
    }
}

// The row's folder: a user configuration file in a deployment unit and in
// a profile, a text file, a uitext file and an empty state folder.
void makeFixtures(const ScopedTempDir& dir)
{
    for (const wchar_t* folder : { L"du", L"du\\userconfigfiles", L"profile", L"state" })
        CreateDirectoryW(dir.file(folder).c_str(), 0);
    WriteBytes(dir.file(L"du\\userconfigfiles\\notes.ini"), "[notes]\r\n");
    WriteBytes(dir.file(L"profile\\notes.ini"), "[notes]\r\n");
    WriteBytes(dir.file(L"text.txt"), "a line\r\n");
    WriteBytes(dir.file(L"ui.xml"), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<uitext><language langcode=\"en\"/>"
                                    "<context><string id=\"Welcome\" value=\"Welcome\"/></context></uitext>\n");
}

std::wstring withFolder(std::wstring text, const std::wstring& dir)
{
    const std::wstring::size_type at = text.find(L"{dir}");
    return at == std::wstring::npos ? text : text.replace(at, 5, dir);
}
}

TEST(ArgumentRows, EachArgumentMissingOrEmptyDoesWhatItsRowSays)
{
    const Reference reference(ReadSourceFile(ReadReferenceInputs().reference));
    std::set<std::string> called;
    std::size_t tried = 0;
    for (const ReferenceSection& section : reference.sections()) {
        if (!Reference::IsActionTitle(section.title))
            continue;
        std::vector<Row> rows;
        for (const Row& row : argumentRows(reference.ActionText(section.title))) {
            if (row.required || claimsAnOutcome(row.fallback))
                rows.push_back(row);
        }
        for (const Row& row : rows) {
            const std::string name = section.title + "." + row.argument;
            if (kUntried.count(name))
                continue;
            auto call = kCalls.find(name);
            if (call == kCalls.end())
                call = kCalls.find(section.title);
            if (call == kCalls.end()) {
                ADD_FAILURE() << name << " has no call in kCalls";
                continue;
            }
            called.insert(call->first);
            Expectation expected;
            if (!readCell(row.fallback, expected)) {
                ADD_FAILURE() << name << ": the check cannot read its default \"" << row.fallback
                              << "\"; give it a reading or a reason in kUntried";
                continue;
            }
            bool inCall = false;
            for (const auto& argument : call->second)
                inCall = inCall || Narrow(argument.first) == row.argument;
            EXPECT_TRUE(inCall) << name << " is not in its action's call in kCalls";
            for (bool empty : { false, true }) {
                SCOPED_TRACE(name + (empty ? " empty" : " missing") + ": " + row.fallback);
                ScopedTempDir dir;
                makeFixtures(dir);
                RecordingContext::Values arguments;
                for (const auto& given : call->second) {
                    if (Narrow(given.first) != row.argument)
                        arguments[given.first] = withFolder(given.second, dir.path());
                    else if (empty)
                        arguments[given.first] = L"";
                }
                const RecordingContextPtr context = RecordingContext::Create(arguments);
                const int status = CallAction(section.title.c_str(), context);
                expectOutcome(expected, row.argument, status, *context, call->second);
                ++tried;
            }
        }
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    for (const auto& call : kCalls)
        EXPECT_TRUE(called.count(call.first)) << call.first << " is in kCalls and no row to try uses it";
    for (const auto& untried : kUntried) {
        const std::string action = untried.first.substr(0, untried.first.find('.'));
        bool found = false;
        for (const Row& row : argumentRows(reference.ActionText(action)))
            found = found || action + "." + row.argument == untried.first;
        EXPECT_TRUE(found) << untried.first << " is in kUntried and is no row";
    }
    EXPECT_GT(tried, 100u);
}
