#pragma once
// The command runner behind every action of the RunCommand family.
#include <boost/shared_ptr.hpp>

#include "core/CString.h"
#include "core/IActionContext.h"

// Runs commandLine with the runner options read from the context (echo and
// masking, window, WOW64 redirection, waiting, shell launch, environment
// settings, output capture and time limit; retry count and interval only
// when allowRetries). *exitCode gets the command's exit code when one is
// obtained (ERROR_TIMEOUT when the time limit ended it) and keeps its value
// otherwise.
// Returns 1 when a setting refuses the command (a TimeoutSeconds or
// SuccessCodes that is not one; SuccessCodes with a launch that gives no
// exit code: the command is not run) and, with SuccessCodes, when the last
// attempt could not run, timed out or returned a code not in the list; one
// level-4 line says why. Otherwise 0: the outcome is in *exitCode and in
// the log.
int ExecuteCommandLine(boost::shared_ptr<IActionContext> context, CString commandLine, int* exitCode,
                       bool allowRetries);

// The wait between two attempts in milliseconds, for an interval in seconds:
// none for a negative interval, and never the endless wait.
unsigned long RetryWaitMilliseconds(int seconds);
