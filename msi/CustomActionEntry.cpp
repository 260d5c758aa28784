#include "CustomActionEntry.h"

#include <Poco/Exception.h>
#include <Poco/Message.h>

#include "PocoWrapper/String.h"
#include "core/ActionCatalogue.h"
#include "log/InstallLogRoute.h"

#include "MsiActionContext.h"

namespace {
int runOnContext(MSIHANDLE install, const std::wstring& name, ActionFunction action)
{
    boost::shared_ptr<MsiActionContext> context = MsiActionContext::Create(install, name);
    if (!context->Refusal().empty()) {
        context->Log(LogLevelError, name + L": " + context->Refusal());
        return ActionFailed;
    }
    if (RefusedInInstallerSession(name)) {
        context->Log(LogLevelError, name + L": a deployment unit cannot be installed or removed from inside a "
                                           L"Windows Installer session");
        return ActionFailed;
    }
    MsiActionContext& target = *context;
    InstallLogRoute route([&target](const std::wstring& line) { target.LogInstallLogLine(line); });
    return action(context);
}

// One level-4 line "NAME<what>"; what() runs inside the guard, since even
// copying a text can throw.
template <class What>
void logError(MSIHANDLE install, const wchar_t* name, What what) throw()
{
    try {
        const std::wstring action(name);
        SendInstallerLogLine(install, InstallerLogLine(action, LogLevelError, action + what()));
    } catch (...) {
        // Out of memory while reporting: the result still reaches the installer.
    }
}
}

UINT InstallerResult(int status, bool rollingBack)
{
    return status == ActionDone || rollingBack ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

bool RefusedInInstallerSession(const std::wstring& name)
{
    const ActionFacts* facts = FindActionFacts(name);
    return facts && facts->package == PackageRefused;
}

UINT RunCustomAction(MSIHANDLE install, const wchar_t* name, ActionFunction action) throw()
{
    int status = ActionFailed;
    try {
        status = runOnContext(install, name, action);
    } catch (const Poco::Exception& e) {
        logError(install, name, [&e] { return L" failed with an exception: " + PocoWrapper::toWide(e.displayText()); });
    } catch (const std::exception& e) {
        logError(install, name, [&e] { return L" failed with an exception: " + PocoWrapper::toWide(e.what()); });
    } catch (...) {
        logError(install, name, [] { return std::wstring(L" failed with an exception: unknown exception"); });
    }
    if (status == ActionDone)
        return ERROR_SUCCESS;
    // A twin that could not finish has said why; the twins after it still
    // run. Only then is the mode asked for: a call into the installer.
    const bool rollingBack = MsiGetMode(install, MSIRUNMODE_ROLLBACK) != FALSE;
    if (rollingBack)
        logError(install, name, [status] {
            return L" could not give back everything (status " + std::to_wstring(status) +
                   L"); the rollback goes on with the other twins";
        });
    return InstallerResult(status, rollingBack);
}
