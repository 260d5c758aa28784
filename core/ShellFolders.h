#pragma once
// The folders the shell and the system own: the desktop, Start menu,
// Programs and Startup folders (per user and common), the profile roots and
// every other standard folder. An action never removes one of them, even
// when it is empty.
#include <string>
#include <vector>

// Every standard folder of this machine and user that resolves, full paths.
std::vector<std::wstring> ShellFolders();

// True when the folder (full path, with or without the extended-length
// prefix) is one of the given shell folders, by its text or by its file
// identity.
bool IsShellFolder(const std::wstring& folder, const std::vector<std::wstring>& shellFolders);
