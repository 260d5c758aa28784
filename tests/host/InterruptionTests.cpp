// Ctrl-C or Ctrl-Break sent to a host whose plan step waits on a child
// process, from a driver that shares a console of its own with the host.
#include <algorithm>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "HostTestSupport.h"
#include "support/TestFiles.h"

namespace {
bool processGone(DWORD id)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process)
        return true;
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

bool contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}
}

// The step under way ends with its child process tree, no later step
// starts, the twins of the steps done run newest first, a second
// interruption during them is ignored, and the plan fails with 1.
TEST(Interruption, EndsTheStepsProcessesAndRollsBack)
{
    ScopedTempDir temp;
    const std::wstring ready = temp.file(L"ready"), twinReady = temp.file(L"twin ready"),
                       release = temp.file(L"release");
    const std::wstring child = QuotedArgument(TestChildProgram());
    const auto waitFor = [&](const std::wstring& file, const wchar_t* extra) {
        return Narrow(child + L" wait " + QuotedArgument(file) + L" " + QuotedArgument(release) + extra);
    };
    const nlohmann::json steps = {
        { { "action", "Touch" }, { "args", { { "Name", "a" } } },
          { "rollback", { { "action", "ReportMarker" }, { "args", { { "Name", "a" } } } } } },
        { { "action", "RunAndWait" }, { "args", { { "CmdLine", waitFor(ready, L"") } } },
          { "rollback", { { "action", "RunAndWait" }, { "args", { { "CmdLine", waitFor(twinReady, L" ignored") } } } } } },
        { { "action", "Touch" }, { "args", { { "Name", "never" } } } },
    };
    WriteBytes(temp.file(L"plan.json"), nlohmann::json{ { "steps", steps } }.dump());
    const std::wstring host = HostCommand(L"--dll " + QuotedArgument(SampleLibrary()) + L" plan " +
                                          QuotedArgument(temp.file(L"plan.json")));

    const ChildResult driver = RunChild(child + L" interrupt " + QuotedArgument(host) + L" " +
                                        QuotedArgument(temp.file(L"host output")) + L" " + QuotedArgument(ready) +
                                        L" " + QuotedArgument(twinReady) + L" " + QuotedArgument(release));
    const std::vector<std::string> report = SplitLines(driver.output);
    const std::vector<std::string> output = SplitLines(ReadBytes(temp.file(L"host output")));
    const std::string shown = driver.output + "\n--- host:\n" + ReadBytes(temp.file(L"host output"));
    ASSERT_TRUE(contains(report, "host exit code 1")) << shown;
    ASSERT_EQ(3u, report.size()) << shown;
    const std::string event = report[0] == "sent Ctrl-Break" ? "Ctrl-Break" : "Ctrl-C";
    EXPECT_EQ(report[0], report[1]) << shown;

    const std::vector<std::string> expected = {
        "== step 1 of 3: Touch",
        "[info] touched a",
        "Touch returned 0",
        "== step 2 of 3: RunAndWait",
        "== " + event + ": interrupted; no further step starts, the steps done are rolled back",
        "[info] child exited with 3221225786",
        "RunAndWait returned 1",
        "== rolling back",
        "== rollback of step 2: RunAndWait",
        "== " + event + " ignored: the rollback of the steps done goes on",
        "[info] child exited with 0",
        "RunAndWait returned 0",
        "== rollback of step 1: ReportMarker",
        "[info] marker present for a",
        "ReportMarker returned 0",
        "== the plan was interrupted; it ends with status 1",
    };
    EXPECT_EQ(expected, output) << shown;

    // The step's child and grandchild ended with the step; the twin's child
    // ended by itself once released.
    const std::vector<std::string> ids = SplitLines(ReadBytes(ready) + ReadBytes(twinReady));
    EXPECT_EQ(3u, ids.size());
    for (const std::string& id : ids)
        EXPECT_TRUE(processGone(std::stoul(id))) << "process " << id << " is still running";
}

namespace {
// The process ids a waiting test child and its grandchild wrote to `file`,
// once both have.
std::vector<std::string> waitingProcesses(const std::wstring& file, StartedChild& host)
{
    for (int i = 0; i < 12000 && !host.Ended(0); ++i) {
        const std::vector<std::string> ids = SplitLines(PathExists(file) ? ReadBytes(file) : std::string());
        if (ids.size() >= 2)
            return ids;
        Sleep(50);
    }
    return std::vector<std::string>();
}

bool endsSoon(const std::string& id)
{
    for (int i = 0; i < 1200 && !processGone(std::stoul(id)); ++i)
        Sleep(50);
    return processGone(std::stoul(id));
}
}

// A host killed outright runs no rollback, but the processes its step
// started (and theirs) end with it; a command run under a time limit (in a
// job of its own, inside the host's) still has its whole tree ended at the
// limit.
TEST(Interruption, KilledHostLeavesNoProcessOfItsStepsRunning)
{
    ScopedTempDir temp;
    const std::wstring ready = temp.file(L"ready"), release = temp.file(L"release");
    const std::string waiting =
        Narrow(QuotedArgument(TestChildProgram()) + L" wait " + QuotedArgument(ready) + L" " + QuotedArgument(release));
    const nlohmann::json killed = { { "steps", { { { "action", "RunAndWait" }, { "args", { { "CmdLine", waiting } } } } } } };
    WriteBytes(temp.file(L"killed.json"), killed.dump());
    {
        StartedChild host(HostCommand(L"--dll " + QuotedArgument(SampleLibrary()) + L" plan " +
                                      QuotedArgument(temp.file(L"killed.json"))));
        const std::vector<std::string> ids = waitingProcesses(ready, host);
        ASSERT_EQ(2u, ids.size()) << "the step's processes did not start";
        host.Kill();
        for (const std::string& id : ids)
            EXPECT_TRUE(endsSoon(id)) << "process " << id << " outlived the killed host";
    }
    WriteBytes(release, "");

    const std::wstring limitedReady = temp.file(L"limited ready");
    const std::string limited = Narrow(QuotedArgument(TestChildProgram()) + L" wait " + QuotedArgument(limitedReady) +
                                       L" " + QuotedArgument(temp.file(L"never")));
    const nlohmann::json underLimit = {
        { "steps", { { { "action", "RunCommand" }, { "args", { { "CmdLine", limited }, { "TimeoutSeconds", "2" } } } } } }
    };
    WriteBytes(temp.file(L"limited.json"), underLimit.dump());
    const ChildResult result = RunChild(HostCommand(L"plan " + QuotedArgument(temp.file(L"limited.json"))));
    EXPECT_EQ(0u, result.exitCode) << result.output;
    EXPECT_EQ(std::string::npos, result.output.find("AssignProcessToJobObject")) << result.output;
    const std::vector<std::string> ids = SplitLines(ReadBytes(limitedReady));
    EXPECT_EQ(2u, ids.size()) << result.output;
    for (const std::string& id : ids)
        EXPECT_TRUE(endsSoon(id)) << "process " << id << " outlived its time limit";
}
