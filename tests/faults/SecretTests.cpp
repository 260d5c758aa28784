// SensitiveData on every path of the command actions, through the real
// exports and through the real host: the secret reaches the command and its
// environment, and no line of the action's log or of the install log shows
// it.
#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "PocoWrapper/String.h"
#include "support/ActionLibrary.h"
#include "support/ChildProcess.h"
#include "support/InstallLogRecorder.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"
#include "support/ThrowingContext.h"

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
