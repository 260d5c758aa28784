// Plans through the real host: each run's own folder, the twins after a
// failure, and the events of --json output.
#include <algorithm>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "HostTestSupport.h"
#include "host/PlanFolder.h"
#include "support/TestFiles.h"

namespace {
std::wstring widen(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), 0, 0);
    std::wstring result(size, L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size);
    return result;
}

std::wstring tempFolder()
{
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp, length);
}

// Every line of the host's output as a JSON event; fails the test for a
// line that is no JSON object.
std::vector<nlohmann::json> events(const std::string& output)
{
    std::vector<nlohmann::json> parsed;
    for (const std::string& line : SplitLines(output)) {
        nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
        EXPECT_TRUE(event.is_object()) << "not JSON: " << line;
        if (event.is_object())
            parsed.push_back(event);
    }
    return parsed;
}

// The plan's course: "step N", "rollback N", "result ACTION S",
// "exception ACTION", "plan S".
std::vector<std::string> course(const std::vector<nlohmann::json>& events)
{
    std::vector<std::string> lines;
    for (const nlohmann::json& event : events) {
        const std::string kind = event["event"];
        if (kind == "step" || kind == "rollback")
            lines.push_back(kind + " " + std::to_string(event["index"].get<int>()));
        else if (kind == "result")
            lines.push_back("result " + event["action"].get<std::string>() + " " +
                            std::to_string(event["status"].get<int>()));
        else if (kind == "exception")
            lines.push_back("exception " + event["action"].get<std::string>());
        else if (kind == "plan")
            lines.push_back("plan " + std::to_string(event["status"].get<int>()));
    }
    return lines;
}
}

// Under Wine a fresh session gives the host the same process id every time,
// and the step folders used to be named after it and reused as found: a
// marker an earlier, killed run left made a later run's twin act on it.
TEST(PlanFolders, NoRunSeesWhatAnEarlierRunLeft)
{
    ScopedTempDir temp;
    WriteBytes(temp.file(L"plan.json"), "{\"steps\": [{\"action\": \"ReportMarker\", \"args\": {\"Name\": \"first\"}},"
                                        "            {\"action\": \"Touch\", \"args\": {\"Name\": \"second\"}}]}");
    // The host is made suspended, so the folder its process id names can be
    // left there before it starts.
    std::wstring line = HostCommand(L"--dll " + QuotedArgument(SampleLibrary()) + L" plan " +
                                    QuotedArgument(temp.file(L"plan.json")));
    SECURITY_ATTRIBUTES inheritable = { sizeof(inheritable), 0, TRUE };
    HANDLE readEnd = 0, writeEnd = 0;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION host = {};
    ASSERT_TRUE(CreateProcessW(0, &line[0], 0, 0, TRUE, CREATE_SUSPENDED, 0, 0, &startup, &host));
    CloseHandle(writeEnd);
    const std::wstring left = tempFolder() + L"verrand-plan-" + std::to_wstring(host.dwProcessId);
    CreateDirectoryW(left.c_str(), 0);
    CreateDirectoryW((left + L"\\step-1").c_str(), 0);
    WriteBytes(left + L"\\step-1\\marker", "left by an earlier run");
    WriteBytes(left + L"\\step-1\\DoRollback", "");
    ResumeThread(host.hThread);
    std::string output;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(readEnd, buffer, sizeof(buffer), &read, 0) && read > 0)
        output.append(buffer, read);
    WaitForSingleObject(host.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(host.hProcess, &exitCode);
    CloseHandle(readEnd);
    CloseHandle(host.hThread);
    CloseHandle(host.hProcess);

    EXPECT_EQ(0u, exitCode) << output;
    const std::vector<std::string> lines = SplitLines(output);
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "[info] no marker for first")) << output;
    // What was left is left alone, and the run's own folder is gone.
    EXPECT_EQ("left by an earlier run", ReadBytes(left + L"\\step-1\\marker"));
    RemoveTree(left);
    WIN32_FIND_DATAW found;
    const std::wstring pattern = left + L"-*";
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << "a run's folder was left: " << Narrow(found.cFileName);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
}

TEST(PlanFolders, StepFoldersComeInGroupsOfAHundred)
{
    EXPECT_EQ(L"group-1\\step-1", StepFolderName(1));
    EXPECT_EQ(L"group-1\\step-100", StepFolderName(100));
    EXPECT_EQ(L"group-2\\step-101", StepFolderName(101));
    EXPECT_EQ(L"group-100\\step-10000", StepFolderName(10000));
}

