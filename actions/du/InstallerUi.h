#pragma once
// The external user-interface handler that answers Windows Installer's
// questions without dialogs and reports modules that failed to register.
#include <string>

#include <windows.h>
#include <msi.h>

#include <boost/shared_ptr.hpp>

#include "core/IActionContext.h"

// Messages the handler receives: every kind except files-in-use.
const DWORD InstallerUiMessageFilter = 0x7FDF;

// Installs the handler for this context and keeps a reference to the context
// until ClearInstallerUiContext. Returns the previous handler; the caller
// restores it.
INSTALLUI_HANDLERW SetInstallerUiContext(boost::shared_ptr<IActionContext> context);
void ClearInstallerUiContext();

// pvContext is the action context. Looks only at the message-box style bits.
int WINAPI InstallerUiHandler(LPVOID pvContext, UINT messageType, LPCWSTR message);

// The module named by a self-registration failure ("Module NAME failed to
// register. ..."); false when the message is not one or names no module.
bool RegistrationFailureModule(const std::wstring& message, std::wstring& module);

// The install action's silent user interface: the handler for its context
// and the installer's own interface switched off, both restored (and the
// context forgotten) when the scope ends, whichever way it ends.
class InstallerUiScope {
public:
    explicit InstallerUiScope(boost::shared_ptr<IActionContext> context);
    ~InstallerUiScope();

private:
    InstallerUiScope(const InstallerUiScope&);
    InstallerUiScope& operator=(const InstallerUiScope&);

    INSTALLUI_HANDLERW m_previousHandler;
    INSTALLUILEVEL m_previousLevel;
};
