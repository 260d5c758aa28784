#include "InstallerMutex.h"

#include <sstream>

#include "core/LogLevel.h"

const wchar_t* const InstallerMutexName = L"Global\\_MSIExecute";

InstallDUBundle::MutexFinalizer::~MutexFinalizer()
{
    if (mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
}

InstallerMutexGuard AcquireInstallerMutex(boost::shared_ptr<IActionContext> context)
{
    SECURITY_ATTRIBUTES attributes = { sizeof(SECURITY_ATTRIBUTES), 0, FALSE };
    // A failed creation leaves a null handle, whose wait fails below.
    HANDLE mutex = CreateMutexW(&attributes, FALSE, InstallerMutexName);
    const DWORD result = WaitForSingleObject(mutex, INFINITE);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
        return InstallerMutexGuard(new InstallDUBundle::MutexFinalizer(mutex));

    if (mutex)
        CloseHandle(mutex);
    std::wostringstream line;
    line << L"Failed to obtain mutex.  Return code from call to WaitForSingleObject(): " << result;
    context->Log(LogLevelError, line.str());
    return InstallerMutexGuard();
}
