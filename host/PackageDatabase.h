#pragma once
// The package files of `verrand-host msi`, through Windows Installer's own
// database API: what the layout needs to know of the input package, and the
// written copy with every row read back and checked.
#include <string>

#include "PackagePlan.h"

// A package that could not be read, written or checked: one line, exit
// status 1.
struct PackageFailure {
    std::string message;
};

// The tables, actions, properties, keys and upgrade properties of a
// package. Throws PackageFailure.
PackageFacts ReadPackageFacts(const std::wstring& path);

// Copies input to a temporary file beside output, adds the rows and the
// custom-action DLL (customActionDll, into the Binary row CustomActionBinary),
// gives it a package code of its own, commits, opens the copy again and
// checks every added row against what was meant (types, conditions,
// sequence numbers between their neighbours, the DLL's bytes, argument
// values, properties, CreateFolder rows, the package code), and only then moves it to
// output. input is never opened for writing; on any failure the temporary
// file is removed and output is left as it was. Throws PackageFailure, and
// UsageFailure when output names input.
void WritePackage(const std::wstring& input, const std::wstring& output, const PackageAdditions& additions,
                  const std::wstring& customActionDll);
