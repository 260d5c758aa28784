// Which command each action of the RunCommand family runs, when it runs
// nothing, and how RunCommandAndSetProperty turns exit codes into a property.
#include <algorithm>

#include <gtest/gtest.h>

#include "ProbeCommands.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
typedef std::vector<std::wstring> Texts;

class RunCommandActionsTest : public ::testing::Test {
protected:
    int run(const char* action, const RecordingContext::Values& arguments)
    {
        context = RecordingContext::Create(arguments);
        return CallAction(action, context);
    }

    bool argumentRead(const std::wstring& name) const
    {
        for (const std::wstring& read : context->argumentsRead) {
            if (read == name)
                return true;
        }
        return false;
    }

    // A command that counts its runs in a file of its own.
    std::wstring counted(const std::wstring& name, const std::wstring& options = L"")
    {
        return ProbeCommand(L"--counter " + Quoted(temp.file(name)) + L" " + options);
    }
    int runs(const std::wstring& name) const { return ReadCount(temp.file(name)); }

    ScopedTempDir temp;
    RecordingContextPtr context;
};
}

TEST_F(RunCommandActionsTest, RunCommandRunsOnlyForListedTransactions)
{
    EXPECT_EQ(0, run("RunCommand", { { L"CmdLine", counted(L"a") }, { L"RunOnDuAction", L"install|repair" },
                                     { L"$du$action", L"repair" } }));
    EXPECT_EQ(1, runs(L"a"));

    for (const wchar_t* kind : { L"uninstall", L"Repair", L"" }) {
        EXPECT_EQ(0, run("RunCommand", { { L"CmdLine", counted(L"a") }, { L"RunOnDuAction", L"install|repair" },
                                         { L"$du$action", kind } }));
        EXPECT_EQ((Texts{ std::wstring(L"Skipping action for the following kind of DU transaction: ") + kind +
                          L" (run for: install|repair)" }),
                  context->Texts());
        EXPECT_EQ(2, context->lines[0].level);
    }
    EXPECT_EQ(1, runs(L"a"));
}

TEST_F(RunCommandActionsTest, RunCommandWithOnlySeparatorsAlwaysSkips)
{
    for (const wchar_t* kind : { L"", L"|", L"install" }) {
        run("RunCommand", { { L"CmdLine", counted(L"a") }, { L"RunOnDuAction", L"||" }, { L"$du$action", kind } });
        EXPECT_EQ(1u, context->lines.size()) << Narrow(kind);
    }
    EXPECT_EQ(0, runs(L"a"));
}

TEST_F(RunCommandActionsTest, RunCommandWithoutListRunsEvenAnEmptyCommand)
{
    run("RunCommand", { { L"CmdLine", counted(L"a") }, { L"$du$action", L"uninstall" } });
    EXPECT_EQ(1, runs(L"a"));
    EXPECT_FALSE(argumentRead(L"$du$action"));

    // No command line: the runner still runs and echoes its options.
    run("RunCommand", {});
    EXPECT_EQ(L"Get CmdLine: ", RunnerLines(*context).at(0));
    EXPECT_EQ(L"UseShellExecute:    ", RunnerLines(*context).back());
}

TEST_F(RunCommandActionsTest, OnlyRunCommandRetries)
{
    const RecordingContext::Values retries = { { L"MaxRetriesAllowed", L"3" }, { L"RetryInterval", L"0" },
                                               { L"DUInstallAction", L"install" } };
    struct Case {
        const char* action;
        const wchar_t* commandArgument;
    } cases[] = { { "RunRollBackCommand", L"RollBackCmdLine" }, { "RunCommandOnNormalAndRepair", L"CmdLine" },
                  { "RunCommandConditional", L"CmdLine" }, { "RunCommandAndSetProperty", L"CmdLine" } };
    for (const Case& c : cases) {
        RecordingContext::Values arguments = retries;
        arguments[c.commandArgument] = counted(L"once", L"--exit 1");
        EXPECT_EQ(0, run(c.action, arguments)) << c.action;
        EXPECT_FALSE(argumentRead(L"MaxRetriesAllowed")) << c.action;
        EXPECT_FALSE(argumentRead(L"RetryInterval")) << c.action;
    }
    EXPECT_EQ(4, runs(L"once"));

    RecordingContext::Values arguments = retries;
    arguments[L"CmdLine"] = counted(L"retried", L"--exit 1");
    run("RunCommand", arguments);
    EXPECT_EQ(4, runs(L"retried"));
}

