#pragma once
#include <string>
#include <vector>

#include "Output.h"

// verrand-host msi --install PLAN [--remove PLAN] [--ca PATH] IN.msi OUT.msi:
// writes the plans' steps into a copy of IN.msi as custom actions of
// VerrandCA.dll (by default the one beside the host). Returns 0 when
// OUT.msi is written and checked; throws UsageFailure (exit 2) for a plan
// or package the command refuses and PackageFailure (exit 1) when a
// package cannot be read or written.
int RunMsiCommand(const std::vector<std::wstring>& args, Output& output);
