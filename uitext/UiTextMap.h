#pragma once
// The strings of one uitext file.
#include <string>

#include <boost/shared_ptr.hpp>

#include "StringMap.h"

// Loads the uitext file at path, checks that it is written for language (an
// exact match with its language element, when it has one) and collects the
// strings of all its contexts. Any problem is written to the install log and
// gives a null map; a file without strings gives an empty one.
boost::shared_ptr<StringMap> getStringMap(const std::wstring& path, const std::wstring& language);
