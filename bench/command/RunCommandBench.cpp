// RunCommand through its export against CreateProcessW and a wait of the same
// command line: what the runner's reading, echo and bookkeeping cost on top
// of starting a process. The command is this program itself, asked to exit
// at once.
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include <boost/shared_ptr.hpp>

#include "support/BenchReport.h"
#include "support/QuietContext.h"

namespace {
typedef int(__stdcall* ActionFunction)(boost::shared_ptr<IActionContext>);
const int kRuns = 40;

std::wstring selfCommandLine()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(0, path, MAX_PATH);
    return L"\"" + std::wstring(path) + L"\" --exit";
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
    return 0;
}
