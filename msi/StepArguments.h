#pragma once
// The arguments of the steps that `verrand-host msi` writes into a package.
// Their values are kept unformatted in the package's argument table
// (core/PackageStepNames.h) and formatted one by one when the package runs,
// so that no property value can change the shape of the text they go into:
// a value holding ";" or "=" stays one value.
#include <map>
#include <string>

#include <windows.h>

#include <msi.h>

#include "CustomActionData.h"

typedef std::map<std::wstring, CustomActionArguments> StepArgumentsByAction;

// Reads the table rows of action (of every action when action is empty) and
// formats each value on its own in the running session. Returns the
// installer's error number; on failure, what names the call that failed.
UINT FormatStepArguments(MSIHANDLE install, const std::wstring& action, StepArgumentsByAction& arguments,
                         std::wstring& what);

// The export an immediate action of such a package calls once, after the
// steps that run immediately: sets the property named after each deferred,
// rollback and commit action of the table to its CustomActionData. Logs
// the number of actions served, never a value.
extern "C" UINT __stdcall SetCustomActionData(MSIHANDLE install);
