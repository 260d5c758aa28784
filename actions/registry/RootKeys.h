#pragma once
#include <string>

#include <windows.h>

// The long names of the predefined registry roots, matched exactly
// (case-sensitive, no trimming). HKEY_CURRENT_CONFIG and HKEY_DYN_DATA are
// not among them. False when the name is none of them.
bool LongRootKey(const std::wstring& name, HKEY& root);
