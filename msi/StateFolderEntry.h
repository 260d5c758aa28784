#pragma once
// The custom action that removes a package's shared rollback-state folder,
// as the commit action once the installation is committed and as the first
// rollback action of the script (so the last to run) once it is rolled
// back: the folder PackageStepNames::StateFolderArgument names goes with
// everything in it, links inside as links, when it is a state folder
// Verrand made (core/RollbackState.h). A link, a file or a folder Verrand
// did not make is left as it is, with one level-4 line and status 1; a
// folder that is not there is no failure.
#include <windows.h>

#include <msi.h>

#include "core/Action.h"

int __stdcall ForgetStateFolder(boost::shared_ptr<IActionContext> context);

// The entry VerrandCA.dll exports as PackageStepNames::StateFolderEntry.
extern "C" UINT __stdcall RemoveStateFolder(MSIHANDLE install);