// Every twin runs, newest first, whatever the others did; a twin that
// fails or throws keeps the plan's folder for whoever looks into it.
TEST(PlanRollback, FailingTwinsDoNotStopTheOthersAndKeepTheFolder)
{
    ScopedTempDir temp;
    WriteBytes(temp.file(L"plan.json"),
               "{\"steps\": ["
               " {\"action\": \"Touch\", \"args\": {\"Name\": \"a\"}, \"rollback\": {\"action\": \"ThrowStandard\"}},"
               " {\"action\": \"Touch\", \"args\": {\"Name\": \"b\"},"
               "  \"rollback\": {\"action\": \"Touch\", \"args\": {\"Name\": \"b twin\", \"Status\": \"1\"}}},"
               " {\"action\": \"Touch\", \"args\": {\"Name\": \"c\", \"Status\": \"1\"},"
               "  \"rollback\": {\"action\": \"ReportMarker\", \"args\": {\"Name\": \"c\"}}},"
               " {\"action\": \"Touch\", \"args\": {\"Name\": \"d\"}}]}");
    const ChildResult result = RunChild(HostCommand(L"--json --dll " + QuotedArgument(SampleLibrary()) + L" plan " +
                                                    QuotedArgument(temp.file(L"plan.json"))));
    EXPECT_EQ(1u, result.exitCode);
    const std::vector<nlohmann::json> all = events(result.output);
    const std::vector<std::string> expected = {
        "step 1", "result Touch 0", "step 2", "result Touch 0", "step 3", "result Touch 1",
        "rollback 3", "result ReportMarker 0", "rollback 2", "result Touch 1", "rollback 1",
        "exception ThrowStandard", "plan 1",
    };
    EXPECT_EQ(expected, course(all)) << result.output;
    ASSERT_FALSE(all.empty());
    const nlohmann::json& plan = all.back();
    EXPECT_EQ(4, all[0]["of"].get<int>());
    ASSERT_TRUE(plan.contains("kept")) << plan.dump();
    const std::wstring kept = widen(plan["kept"].get<std::string>());
    EXPECT_TRUE(PathExists(kept + L"\\" + StepFolderName(1) + L"\\marker"));
    RemoveTree(kept);
}

// After a rollback, a step folder that still holds something keeps the
// plan's folder: no twin consumed that state, and it may be the only copy of
// what a step took from the user. Twins that consumed theirs leave nothing.
TEST(PlanRollback, StateNoTwinConsumedKeepsTheFolder)
{
    ScopedTempDir temp;
    CreateDirectoryW(temp.file(L"du").c_str(), 0);
    CreateDirectoryW(temp.file(L"du\\userconfigfiles").c_str(), 0);
    WriteBytes(temp.file(L"du\\userconfigfiles\\notes.ini"), "shipped");
    CreateDirectoryW(temp.file(L"app").c_str(), 0);
    WriteBytes(temp.file(L"app\\notes.ini"), "user's own");
    nlohmann::json copy = { { "action", "CopyUserConfigFile" },
                            { "args",
                              { { "SrcFileName", "notes.ini" },
                                { "DestDirName", Narrow(temp.file(L"app")) },
                                { "DestFileName", "notes.ini" } } } };
    copy["rollback"] = { { "action", "RollbackCopyUserConfigFile" },
                         { "args", { { "DestDirName", Narrow(temp.file(L"app")) }, { "DestFileName", "notes.ini" } } } };
    const nlohmann::json failing = { { "action", "CreateUserConfigRegistryKey" },
                                     { "args", { { "RegistryPath", "HKCU\\Software\\VerrandPlanTest" },
                                                 { "RegistryType", "integer" } } } };
    const nlohmann::json properties = { { "$du$action", "install" }, { "$du.dir", Narrow(temp.file(L"du\\")) } };
    const struct {
        bool twin;
        bool kept;
    } rows[] = { { true, false }, { false, true } };
    for (const auto& row : rows) {
        nlohmann::json step = copy;
        if (!row.twin)
            step["rollback"] = nullptr;
        const nlohmann::json plan = { { "properties", properties }, { "steps", { step, failing } } };
        WriteBytes(temp.file(L"plan.json"), plan.dump());
        const ChildResult result = RunChild(HostCommand(L"--json plan " + QuotedArgument(temp.file(L"plan.json"))));
        EXPECT_EQ(1u, result.exitCode) << result.output;
        const std::vector<nlohmann::json> all = events(result.output);
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(row.kept, all.back().contains("kept")) << result.output;
        if (row.twin) {
            EXPECT_EQ("user's own", ReadBytes(temp.file(L"app\\notes.ini")));
        }
        if (all.back().contains("kept")) {
            const std::wstring kept = widen(all.back()["kept"].get<std::string>());
            EXPECT_TRUE(PathExists(kept + L"\\" + StepFolderName(1)));
            RemoveTree(kept);
        }
    }
}

