// Time per step of a plan of 10,000 cheap steps against a plan of 1,000 of
// the same steps, through the real host: the cost of a step must not grow
// with the steps before it.
#include <cstdio>
#include <string>

#include <windows.h>

#include "support/BenchReport.h"
#include "support/Programs.h"

namespace {
// A plan of `steps` RunCommand steps that each skip at once: the
// transaction kind is not theirs.
std::wstring writePlan(size_t steps)
{
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring path = std::wstring(temp) + L"verrand-plan-steps-" + std::to_wstring(steps) + L".json";
    std::string text = "{\"properties\": {\"$du$action\": \"repair\"}, \"steps\": [";
    for (size_t i = 0; i < steps; ++i)
        text += std::string(i ? "," : "") + "\n {\"action\": \"RunCommand\", \"args\": {\"RunOnDuAction\": \"install\"}}";
    text += "]}";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, 0);
    CloseHandle(file);
    return path;
}

// Runs the host on the plan; false when it failed. Its output goes where
// this program's goes (scripts/bench keeps only the BENCH lines).
bool runPlan(const std::wstring& plan)
{
    const std::wstring dist = ProgramFolder() + L"\\..\\dist";
    return RunProgram(L"\"" + dist + L"\\verrand-host.exe\" --dll \"" + dist + L"\\Verrand.dll\" plan \"" + plan +
                      L"\"") == 0;
}
}

int main()
{
    const std::wstring small = writePlan(1000), large = writePlan(10000);
    if (!runPlan(small)) {
        std::printf("plan-steps bench: the host failed on the plan\n");
        return 1;
    }
    const double smallSeconds = BestSecondsOf([&] { runPlan(small); }, 3);
    const double largeSeconds = BestSecondsOf([&] { runPlan(large); }, 2);
    ReportFigure("plan of 10,000 cheap steps, time per step", largeSeconds / 10000 * 1e3, "ms/step",
                 "plan of 1,000 such steps", smallSeconds / 1000 * 1e3);
    DeleteFileW(small.c_str());
    DeleteFileW(large.c_str());
    return 0;
}
