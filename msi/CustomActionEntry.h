#pragma once
// The one entry point through which Windows Installer calls every action of
// the custom-action DLL: UINT __stdcall Name(MSIHANDLE), generated for each
// action by VERRAND_CUSTOM_ACTION, runs the action on an MsiActionContext.
#include <string>

#include <windows.h>

#include <msi.h>

#include "core/Action.h"

// Runs action for the installer session: the process-wide install log goes
// to the package's log for the call, an exception that leaves the action is
// logged with its text, and the status becomes an installer result. Never
// lets an exception out.
UINT RunCustomAction(MSIHANDLE install, const wchar_t* name, ActionFunction action) throw();

// 0 gives ERROR_SUCCESS, any other status ERROR_INSTALL_FAILURE. While the
// installer rolls back, every status gives ERROR_SUCCESS: a twin that could
// not finish has said so in the log, and the twins after it must still run
// (the installer may stop its rollback at a failing action).
UINT InstallerResult(int status, bool rollingBack);

// Actions that must not run inside an installer session (the catalogue's
// PackageRefused): the deployment-unit actions wait without a time limit on
// the mutex the running installer holds.
bool RefusedInInstallerSession(const std::wstring& name);

#define VERRAND_WIDE_TEXT(text) L##text
#define VERRAND_WIDE(text) VERRAND_WIDE_TEXT(text)
#define VERRAND_CUSTOM_ACTION(name)                                                                        \
    VERRAND_ACTION(name);                                                                                  \
    extern "C" UINT __stdcall VerrandCustomAction_##name(MSIHANDLE install)                                \
    {                                                                                                      \
        return RunCustomAction(install, VERRAND_WIDE(#name), &name);                                       \
    }
