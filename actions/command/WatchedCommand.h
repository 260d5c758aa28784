#pragma once
// Starting a command the runner watches: its standard output and error are
// read through pipes while it runs, and a time limit ends every process it
// started.
#include <string>

#include <windows.h>

#include "core/IActionContext.h"
#include "core/MsiLogMessage.h"
#include "core/SecretMask.h"
#include "WatchOptions.h"

namespace CommandWatch {
// How long the pipes are still read after the command ended, for output a
// process it started may still be writing.
const DWORD kDrainMilliseconds = 2000;
// How often the job of a command under a time limit is asked whether a
// process of it still runs, once the command itself has ended.
const DWORD kJobPollMilliseconds = 20;
}

// Starts commandLine (hidden when hide) and waits for it. With
// options.capture its output lines are logged on the context at the
// information level, "RunCommand: > " before standard output and
// "RunCommand: ! " before standard error, and the count of lines left out
// goes through log; with options.timeoutSeconds the
// command has ended when every process it started has (a process started
// outside its job excepted), and all of them are ended when the time is up.
// Failures are logged at the error level on the context. True when the
// command ran: exitCode is then its exit code, or ERROR_TIMEOUT when the time
// limit ended it (timedOut then says so).
bool RunWatchedCommand(IActionContext& context, CMsiLogMessage& log, const std::wstring& commandLine, bool hide,
                       const WatchOptions& options, const SecretMask& mask, DWORD& exitCode, bool& timedOut);
