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
