#pragma once
// Programs a benchmark starts, and where the benchmark itself lies.
#include <string>

#include <windows.h>

// The folder of the running benchmark program.
std::wstring ProgramFolder();

// Runs commandLine, waits for it and gives its exit code (the error number
// when it cannot be started).
DWORD RunProgram(std::wstring commandLine);

// Runs this program again with `arguments` and the path of a result file
// after them, waits, and reads the number the run wrote there (with
// WriteResult); false when the run failed.
bool RunSelfForResult(const std::wstring& arguments, double& result);
bool WriteResult(const wchar_t* resultFile, double result);
