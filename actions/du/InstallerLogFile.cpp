#include "InstallerLogFile.h"

#include <vector>

#include <windows.h>
#include <msi.h>

#include "PocoWrapper/File.h"
#include "core/LogLevel.h"
#include "core/TrueFalseWords.h"

const wchar_t* const KeepMsiLogsVariable = L"KORVAN_AX_INSTALL_keepMsiLogs";

namespace {
// The variable as the process sees it now (not a copy taken at start-up);
// empty when it is not set.
std::wstring environmentVariable(const wchar_t* name)
{
    std::vector<wchar_t> buffer(256);
    for (;;) {
        const DWORD length = GetEnvironmentVariableW(name, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length < buffer.size())
            return std::wstring(&buffer[0], length);
        buffer.resize(length);
    }
}
}

std::wstring InstallerLogFilePath(const std::wstring& logsFolder, const std::wstring& prefix,
                                  const std::wstring& duId)
{
    return logsFolder + prefix + duId + L".log";
}

void EnableInstallerLog(const std::wstring& path, IActionContext& context)
{
    MsiEnableLogW(INSTALLLOGMODE_VERBOSE, path.c_str(), 0);
    context.Log(LogLevelInfo, L"Log file name: " + path);
}

bool ShouldKeepMsiLogs(boost::shared_ptr<IActionContext> context)
{
    if (!IsTrueWord(environmentVariable(KeepMsiLogsVariable)))
        return false;
    context->Log(LogLevelInfo, std::wstring(L"Environment var ") + KeepMsiLogsVariable +
                                   L" is set to true - skipping MSI log deletion.");
    return true;
}

void RemoveInstallerLogUnlessKept(const std::wstring& path, boost::shared_ptr<IActionContext> context)
{
    if (ShouldKeepMsiLogs(context))
        return;
    try {
        PocoWrapper::File(path).remove(false);
    } catch (...) {
    }
}
