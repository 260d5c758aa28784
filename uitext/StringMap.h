#pragma once
#include <string>
#include <unordered_map>

// Identifier-to-text table of one uitext file. Keys are lower-cased, so
// identifiers that differ only in letter case share one entry. Lookups go by
// hash: the table is only ever searched, never walked in order.
typedef std::unordered_map<std::wstring, std::wstring> StringMap;
