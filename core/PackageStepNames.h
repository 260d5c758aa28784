#pragma once
// What `verrand-host msi` writes into a package and VerrandCA.dll reads
// when the package runs: the steps' argument table (Action, Name, Value:
// the values unformatted), the property that names an immediate step's
// action just before it runs, the entry point that sets the
// CustomActionData of the deferred, rollback and commit steps, the one that
// removes the package's state folder (argument StateFolderArgument; with
// EmptiedOnlyArgument only what the twins emptied), and the property that
// names that folder (the package sets it from the product's code; the
// data entry makes it this run's own).
namespace PackageStepNames {
const wchar_t* const ArgumentTable = L"VerrandActionData";
const wchar_t* const StepProperty = L"VerrandStep";
const wchar_t* const DataEntry = L"SetCustomActionData";
const wchar_t* const StateFolderEntry = L"RemoveStateFolder";
const wchar_t* const StateFolderArgument = L"Folder";
const wchar_t* const EmptiedOnlyArgument = L"EmptiedOnly";
const wchar_t* const StateFolderProperty = L"VerrandStateFolder";
}
