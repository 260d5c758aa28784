#include "CommandRunner.h"

#include <algorithm>

#include <windows.h>
#include <shellapi.h>

#include "core/LogLevel.h"
#include "core/MsiLogMessage.h"
#include "support/mossel/Mossel.h"
#include "CommandArgumentNames.h"
#include "CommandText.h"
#include "EnvironmentSettings.h"
#include "core/SecretMask.h"
#include "WatchOptions.h"
#include "WatchedCommand.h"
#include "Wow64Redirection.h"

namespace {
const int kDefaultMaxRetries = 0;
const int kDefaultRetryInterval = 30;
// What RunRedistProgram is asked for by every command launch.
const int kRedistOptions = 7;
// A command may take an unquoted secret apart at such a character and write
// the pieces, which no mask finds.
const wchar_t* const kSplitSecret =
    L"RunCommand: SensitiveData stands unquoted in the command line and holds a blank, \";\", \"=\" or \",\": "
    L"the command may get it in pieces that no mask finds; put it in double quotes";

void logLine(CMsiLogMessage& log, const std::wstring& line)
{
    log.Log(line.c_str());
}

// An argument read with GetArg, parsed as a number when it is given; a
// value that is not a number leaves the default, with a warning.
int numberArgument(IActionContext& context, const std::wstring& name, int defaultValue)
{
    const std::wstring text = *context.GetArg(name);
    int value = defaultValue;
    if (!text.empty() && !StringToInt(text, value)) {
        CString line;
        line.Format(L"RunCommand: %s [%s] is not a number: %d is used", name.c_str(), text.c_str(), defaultValue);
        context.Log(LogLevelWarning, line.str());
    }
    return value;
}

// How the attempts ended, for SuccessCodes.
enum Outcome { NotRun, Exited, TimedOut };

// The SuccessCodes verdict on the last attempt: true when it passes.
bool successCodesMet(IActionContext& context, const std::wstring& text, const std::vector<int>& codes,
                     Outcome outcome, int exitCode)
{
    if (outcome == Exited && std::find(codes.begin(), codes.end(), exitCode) != codes.end())
        return true;
    CString line;
    if (outcome == Exited)
        line.Format(L"RunCommand: Command returned result [%d], which is not in SuccessCodes [%s]", exitCode,
                    text.c_str());
    else
        line.Format(L"RunCommand: Command %s (SuccessCodes [%s])",
                    outcome == TimedOut ? L"timed out" : L"could not be run", text.c_str());
    context.Log(LogLevelError, line.str());
    return false;
}
}

unsigned long RetryWaitMilliseconds(int seconds)
{
    if (seconds <= 0)
        return 0;
    // INFINITE is 0xFFFFFFFF: stay below it however large the interval.
    const unsigned long long milliseconds = static_cast<unsigned long long>(seconds) * 1000ULL;
    return milliseconds >= INFINITE ? INFINITE - 1 : static_cast<unsigned long>(milliseconds);
}

