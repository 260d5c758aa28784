#include "InstallerRun.h"

#include <msi.h>

#include "core/LogLevel.h"

#include "InstallerMutex.h"

bool RunUnderInstallerMutex(const InstallerCall& call, UINT& returnCode, boost::shared_ptr<IActionContext> context)
{
    InstallerMutexGuard guard = AcquireInstallerMutex(context);
    if (!guard) {
        context->Log(LogLevelError, L"Failed to obtain MSI mutex (1).  Aborting...");
        return false;
    }
    // Windows Installer takes the mutex itself; it must be free for it.
    guard.reset();
    returnCode = call();

    if (returnCode == InstallerAlreadyRunning) {
        context->Log(LogLevelInfo, L"Installer already running.  Retry while holding mutex...");
        guard = AcquireInstallerMutex(context);
        if (!guard) {
            context->Log(LogLevelError, L"Failed to obtain MSI mutex (2).  Aborting...");
            return false;
        }
        returnCode = call();
        guard.reset();
    }
    return true;
}

bool RunInstallerUnderMutex(const std::wstring& packagePath, const std::wstring& commandLine, UINT& returnCode,
                            boost::shared_ptr<IActionContext> context)
{
    return RunUnderInstallerMutex([&]() { return MsiInstallProductW(packagePath.c_str(), commandLine.c_str()); },
                                  returnCode, context);
}
