// Installing and removing a small package with InstallDUBundle and
// UnInstallDUBundle, against msiexec /i /qn and msiexec /x /qn of the same
// package in the same run.
#include <cstdio>
#include <functional>
#include <string>

#include <windows.h>
#include <msi.h>

#include <boost/shared_ptr.hpp>

#include "core/Action.h"
#include "host/HostContext.h"
#include "support/BenchReport.h"
#include "support/Programs.h"

namespace {

const wchar_t* const ProductCode = L"{5E8D7A10-2B3C-4D5E-8F60-7A8B9C0D1E21}";
const int Runs = 5;

struct Failure {
    std::string what;
};

bool installed()
{
    return MsiQueryProductStateW(ProductCode) == INSTALLSTATE_DEFAULT;
}

// Best time of installing and removing the product with the two steps, each
// checked for a zero status and its effect.
double bestRoundTrip(const std::function<int()>& install, const std::function<int()>& remove, const std::string& how)
{
    return BestSecondsOf([&] {
        if (install() != 0 || !installed())
            throw Failure{ how + ": installation failed" };
        if (remove() != 0 || installed())
            throw Failure{ how + ": removal failed" };
    }, Runs);
}
}

int main()
{
    const std::wstring package = ProgramFolder() + L"\\du-bench.msi";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);

    HMODULE verrand = LoadLibraryW(L"Verrand.dll");
    ActionFunction install =
        verrand ? reinterpret_cast<ActionFunction>(GetProcAddress(verrand, "InstallDUBundle")) : 0;
    ActionFunction uninstall =
        verrand ? reinterpret_cast<ActionFunction>(GetProcAddress(verrand, "UnInstallDUBundle")) : 0;
    if (!install || !uninstall) {
        std::printf("du bench: Verrand.dll or its DU actions are missing\n");
        return 1;
    }

    // The actions' own lines come out as JSON; scripts/bench keeps only BENCH lines.
    Output output(true);
    HostContext::Values properties;
    properties[L"$logs.folder"] = temp;
    properties[L"$du.id"] = L"bench";
    HostContext::Values installArguments;
    installArguments[L"DUBundle"] = package;
    installArguments[L"PerUser"] = L"0";
    HostContext::Values uninstallArguments;
    uninstallArguments[L"Guid"] = ProductCode;
    boost::shared_ptr<IActionContext> installContext(new HostContext(output, properties, installArguments));
    boost::shared_ptr<IActionContext> uninstallContext(new HostContext(output, properties, uninstallArguments));

    const std::wstring msiexecInstall = L"msiexec.exe /i \"" + package + L"\" /qn";
    const std::wstring msiexecRemove = L"msiexec.exe /x \"" + package + L"\" /qn";
    try {
        const double actions = bestRoundTrip([&] { return install(installContext); },
                                             [&] { return uninstall(uninstallContext); }, "actions");
        const double msiexec = bestRoundTrip([&] { return static_cast<int>(RunProgram(msiexecInstall)); },
                                             [&] { return static_cast<int>(RunProgram(msiexecRemove)); }, "msiexec");
        ReportFigure("InstallDUBundle + UnInstallDUBundle of a one-file package", actions * 1000, "ms",
                     "msiexec /i /qn + msiexec /x /qn of the same package", msiexec * 1000);
    } catch (const Failure& failure) {
        std::printf("du bench: %s\n", failure.what.c_str());
        return 1;
    }
    return 0;
}
