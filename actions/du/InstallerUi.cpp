#include "InstallerUi.h"

#include "PocoWrapper/String.h"
#include "core/LogLevel.h"

namespace {
// Module-wide: the handler has no other way to reach the action's log.
IActionContext* uiContext = 0;
boost::shared_ptr<IActionContext> uiContextHolder;

const std::wstring ModuleWord(L"Module");
const std::wstring ModulePrefix(L"Module ");
const std::wstring FailedToRegister(L" failed to register.");

// Message-box style bits of a message type.
const UINT StyleMask = 0x00FFFFFF;
// Abort/retry/ignore, yes/no/cancel, cancel/try/continue.
const UINT StyleWithIgnore = 0x2;
// OK/cancel, retry/cancel.
const UINT StyleWithCancel = 0x1;
}

INSTALLUI_HANDLERW SetInstallerUiContext(boost::shared_ptr<IActionContext> context)
{
    uiContext = context.get();
    uiContextHolder = context;
    return MsiSetExternalUIW(InstallerUiHandler, InstallerUiMessageFilter, uiContext);
}

void ClearInstallerUiContext()
{
    uiContext = 0;
    uiContextHolder.reset();
}

bool RegistrationFailureModule(const std::wstring& message, std::wstring& module)
{
    if (message.compare(0, ModuleWord.size(), ModuleWord) != 0)
        return false;
    const std::wstring::size_type prefix = message.find(ModulePrefix);
    if (prefix == std::wstring::npos)
        return false;
    const std::wstring::size_type start = prefix + ModulePrefix.size();
    const std::wstring::size_type end = message.find(FailedToRegister, start);
    if (end == std::wstring::npos)
        return false;
    module = message.substr(start, end - start);
    return true;
}

int WINAPI InstallerUiHandler(LPVOID pvContext, UINT messageType, LPCWSTR message)
{
    const UINT style = messageType & StyleMask;
    if (style & StyleWithIgnore) {
        // Called from inside Windows Installer: nothing may unwind into it.
        try {
            std::wstring module;
            if (pvContext && message && RegistrationFailureModule(message, module))
                static_cast<IActionContext*>(pvContext)->Log(
                    LogLevelError, PocoWrapper::format(L"Module %s failed to register\n", module));
        } catch (...) {
        }
        return IDIGNORE;
    }
    if (style & StyleWithCancel)
        return IDYES;
    return 0;
}

InstallerUiScope::InstallerUiScope(boost::shared_ptr<IActionContext> context)
    : m_previousHandler(SetInstallerUiContext(context)), m_previousLevel(MsiSetInternalUI(INSTALLUILEVEL_NONE, 0))
{
}

InstallerUiScope::~InstallerUiScope()
{
    MsiSetExternalUIW(m_previousHandler, 0, 0);
    MsiSetInternalUI(m_previousLevel, 0);
    ClearInstallerUiContext();
}
