#pragma once
// One Windows Installer transaction under the installer mutex protocol: wait
// until no other transaction runs, let the mutex go, call the installer, and
// when it still finds another transaction (1618) call it once more while
// holding the mutex.
#include <functional>
#include <string>

#include <windows.h>

#include <boost/shared_ptr.hpp>

#include "core/IActionContext.h"

// Windows Installer return codes the deployment-unit actions tell apart.
enum InstallerCode {
    InstallerSuccess = 0,
    InstallerUserExit = 1602,
    InstallerSuspended = 1604,
    InstallerAlreadyRunning = 1618,
    InstallerRebootInitiated = 1641,
    InstallerRebootRequired = 3010,
};

// One call into Windows Installer; returns its code.
typedef std::function<UINT()> InstallerCall;

// True when the installer was called (returnCode then holds its code); false,
// after the error lines, when the mutex could not be obtained.
bool RunUnderInstallerMutex(const InstallerCall& call, UINT& returnCode, boost::shared_ptr<IActionContext> context);

// MsiInstallProductW(packagePath, commandLine) under the protocol.
bool RunInstallerUnderMutex(const std::wstring& packagePath, const std::wstring& commandLine, UINT& returnCode,
                            boost::shared_ptr<IActionContext> context);