TEST_F(RunCommandActionsTest, RollBackCommand)
{
    EXPECT_EQ(0, run("RunRollBackCommand", { { L"CmdLine", counted(L"a") } }));
    EXPECT_EQ((Texts{ L"No rollback cmdline defined for this action, skipping." }), context->Texts(2));
    EXPECT_EQ(1u, context->lines.size());
    EXPECT_EQ(0, runs(L"a"));

    run("RunRollBackCommand", { { L"RollBackCmdLine", counted(L"b") } });
    EXPECT_EQ(1, runs(L"b"));
}

TEST_F(RunCommandActionsTest, RepairTakesItsOwnCommandLine)
{
    run("RunCommandOnNormalAndRepair", { { L"CmdLine", counted(L"normal") }, { L"DUInstallAction", L"install" },
                                         { L"CmdLineOnRepair", counted(L"repair") } });
    EXPECT_EQ(1, runs(L"normal"));
    EXPECT_FALSE(argumentRead(L"CmdLineOnRepair"));

    run("RunCommandOnNormalAndRepair", { { L"CmdLine", counted(L"normal") }, { L"DUInstallAction", L"rePair" },
                                         { L"CmdLineOnRepair", counted(L"repair") } });
    EXPECT_EQ(1, runs(L"repair"));

    // In a repair an empty repair command means nothing runs, whatever CmdLine says.
    run("RunCommandOnNormalAndRepair", { { L"CmdLine", counted(L"normal") }, { L"DUInstallAction", L"REPAIR" } });
    EXPECT_EQ((Texts{ L"[RunCommandOnNormalAndRepair] Empty sCmdLine" }), context->Texts());
    EXPECT_EQ(1, runs(L"normal"));

    run("RunCommandOnNormalAndRepair", { { L"DUInstallAction", L"install" } });
    EXPECT_EQ((Texts{ L"[RunCommandOnNormalAndRepair] Empty sCmdLine" }), context->Texts());
}

TEST_F(RunCommandActionsTest, ConditionalComparesWithoutCase)
{
    run("RunCommandConditional",
        { { L"CmdLine", counted(L"a") }, { L"ConditionPropertyToCheck", L"Yes" }, { L"PropertyValueCompareWith", L"yes" } });
    EXPECT_EQ(1, runs(L"a"));

    run("RunCommandConditional", { { L"CmdLine", counted(L"a") }, { L"ConditionPropertyToCheck", L"yes" },
                                   { L"PropertyValueCompareWith", L"yes " } });
    EXPECT_EQ((Texts{ L"[RunCommandConditional] Condition unmet. CmdLine skipped." }), context->Texts());
    EXPECT_EQ(1, runs(L"a"));

    // The first value is taken as it is, not as the name of a property.
    run("RunCommandConditional", { { L"CmdLine", counted(L"a") }, { L"ConditionPropertyToCheck", L"FEATURE" },
                                   { L"PropertyValueCompareWith", L"on" }, { L"FEATURE", L"on" } });
    EXPECT_EQ(1, runs(L"a"));

    // Two empty values are equal.
    run("RunCommandConditional", { { L"CmdLine", counted(L"a") } });
    EXPECT_EQ(2, runs(L"a"));
    run("RunCommandConditional", {});
    EXPECT_EQ((Texts{ L"[RunCommandConditional] Empty sCmdLine" }), context->Texts());
}