// With --json the host's standard output carries JSON only: what a child
// process writes to the handles it inherited comes as output events, with
// the step's secret masked like in every other line.
TEST(JsonOutput, ChildOutputBecomesMaskedEvents)
{
    ScopedTempDir temp;
    const std::wstring childLine = QuotedArgument(TestChildProgram()) + L" print \"key s3cret here\"";
    nlohmann::json step = { { "action", "RunAndWait" },
                            { "args", { { "CmdLine", Narrow(childLine) }, { "SensitiveData", "s3cret" } } } };
    WriteBytes(temp.file(L"plan.json"), nlohmann::json{ { "steps", { step } } }.dump());
    const std::wstring commands[] = {
        L"--json --dll " + QuotedArgument(SampleLibrary()) + L" plan " + QuotedArgument(temp.file(L"plan.json")),
        L"--json --dll " + QuotedArgument(SampleLibrary()) + L" --prop SensitiveData=s3cret run RunAndWait " +
            QuotedArgument(L"CmdLine=" + childLine),
    };
    for (const std::wstring& command : commands) {
        const ChildResult result = RunChild(HostCommand(command));
        EXPECT_EQ(0u, result.exitCode) << result.output;
        EXPECT_EQ(std::string::npos, result.output.find("s3cret")) << result.output;
        // The child's lines come before the action's result.
        std::vector<std::string> shown;
        for (const nlohmann::json& event : events(result.output))
            if (event["event"] == "output")
                shown.push_back(event["stream"].get<std::string>() + ": " + event["text"].get<std::string>());
            else if (event["event"] == "result")
                shown.push_back("result");
        std::sort(shown.begin(), shown.end() - (shown.empty() ? 0 : 1));
        const std::vector<std::string> expected = { "stderr: error: key ******** here", "stdout: key ******** here",
                                                    "result" };
        EXPECT_EQ(expected, shown) << result.output;
    }
}

// The secrets of all steps so far mask a child's line, the longest first;
// a line without a line end comes in pieces, however long.
TEST(JsonOutput, LongestSecretFirstAndLongLinesInPieces)
{
    ScopedTempDir temp;
    const std::string child = Narrow(QuotedArgument(TestChildProgram()));
    const auto step = [](const std::string& commandLine, const char* secret) {
        return nlohmann::json{ { "action", "RunAndWait" },
                               { "args", { { "CmdLine", commandLine }, { "SensitiveData", secret } } } };
    };
    const long fill = 3000000;
    WriteBytes(temp.file(L"plan.json"),
               nlohmann::json{ { "steps",
                                 { step(child + " print \"abc\"", "abc"),
                                   step(child + " print \"x abcdef y\"", "abcdef"),
                                   step(child + " fill " + std::to_string(fill), "") } } }
                   .dump());
    const ChildResult result = RunChild(HostCommand(L"--json --dll " + QuotedArgument(SampleLibrary()) + L" plan " +
                                                    QuotedArgument(temp.file(L"plan.json"))));
    EXPECT_EQ(0u, result.exitCode);
    std::vector<std::string> shown;
    size_t filled = 0, pieces = 0, longest = 0;
    for (const nlohmann::json& event : events(result.output)) {
        if (event["event"] != "output" || event["stream"] != "stdout")
            continue;
        const std::string text = event["text"];
        if (text.find_first_not_of('x') != std::string::npos) {
            shown.push_back(text);
            continue;
        }
        filled += text.size();
        ++pieces;
        longest = std::max(longest, text.size());
    }
    EXPECT_EQ((std::vector<std::string>{ "********", "x ******** y" }), shown);
    EXPECT_EQ(static_cast<size_t>(fill), filled);
    EXPECT_EQ(8192u, longest);
    EXPECT_EQ((fill + 8191) / 8192, static_cast<long>(pieces));
}
