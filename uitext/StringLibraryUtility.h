#pragma once
#include <string>

#include <boost/shared_ptr.hpp>

#include "StringMap.h"

// Checks that a path and a language are given and that the path names a
// regular file, then loads its strings. A failed check writes an assertion
// report to the install log and gives a null map, as does a file that
// cannot be loaded.
boost::shared_ptr<StringMap> loadStringMap(const std::wstring& uiTextPath, const std::wstring& setupUILanguage);
