#pragma once
// What the deployment-unit tests share: the packages the build makes, the
// helper process that uses the installer mutex, and installed-product checks.
#include <string>

#include <windows.h>

#include "support/ChildProcess.h"

// Product codes of the test packages (see packages/*.wxs).
extern const wchar_t* const MachineProduct;
extern const wchar_t* const UserProduct;
extern const wchar_t* const RebootProduct;
extern const wchar_t* const FailingProduct;

// The built package: "machine", "user", "reboot" or "failing".
std::wstring PackagePath(const std::wstring& name);

bool ProductInstalled(const wchar_t* productCode);
// Removes the product if it is installed, outside the code under test.
void RemoveProduct(const wchar_t* productCode);
std::wstring KnownFolder(int csidl);

// A process started from the build's programs, ended and closed with the
// object unless waited for.
class ChildProcess {
public:
    // program is a path relative to the build folder.
    ChildProcess(const std::wstring& program, const std::wstring& arguments, bool captureOutput = false);
    ~ChildProcess();
    // Waits for the end; the exit code.
    DWORD Wait();
    // Everything written to standard output (after Wait).
    std::string output;

private:
    ChildProcess(const ChildProcess&);
    PROCESS_INFORMATION m_process;
    HANDLE m_outputRead;
};

// The mutex helper: "hold READY RELEASE", "abandon", "try".
std::wstring MutexHelper();

// A named manual-reset event owned by the test.
struct NamedEvent {
    explicit NamedEvent(const std::wstring& name);
    ~NamedEvent();
    std::wstring name;
    HANDLE handle;
};

// Sets an environment variable for the scope of the object.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const wchar_t* name, const wchar_t* value);
    ~ScopedEnvironmentVariable();

private:
    std::wstring m_name;
};
