#pragma once
// Mossel: the sibling support library the actions lean on for argument
// reading, process launch, privileges, progress and slash handling. The
// registry-key, log-line, library and text-file classes it completes are
// declared in core/.
#include <windows.h>

#include <boost/shared_ptr.hpp>

#include "core/CString.h"
#include "core/Export.h"
#include "core/IActionContext.h"
#include "core/InstallRegistry.h"
#include "core/LibraryInterop.h"
#include "core/MsiLogMessage.h"
#include "core/TextFile.h"

// The argument (or host property) as a CString; empty when absent.
MOSSEL_API CString GetCStringArg(const boost::shared_ptr<IActionContext>& context, const std::wstring& name);

// Starts commandLine with CreateProcessW. hide starts it with SW_HIDE. Unless
// noWait, waits for it and stores its exit code in *exitCode. Returns false
// (with GetLastError set) when the process could not be started; failures are
// also written to the logger at the error level. The remaining arguments are
// accepted for compatibility: options (7), title, elevate, output, user and
// password are not used by this implementation, except that a non-null
// workingDirectory becomes the child's current folder.
MOSSEL_API bool RunRedistProgram(boost::shared_ptr<ILogger> logger, const wchar_t* commandLine, int options, bool hide,
                                 const wchar_t* workingDirectory, DWORD* exitCode, const wchar_t* title, bool elevate,
                                 CString* output, const CString& user, const CString& password, bool noWait);

MOSSEL_API void LogMessage(boost::shared_ptr<ILogger> logger, const CString& line);

// Grant a user right through the LSA policy.
MOSSEL_API bool AddPrivilege(const CString& privilege, const CString& account);
MOSSEL_API bool AddPrivilegeOnCurrentUser(const CString& privilege);
// Whether the account (the current user when empty) holds the right itself;
// false, with GetLastError set, when the policy cannot tell.
MOSSEL_API bool HoldsPrivilege(const CString& privilege, const CString& account, bool& holds);
// Takes the right from the account (the current user when empty).
MOSSEL_API bool RemovePrivilege(const CString& privilege, const CString& account);

// Progress reaches the host as a log line at this level:
// "Progress: add N ticks" or "Progress: use N ticks".
const int ProgressLogLevel = 5;
MOSSEL_API unsigned long AddTicksToProgressBar(boost::shared_ptr<ILogger> logger, unsigned long ticks);
MOSSEL_API unsigned long UseProgressTicks(boost::shared_ptr<ILogger> logger, unsigned long ticks);

// remove 0: append slash when the text does not end with it; 1: drop one
// trailing slash. The buffer form never writes past size characters
// (terminator included).
MOSSEL_API void HandleSlash(wchar_t* buffer, unsigned size, wchar_t slash, int remove);
MOSSEL_API void HandleSlash(CString& text, wchar_t slash, int remove);

// Test seam: which privilege call ran last and with what ("account:right" or
// "current-user:right"), since the LSA of some systems stores nothing.
MOSSEL_API CString LastPrivilegeRequest();
