#pragma once
// What the runner watches in a command it waits for: its output
// (CaptureOutput) and its time (TimeoutSeconds).
#include <string>
#include <vector>

struct WatchOptions {
    bool capture;
    // 0: no time limit.
    unsigned long timeoutSeconds;
    // Why a setting is not used, one information line each (without the
    // runner's prefix).
    std::vector<std::wstring> notes;
    // Why the command must not run (a time limit that is not one), empty
    // when it may.
    std::wstring refusal;

    // The command needs the runner's own launch: pipes, a job, a time limit.
    bool Active() const { return capture || timeoutSeconds > 0; }
};

// A positive whole number of seconds, white space around it allowed; numbers too
// large for the type give the largest one. False for anything else.
bool ParseTimeoutSeconds(const std::wstring& text, unsigned long& seconds);

// The options from the texts of CaptureOutput and TimeoutSeconds, for a
// command launched through the shell or not waited for as the runner decided:
// neither can be watched, so both settings are then dropped with a note. A
// TimeoutSeconds given that is not a whole number of seconds from 1 up is a
// refusal, whatever else is set.
WatchOptions ReadWatchOptions(const std::wstring& captureOutput, const std::wstring& timeoutSeconds, bool shell,
                              bool noWait);