namespace {
class RunCommandAndSetPropertyTest : public RunCommandActionsTest {
protected:
    // The property value set for the command's exit code.
    std::wstring propertyFor(const std::wstring& commandLine, const std::wstring& codes, const std::wstring& values,
                             const RecordingContext::Values& more = {})
    {
        RecordingContext::Values arguments = { { L"CmdLine", commandLine }, { L"WriteProperty", L"RESULT" },
                                               { L"Default", L"other" }, { L"ReturnCodesSet", codes },
                                               { L"ValuesSet", values } };
        arguments.insert(more.begin(), more.end());
        EXPECT_EQ(0, run("RunCommandAndSetProperty", arguments));
        std::wstring value = L"<not set>";
        context->PropertySet(L"RESULT", &value);
        return value;
    }
    std::wstring exits(int code) { return ProbeCommand(L"--exit " + std::to_wstring(code)); }
};
}

TEST_F(RunCommandAndSetPropertyTest, ExitCodeSelectsTheValue)
{
    EXPECT_EQ(L"reboot", propertyFor(exits(3010), L"0; 3010 ;1641", L"ok;reboot;reboot"));
    EXPECT_EQ(L"ok", propertyFor(exits(0), L"0; 3010 ;1641", L"ok;reboot;reboot"));
    EXPECT_EQ(L"other", propertyFor(exits(5), L"0; 3010 ;1641", L"ok;reboot;reboot"));
    EXPECT_EQ(L"other", propertyFor(exits(0), L"", L""));
    // An empty code keeps its place.
    EXPECT_EQ(L"c", propertyFor(exits(1), L"0;;1", L"a;b;c"));
}

TEST_F(RunCommandAndSetPropertyTest, LogsItsArgumentsAndTheCodesTried)
{
    propertyFor(exits(1641), L"0; 3010 ;1641;2", L"ok;reboot;reboot;x");
    const Texts expected = {
        L"[RunCommandAndSetProperty] wProperty = RESULT",
        L"[RunCommandAndSetProperty] wDefault  = other",
        L"[RunCommandAndSetProperty] wReturnCodesSet  = 0; 3010 ;1641;2",
        L"[RunCommandAndSetProperty] wValuesSet       = ok;reboot;reboot;x",
        L"[RunCommandAndSetProperty] i = 0",
        L"[RunCommandAndSetProperty] i = 3010",
        L"[RunCommandAndSetProperty] i = 1641",
    };
    const Texts lines = context->Texts(2);
    EXPECT_EQ(expected, Texts(lines.end() - expected.size(), lines.end()));
    EXPECT_EQ(L"RunCommand: Exit code [1641]", lines[lines.size() - expected.size() - 1]);
}

TEST_F(RunCommandAndSetPropertyTest, CodesThatAreNotNumbersNeverMatch)
{
    EXPECT_EQ(L"zero", propertyFor(exits(0), L";0", L"empty;zero"));
    EXPECT_EQ(L"zero", propertyFor(exits(0), L"none; ;abc;0", L"a;b;c;zero"));
    EXPECT_EQ(L"other", propertyFor(exits(0), L"x;", L"a;b"));
    // Only a whole decimal entry is a code: a leading number is not enough.
    EXPECT_EQ(L"other", propertyFor(exits(5), L"5th", L"five"));
    EXPECT_EQ(L"zero", propertyFor(exits(0), L"0x5; 0 ", L"hex;zero"));
}

TEST_F(RunCommandAndSetPropertyTest, NoExitCodeIsLookedUpAsMinusOne)
{
    EXPECT_EQ(L"failed", propertyFor(Quoted(temp.file(L"missing.exe")), L"0;-1", L"ok;failed"));
    EXPECT_EQ(L"other", propertyFor(Quoted(temp.file(L"missing.exe")), L"0", L"ok"));
    const std::wstring release = temp.file(L"release");
    EXPECT_EQ(L"not waited",
              propertyFor(ProbeCommand(L"--wait-for " + Quoted(release)), L"0;-1", L"ok;not waited",
                          { { L"NoWaiting", L"1" } }));
    WriteBytes(release, "go");
}

