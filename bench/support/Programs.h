#pragma once
// Programs a benchmark starts, and where the benchmark itself lies.
#include <string>

#include <windows.h>

// The folder of the running benchmark program.
std::wstring ProgramFolder();

// Runs commandLine, waits for it and gives its exit code (the error number
// when it cannot be started).
DWORD RunProgram(std::wstring commandLine);
