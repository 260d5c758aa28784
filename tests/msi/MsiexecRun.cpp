#include "MsiexecRun.h"

#include <windows.h>

#include <msi.h>

#include "support/ChildProcess.h"
#include "support/TestFiles.h"

namespace {
// The verbose log is UTF-16 when it starts with a byte-order mark.
std::string logText(const std::string& bytes)
{
    if (bytes.size() < 2 || bytes[0] != '\xff' || bytes[1] != '\xfe')
        return bytes;
    std::wstring wide((bytes.size() - 2) / 2, L'\0');
    memcpy(&wide[0], bytes.data() + 2, wide.size() * 2);
    return Narrow(wide);
}
}

MsiexecResult RunMsiexec(const std::wstring& arguments)
{
    ScopedTempDir folder;
    const std::wstring logFile = folder.file(L"install.log");
    const ChildResult child = RunChild(L"msiexec.exe " + arguments + L" /qn /l*v " + QuotedArgument(logFile));
    MsiexecResult result = { child.exitCode, "" };
    if (PathExists(logFile))
        result.log = logText(ReadBytes(logFile));
    return result;
}

std::wstring TestPackage(const std::wstring& relativePath)
{
    return TestProgramFolder() + L"\\" + relativePath;
}

bool ProductInstalled(const std::wstring& productCode)
{
    return MsiQueryProductStateW(productCode.c_str()) == INSTALLSTATE_DEFAULT;
}

void RemoveProduct(const std::wstring& productCode)
{
    if (ProductInstalled(productCode))
        RunMsiexec(L"/x " + productCode);
}