TEST_F(RunCommandAndSetPropertyTest, EmptyCommandSetsNothing)
{
    EXPECT_EQ(L"<not set>", propertyFor(L"", L"-1", L"x"));
    EXPECT_EQ((Texts{ L"[RunCommandAndSetProperty] Empty sCmdLine" }), context->Texts());
}

TEST_F(RunCommandAndSetPropertyTest, ShortValueListIsRefusedWithTheDefault)
{
    struct Case {
        int exitCode;
        const wchar_t* codes;
        const wchar_t* values;
        const wchar_t* line;
    } cases[] = {
        // The matching code has no value at its place.
        { 1, L"0;1", L"a", L"ValuesSet is shorter than ReturnCodesSet (1 values for 2 codes)" },
        // A match before the missing place does not hide the broken list.
        { 0, L"0;1;2", L"a", L"ValuesSet is shorter than ReturnCodesSet (1 values for 3 codes)" },
        { 5, L"5", L"", L"ValuesSet is shorter than ReturnCodesSet (0 values for 1 codes)" },
    };
    for (const Case& c : cases) {
        context = RecordingContext::Create({ { L"CmdLine", exits(c.exitCode) }, { L"WriteProperty", L"RESULT" },
                                             { L"Default", L"other" }, { L"ReturnCodesSet", c.codes },
                                             { L"ValuesSet", c.values } });
        EXPECT_EQ(1, CallAction("RunCommandAndSetProperty", context)) << Narrow(c.codes);
        EXPECT_EQ((Texts{ std::wstring(L"[RunCommandAndSetProperty] ") + c.line + L"; setting the Default value" }),
                  context->Texts(4));
        std::wstring value;
        EXPECT_TRUE(context->PropertySet(L"RESULT", &value));
        EXPECT_EQ(L"other", value);
    }
    // More values than codes is no error: the rest is never looked at.
    EXPECT_EQ(L"b", propertyFor(exits(1), L"0;1", L"a;b;c"));
}

// SuccessCodes turns what happened to the command into the action's status,
// for every action of the family; without it the status stays 0.
TEST_F(RunCommandActionsTest, SuccessCodesDecideTheStatus)
{
    const std::wstring release = temp.file(L"never");
    struct Row {
        const char* action;
        const wchar_t* codes;
        std::wstring commandLine;
        const wchar_t* timeout;
        int status;
        const wchar_t* error;
    } rows[] = {
        { "RunCommand", L"0;3010", counted(L"a", L"--exit 3010"), L"", 0, 0 },
        { "RunCommand", L" 0 ; 3010 ;", counted(L"a", L"--exit 5"), L"", 1,
          L"RunCommand: Command returned result [5], which is not in SuccessCodes [ 0 ; 3010 ;]" },
        { "RunCommand", L"", counted(L"a", L"--exit 5"), L"", 0, 0 },
        { "RunCommand", L"-5", counted(L"a", L"--exit -5"), L"", 0, 0 },
        { "RunRollBackCommand", L"0", L"\"C:\\no such folder\\run.exe\"", L"", 1,
          L"RunCommand: Command could not be run (SuccessCodes [0])" },
        { "RunCommandOnNormalAndRepair", L"0", counted(L"a", L"--wait-for " + Quoted(release)), L"1", 1,
          L"RunCommand: Command timed out (SuccessCodes [0])" },
        { "RunCommandConditional", L"1", counted(L"a", L"--exit 1"), L"", 0, 0 },
        { "RunCommandAndSetProperty", L"2", counted(L"a", L"--exit 1"), L"", 1,
          L"RunCommand: Command returned result [1], which is not in SuccessCodes [2]" },
    };
    for (const Row& row : rows) {
        const std::string why = std::string(row.action) + " " + Narrow(row.codes);
        const bool rollback = std::string(row.action) == "RunRollBackCommand";
        EXPECT_EQ(row.status, run(row.action, { { rollback ? L"RollBackCmdLine" : L"CmdLine", row.commandLine },
                                                { L"SuccessCodes", row.codes }, { L"TimeoutSeconds", row.timeout },
                                                { L"WriteProperty", L"State" } }))
            << why;
        const Texts errors = context->Texts(4);
        if (row.error)
            EXPECT_EQ(row.error, errors.empty() ? L"" : errors.back()) << why;
        else
            EXPECT_TRUE(errors.empty()) << why;
    }
}

