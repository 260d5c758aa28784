// The example package with its Verrand custom actions against the same
// package without any, and against the same package whose custom actions
// come from a DLL that does nothing in them (what the installer itself
// spends per custom action). Each is installed and removed with msiexec /i
// /qn and msiexec /x /qn; the runs of the three take turns, so that load
// from elsewhere falls on all of them alike.
#include <algorithm>
#include <cstdio>
#include <string>

#include <windows.h>
#include <msi.h>
#include <shlobj.h>

#include "support/BenchReport.h"
#include "support/Programs.h"

namespace {
const int Runs = 4;

struct Failure {
    std::string what;
};

struct Package {
    const char* name;
    std::wstring file;
    const wchar_t* productCode;
    bool makesShortcut;
    double best = 1e9;
};

// build/examples/msi/, beside build/bench/.
std::wstring examplesFolder()
{
    const std::wstring bench = ProgramFolder();
    return bench.substr(0, bench.rfind(L'\\')) + L"\\examples\\msi\\";
}

bool installed(const Package& package)
{
    return MsiQueryProductStateW(package.productCode) == INSTALLSTATE_DEFAULT;
}

// The shortcut the package's CreateShortcut action makes in
// [ProgramMenuFolder]: the all-users menu on Windows, the user's under Wine.
bool shortcutThere()
{
    for (int folder : { CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS }) {
        wchar_t programs[MAX_PATH] = { 0 };
        if (SUCCEEDED(SHGetFolderPathW(0, folder, 0, SHGFP_TYPE_CURRENT, programs)) &&
            GetFileAttributesW((std::wstring(programs) + L"\\Verrand Package Notes\\Notes.lnk").c_str()) !=
                INVALID_FILE_ATTRIBUTES)
            return true;
    }
    return false;
}

// Seconds of installing and removing the package, each step checked for a
// zero exit code and its effect (only Verrand's actions make the shortcut).
double roundTrip(const Package& package)
{
    const std::wstring install = L"msiexec.exe /i \"" + package.file + L"\" LICENSEKEY=bench /qn";
    const std::wstring remove = std::wstring(L"msiexec.exe /x ") + package.productCode + L" /qn";
    return SecondsOf([&] {
        if (RunProgram(install) != 0 || !installed(package) || shortcutThere() != package.makesShortcut)
            throw Failure{ std::string(package.name) + ": installation failed" };
        if (RunProgram(remove) != 0 || installed(package) || shortcutThere())
            throw Failure{ std::string(package.name) + ": removal failed" };
    });
}
}

int main()
{
    const std::wstring folder = examplesFolder();
    Package packages[] = {
        { "notes.msi", folder + L"notes.msi", L"{7C1F4E2A-93B5-4D06-A8E7-2F5B6C9D0B11}", true },
        { "notes-nothing.msi", folder + L"notes-nothing.msi", L"{7C1F4E2A-93B5-4D06-A8E7-2F5B6C9D0B14}", false },
        { "notes-plain.msi", folder + L"notes-plain.msi", L"{7C1F4E2A-93B5-4D06-A8E7-2F5B6C9D0B13}", false },
    };
    try {
        for (int run = 0; run < Runs; ++run)
            for (Package& package : packages)
                package.best = std::min(package.best, roundTrip(package));
        const Package& verrand = packages[0];
        const Package& nothing = packages[1];
        const Package& plain = packages[2];
        ReportFigure("example MSI package with its Verrand custom actions (8 run on /i, 5 on /x), msiexec /i + /x",
                     verrand.best * 1000, "ms", "the same package without custom actions, msiexec /i + /x",
                     plain.best * 1000);
        ReportFigure("example MSI package with its Verrand custom actions, msiexec /i + /x", verrand.best * 1000, "ms",
                     "the same package calling a DLL whose custom actions do nothing, msiexec /i + /x",
                     nothing.best * 1000);
    } catch (const Failure& failure) {
        std::printf("msi bench: %s\n", failure.what.c_str());
        return 1;
    }
    return 0;
}
