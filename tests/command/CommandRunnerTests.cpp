// The command runner with real child processes: echo and masking, retries,
// waiting, shell launch, environment settings and WOW64 redirection.
#include <gtest/gtest.h>

#include <windows.h>

#include "ProbeCommands.h"
#include "actions/command/CommandRunner.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
typedef std::vector<std::wstring> Texts;

class CommandRunnerTest : public ::testing::Test {
protected:
    // Runs the command through RunCommand with the given arguments.
    int runCommand(const std::wstring& commandLine, const RecordingContext::Values& arguments = {})
    {
        context = RecordingContext::Create(arguments);
        context->arguments[L"CmdLine"] = commandLine;
        return CallAction("RunCommand", context);
    }

    // The exit code the runner leaves, through the runner itself.
    int exitCodeOf(const std::wstring& commandLine, const RecordingContext::Values& arguments = {})
    {
        context = RecordingContext::Create(arguments);
        int exitCode = -1;
        EXPECT_EQ(0, ExecuteCommandLine(context, commandLine, &exitCode, false));
        return exitCode;
    }

    std::wstring counter() const { return temp.file(L"runs.txt"); }

    ScopedTempDir temp;
    RecordingContextPtr context;
};
}

TEST_F(CommandRunnerTest, EchoesItsOptionsInOrder)
{
    const std::wstring command = ProbeCommand(L"--exit 0");
    EXPECT_EQ(0, runCommand(command, { { L"LogCmdLine", L"yes" }, { L"HideWindows", L"true" },
                                       { L"DisableWOW64Redirection", L"1" }, { L"ProductObjectModel", L"32" },
                                       { L"NoWaiting", L"no" }, { L"UseShellExecute", L"0" } }));
    const Texts expected = {
        L"Get CmdLine: " + command,
        L"Get Hide:    true",
        L"Get DisableWOW64Redirection: 1",
        L"Get ProductObjectModel: 32",
        L"Get noWaiting: no",
        L"WOW64 redirection is enabled",
        L"UseShellExecute:    0",
        L"Exit code [0]",
    };
    EXPECT_EQ(expected, RunnerLines(*context));
    EXPECT_EQ(expected.size(), context->lines.size());
}

TEST_F(CommandRunnerTest, EchoOfTheCommandLineFollowsLogCmdLineAndSensitiveData)
{
    const std::wstring command = ProbeCommand(L"--exit 0 --env pw hunter2 --env hunter2 x");
    const std::wstring masked = ProbeCommand(L"--exit 0 --env pw ******** --env ******** x");
    struct Case {
        const wchar_t* logCmdLine;
        std::wstring echo;
    } cases[] = {
        { L"yes", masked }, { L"", L"" }, { L"Yes", L"Yes" }, { L"no", L"********" },
        { L"logging hunter2", L"logging ********" },
    };
    for (const Case& c : cases) {
        runCommand(command, { { L"LogCmdLine", c.logCmdLine }, { L"SensitiveData", L"hunter2" } });
        ASSERT_FALSE(RunnerLines(*context).empty());
        EXPECT_EQ(L"Get CmdLine: " + c.echo, RunnerLines(*context)[0]) << Narrow(c.logCmdLine);
    }
}

TEST_F(CommandRunnerTest, SecretNeverReachesTheLog)
{
    // Shell launch and environment lines, with the secret in both.
    const std::wstring command = ProbePath() + L" hunter2";
    runCommand(command, { { L"LogCmdLine", L"yes" }, { L"SensitiveData", L"hunter2" }, { L"UseShellExecute", L"1" },
                          { L"EnvSettings", L"VT_PW=hunter2|VT_PW+hunter2|VT_PW=a=hunter2" } });
    for (const std::wstring& line : context->Texts())
        EXPECT_EQ(std::wstring::npos, line.find(L"hunter2")) << Narrow(line);
    EXPECT_TRUE(context->HasLine(L"UseShellExecute: " + ProbePath() + L" ********", 2));
    EXPECT_TRUE(context->HasLine(L"Settting local environment before creating the process", 2));
    EXPECT_TRUE(context->HasLine(L"EnvSettings = [VT_PW=********|VT_PW+********|VT_PW=a=********]", 2));
    EXPECT_TRUE(context->HasLine(L"  GOING TO SET VT_PW = [********]", 2));
    EXPECT_TRUE(context->HasLine(L"  EXISTING     VT_PW = [********]", 2));

    // With LogCmdLine "no" no line shows the command line; the settings are
    // still masked.
    runCommand(command, { { L"LogCmdLine", L"no" }, { L"SensitiveData", L"hunter2" }, { L"UseShellExecute", L"yes" },
                          { L"EnvSettings", L"VT_PW=hunter2" } });
    for (const std::wstring& line : context->Texts()) {
        EXPECT_EQ(std::wstring::npos, line.find(L"hunter2")) << Narrow(line);
        EXPECT_EQ(std::wstring::npos, line.find(ProbePath())) << Narrow(line);
    }
    EXPECT_TRUE(context->HasLine(L"UseShellExecute: ********", 2));
    EXPECT_TRUE(context->HasLine(L"  EXISTING     VT_PW = [********]", 2));
}

