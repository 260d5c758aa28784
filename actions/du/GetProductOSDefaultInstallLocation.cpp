// GetProductOSDefaultInstallLocation: publishes the operating system's
// default installation folder for a product folder name (ending with a
// backslash) in the property named by PropertyName.
#include <windows.h>
#include <shlobj.h>

#include "core/Action.h"
#include "core/TrueFalseWords.h"

#include "DuArgumentNames.h"
#include "RegistryValueReader.h"

VERRAND_ACTION(GetProductOSDefaultInstallLocation)
{
    const std::wstring folderName = *context->GetArg(DuArgumentNames::InstallFolderName);
    const std::wstring perUserInstall = *context->GetArg(DuArgumentNames::PerUserInstall);
    const std::wstring propertyName = *context->GetArg(DuArgumentNames::PropertyName);
    const std::wstring use64BitLocation = *context->GetArg(DuArgumentNames::Use64BitLocation);

    std::wstring location;
    if (IsTrueWord(use64BitLocation)) {
        std::wstring error;
        if (!ReadValueFromRegistry(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir", location,
                                   error)) {
            location.clear();
            context->Log(LogLevelError, error);
        }
    } else {
        const int folder = perUserInstall == L"true" ? CSIDL_APPDATA : CSIDL_PROGRAM_FILES;
        wchar_t path[MAX_PATH] = { 0 };
        if (FAILED(SHGetFolderPathW(0, folder, 0, SHGFP_TYPE_CURRENT, path))) {
            context->Log(LogLevelError, L"GetProductOSDefaultInstallLocation SHGetFolderPath() failed! ");
            return ActionFailed;
        }
        location = path;
    }
    location += L"\\" + folderName + L"\\";

    context->SetProperty(propertyName, location);
    return ActionDone;
}
