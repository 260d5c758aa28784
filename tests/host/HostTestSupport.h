#pragma once
// What the host tests share: where the host, the sample action library and
// the test child program are, and the host's output as lines.
#include <string>
#include <vector>

#include "support/ChildProcess.h"

std::wstring HostProgram();
std::wstring SampleLibrary();
std::wstring TestChildProgram();

// The host's command line: the quoted host program and then `arguments`.
std::wstring HostCommand(const std::wstring& arguments);

// The text split at line ends (LF or CR LF), without them.
std::vector<std::string> SplitLines(const std::string& text);
