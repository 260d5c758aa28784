#pragma once
#include <string>
#include <vector>

#include <windows.h>

// The actions a loaded module exports, in table order: the plain
// (undecorated) names of exported code. C++ classes and helpers (decorated
// names), data (constants, variables) and exports forwarded to another
// module are left out.
std::vector<std::string> PlainExportNames(HMODULE module);
