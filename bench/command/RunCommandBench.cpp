// RunCommand through its export against CreateProcessW and a wait of the same
// command line: what the runner's reading, echo and bookkeeping cost on top
// of starting a process. The command is this program itself, asked to exit
// at once. Then RunCommand capturing output into the log against the same
// command writing it to a file, for three writers: 100,000 lines in large
// blocks, 100,000 lines with one WriteFile each, and 1,000,000 lines through
// the C runtime's buffered standard output. Each capture is also set
// against the same command writing into a pipe that a bare loop drains:
// under Wine every write into a pipe is a request to the wine server, which
// makes a program that writes a line at a time many times slower into any
// pipe than into a file, whoever reads it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include <boost/shared_ptr.hpp>

#include "core/Action.h"
#include "support/BenchReport.h"
#include "support/QuietContext.h"

namespace {
const int kRuns = 40;
const long kCapturedLines = 100000;
const long kBufferedLines = 1000000;
// What one attempt logs at most.
const long kLoggedLines = 100000;

std::wstring selfPath()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(0, path, MAX_PATH);
    return path;
}

std::wstring selfCommandLine()
{
    return L"\"" + selfPath() + L"\" --exit";
}

// Writes count short lines to standard output in large blocks.
int printLines(int count)
{
    std::string block;
    char line[32];
    for (int i = 1; i <= count; ++i) {
        const int length = std::snprintf(line, sizeof(line), "output line %d\r\n", i);
        block.append(line, length);
        if (block.size() > 60000 || i == count) {
            DWORD written = 0;
            if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), block.data(), static_cast<DWORD>(block.size()), &written,
                           0))
                return 1;
            block.clear();
        }
    }
    return 0;
}

// Writes count short lines to standard output, one WriteFile each.
int printLinesEach(int count)
{
    char line[32];
    for (int i = 1; i <= count; ++i) {
        const int length = std::snprintf(line, sizeof(line), "output line %d\r\n", i);
        DWORD written = 0;
        if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, length, &written, 0))
            return 1;
    }
    return 0;
}

// Writes count short lines through the C runtime's standard output, as it
// buffers them.
int printLinesBuffered(int count)
{
    for (int i = 1; i <= count; ++i)
        std::printf("output line %d\n", i);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

typedef boost::shared_ptr<IActionContext> ContextPtr;

// Runs the command with its standard output and error in one pipe, read in
// 64 KiB pieces that are thrown away; false when it could not be started.
bool drainPipe(const std::wstring& commandLine)
{
    SECURITY_ATTRIBUTES inheritable = { sizeof(inheritable), 0, TRUE };
    HANDLE readEnd = 0, writeEnd = 0;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 65536))
        return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    const bool started = CreateProcessW(0, &buffer[0], 0, 0, TRUE, CREATE_NO_WINDOW, 0, 0, &startup, &process);
    CloseHandle(writeEnd);
    std::vector<char> piece(65536);
    DWORD read = 0;
    while (started && ReadFile(readEnd, &piece[0], static_cast<DWORD>(piece.size()), &read, 0) && read > 0) {
    }
    CloseHandle(readEnd);
    if (!started)
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Output through the runner's pipes into the log, against the same command
// with its output sent to a file.
void benchCapture(ActionFunction runCommand, const std::string& figure, const std::wstring& writer, long count,
                  int runs)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring file = std::wstring(temp) + L"verrand-bench-lines.txt";
    const std::wstring lines = L"\"" + selfPath() + L"\" " + writer + L" " + std::to_wstring(count);

    QuietContext::Values arguments;
    arguments[L"CmdLine"] = L"cmd /c \"" + lines + L"\"";
    arguments[L"CaptureOutput"] = L"yes";
    QuietContext* captureContext = new QuietContext(arguments);
    const ContextPtr capture(captureContext);
    arguments.erase(L"CaptureOutput");
    arguments[L"CmdLine"] = L"cmd /c \"" + lines + L" > \"" + file + L"\"\"";
    const ContextPtr toFile(new QuietContext(arguments));

    // The three alternate, so a change in the machine's load weighs on each.
    double fileSeconds = 0, captureSeconds = 0, pipeSeconds = 0;
    bool drained = true;
    for (int i = 0; i < runs; ++i) {
        const double toFileNow = SecondsOf([&] { runCommand(toFile); });
        const double captureNow = SecondsOf([&] { runCommand(capture); });
        const double pipeNow = SecondsOf([&] { drained = drainPipe(L"cmd /c \"" + lines + L"\"") && drained; });
        fileSeconds = i == 0 ? toFileNow : std::min(fileSeconds, toFileNow);
        captureSeconds = i == 0 ? captureNow : std::min(captureSeconds, captureNow);
        pipeSeconds = i == 0 ? pipeNow : std::min(pipeSeconds, pipeNow);
    }
    DeleteFileW(file.c_str());
    // Every run logs its lines (up to the limit), plus the runner's own lines.
    if (captureContext->lines < static_cast<long>(runs) * std::min(count, kLoggedLines)) {
        std::printf("RunCommand bench: only %ld lines were captured\n", captureContext->lines);
        return;
    }
    if (!drained) {
        std::printf("RunCommand bench: the command could not be started with a pipe\n");
        return;
    }
    ReportFigure(figure, captureSeconds * 1000, "ms",
                 "the same command with its output sent to a file (cmd /c ... > file)", fileSeconds * 1000);
    ReportFigure(figure, captureSeconds * 1000, "ms", "the same command writing into a pipe that a bare loop drains",
                 pipeSeconds * 1000);
}

