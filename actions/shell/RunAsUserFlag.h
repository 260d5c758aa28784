#pragma once
#include <shobjidl.h>

// Adds the run-as-different-user bit (SLDF_RUNAS_USER) to a link's flags.
// A link that already has it is left alone: SetFlags is not called then.
// Returns the failure line to log, or null when the flags are as wanted.
const wchar_t* AddRunAsUserFlag(IShellLinkDataList& link);
