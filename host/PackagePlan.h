#pragma once
// How `verrand-host msi` lays a plan pair out as rows of a Windows
// Installer package: which steps run immediately and which from the script,
// their custom-action types, sequence numbers, conditions and unformatted
// arguments, the hidden properties, and every refusal. Plain logic over
// what was read from the package; PackageDatabase reads and writes it.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "PackageFolders.h"
#include "PlanFile.h"

// What the layout needs to know of the package it adds to.
struct PackageFacts {
    std::set<std::wstring> tables;
    std::set<std::wstring> customActions;       // CustomAction keys
    std::map<std::wstring, int> executeSequence; // InstallExecuteSequence: action and sequence number
    std::map<std::wstring, std::wstring> properties;
    std::set<std::wstring> binaries;
    std::set<std::wstring> files;       // keys for [#File] and [!File]
    std::set<std::wstring> components;  // keys for [$Component]
    std::vector<std::wstring> upgradeProperties; // Upgrade rows that remove what they find
    FolderTables folders; // the Directory, Component and CreateFolder rows
};

struct CustomActionRow {
    std::wstring action;
    int type;
    std::wstring source;
    std::wstring target;
};

// A row of InstallExecuteSequence, placed strictly between two rows the
// package already has (after and before name them).
struct SequenceRow {
    std::wstring action;
    std::wstring condition;
    int sequence;
    std::wstring after;
    std::wstring before;
};

// A row of the steps' argument table: one argument of one action, and the
// run whose data entry formats it (PackageStepNames), empty for the rows of
// an immediate step.
struct ArgumentRow {
    std::wstring action;
    std::wstring name;
    std::wstring value;
    std::wstring served;
};

struct PackageAdditions {
    std::vector<CustomActionRow> customActions;
    std::vector<SequenceRow> sequence;
    std::vector<ArgumentRow> arguments;
    std::map<std::wstring, std::wstring> newProperties;
    // The merged MsiHiddenProperties value; empty when nothing is hidden.
    std::wstring hiddenProperties;
    // CreateFolder rows through which RemoveFolders takes the package's
    // folders away on removal (FolderRemovalRows).
    std::vector<ComponentFolder> createFolders;
    // Lines for the user: plan properties the package already defines.
    std::vector<std::string> warnings;
    // The written package's own package code (set when it is written).
    std::wstring packageCode;
};

// One plan to lay out: its steps, where they run and how its file is named
// in messages.
struct PackagePlan {
    const Plan* plan;
    std::string name;
};

// The name of the Binary row that holds VerrandCA.dll.
extern const wchar_t* const CustomActionBinary;

// Lays the plans out (removal may be empty). exports are the entry points
// of the custom-action DLL. Throws UsageFailure, with one line naming the
// place, for a step the package cannot run (a refused action, an action the
// DLL does not export, a twin of an immediate step, an argument name or
// value Windows Installer cannot take), for a name the package already
// uses, and when the package lacks a standard action the layout is placed
// by or has no room between two of its rows. The additions also hold the
// CreateFolder rows of the package's folders, and RemoveFolders just after
// RemoveFiles when the package does not schedule it.
PackageAdditions LayOutPlans(const PackagePlan& install, const PackagePlan& removal, const PackageFacts& facts,
                             const std::set<std::string>& exports);

// Empty when Windows Installer formats text as the plan means it: every
// bracketed reference is a property name ([NAME]), [%VARIABLE], [#File] or
// [!File] of the package's File table, [$Component] of its Component table,
// [\c] or [~]; else what is wrong, naming the reference.
std::string FormattedTextProblem(const std::wstring& text, const PackageFacts& facts);

// Valid as a property or action name in a package: a letter or "_", then
// letters, digits, "_" and ".".
bool IsInstallerIdentifier(const std::wstring& name);
