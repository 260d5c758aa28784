#pragma once
#include <string>
#include <vector>

#include <windows.h>

// The plain (undecorated) names a loaded module exports, in table order:
// its actions, without C++ classes and helpers.
std::vector<std::string> PlainExportNames(HMODULE module);
