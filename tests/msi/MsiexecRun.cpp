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

std::vector<std::string> MsiexecResult::LinesWith(const std::string& text) const
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < log.size()) {
        std::string::size_type end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        const std::string line = log.substr(start, end - start);
        if (line.find(text) != std::string::npos)
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool RunningUnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != 0;
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
