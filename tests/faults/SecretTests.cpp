// SensitiveData on every path of the command actions, through the real
// exports and through the real host: the secret reaches the command and its
// environment, and no line of the action's log or of the install log shows
// it; every front door masks the lines of later steps too, and a secret a
// command could split is warned about.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include <nlohmann/json.hpp>

#include "PocoWrapper/String.h"
#include "support/ActionLibrary.h"
#include "support/ChildProcess.h"
#include "support/InstallLogRecorder.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"
#include "support/ThrowingContext.h"

#include "host/HostTestSupport.h"

#include "../command/ProbeCommands.h"

namespace {
const std::wstring kSecret = L"S3cr3t-Pa55";

class SecretTest : public ::testing::Test {
protected:
    ~SecretTest() { SetEnvironmentVariableW(L"VT_SECRET", 0); }

    // Runs the action with the secret given; the install log is recorded
    // meanwhile.
    int run(const char* action, RecordingContext::Values arguments,
            RecordingContextPtr runIn = RecordingContextPtr())
    {
        context = runIn ? runIn : RecordingContext::Create();
        for (const auto& argument : arguments)
            context->arguments[argument.first] = argument.second;
        context->arguments[L"SensitiveData"] = kSecret;
        SetEnvironmentVariableW(L"VT_SECRET", (L"old-" + kSecret).c_str());
        InstallLogRecorder installLog;
        const int status = CallAction(action, context);
        installLines = installLog.Texts();
        return status;
    }

    void expectSecretKept(const std::string& where)
    {
        SCOPED_TRACE(where);
        for (const std::wstring& line : context->Texts())
            EXPECT_EQ(std::wstring::npos, line.find(kSecret)) << Narrow(line);
        for (const std::string& line : installLines)
            EXPECT_EQ(std::string::npos, line.find(Narrow(kSecret))) << line;
    }

    // The probe, told to write what it sees of VT_SECRET into a file whose
    // name carries the secret: the file exists only when the command line
    // reached the command unmasked.
    std::wstring seenFile() const { return temp.file(L"seen-" + kSecret + L".txt"); }
    std::wstring probe(const std::wstring& options = L"") const
    {
        return ProbeCommand(L"--env VT_SECRET " + Quoted(seenFile()) + L" " + options);
    }

    ScopedTempDir temp;
    RecordingContextPtr context;
    std::vector<std::string> installLines;
};
}

TEST_F(SecretTest, EveryActionOfTheFamilyWithEveryEcho)
{
    struct Action {
        const char* name;
        RecordingContext::Values arguments; // the command line goes under the first name
    };
    const Action actions[] = {
        { "RunCommand", { { L"CmdLine", L"" } } },
        { "RunRollBackCommand", { { L"RollBackCmdLine", L"" } } },
        { "RunCommandOnNormalAndRepair", { { L"CmdLineOnRepair", L"" }, { L"DUInstallAction", L"Repair" } } },
        { "RunCommandConditional",
          { { L"CmdLine", L"" }, { L"ConditionPropertyToCheck", L"x" }, { L"PropertyValueCompareWith", L"X" } } },
        { "RunCommandAndSetProperty",
          { { L"CmdLine", L"" }, { L"WriteProperty", L"RESULT" }, { L"ReturnCodesSet", L"0" },
            { L"ValuesSet", L"ok" } } },
    };
    const std::wstring echoes[] = { L"yes", L"", L"no", L"echo of " + kSecret };
    for (const Action& action : actions) {
        for (const std::wstring& echo : echoes) {
            RecordingContext::Values arguments = action.arguments;
            arguments.begin()->second = probe();
            arguments[L"LogCmdLine"] = echo;
            arguments[L"EnvSettings"] = L"VT_SECRET=" + kSecret + L"|VT_SECRET+" + kSecret + L"|=" + kSecret;
            DeleteFileW(seenFile().c_str());
            EXPECT_EQ(0, run(action.name, arguments));
            expectSecretKept(std::string(action.name) + " LogCmdLine=" + Narrow(echo));
            EXPECT_EQ(kSecret, ReadProbeText(seenFile())) << action.name;
            EXPECT_TRUE(context->HasLine(L"  EXISTING     VT_SECRET = [old-********]", 2)) << action.name;
            EXPECT_TRUE(context->HasLine(L"FAILS TO SET  = ********", 4)) << action.name;
        }
    }
}

