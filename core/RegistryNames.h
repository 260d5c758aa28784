#pragma once
// How the registry tells its key and value names apart.
#include <string>

// True when the registry takes the two names for one: ordinal comparison
// without regard to case over the whole of Unicode ("Ärger" and "ärger" are
// one name, "ss" and "ß" are two), up to the first NUL, where the registry's
// calls stop reading a name.
bool SameRegistryName(const std::wstring& a, const std::wstring& b);
