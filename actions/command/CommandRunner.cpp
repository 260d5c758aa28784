#include "CommandRunner.h"

#include <windows.h>
#include <shellapi.h>

#include "core/LogLevel.h"
#include "core/MsiLogMessage.h"
#include "support/mossel/Mossel.h"
#include "CommandArgumentNames.h"
#include "CommandText.h"
#include "EnvironmentSettings.h"
#include "SecretMask.h"
#include "WatchOptions.h"
#include "WatchedCommand.h"
#include "Wow64Redirection.h"

namespace {
const int kDefaultMaxRetries = 0;
const int kDefaultRetryInterval = 30;
// What RunRedistProgram is asked for by every command launch.
const int kRedistOptions = 7;

void logLine(CMsiLogMessage& log, const std::wstring& line)
{
    log.Log(line.c_str());
}

// An argument read with GetArg, parsed as a number when it is given; a
// value that is not a number leaves the default.
int numberArgument(IActionContext& context, const std::wstring& name, int defaultValue)
{
    const std::wstring text = *context.GetArg(name);
    int value = defaultValue;
    if (!text.empty())
        StringToInt(text, value);
    return value;
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
    const SecretMask mask(GetCStringArg(context, CommandArgumentNames::SensitiveData).str(), logCmdLine == L"no");
    logLine(log, L"Get CmdLine: " + CommandLineEcho(commandLine.str(), logCmdLine, mask));

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

    // Output capture and the time limit: nothing is logged unless they are
    // asked for.
    const WatchOptions watch =
        ReadWatchOptions(GetCStringArg(context, CommandArgumentNames::CaptureOutput).str(),
                         GetCStringArg(context, CommandArgumentNames::TimeoutSeconds).str(), shell,
                         IsYesWord(noWaiting.str()));
    for (const std::wstring& note : watch.notes)
        logLine(log, mask.Text(note));

    try {
        const std::wstring settings = *context->GetArg(CommandArgumentNames::EnvSettings);
        if (!settings.empty()) {
            context->Log(LogLevelInfo, L"Settting local environment before creating the process");
            context->Log(LogLevelInfo, L"EnvSettings = [" + mask.Text(settings) + L"]");
            ApplyEnvSettings(*context, settings, mask);
        }

        const int showMode = hide ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
        for (int attempt = 0; attempt <= maxRetries; ++attempt) {
            const bool noWait = IsYesWord(noWaiting.str());
            if (shell) {
                context->Log(LogLevelInfo, L"UseShellExecute: " + mask.CommandLine(commandLine.str()));
                // A shell launch gives no exit code to look at.
                ShellExecuteW(0, 0, commandLine, 0, 0, showMode);
            } else if (watch.Active()) {
                DWORD code = 0;
                if (RunWatchedCommand(*context, log, commandLine.str(), hide, watch, mask, code))
                    *exitCode = static_cast<int>(code);
            } else {
                RunRedistProgram(context, commandLine, kRedistOptions, hide, 0, reinterpret_cast<DWORD*>(exitCode), 0,
                                 false, 0, CString(), CString(), noWait);
            }
            if (*exitCode == 0)
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
    }
    return 0;
}
