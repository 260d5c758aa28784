#include "CustomActionEntry.h"

#include <Poco/Exception.h>
#include <Poco/Message.h>

#include "PocoWrapper/String.h"
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

// describe gives the exception's text; it runs inside the guard, since even
// copying a text can throw.
template <class Describe>
void logException(MSIHANDLE install, const wchar_t* name, Describe describe) throw()
{
    try {
        const std::wstring action(name);
        SendInstallerLogLine(install, InstallerLogLine(action, LogLevelError,
                                                       action + L" failed with an exception: " + describe()));
    } catch (...) {
        // Out of memory while reporting: the failure result still reaches the installer.
    }
}
}

UINT InstallerResult(int status)
{
    return status == ActionDone ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

bool RefusedInInstallerSession(const std::wstring& name)
{
    return name == L"InstallDUBundle" || name == L"UnInstallDUBundle";
}

UINT RunCustomAction(MSIHANDLE install, const wchar_t* name, ActionFunction action) throw()
{
    try {
        return InstallerResult(runOnContext(install, name, action));
    } catch (const Poco::Exception& e) {
        logException(install, name, [&e] { return PocoWrapper::toWide(e.displayText()); });
    } catch (const std::exception& e) {
        logException(install, name, [&e] { return PocoWrapper::toWide(e.what()); });
    } catch (...) {
        logException(install, name, [] { return std::wstring(L"unknown exception"); });
    }
    return ERROR_INSTALL_FAILURE;
}