// A setting that cannot be meant refuses the command: one error line, status
// 1, nothing run.
TEST_F(RunCommandActionsTest, SettingsThatAreNotOnesRefuseTheCommand)
{
    struct Row {
        RecordingContext::Values arguments;
        const wchar_t* error;
    } rows[] = {
        { { { L"TimeoutSeconds", L"2.5" } },
          L"RunCommand: TimeoutSeconds [2.5] is not a whole number of seconds from 1 up; the command is not run" },
        { { { L"TimeoutSeconds", L"0" }, { L"NoWaiting", L"yes" } },
          L"RunCommand: TimeoutSeconds [0] is not a whole number of seconds from 1 up; the command is not run" },
        { { { L"SuccessCodes", L"0;ok" } },
          L"RunCommand: SuccessCodes [0;ok] is not a list of exit codes separated by \";\"; the command is not run" },
        { { { L"SuccessCodes", L";" } },
          L"RunCommand: SuccessCodes [;] is not a list of exit codes separated by \";\"; the command is not run" },
        { { { L"SuccessCodes", L"0" }, { L"NoWaiting", L"1" } },
          L"RunCommand: SuccessCodes cannot be checked with NoWaiting, which give no exit code; the command is not "
          L"run" },
        { { { L"SuccessCodes", L"0" }, { L"UseShellExecute", L"yes" } },
          L"RunCommand: SuccessCodes cannot be checked with UseShellExecute, which give no exit code; the command "
          L"is not run" },
    };
    for (const Row& row : rows) {
        RecordingContext::Values arguments = row.arguments;
        arguments[L"CmdLine"] = counted(L"refused");
        EXPECT_EQ(1, run("RunCommand", arguments)) << Narrow(row.error);
        EXPECT_EQ(Texts{ row.error }, context->Texts(4));
    }
    EXPECT_EQ(0, runs(L"refused"));
}

// Every attempt that gives an exit code logs it, retries or not.
TEST_F(RunCommandActionsTest, EveryAttemptLogsItsExitCode)
{
    run("RunCommandConditional", { { L"CmdLine", counted(L"a", L"--exit 7") } });
    EXPECT_TRUE(context->HasLine(L"RunCommand: Exit code [7]", 2));
    run("RunCommand", { { L"CmdLine", counted(L"b", L"--exit 7") }, { L"CaptureOutput", L"yes" },
                        { L"MaxRetriesAllowed", L"1" }, { L"RetryInterval", L"0" } });
    const Texts lines = RunnerLines(*context);
    EXPECT_EQ(2, std::count(lines.begin(), lines.end(), L"Exit code [7]"));
    // A bad retry count is said, not silently replaced.
    run("RunCommand", { { L"CmdLine", counted(L"c") }, { L"MaxRetriesAllowed", L"two" } });
    EXPECT_EQ((Texts{ L"RunCommand: MaxRetriesAllowed [two] is not a number: 0 is used" }), context->Texts(3));
    run("RunCommand", { { L"CmdLine", counted(L"d") }, { L"MaxRetriesAllowed", L"-1" } });
    EXPECT_EQ(L"MaxRetriesAllowed is below 0: the command is not run", RunnerLines(*context).back());
    EXPECT_EQ(0, runs(L"d"));
}