TEST_F(SecretTest, RetriesAndShellLaunches)
{
    const std::wstring counter = temp.file(L"runs-" + kSecret + L".txt");
    EXPECT_EQ(0, run("RunCommand", { { L"CmdLine", probe(L"--exit 3 --counter " + Quoted(counter)) },
                                     { L"LogCmdLine", L"yes" }, { L"MaxRetriesAllowed", L"2" },
                                     { L"RetryInterval", L"0" } }));
    expectSecretKept("retries");
    EXPECT_EQ(3, ReadCount(counter));
    EXPECT_TRUE(context->HasLine(
        L"RunCommand: Command returned result [3]. Retried [2] times. Will retry up to [2] times. Waiting for [0] "
        L"seconds...",
        2));

    // A shell launch is retried as long as retries are allowed (it gives no
    // exit code); every attempt logs the masked command line.
    EXPECT_EQ(0, run("RunCommand", { { L"CmdLine", probe() }, { L"LogCmdLine", L"yes" },
                                     { L"UseShellExecute", L"Yes" }, { L"MaxRetriesAllowed", L"1" },
                                     { L"RetryInterval", L"0" } }));
    expectSecretKept("shell");
    std::vector<std::wstring> shellLines;
    for (const std::wstring& line : context->Texts(2)) {
        if (line.compare(0, 17, L"UseShellExecute: ") == 0)
            shellLines.push_back(line);
    }
    const std::wstring maskedProbe = ProbeCommand(L"--env VT_SECRET " +
                                                  Quoted(temp.file(L"seen-********.txt")) + L" ");
    EXPECT_EQ((std::vector<std::wstring>(2, L"UseShellExecute: " + maskedProbe)), shellLines);
}

TEST_F(SecretTest, LaunchFailures)
{
    // A program that does not exist: the launcher's own line, no exit code.
    const std::wstring missing = L"\"" + temp.file(kSecret + L"\\setup.exe") + L"\" /password=" + kSecret;
    EXPECT_EQ(0, run("RunCommandAndSetProperty", { { L"CmdLine", missing }, { L"LogCmdLine", L"yes" },
                                                   { L"WriteProperty", L"RESULT" }, { L"Default", L"none" },
                                                   { L"ReturnCodesSet", L"-1" }, { L"ValuesSet", L"failed" } }));
    expectSecretKept("missing program");
    std::wstring value;
    EXPECT_TRUE(context->PropertySet(L"RESULT", &value));
    EXPECT_EQ(L"failed", value);
    ASSERT_FALSE(context->Texts(4).empty());
    EXPECT_EQ(0u, context->Texts(4)[0].find(L"RunRedistProgram: CreateProcess failed ("));

    // The host fails while the runner prepares the launch: the catch-all
    // line names the masked command line, or only stars.
    for (const wchar_t* echo : { L"yes", L"no" }) {
        boost::shared_ptr<ThrowingContext> failing(new ThrowingContext);
        failing->failingArgument = L"EnvSettings";
        EXPECT_EQ(0, run("RunCommand", { { L"CmdLine", missing }, { L"LogCmdLine", echo } }, failing));
        expectSecretKept("runner failure");
        const std::wstring shown = std::wstring(echo) == L"no"
                                       ? L"********"
                                       : L"\"" + temp.file(L"********\\setup.exe") + L"\" /password=********";
        const std::wstring start = L"RunCommand: Unable to execute this command " + shown + L": error: ";
        ASSERT_FALSE(context->lines.empty());
        EXPECT_EQ(start, context->lines.back().text.substr(0, start.size()));
    }
}

