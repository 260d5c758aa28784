#include "CustomActionEntry.h"

#include <Poco/Channel.h>
#include <Poco/Exception.h>
#include <Poco/Message.h>

#include "PocoWrapper/String.h"
#include "log/InstallLog.h"

#include "MsiActionContext.h"

namespace {
// Lines of the process-wide install log, for as long as an action runs.
class InstallLogToPackageLog : public Poco::Channel {
public:
    explicit InstallLogToPackageLog(MsiActionContext& context) : m_context(context) {}
    void log(const Poco::Message& message) { m_context.LogInstallLogLine(PocoWrapper::toWide(message.getText())); }

private:
    MsiActionContext& m_context;
};

class InstallLogRoute {
public:
    explicit InstallLogRoute(MsiActionContext& context) : m_channel(new InstallLogToPackageLog(context))
    {
        InstallLog::AttachOutput(m_channel);
    }
    ~InstallLogRoute()
    {
        try {
            InstallLog::DetachOutput(m_channel);
        } catch (...) {
            // Only a lost lock can fail here; the action's result stands.
        }
    }

private:
    InstallLogRoute(const InstallLogRoute&);
    InstallLogRoute& operator=(const InstallLogRoute&);
    Poco::Channel::Ptr m_channel;
};

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
    InstallLogRoute route(*context);
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
    return name == L"InstallDUBundle" || name == L"UnInstallDUBundle" || name == L"RollbackInstallDUBundle";
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
