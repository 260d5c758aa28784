// InstallDUBundle, UnInstallDUBundle, RepairDUBundle: install and remove a
// deployment unit's Windows Installer package silently, under the installer
// mutex, with a verbose log that is kept only when something went wrong.
//
// Given an invocation-data folder, InstallDUBundle keeps whether the
// package's product was installed before it ran, in a state named after the
// product code ("du-KEY"), written before the installer is called; its twin
// RollbackInstallDUBundle removes the product only when that step installed
// it fresh.
#include <windows.h>
#include <msi.h>

#include "core/Action.h"
#include "core/MsiQuery.h"
#include "core/PathRules.h"
#include "core/KeptObjects.h"
#include "core/RollbackState.h"

#include "actions/files/FileArgumentNames.h"

#include "DuArgumentNames.h"
#include "DuTransaction.h"
#include "InstallerLogFile.h"
#include "InstallerRun.h"
#include "InstallerUi.h"

namespace {
const wchar_t* const DefaultPackageName = L"content.msi";
const wchar_t* const ProductState = L"du";
// What the install found: the product was not there, or was.
const wchar_t* const InstalledFresh = L"installed";
const wchar_t* const InstalledBefore = L"present";

std::wstring logFilePath(IActionContext& context, const wchar_t* prefix)
{
    return InstallerLogFilePath(*context.GetArg(DuArgumentNames::LogsFolder), prefix,
                                *context.GetArg(DuArgumentNames::DuId));
}

// The package the action installs: DUBundle, or content.msi in the unit's
// folder.
std::wstring packagePath(IActionContext& context)
{
    const std::wstring package = *context.GetArg(DuArgumentNames::DUBundle);
    if (!package.empty())
        return package;
    context.Log(LogLevelInfo, L"DUBundle arg is not in the seed file. Getting it from special property bank...");
    return *context.GetArg(DuArgumentNames::DuDir) + DefaultPackageName;
}

// The product code a package installs, from its Property table.
UINT readProductCode(const std::wstring& package, std::wstring& code, std::wstring& what)
{
    MSIHANDLE handle = 0;
    const UINT opened = MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &handle);
    ScopedMsiHandle database(handle);
    if (opened != ERROR_SUCCESS) {
        what = L"open the package " + package;
        return opened;
    }
    code.clear();
    const UINT result = EachRow(database.get(), L"SELECT `Value` FROM `Property` WHERE `Property`='ProductCode'", 0,
                                [&](MSIHANDLE record) { return ReadRecordText(record, 1, code); }, what);
    if (result == ERROR_SUCCESS && code.empty()) {
        what = L"find the product code in " + package;
        return ERROR_INVALID_DATA;
    }
    return result;
}

bool productInstalled(const std::wstring& code)
{
    const INSTALLSTATE state = MsiQueryProductStateW(code.c_str());
    return state != INSTALLSTATE_UNKNOWN && state != INSTALLSTATE_ABSENT && state != INSTALLSTATE_INVALIDARG;
}

// The state of the package's product in the invocation-data folder; false,
// after a level-4 line, when the folder is refused or the package tells no
// product code.
bool productState(IActionContext& context, const std::wstring& folder, const std::wstring& package,
                  const wchar_t* action, std::wstring& code, RollbackState& state)
{
    if (!AcceptPath(context, FileArgumentNames::InvocationDataDir, folder, CheckTarget(folder)))
        return false;
    std::wstring what;
    const UINT result = readProductCode(package, code, what);
    if (result != ERROR_SUCCESS) {
        context.Log(LogLevelError, std::wstring(action) + L": couldn't " + what + L" (" + std::to_wstring(result) +
                                       L")");
        return false;
    }
    state = RollbackState::OfNamed(folder, ProductState, BracedProductCode(code));
    return true;
}

// Before the installer runs: whether the product is there goes into the
// state, unless a retried step's state is there already. False, after a
// level-4 line, when it cannot be written.
bool keepProductState(IActionContext& context, const RollbackState& state, bool& written)
{
    RollbackSignal signal;
    written = false;
    if (state.read(signal)) {
        context.Log(LogLevelInfo, L"Keeping the rollback state of an earlier run: " + state.folder());
        return true;
    }
    signal.object = state.object();
    signal.change = productInstalled(state.object()) ? InstalledBefore : InstalledFresh;
    context.Log(LogLevelInfo, L"Writing rollback signal: " + state.signalPath());
    DWORD error = 0;
    if (!state.write(signal, error)) {
        context.Log(LogLevelError, L"InstallDUBundle: couldn't write the rollback signal " + state.signalPath() +
                                       L" (" + std::to_wstring(error) + L")");
        return false;
    }
    written = true;
    return true;
}