int ExecuteCommandLine(boost::shared_ptr<IActionContext> context, CString commandLine, int* exitCode,
                       bool allowRetries)
{
    CMsiLogMessage log(context, L"RunCommand: ");

    const std::wstring logCmdLine = GetCStringArg(context, CommandArgumentNames::LogCmdLine).str();
    const std::wstring secret = GetCStringArg(context, CommandArgumentNames::SensitiveData).str();
    const SecretMask mask(secret, logCmdLine == L"no");
    logLine(log, L"Get CmdLine: " + CommandLineEcho(commandLine.str(), logCmdLine, mask));
    if (SecretStandsUnquoted(commandLine.str(), secret))
        context->Log(LogLevelWarning, kSplitSecret);

    const CString hideWindows = GetCStringArg(context, CommandArgumentNames::HideWindows);
    logLine(log, L"Get Hide:    " + hideWindows.str());
    const bool hide = hideWindows == L"1";

    const CString disableRedirection = GetCStringArg(context, CommandArgumentNames::DisableWOW64Redirection);
    logLine(log, L"Get DisableWOW64Redirection: " + disableRedirection.str());
    const CString objectModel = GetCStringArg(context, CommandArgumentNames::ProductObjectModel);
    logLine(log, L"Get ProductObjectModel: " + objectModel.str());
    const CString noWaiting = GetCStringArg(context, CommandArgumentNames::NoWaiting);
    logLine(log, L"Get noWaiting: " + noWaiting.str());

    const Wow64Redirection redirection(log, disableRedirection == L"1" && objectModel == L"64");

    int maxRetries = kDefaultMaxRetries;
    int interval = kDefaultRetryInterval;
    if (allowRetries) {
        maxRetries = numberArgument(*context, CommandArgumentNames::MaxRetriesAllowed, kDefaultMaxRetries);
        interval = numberArgument(*context, CommandArgumentNames::RetryInterval, kDefaultRetryInterval);
        if (interval < 0)
            interval = 0;
    }

    const CString useShell = GetCStringArg(context, CommandArgumentNames::UseShellExecute);
    logLine(log, L"UseShellExecute:    " + useShell.str());
    const bool shell = IsYesWord(useShell.str());
    const bool noWait = IsYesWord(noWaiting.str());

    // Output capture and the time limit: nothing is logged unless they are
    // asked for.
    const WatchOptions watch =
        ReadWatchOptions(GetCStringArg(context, CommandArgumentNames::CaptureOutput).str(),
                         GetCStringArg(context, CommandArgumentNames::TimeoutSeconds).str(), shell, noWait);
    for (const std::wstring& note : watch.notes)
        logLine(log, mask.Text(note));

    // SuccessCodes: without it the status is 0 whatever the command did.
    const std::wstring successText = GetCStringArg(context, CommandArgumentNames::SuccessCodes).str();
    std::vector<int> successCodes;
    std::wstring refusal = watch.refusal;
    if (refusal.empty() && !successText.empty()) {
        if (!ReadSuccessCodes(successText, successCodes))
            refusal = L"SuccessCodes [" + successText +
                      L"] is not a list of exit codes separated by \";\"; the command is not run";
        else if (shell || noWait)
            refusal = std::wstring(L"SuccessCodes cannot be checked with ") +
                      (shell ? L"UseShellExecute" : L"NoWaiting") + L", which give no exit code; the command is not run";
    }
    if (!refusal.empty()) {
        context->Log(LogLevelError, L"RunCommand: " + mask.Text(refusal));
        return 1;
    }
    if (maxRetries < 0)
        logLine(log, L"MaxRetriesAllowed is below 0: the command is not run");

    Outcome outcome = NotRun;
    try {
        const std::wstring settings = *context->GetArg(CommandArgumentNames::EnvSettings);
        if (!settings.empty()) {
            context->Log(LogLevelInfo, L"Settting local environment before creating the process");
            context->Log(LogLevelInfo, L"EnvSettings = [" + mask.Text(settings) + L"]");
            ApplyEnvSettings(*context, settings, mask);
        }

        const int showMode = hide ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
        for (int attempt = 0; attempt <= maxRetries; ++attempt) {
            outcome = NotRun;
            if (shell) {
                context->Log(LogLevelInfo, L"UseShellExecute: " + mask.CommandLine(commandLine.str()));
                // A shell launch gives no exit code to look at.
                const INT_PTR started = reinterpret_cast<INT_PTR>(ShellExecuteW(0, 0, commandLine, 0, 0, showMode));
                if (started <= 32) {
                    CString line;
                    line.Format(L"RunCommand: ShellExecute failed (%d)", static_cast<int>(started));
                    context->Log(LogLevelError, line.str());
                }
            } else if (watch.Active()) {
                DWORD code = 0;
                bool timedOut = false;
                if (RunWatchedCommand(*context, log, commandLine.str(), hide, watch, mask, code, timedOut)) {
                    *exitCode = static_cast<int>(code);
                    outcome = timedOut ? TimedOut : Exited;
                }
            } else if (RunRedistProgram(context, commandLine, kRedistOptions, hide, 0,
                                        reinterpret_cast<DWORD*>(exitCode), 0, false, 0, CString(), CString(),
                                        noWait) &&
                       !noWait) {
                outcome = Exited;
            }
            if (outcome != NotRun) {
                CString line;
                line.Format(L"Exit code [%d]", *exitCode);
                log.Log(line);
            }
            if (*exitCode == 0 || (outcome == Exited && std::find(successCodes.begin(), successCodes.end(),
                                                                  *exitCode) != successCodes.end()))
                break;
            if (maxRetries > 0) {
                CString line;
                line.Format(L"Command returned result [%d]. Retried [%d] times. Will retry up to [%d] times. "
                            L"Waiting for [%d] seconds...",
                            *exitCode, attempt, maxRetries, interval);
                log.Log(line);
                Sleep(RetryWaitMilliseconds(interval));
            }
        }
    } catch (...) {
        const DWORD error = GetLastError();
        CString line;
        line.Format(L"Unable to execute this command %s: error: %d", mask.CommandLine(commandLine.str()).c_str(),
                    static_cast<int>(error));
        log.Log(line);
        outcome = NotRun;
    }
    if (!successText.empty() && !successCodesMet(*context, successText, successCodes, outcome, *exitCode))
        return 1;
    return 0;
}
