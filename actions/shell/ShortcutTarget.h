#pragma once
#include <string>

// A target beginning with "http:" or "https:" (case-sensitive, at position 0)
// makes an Internet shortcut; anything else a shell link.
bool IsWebTarget(const std::wstring& target);

// Extensions of the two shortcut kinds.
extern const std::wstring ShellLinkExtension;    // ".lnk"
extern const std::wstring WebShortcutExtension;  // ".url"

// Where a web shortcut is saved: the file name's ".lnk" extension becomes
// ".url"; ".lnk" anywhere else in the path (a folder's name) stays, and a
// name without that extension is kept as it is.
std::wstring WebShortcutPath(const std::wstring& linkPath);