// Removes a product by its code under the installer mutex protocol; false
// when the mutex could not be had.
bool removeProduct(const std::wstring& product, UINT& code, boost::shared_ptr<IActionContext> context)
{
    const std::wstring commandLine = UninstallCommandLine(false);
    const InstallerCall call = [&]() {
        return MsiConfigureProductExW(product.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT, commandLine.c_str());
    };
    return RunUnderInstallerMutex(call, code, context);
}
}

// The actions live in a namespace of their own: InstallDUBundle also names
// the namespace of the installer mutex finalizer.
namespace DuBundleActions {

VERRAND_ACTION(InstallDUBundle)
{
    const std::wstring props = *context->GetArg(DuArgumentNames::Props);
    const std::wstring package = packagePath(*context);
    const std::wstring perUser = *context->GetArg(DuArgumentNames::PerUser);

    const std::wstring stateFolder = *context->GetArg(FileArgumentNames::InvocationDataDir);
    std::wstring productCode;
    RollbackState state = RollbackState::OfNamed(stateFolder, ProductState, L"");
    bool ownState = false;
    if (!stateFolder.empty() &&
        (!productState(*context, stateFolder, package, L"InstallDUBundle", productCode, state) ||
         !keepProductState(*context, state, ownState)))
        return ActionFailed;

    InstallerUiScope silentUi(context);

    const std::wstring logPath = logFilePath(*context, InstallLogPrefix);
    EnableInstallerLog(logPath, *context);

    const std::wstring commandLine = InstallCommandLine(props, perUser, *context);
    context->Log(LogLevelInfo, L"Calling msiexec with parameters: " + commandLine);

    UINT code = 0;
    if (!RunInstallerUnderMutex(package, commandLine, code, context)) {
        context->Log(LogLevelError, L"Another msi installer is running: aborting...");
        if (ownState)
            DiscardState(*context, state);
        return ActionFailed;
    }
    const int status = FinishDuTransaction(code, DuInstall, logPath, context);
    // An install that left nothing leaves no state a twin could act on.
    if (status == ActionFailed && ownState && !productInstalled(state.object()))
        DiscardState(*context, state);
    return status;
}

VERRAND_ACTION(RollbackInstallDUBundle)
{
    const std::wstring package = packagePath(*context);
    std::wstring productCode;
    RollbackState state = RollbackState::OfNamed(L"", ProductState, L"");
    if (!productState(*context, *context->GetArg(FileArgumentNames::InvocationDataDir), package, L"RollbackInstallDUBundle",
                      productCode, state))
        return ActionFailed;
    RollbackSignal signal;
    if (!state.read(signal)) {
        context->Log(LogLevelInfo, L"Nothing to rollback");
        return ActionDone;
    }
    const std::wstring product = state.object();
    if (signal.change != InstalledFresh) {
        context->Log(LogLevelInfo, L"The product " + product + L" was installed before InstallDUBundle ran; it stays");
        DiscardState(*context, state);
        return ActionDone;
    }
    if (!productInstalled(product)) {
        context->Log(LogLevelInfo, L"Nothing to rollback: the product " + product + L" is not installed");
        DiscardState(*context, state);
        return ActionDone;
    }
    context->Log(LogLevelInfo, L"Rollback InstallDUBundle: removing the product " + product);
    MsiSetInternalUI(INSTALLUILEVEL_NONE, 0);
    const std::wstring logPath = logFilePath(*context, UninstallLogPrefix);
    EnableInstallerLog(logPath, *context);
    UINT code = 0;
    if (!removeProduct(product, code, context))
        return ActionFailed;
    const int status = FinishDuTransaction(code, DuUninstall, logPath, context);
    // A removal that was suspended or cancelled keeps the state for another try.
    if (!productInstalled(product))
        DiscardState(*context, state);
    return status;
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
        if (!removeProduct(BracedProductCode(productCode), code, context))
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