bool createAndWait(const std::wstring& commandLine)
{
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(0, &buffer[0], 0, 0, FALSE, 0, 0, 0, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
}

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--exit") == 0)
        return 0;
    if (argc > 2 && std::strcmp(argv[1], "--lines") == 0)
        return printLines(std::atoi(argv[2]));
    if (argc > 2 && std::strcmp(argv[1], "--lines-each") == 0)
        return printLinesEach(std::atoi(argv[2]));
    if (argc > 2 && std::strcmp(argv[1], "--lines-buffered") == 0)
        return printLinesBuffered(std::atoi(argv[2]));
    HMODULE verrand = LoadLibraryW(L"Verrand.dll");
    ActionFunction runCommand = verrand ? reinterpret_cast<ActionFunction>(GetProcAddress(verrand, "RunCommand")) : 0;
    if (!runCommand) {
        std::printf("RunCommand bench: Verrand.dll or RunCommand is missing\n");
        return 1;
    }
    const std::wstring commandLine = selfCommandLine();
    // The runner's log lines go to a context that only counts them, so
    // printing does not weigh on the figure.
    QuietContext::Values arguments;
    arguments[L"CmdLine"] = commandLine;
    arguments[L"LogCmdLine"] = L"yes";
    boost::shared_ptr<IActionContext> context(new QuietContext(arguments));

    bool started = true;
    const double plain = BestSecondsOf([&] {
        for (int i = 0; i < kRuns; ++i)
            started = createAndWait(commandLine) && started;
    }, 3);
    const double action = BestSecondsOf([&] {
        for (int i = 0; i < kRuns; ++i)
            runCommand(context);
    }, 3);
    if (!started) {
        std::printf("RunCommand bench: the command could not be started\n");
        return 1;
    }
    ReportFigure("RunCommand of a program that exits at once", action / kRuns * 1000, "ms/run",
                 "CreateProcessW + wait of the same command", plain / kRuns * 1000);
    // The writers that take seconds through a pipe under Wine run once.
    benchCapture(runCommand, "RunCommand with CaptureOutput, 100,000 lines into the log", L"--lines", kCapturedLines,
                 5);
    benchCapture(runCommand, "RunCommand with CaptureOutput, 100,000 lines, one WriteFile each", L"--lines-each",
                 kCapturedLines, 1);
    benchCapture(runCommand, "RunCommand with CaptureOutput, 1,000,000 lines through the C runtime's buffer",
                 L"--lines-buffered", kBufferedLines, 1);
    ReportPeakMemory("RunCommand bench");
    return 0;
}
