// InstallDUBundle, UnInstallDUBundle, RepairDUBundle: install and remove a
// deployment unit's Windows Installer package silently, under the installer
// mutex, with a verbose log that is kept only when something went wrong.
#include <windows.h>
#include <msi.h>

#include "core/Action.h"

#include "DuArgumentNames.h"
#include "DuTransaction.h"
#include "InstallerLogFile.h"
#include "InstallerRun.h"
#include "InstallerUi.h"

namespace {
const wchar_t* const DefaultPackageName = L"content.msi";

std::wstring logFilePath(IActionContext& context, const wchar_t* prefix)
{
    return InstallerLogFilePath(*context.GetArg(DuArgumentNames::LogsFolder), prefix,
                                *context.GetArg(DuArgumentNames::DuId));
}
}

// The actions live in a namespace of their own: InstallDUBundle also names
// the namespace of the installer mutex finalizer.
namespace DuBundleActions {

VERRAND_ACTION(InstallDUBundle)
{
    const std::wstring props = *context->GetArg(DuArgumentNames::Props);
    std::wstring package = *context->GetArg(DuArgumentNames::DUBundle);
    const std::wstring perUser = *context->GetArg(DuArgumentNames::PerUser);

    if (package.empty()) {
        package = *context->GetArg(DuArgumentNames::DuDir) + DefaultPackageName;
        context->Log(LogLevelInfo,
                     L"DUBundle arg is not in the seed file. Getting it from special property bank...");
    }

    InstallerUiScope silentUi(context);

    const std::wstring logPath = logFilePath(*context, InstallLogPrefix);
    EnableInstallerLog(logPath, *context);

    const std::wstring commandLine = InstallCommandLine(props, perUser, *context);
    context->Log(LogLevelInfo, L"Calling msiexec with parameters: " + commandLine);

    UINT code = 0;
    if (!RunInstallerUnderMutex(package, commandLine, code, context)) {
        context->Log(LogLevelError, L"Another msi installer is running: aborting...");
        return ActionFailed;
    }
    return FinishDuTransaction(code, DuInstall, logPath, context);
}

VERRAND_ACTION(UnInstallDUBundle)
{
    const std::wstring package = *context->GetArg(DuArgumentNames::DUBundle);
    const std::wstring productCode = *context->GetArg(DuArgumentNames::Guid);

    if (!productCode.empty() && !package.empty())
        context->Log(LogLevelInfo, L"Both DUBundle and GUID are specified.  Defaulting to GUID.");
    if (productCode.empty() && package.empty()) {
        context->Log(LogLevelError, L"Neither DUBundle nor GUID are specified.");
        return ActionFailed;
    }

    // Left switched off: later removals of the same setup stay silent too.
    MsiSetInternalUI(INSTALLUILEVEL_NONE, 0);

    const std::wstring logPath = logFilePath(*context, UninstallLogPrefix);
    EnableInstallerLog(logPath, *context);

    UINT code = 0;
    if (!productCode.empty()) {
        const std::wstring product = BracedProductCode(productCode);
        const std::wstring commandLine = UninstallCommandLine(false);
        const InstallerCall removeProduct = [&]() {
            return MsiConfigureProductExW(product.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT,
                                          commandLine.c_str());
        };
        if (!RunUnderInstallerMutex(removeProduct, code, context))
            return ActionFailed;
    } else if (!RunInstallerUnderMutex(package, UninstallCommandLine(true), code, context)) {
        context->Log(LogLevelError, L"Another msi installer is running: aborting...");
        return ActionFailed;
    }
    return FinishDuTransaction(code, DuUninstall, logPath, context);
}

VERRAND_ACTION(RepairDUBundle)
{
    return ActionDone;
}

} // namespace DuBundleActions
