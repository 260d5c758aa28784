// verrand-host shows the install log of its process: the host makes the log
// through Brunlow, an action library's own copy of the log joins it.
#include <regex>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/TestFiles.h"

namespace {
std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start - (end > start && text[end - 1] == '\r' ? 1 : 0)));
    return lines;
}

// Runs the host on the test action library and gives its output lines.
std::vector<std::string> runHost(const std::wstring& arguments, unsigned long expectedStatus = 0)
{
    const ChildResult result = RunChild(L"\"" + DistFolder() + L"\\verrand-host.exe\" --dll \"" + TestProgramFolder() +
                                        L"\\InstallLogActions.dll\" " + arguments);
    EXPECT_EQ(expectedStatus, result.exitCode) << result.output;
    return splitLines(result.output);
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
    const std::vector<std::string> lines = splitLines(content);
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
