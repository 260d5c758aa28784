#pragma once
#include <string>

#include <windows.h>

// The long names of the predefined registry roots, matched exactly
// (case-sensitive, no trimming). HKEY_CURRENT_CONFIG and HKEY_DYN_DATA are
// not among them. False when the name is none of them.
bool LongRootKey(const std::wstring& name, HKEY& root);

// The short names HKCR, HKCU, HKLM and HKU and the long names of the same
// four roots, matched exactly. HKMU is not among them: what it stands for
// depends on the caller's per-user choice.
bool ShortOrLongRootKey(const std::wstring& name, HKEY& root);

// The long name of a predefined root (HKEY_CURRENT_USER for the current
// user's key), or an empty text for any other key.
std::wstring RootKeyName(HKEY root);
