#pragma once
#include <map>
#include <string>

// Identifier-to-text table of one uitext file. Keys are lower-cased, so
// identifiers that differ only in letter case share one entry.
typedef std::map<std::wstring, std::wstring> StringMap;
