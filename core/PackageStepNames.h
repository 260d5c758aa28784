#pragma once
// What `verrand-host msi` writes into a package and VerrandCA.dll reads
// when the package runs: the steps' argument table (a row per action:
// Action; Arguments, unformatted, as CustomActionData text; Served, which
// run's data entry formats the row, the install plan's, the removal plan's
// or every run's, or none for an immediate step, which formats its own),
// the conditions of the two plans' steps, the property that names an
// immediate step's action just before it runs, the entry point that sets the
// CustomActionData of the deferred, rollback and commit steps, the one that
// removes the package's state folder (argument StateFolderArgument; with
// EmptiedOnlyArgument only what the twins emptied), and the property that
// names that folder (the package sets it from the product's code; the
// data entry makes it this run's own).
namespace PackageStepNames {
const wchar_t* const ArgumentTable = L"VerrandActionData";
const wchar_t* const ServedByInstall = L"Install";
const wchar_t* const ServedByRemoval = L"Remove";
const wchar_t* const ServedEveryRun = L"Always";
const wchar_t* const InstallCondition = L"NOT REMOVE~=\"ALL\"";
const wchar_t* const RemovalCondition = L"REMOVE~=\"ALL\" AND NOT UPGRADINGPRODUCTCODE";
const wchar_t* const StepProperty = L"VerrandStep";
const wchar_t* const DataEntry = L"SetCustomActionData";
const wchar_t* const StateFolderEntry = L"RemoveStateFolder";
const wchar_t* const StateFolderArgument = L"Folder";
const wchar_t* const EmptiedOnlyArgument = L"EmptiedOnly";
const wchar_t* const StateFolderProperty = L"VerrandStateFolder";
}