TEST_F(CommandRunnerTest, FailureWhileLaunchingIsCaughtAndMasked)
{
    const std::wstring command = ProbeCommand(L"--counter " + Quoted(counter()) + L" --env hunter2 x");
    for (const wchar_t* logCmdLine : { L"yes", L"no" }) {
        boost::shared_ptr<FailingLogContext> failing =
            FailingLogContext::Create(L"Settting local environment before creating the process");
        failing->arguments = { { L"CmdLine", command }, { L"EnvSettings", L"VT_NEVER=1" },
                               { L"LogCmdLine", logCmdLine }, { L"SensitiveData", L"hunter2" } };
        int exitCode = -1;
        EXPECT_EQ(0, ExecuteCommandLine(failing, command, &exitCode, true));
        EXPECT_EQ(-1, exitCode);
        const Texts lines = RunnerLines(*failing);
        ASSERT_FALSE(lines.empty());
        const std::wstring shown = std::wstring(logCmdLine) == L"no"
                                       ? L"********"
                                       : ProbeCommand(L"--counter " + Quoted(counter()) + L" --env ******** x");
        const std::wstring start = L"Unable to execute this command " + shown + L": error: ";
        EXPECT_EQ(start, lines.back().substr(0, start.size()));
        EXPECT_NE(std::wstring::npos, std::wstring(L"0123456789").find(lines.back().substr(start.size(), 1)));
    }
    EXPECT_EQ(0, ReadCount(counter()));
}

TEST_F(CommandRunnerTest, ExitCodeComesFromTheChild)
{
    EXPECT_EQ(0, exitCodeOf(ProbeCommand(L"--exit 0")));
    EXPECT_EQ(3010, exitCodeOf(ProbeCommand(L"--exit 3010")));
    EXPECT_EQ(-5, exitCodeOf(ProbeCommand(L"--exit -5")));
    // A command that cannot start leaves the caller's value.
    EXPECT_EQ(-1, exitCodeOf(Quoted(temp.file(L"missing.exe"))));
}

TEST_F(CommandRunnerTest, RetriesAFailingCommandAndLogsEveryWait)
{
    EXPECT_EQ(0, runCommand(ProbeCommand(L"--exit 1 --counter " + Quoted(counter())),
                            { { L"MaxRetriesAllowed", L"2" }, { L"RetryInterval", L"0" } }));
    EXPECT_EQ(3, ReadCount(counter()));
    const Texts expected = {
        L"Command returned result [1]. Retried [0] times. Will retry up to [2] times. Waiting for [0] seconds...",
        L"Command returned result [1]. Retried [1] times. Will retry up to [2] times. Waiting for [0] seconds...",
        L"Command returned result [1]. Retried [2] times. Will retry up to [2] times. Waiting for [0] seconds...",
    };
    // Each attempt's exit code comes before its retry line.
    Texts retries;
    for (const std::wstring& line : RunnerLines(*context)) {
        if (line.compare(0, 24, L"Command returned result ") == 0)
            retries.push_back(line);
        else if (line.compare(0, 10, L"Exit code ") == 0) {
            EXPECT_EQ(L"Exit code [1]", line);
        }
    }
    EXPECT_EQ(expected, retries);
}

TEST_F(CommandRunnerTest, StopsRetryingOnSuccess)
{
    runCommand(ProbeCommand(L"--fail-first 1 --exit 7 --counter " + Quoted(counter())),
               { { L"MaxRetriesAllowed", L"5" }, { L"RetryInterval", L"0" } });
    EXPECT_EQ(2, ReadCount(counter()));
    const Texts lines = RunnerLines(*context);
    EXPECT_EQ((Texts{ L"Exit code [7]",
                      L"Command returned result [7]. Retried [0] times. Will retry up to [5] times. Waiting for [0] "
                      L"seconds...",
                      L"Exit code [0]" }),
              Texts(lines.end() - 3, lines.end()));
}

TEST_F(CommandRunnerTest, NegativeRetryCountStartsNothing)
{
    EXPECT_EQ(0, runCommand(ProbeCommand(L"--counter " + Quoted(counter())), { { L"MaxRetriesAllowed", L"-1" } }));
    EXPECT_EQ(0, ReadCount(counter()));
    EXPECT_EQ(L"MaxRetriesAllowed is below 0: the command is not run", RunnerLines(*context).back());
}

