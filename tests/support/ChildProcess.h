#pragma once
// Runs a program of the build as a child process and collects what it
// writes to standard output.
#include <string>

struct ChildResult {
    unsigned long exitCode;
    std::string output;
};

// commandLine is handed to CreateProcessW as it is; the child inherits the
// environment (so it finds the DLLs of dist/). Throws std::runtime_error when
// the program cannot be started.
ChildResult RunChild(const std::wstring& commandLine);

// The folder of the running test program, and the build's dist/ folder.
std::wstring TestProgramFolder();
std::wstring DistFolder();
