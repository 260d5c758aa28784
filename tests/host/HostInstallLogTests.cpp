// verrand-host shows the install log of its process: the host makes the log
// through Brunlow, an action library's own copy of the log joins it.
#include <regex>

#include <gtest/gtest.h>

#include <memory>

#include "HostTestSupport.h"
#include "support/TestFiles.h"

namespace {
std::wstring installLogActions()
{
    return TestProgramFolder() + L"\\InstallLogActions.dll";
}

// Runs the host on the test action library and gives its output lines.
std::vector<std::string> runHost(const std::wstring& arguments, unsigned long expectedStatus = 0)
{
    const ChildResult result = RunChild(HostCommand(L"--dll " + QuotedArgument(installLogActions()) + L" " + arguments));
    EXPECT_EQ(expectedStatus, result.exitCode) << result.output;
    return SplitLines(result.output);
}

const char* const kTime = "[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\.[0-9]{3}";

void expectLine(const std::string& pattern, const std::string& line)
{
    EXPECT_TRUE(std::regex_match(line, std::regex(pattern))) << "line: " << line << "\npattern: " << pattern;
}
}

TEST(HostInstallLog, HumanLinesCarryTheTimeOfDay)
{
    const std::vector<std::string> lines = runHost(L"run WriteInstallLogError Text=x");
    ASSERT_EQ(3u, lines.size());
    expectLine(std::string("\\[installlog\\] ") + kTime + " Multiple InstallLogs instantiated\\.", lines[0]);
    expectLine(std::string("\\[installlog\\] ") + kTime + " Error: x", lines[1]);
    EXPECT_EQ("WriteInstallLogError returned 0", lines[2]);
}

TEST(HostInstallLog, JsonEventsCarryTheContextPrefix)
{
    const std::vector<std::string> lines = runHost(L"--json run WriteInstallLogError Text=x Context=a");
    ASSERT_EQ(3u, lines.size());
    // The library's first call makes its log instance inside the context too.
    expectLine(std::string("\\{\"event\":\"installlog\",\"text\":\"") + kTime +
                   " \\[a\\] Multiple InstallLogs instantiated\\.\"\\}",
               lines[0]);
    expectLine(std::string("\\{\"event\":\"installlog\",\"text\":\"") + kTime + " Error: \\[a\\] x\"\\}", lines[1]);
}

TEST(HostInstallLog, FileCollectsTheLinesOfEveryRun)
{
    ScopedTempDir temp;
    const std::wstring logFile = temp.file(L"install log.txt");
    WriteBytes(temp.file(L"plan.json"),
               "{\"steps\": [{\"action\": \"WriteInstallLogError\", \"args\": {\"Text\": \"one\"}},"
               "            {\"action\": \"WriteInstallLogError\", \"args\": {\"Text\": \"two\"}}]}");
    const std::wstring option = L"--install-log \"" + logFile + L"\" ";
    const std::vector<std::string> shown = runHost(option + L"plan \"" + temp.file(L"plan.json") + L"\"");
    runHost(option + L"run WriteInstallLogError Text=three");

    const std::string content = ReadBytes(logFile);
    const std::vector<std::string> lines = SplitLines(content);
    ASSERT_EQ(5u, lines.size()) << content;
    const char* const texts[] = { "Multiple InstallLogs instantiated.", "Error: one", "Error: two",
                                  "Multiple InstallLogs instantiated.", "Error: three" };
    for (size_t i = 0; i < lines.size(); ++i) {
        expectLine(std::string(kTime) + " .*", lines[i]);
        EXPECT_EQ(texts[i], lines[i].substr(13));
    }
    // Every line ends with CR LF, and the plan's output showed its lines.
    EXPECT_EQ(5, std::count(content.begin(), content.end(), '\n'));
    EXPECT_EQ(5, std::count(content.begin(), content.end(), '\r'));
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(1, std::count(shown.begin(), shown.end(), "[installlog] " + lines[i])) << lines[i];
}

TEST(HostInstallLog, UnusableLogFileIsAUsageError)
{
    const std::vector<std::string> lines =
        runHost(L"--install-log \"C:\\no\\such\\folder\\log.txt\" run WriteInstallLogError Text=x", 2);
    EXPECT_TRUE(lines.empty());
}

// Hosts appending to one file at once: every line arrives, whole. Wine
// appends by finding the end and writing there, and lost about one line in
// eight of three such hosts before each host locked the file around its
// writes.
TEST(HostInstallLog, ConcurrentHostsAppendWholeLines)
{
    ScopedTempDir temp;
    const std::wstring logFile = temp.file(L"shared.log");
    const int kLines = 30000;
    std::vector<std::unique_ptr<StartedChild>> hosts;
    for (int host = 0; host < 3; ++host)
        hosts.emplace_back(new StartedChild(HostCommand(L"--dll " + QuotedArgument(installLogActions()) +
                                                        L" --install-log " + QuotedArgument(logFile) +
                                                        L" run WriteInstallLogError Text=host" +
                                                        std::to_wstring(host) + L" Count=" +
                                                        std::to_wstring(kLines))));
    for (auto& host : hosts)
        EXPECT_EQ(0u, host->Finish().exitCode);

    const std::vector<std::string> lines = SplitLines(ReadBytes(logFile));
    EXPECT_EQ(3u * (kLines + 1), lines.size());
    const std::regex whole(std::string(kTime) + " (Error: host[0-2]|Multiple InstallLogs instantiated\\.)");
    int perHost[3] = {};
    size_t torn = 0;
    for (const std::string& line : lines) {
        if (!std::regex_match(line, whole))
            ++torn;
        else if (line.find("Error: host") != std::string::npos)
            ++perHost[line[line.size() - 1] - '0'];
    }
    EXPECT_EQ(0u, torn);
    for (int host = 0; host < 3; ++host)
        EXPECT_EQ(kLines, perHost[host]) << host;
}
