#pragma once
// Where the plugin's lines go: the installer's details list (when the
// installer shows one: not in a silent installer) and the install log file
// the script named, every line masked with the secrets of the actions run.
#include <string>

#include <windows.h>

#include "host/LineOutput.h"

// A line as the details list and the log show it: information as it is,
// a warning or an error behind the word.
std::wstring DetailsLine(int level, const std::wstring& text);

// Adds a line at the end of the details list of the installer window
// `parent` (the list of its inner dialog), as DetailPrint does, and scrolls
// it into view; false when the window shows no details list.
bool AddDetailsLine(HWND parent, const std::wstring& line);

class NsisOutput : public LineOutput {
public:
    // logFile may be INVALID_HANDLE_VALUE (no install log).
    NsisOutput(HWND parent, HANDLE logFile) : m_parent(parent), m_logFile(logFile) {}

protected:
    void writeLine(int level, const std::wstring& text);
    void writeProperty(const std::wstring& name, const std::wstring& value);
    void writeInstallLog(const std::wstring& text);

private:
    void show(const std::wstring& line);
    HWND m_parent;
    HANDLE m_logFile;
};