TEST_F(SecretTest, HostShowsNoSecretInItsOutputOrInstallLog)
{
    const std::wstring counter = temp.file(L"runs-" + kSecret + L".txt");
    const std::wstring installLog = temp.file(L"install.log");
    const std::string secret = Narrow(kSecret);
    const std::string env = "VT_SECRET=" + secret + "|VT_SECRET+" + secret;
    nlohmann::json plan;
    plan["properties"]["SensitiveData"] = secret;
    plan["steps"] = {
        { { "action", "RunCommand" }, { "args", { { "CmdLine", Narrow(probe()) }, { "LogCmdLine", "yes" },
                                                  { "EnvSettings", env } } } },
        { { "action", "RunCommand" },
          { "args", { { "CmdLine", Narrow(probe(L"--exit 4 --counter " + Quoted(counter))) },
                      { "LogCmdLine", "echo " + secret }, { "MaxRetriesAllowed", "1" }, { "RetryInterval", "0" } } } },
        { { "action", "RunCommand" },
          { "args", { { "CmdLine", Narrow(probe()) }, { "LogCmdLine", "yes" }, { "UseShellExecute", "1" } } } },
        { { "action", "RunCommandAndSetProperty" },
          { "args", { { "CmdLine", "\"C:\\missing\\" + secret + ".exe\"" }, { "LogCmdLine", "yes" },
                      { "WriteProperty", "RESULT" }, { "Default", "none" }, { "EnvSettings", "=" + secret } } } },
    };
    const std::wstring planFile = temp.file(L"plan.json");
    std::ofstream(planFile.c_str()) << plan.dump();

    const ChildResult result = RunChild(QuotedArgument(DistFolder() + L"\\verrand-host.exe") + L" --install-log " +
                                        QuotedArgument(installLog) + L" plan " + QuotedArgument(planFile));
    EXPECT_EQ(0u, result.exitCode) << result.output;
    EXPECT_EQ(std::string::npos, result.output.find(secret)) << result.output;
    EXPECT_NE(std::string::npos, result.output.find("GOING TO SET VT_SECRET = [********]")) << result.output;
    EXPECT_NE(std::string::npos, result.output.find("property RESULT = none")) << result.output;
    if (PathExists(installLog)) {
        EXPECT_EQ(std::string::npos, ReadBytes(installLog).find(secret));
    }
    EXPECT_EQ(kSecret, ReadProbeText(seenFile()));
    EXPECT_EQ(2, ReadCount(counter));
}

// Every front door masks every line with the secrets of all the steps so
// far, whoever wrote the line: lines the runner does not mask itself, a
// property's value, the install log, and later steps that were given no
// secret of their own.
TEST_F(SecretTest, EveryFrontDoorMasksEveryLineOfEveryStep)
{
    const std::string secret = Narrow(kSecret);
    nlohmann::json plan;
    plan["properties"]["LIC"] = secret;
    plan["steps"] = {
        { { "action", "RunCommandAndSetProperty" },
          { "args", { { "CmdLine", "cmd /c exit 0" }, { "SensitiveData", "[LIC]" }, { "HideWindows", "1" },
                      { "WriteProperty", "RESULT" }, { "Default", "[LIC]" }, { "ReturnCodesSet", "7" },
                      { "ValuesSet", "[LIC]" } } } },
        { { "action", "RunCommand" },
          { "args", { { "CmdLine", "cmd /c exit 0" }, { "SensitiveData", "[LIC]" }, { "HideWindows", "1" },
                      { "MaxRetriesAllowed", "[LIC]" } } } },
        // No secret of their own: the earlier steps' secret is masked all the same.
        { { "action", "TranslateString" },
          { "args", { { "UITextFile", "C:\\nowhere\\[LIC]\\uitext.xml" }, { "LangCode", "en" },
                      { "StringToTranslate", "[LIC]" } } } },
        { { "action", "EnsureFolderExists" }, { "args", { { "FolderName", "C:\\x\\[LIC] \\y" } } } },
    };
    const std::wstring planFile = temp.file(L"plan.json");
    std::ofstream(planFile.c_str()) << plan.dump();
    // What each front door must show, masked.
    const std::vector<std::string> expected = {
        "[RunCommandAndSetProperty] wDefault  = ********",
        "[RunCommandAndSetProperty] wValuesSet       = ********",
        "RunCommand: MaxRetriesAllowed [********] is not a number: 0 is used",
        "UI Text file doesn't exists: C:\\nowhere\\********\\uitext.xml",
        "RESULT = ********",
        "TranslatedString = ********",
    };
    const std::wstring installLog = temp.file(L"install.log");
    const std::wstring host = QuotedArgument(DistFolder() + L"\\verrand-host.exe");
    const std::wstring plainRun = L" plan " + QuotedArgument(planFile);
    struct Door {
        const char* name;
        std::wstring command;
        bool json;
    } doors[] = {
        { "human", host + plainRun, false },
        { "json", host + L" --json" + plainRun, true },
        { "install log", host + L" --install-log " + QuotedArgument(installLog) + plainRun, false },
    };
    for (const Door& door : doors) {
        SCOPED_TRACE(door.name);
        const ChildResult result = RunChild(door.command);
        EXPECT_EQ(1u, result.exitCode) << result.output;
        EXPECT_EQ(std::string::npos, result.output.find(secret)) << result.output;
        // The texts the lines carry: JSON's string values, unescaped.
        std::string shown;
        for (const std::string& line : SplitLines(result.output)) {
            if (!door.json) {
                shown += line + "\n";
                continue;
            }
            const nlohmann::json event = nlohmann::json::parse(line);
            for (const auto& field : event.items()) {
                if (field.value().is_string())
                    shown += field.value().get<std::string>() + " = ";
            }
            shown += "\n";
        }
        for (const std::string& text : expected)
            EXPECT_NE(std::string::npos, shown.find(text)) << text << "\n" << shown;
        // A later step's refusal names the path that holds the secret.
        const std::string::size_type refusal = shown.find("Refusing FolderName");
        ASSERT_NE(std::string::npos, refusal) << shown;
        EXPECT_NE(std::string::npos, shown.substr(refusal, shown.find('\n', refusal) - refusal).find("********"));
    }
    const std::string written = ReadBytes(installLog);
    EXPECT_EQ(std::string::npos, written.find(secret)) << written;
    EXPECT_NE(std::string::npos, written.find(expected[3])) << written;
}

