#pragma once
// The machine-wide mutex that stands for a Windows Installer transaction in
// progress. Deployment-unit actions wait for it before they start one.
#include <windows.h>

#include <boost/shared_ptr.hpp>

#include "core/IActionContext.h"

extern const wchar_t* const InstallerMutexName;

namespace InstallDUBundle {
// Owns the mutex handle of a successful wait. Going away gives ownership
// back before the handle is closed, so that Windows Installer and other
// setups can take the mutex at once.
struct MutexFinalizer {
    explicit MutexFinalizer(HANDLE mutex) : mutex(mutex) {}
    ~MutexFinalizer();

    HANDLE mutex;

private:
    MutexFinalizer(const MutexFinalizer&);
    MutexFinalizer& operator=(const MutexFinalizer&);
};
}

// Held while non-null; dropping the last reference lets the mutex go.
typedef boost::shared_ptr<InstallDUBundle::MutexFinalizer> InstallerMutexGuard;

// Waits without a time limit. An abandoned mutex counts as obtained. Null,
// after an error line, when the wait fails.
InstallerMutexGuard AcquireInstallerMutex(boost::shared_ptr<IActionContext> context);
