#pragma once
#include <map>
#include <string>

typedef std::map<std::wstring, std::wstring> PropertyValues;

// Expands every [NAME] from the properties; an unknown name expands to
// nothing, and a '[' without a closing ']' is kept as it is.
std::wstring ExpandProperties(const std::wstring& text, const PropertyValues& properties);
