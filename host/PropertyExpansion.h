#pragma once
#include <map>
#include <string>

typedef std::map<std::wstring, std::wstring> PropertyValues;

enum UnknownReferences {
    DropUnknownReferences, // [UNKNOWN] expands to nothing
    KeepUnknownReferences, // [UNKNOWN] stays as written
};

// Expands every [NAME] from the properties. A '[' without a closing ']' is
// kept as it is.
std::wstring ExpandProperties(const std::wstring& text, const PropertyValues& properties,
                              UnknownReferences unknown = DropUnknownReferences);
