#pragma once
// Runs Wine's msiexec on a package of the build and reads its verbose log.
#include <string>
#include <vector>

struct MsiexecResult {
    unsigned long exitCode;
    // The verbose log (/l*v) as text.
    std::string log;
    bool Logged(const std::string& line) const { return log.find(line) != std::string::npos; }
    // The lines of the log that hold text.
    std::vector<std::string> LinesWith(const std::string& text) const;
};

// Wine's installer writes every property, those listed in
// MsiHiddenProperties too, into the property list that closes its verbose
// log; Windows writes asterisks for those.
bool RunningUnderWine();

// msiexec <arguments> /qn /l*v <a fresh log file>; arguments hold the
// operation, the package and any properties, already quoted.
MsiexecResult RunMsiexec(const std::wstring& arguments);

// A package that the build put under the tests' folder.
std::wstring TestPackage(const std::wstring& relativePath);

// Whether Windows Installer has the product registered.
bool ProductInstalled(const std::wstring& productCode);

// Removes the product when it is installed, so the next test starts clean.
void RemoveProduct(const std::wstring& productCode);
