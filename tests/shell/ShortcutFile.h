#pragma once
// Reads saved shortcut files back, independently of the action that wrote
// them: .lnk files through the shell-link object and their header, .url
// files as the INI text they are.
#include <string>

#include <windows.h>

struct ShellLinkContents {
    std::wstring path;
    std::wstring arguments;
    std::wstring description;
    std::wstring iconPath;
    int iconIndex;
    std::wstring workingDir;
};

// Throws std::runtime_error when the file cannot be loaded.
ShellLinkContents ReadShellLink(const std::wstring& file);
// The show command stored in the file's header.
DWORD ShowCommandInHeader(const std::wstring& file);
// The value of key in the [InternetShortcut] section; empty when absent.
std::wstring InternetShortcutEntry(const std::wstring& file, const std::wstring& key);
// Whether this system's Internet-shortcut object hands out IShellLinkW.
bool InternetShortcutOffersShellLink();
