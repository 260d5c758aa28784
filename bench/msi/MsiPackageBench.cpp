// The example package with its Verrand custom actions against the same
// package without any, each installed and removed with msiexec /i /qn and
// msiexec /x /qn in the same run.
#include <cstdio>
#include <string>

#include <windows.h>
#include <msi.h>
#include <shlobj.h>

#include "support/BenchReport.h"
#include "support/Programs.h"

namespace {
const int Runs = 3;

struct Failure {
    std::string what;
};

struct Package {
    const char* name;
    std::wstring file;
    const wchar_t* productCode;
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

// Best time of installing and removing the package, each step checked for
// a zero exit code and its effect.
double bestRoundTrip(const Package& package, bool withActions)
{
    const std::wstring install = L"msiexec.exe /i \"" + package.file + L"\" LICENSEKEY=bench /qn";
    const std::wstring remove = std::wstring(L"msiexec.exe /x ") + package.productCode + L" /qn";
    return BestSecondsOf([&] {
        if (RunProgram(install) != 0 || !installed(package) || shortcutThere() != withActions)
            throw Failure{ std::string(package.name) + ": installation failed" };
        if (RunProgram(remove) != 0 || installed(package) || shortcutThere())
            throw Failure{ std::string(package.name) + ": removal failed" };
    }, Runs);
}
}

int main()
{
    const std::wstring folder = examplesFolder();
    const Package withActions = { "notes.msi", folder + L"notes.msi", L"{7C1F4E2A-93B5-4D06-A8E7-2F5B6C9D0B11}" };
    const Package plain = { "notes-plain.msi", folder + L"notes-plain.msi", L"{7C1F4E2A-93B5-4D06-A8E7-2F5B6C9D0B13}" };
    try {
        const double actions = bestRoundTrip(withActions, true);
        const double none = bestRoundTrip(plain, false);
        ReportFigure("example MSI package with its Verrand custom actions (8 run on /i, 8 on /x), msiexec /i + /x", actions * 1000, "ms",
                     "the same package without custom actions, msiexec /i + /x", none * 1000);
    } catch (const Failure& failure) {
        std::printf("msi bench: %s\n", failure.what.c_str());
        return 1;
    }
    return 0;
}