TEST_F(CommandRunnerTest, RetrySettingsThatAreNotNumbersKeepTheirDefaults)
{
    // No number: no retries (the default 0).
    runCommand(ProbeCommand(L"--exit 1 --counter " + Quoted(counter())),
               { { L"MaxRetriesAllowed", L"several" }, { L"RetryInterval", L"0" } });
    EXPECT_EQ(1, ReadCount(counter()));
    EXPECT_EQ(L"Exit code [1]", RunnerLines(*context).back());
    EXPECT_EQ((Texts{ L"RunCommand: MaxRetriesAllowed [several] is not a number: 0 is used" }), context->Texts(3));

    // An interval that is no number waits the default 30 seconds; a negative
    // one does not wait at all. The host failing on the retry line ends the
    // runs before any wait.
    struct Case {
        const wchar_t* interval;
        const wchar_t* shown;
    } cases[] = { { L"soon", L"30" }, { L"-5", L"0" }, { L"2x", L"2" } };
    for (const Case& c : cases) {
        boost::shared_ptr<FailingLogContext> failing = FailingLogContext::Create(L"RunCommand: Command returned");
        failing->arguments = { { L"CmdLine", ProbeCommand(L"--exit 4") },
                               { L"MaxRetriesAllowed", L"1" },
                               { L"RetryInterval", c.interval } };
        EXPECT_EQ(0, CallAction("RunCommand", failing));
        const Texts lines = RunnerLines(*failing);
        ASSERT_LE(2u, lines.size());
        EXPECT_EQ(std::wstring(L"Command returned result [4]. Retried [0] times. Will retry up to [1] times. "
                               L"Waiting for [") + c.shown + L"] seconds...",
                  lines[lines.size() - 2]);
    }
}

TEST_F(CommandRunnerTest, NoWaitingReturnsWhileTheChildRuns)
{
    const std::wstring release = temp.file(L"release");
    const std::wstring done = temp.file(L"done");
    const int exitCode = exitCodeOf(
        ProbeCommand(L"--exit 0 --wait-for " + Quoted(release) + L" --done " + Quoted(done)), { { L"NoWaiting", L"TRUE" } });
    // Back here while the child still waits for us: no exit code yet.
    EXPECT_EQ(-1, exitCode);
    EXPECT_FALSE(PathExists(done));
    WriteBytes(release, "go");
    ASSERT_TRUE(WaitForFile(done));
    EXPECT_EQ(L"released", ReadProbeText(done));

    // Only the exact words count: a leading blank means wait.
    EXPECT_EQ(0, exitCodeOf(ProbeCommand(L"--exit 0"), { { L"NoWaiting", L" yes" } }));
}

TEST_F(CommandRunnerTest, ShellLaunchGivesNoExitCodeAndIsRetried)
{
    // The shell takes the whole command line as the program to open, so only
    // a bare program path starts. The probe counts its runs in the file its
    // environment names.
    const std::wstring settings = L"VERRAND_PROBE_COUNTER=" + counter();
    struct Forget {
        ~Forget() { SetEnvironmentVariableW(L"VERRAND_PROBE_COUNTER", 0); }
    } forget;
    EXPECT_EQ(-1, exitCodeOf(ProbePath(), { { L"UseShellExecute", L"YES" }, { L"EnvSettings", settings } }));
    EXPECT_TRUE(context->HasLine(L"UseShellExecute: " + ProbePath(), 2));
    ASSERT_TRUE(WaitForCount(counter(), 1));

    runCommand(ProbePath(), { { L"UseShellExecute", L"True" }, { L"MaxRetriesAllowed", L"1" },
                              { L"RetryInterval", L"0" }, { L"EnvSettings", settings } });
    EXPECT_TRUE(WaitForCount(counter(), 3));
    EXPECT_EQ(
        L"Command returned result [-1]. Retried [1] times. Will retry up to [1] times. Waiting for [0] seconds...",
        RunnerLines(*context).back());
}

