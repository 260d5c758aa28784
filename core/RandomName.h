#pragma once
// Names no earlier run can have picked: 16 hexadecimal digits from the
// system's random number generator, for the folders a run keeps its own
// state in.
#include <string>

#include <windows.h>

// False, with the system's status in error, when the generator fails.
bool RandomHexName(std::wstring& name, DWORD& error);
