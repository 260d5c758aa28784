#pragma once
#include <string>

// "true", "yes", "on", "1" after trimming and lower-casing.
bool IsTrueWord(const std::wstring& value);
// "false", "no", "off", "0" after trimming and lower-casing.
bool IsFalseWord(const std::wstring& value);
