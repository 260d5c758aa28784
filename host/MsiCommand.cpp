#include "MsiCommand.h"

#include <set>

#include <windows.h>

#include "ActionRunner.h"
#include "PackageDatabase.h"
#include "PackagePlan.h"
#include "UsageFailure.h"

namespace {
struct MsiOptions {
    std::wstring install;
    std::wstring removal;
    std::wstring customActionDll;
    std::vector<std::wstring> packages;
};

std::wstring besideHost(const wchar_t* name)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = GetModuleFileNameW(0, &path[0], static_cast<DWORD>(path.size()));
        if (size == 0)
            throw UsageFailure{ "msi: cannot find the host's own folder (error " + std::to_string(GetLastError()) + ")" };
        if (size < path.size()) {
            path.resize(size);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

// The DLL beside the host (a build's dist/), or else in the msi folder
// beside the host's bin folder (the release's layout).
std::wstring defaultCustomActionDll()
{
    const std::wstring beside = besideHost(L"VerrandCA.dll");
    const std::wstring released = besideHost(L"..\\msi\\VerrandCA.dll");
    const bool onlyReleased = GetFileAttributesW(beside.c_str()) == INVALID_FILE_ATTRIBUTES &&
                              GetFileAttributesW(released.c_str()) != INVALID_FILE_ATTRIBUTES;
    return onlyReleased ? released : beside;
}

MsiOptions parse(const std::vector<std::wstring>& args)
{
    MsiOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        std::wstring* value = arg == L"--install" ? &options.install
                              : arg == L"--remove" ? &options.removal
                              : arg == L"--ca"     ? &options.customActionDll
                                                   : 0;
        if (value) {
            if (i + 1 >= args.size())
                throw UsageFailure{ "msi: " + utf8(arg) + " needs a value" };
            if (!value->empty())
                throw UsageFailure{ "msi: " + utf8(arg) + " is given twice" };
            *value = args[++i];
        } else if (arg.compare(0, 2, L"--") == 0) {
            throw UsageFailure{ "msi: unknown option " + utf8(arg) };
        } else {
            options.packages.push_back(arg);
        }
    }
    if (options.install.empty() || options.packages.size() != 2)
        throw UsageFailure{ "usage: verrand-host msi --install PLAN [--remove PLAN] [--ca PATH] IN.msi OUT.msi" };
    if (options.customActionDll.empty())
        options.customActionDll = defaultCustomActionDll();
    return options;
}
}

int RunMsiCommand(const std::vector<std::wstring>& args, Output& output)
{
    const MsiOptions options = parse(args);
    const Plan install = ReadPlan(options.install);
    const Plan removal = options.removal.empty() ? Plan() : ReadPlan(options.removal);
    std::set<std::string> exports;
    {
        const ActionLibrary library(options.customActionDll);
        exports.insert(library.actionNames().begin(), library.actionNames().end());
    }
    const PackageFacts facts = ReadPackageFacts(options.packages[0]);
    const PackageAdditions additions =
        LayOutPlans(PackagePlan{ &install, utf8(options.install) },
                    PackagePlan{ options.removal.empty() ? 0 : &removal, utf8(options.removal) }, facts, exports);
    for (const std::string& warning : additions.warnings)
        output.log(3, wide(warning));
    WritePackage(options.packages[0], options.packages[1], additions, options.customActionDll);
    output.note("msi: wrote " + utf8(options.packages[1]) + ": " + std::to_string(additions.customActions.size()) +
                " custom actions, " + std::to_string(additions.arguments.size()) + " step arguments, " +
                std::to_string(additions.createFolders.size()) + " folders removed with the product");
    return 0;
}