// A secret that a command can take apart is warned about once, where it
// stands unquoted; quoted, or without a splitting character, it is not.
TEST_F(SecretTest, ASecretACommandCanSplitIsWarnedAboutWhereItStandsUnquoted)
{
    const std::wstring warning = L"RunCommand: SensitiveData stands unquoted in the command line and holds a blank, "
                                 L"\";\", \"=\" or \",\": the command may get it in pieces that no mask finds; put "
                                 L"it in double quotes";
    struct Row {
        const wchar_t* commandLine;
        const wchar_t* secret;
        bool warned;
    } rows[] = {
        { L"register.cmd Zq7;w=9Kx", L"Zq7;w=9Kx", true },
        { L"register.cmd \"Zq7;w=9Kx\"", L"Zq7;w=9Kx", false },
        { L"\"C:\\a b\\register.cmd\" /key=\"Zq7;w=9Kx\"", L"Zq7;w=9Kx", false },
        // Quotes closed before it, or written as \" (no quote to the command), quote nothing.
        { L"register.cmd \"x\" Zq7,w9Kx", L"Zq7,w9Kx", true },
        { L"register.cmd \\\"Zq7 w9Kx\\\"", L"Zq7 w9Kx", true },
        { L"register.cmd \"a\\\\\" Zq7\tw9Kx", L"Zq7\tw9Kx", true },
        // One quoted occurrence does not cover another.
        { L"register.cmd \"Zq7 w9Kx\" Zq7 w9Kx", L"Zq7 w9Kx", true },
        // Nothing to split at, or not in the command line at all.
        { L"register.cmd Zq7w9Kx", L"Zq7w9Kx", false },
        { L"register.cmd", L"Zq7;w=9Kx", false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Narrow(row.commandLine));
        RecordingContextPtr context = RecordingContext::Create(
            { { L"CmdLine", row.commandLine }, { L"SensitiveData", row.secret }, { L"MaxRetriesAllowed", L"-1" } });
        EXPECT_EQ(0, CallAction("RunCommand", context));
        const std::vector<std::wstring> warnings = context->Texts(3);
        EXPECT_EQ(row.warned ? 1 : 0, std::count(warnings.begin(), warnings.end(), warning));
        for (const std::wstring& line : context->Texts())
            EXPECT_EQ(std::wstring::npos, line.find(row.secret)) << Narrow(line);
    }
}
