#pragma once
// Shows the process's install log in the host's output: every line, behind
// the log's time stamp, as "[installlog] ..." or an installlog event, and
// appended to a file when one is named; in both places with the secrets of
// the steps run so far masked.
#include <string>

#include <windows.h>

#include <Poco/AutoPtr.h>

#include "Output.h"

// Appends one line (and CR LF) to a file opened for appending, with one
// write, so lines of processes appending at once interleave whole.
void AppendLine(HANDLE file, const std::string& text);

class InstallLogOutput {
public:
    // Makes the install log through Brunlow, as a setup program does before
    // it loads any action library; the libraries' own copies of the log then
    // share it (each says once that it found one). file may be empty.
    // Throws UsageFailure when the file cannot be opened for appending.
    InstallLogOutput(Output& output, const std::wstring& file);
    ~InstallLogOutput();

    class Channel;

private:
    InstallLogOutput(const InstallLogOutput&);
    InstallLogOutput& operator=(const InstallLogOutput&);
    Poco::AutoPtr<Channel> m_channel;
};