TEST_F(CommandRunnerTest, EnvironmentSettingsReachTheChild)
{
    const std::wstring big(5000, L'b');
    SetEnvironmentVariableW(L"VT_CHILD_LIST", L"C:\\bin;");
    SetEnvironmentVariableW(L"VT_CHILD_HAS", L"C:\\tools;C:\\bin;");
    SetEnvironmentVariableW(L"VT_CHILD_BIG", big.c_str());
    const std::wstring options = L"--env VT_CHILD_SET " + Quoted(temp.file(L"set")) + L" --env VT_CHILD_LIST " +
                                 Quoted(temp.file(L"list")) + L" --env VT_CHILD_HAS " + Quoted(temp.file(L"has")) +
                                 L" --env VT_CHILD_BIG " + Quoted(temp.file(L"big")) + L" --env VT_CHILD_LONG " +
                                 Quoted(temp.file(L"long"));
    const std::wstring longValue(6000, L'l');
    runCommand(ProbeCommand(options),
               { { L"EnvSettings", L"VT_CHILD_SET=value|VT_CHILD_LIST+C:\\tools;|VT_CHILD_HAS+C:\\tools;|"
                                   L"VT_CHILD_BIG+front;|VT_CHILD_LONG=" +
                                       longValue } });
    EXPECT_EQ(L"value", ReadProbeText(temp.file(L"set")));
    EXPECT_EQ(L"C:\\tools;C:\\bin;", ReadProbeText(temp.file(L"list")));
    EXPECT_EQ(L"C:\\tools;C:\\bin;", ReadProbeText(temp.file(L"has")));
    EXPECT_EQ(L"front;" + big, ReadProbeText(temp.file(L"big")));
    EXPECT_EQ(longValue, ReadProbeText(temp.file(L"long")));
    EXPECT_TRUE(context->HasLine(L"  NO ACTION IS TAKEN BECAUSE [C:\\tools;] IS ALREADY IN [C:\\tools;C:\\bin;]", 2));
}

namespace {
// The probe under one name in both system folders: the 64-bit build in the
// native one, the 32-bit build in the one WOW64 shows to 32-bit programs.
class SystemFolderProbes {
public:
    SystemFolderProbes()
    {
        wchar_t windows[MAX_PATH];
        GetWindowsDirectoryW(windows, MAX_PATH);
        m_command = std::wstring(windows) + L"\\system32\\verrandprobe.exe";
        wchar_t wow64[MAX_PATH];
        GetSystemWow64DirectoryW(wow64, MAX_PATH);
        m_wow64Copy = std::wstring(wow64) + L"\\verrandprobe.exe";
        EXPECT_TRUE(CopyFileW(ProbePath().c_str(), m_wow64Copy.c_str(), FALSE));
        PVOID state = 0;
        EXPECT_TRUE(Wow64DisableWow64FsRedirection(&state));
        m_copied64 = CopyFileW(Probe64Path().c_str(), m_command.c_str(), FALSE) != FALSE;
        Wow64RevertWow64FsRedirection(state);
        EXPECT_TRUE(m_copied64);
    }
    ~SystemFolderProbes()
    {
        DeleteFileW(m_wow64Copy.c_str());
        PVOID state = 0;
        if (Wow64DisableWow64FsRedirection(&state)) {
            DeleteFileW(m_command.c_str());
            Wow64RevertWow64FsRedirection(state);
        }
    }
    // The path under system32, as a setup author writes it.
    const std::wstring& command() const { return m_command; }

private:
    std::wstring m_command;
    std::wstring m_wow64Copy;
    bool m_copied64;
};
}

TEST_F(CommandRunnerTest, RedirectionOffStartsTheNativeProgram)
{
    SKIP_UNLESS_WOW64();
    SystemFolderProbes probes;
    const std::wstring bits = temp.file(L"bits");
    const std::wstring command = Quoted(probes.command()) + L" --bits " + Quoted(bits);

    runCommand(command, { { L"DisableWOW64Redirection", L"1" }, { L"ProductObjectModel", L"64" } });
    EXPECT_EQ(L"64", ReadProbeText(bits));
    EXPECT_TRUE(context->HasLine(L"RunCommand: Successfully disabled WOW64 redirection", 2));

    // Redirection is back on after the call: the same path starts the 32-bit build.
    DeleteFileW(bits.c_str());
    runCommand(command);
    EXPECT_EQ(L"32", ReadProbeText(bits));
    EXPECT_TRUE(context->HasLine(L"RunCommand: WOW64 redirection is enabled", 2));

    struct Case {
        const wchar_t* disable;
        const wchar_t* model;
    } cases[] = { { L"1", L"32" }, { L"1", L"" }, { L"true", L"64" }, { L"", L"64" } };
    for (const Case& c : cases) {
        DeleteFileW(bits.c_str());
        runCommand(command, { { L"DisableWOW64Redirection", c.disable }, { L"ProductObjectModel", c.model } });
        EXPECT_EQ(L"32", ReadProbeText(bits)) << Narrow(c.disable) << "/" << Narrow(c.model);
        EXPECT_TRUE(context->HasLine(L"RunCommand: WOW64 redirection is enabled", 2));
    }
}
