#include "DuTransaction.h"

#include "core/Action.h"
#include "core/TrueFalseWords.h"

#include "InstallerLogFile.h"
#include "InstallerRun.h"

const wchar_t* const InstallLogPrefix = L"InstallDU-";
const wchar_t* const UninstallLogPrefix = L"UninstallDU-";

std::wstring InstallCommandLine(const std::wstring& props, const std::wstring& perUser, IActionContext& context)
{
    std::wstring commandLine = props + L" REBOOT=\"ReallySuppress\" ";
    if (IsTrueWord(perUser)) {
        commandLine += L" ALLUSERS=\"\" ";
    } else if (IsFalseWord(perUser)) {
        commandLine += L" ALLUSERS=1 ";
    } else {
        context.Log(LogLevelError, L"Unrecognized value for PerUser argument: " + perUser);
        context.Log(LogLevelError, L"  Omitting ALLUSERS property.");
    }
    return commandLine;
}

std::wstring UninstallCommandLine(bool byPackage)
{
    std::wstring commandLine = L" REBOOT=\"ReallySuppress\"";
    if (byPackage)
        commandLine += L" REMOVE=ALL";
    return commandLine;
}

std::wstring BracedProductCode(const std::wstring& code)
{
    std::wstring braced = code;
    if (braced.empty() || braced[0] != L'{')
        braced.insert(0, L"{");
    if (braced[braced.size() - 1] != L'}')
        braced += L"}";
    return braced;
}

int FinishDuTransaction(UINT code, DuTransactionKind kind, const std::wstring& logPath,
                        boost::shared_ptr<IActionContext> context)
{
    switch (code) {
    case InstallerSuccess:
        RemoveInstallerLogUnlessKept(logPath, context);
        return ActionDone;
    case InstallerSuspended:
    case InstallerRebootInitiated:
        return ActionDone;
    case InstallerRebootRequired:
        context->SetProperty(L"InstallNeedsReboot", L"true");
        return ActionDone;
    case InstallerUserExit:
        if (kind == DuUninstall)
            return ActionDone;
        break;
    }
    context->Log(LogLevelError, L"Error code from call to Windows Installer API: " + std::to_wstring(code));
    return ActionFailed;
}
