// SetWindowsSystemFolderProps: publishes the standard Windows folders under
// the folder property names installer packages use. Six folders come from the
// current user's profile for a per-user install and from the all-users
// profile for a per-machine one.
#include <vector>

#include <shlobj.h>

#include "core/Action.h"
#include "PocoWrapper/String.h"

#include "ShellArgumentNames.h"

namespace {
// Sources that are not a CSIDL.
const int kSystemFolderOfThisProcess = -1; // 32-bit system folder under WOW64, else CSIDL_SYSTEM
const int kTempPath = -2;

struct FolderProperty {
    const wchar_t* name;
    int perUser;
    int perMachine;
};

const FolderProperty kFolderProperties[] = {
    { L"AdminToolsFolder", CSIDL_ADMINTOOLS, CSIDL_COMMON_ADMINTOOLS },
    { L"AppDataFolder", CSIDL_APPDATA, CSIDL_APPDATA },
    { L"CommonAppDataFolder", CSIDL_COMMON_APPDATA, CSIDL_COMMON_APPDATA },
    { L"CommonFiles64Folder", CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMON },
    { L"CommonFilesFolder", CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMON },
    { L"DesktopFolder", CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY },
    { L"FavoritesFolder", CSIDL_FAVORITES, CSIDL_FAVORITES },
    { L"FontsFolder", CSIDL_FONTS, CSIDL_FONTS },
    { L"LocalAppDataFolder", CSIDL_LOCAL_APPDATA, CSIDL_LOCAL_APPDATA },
    { L"MyPicturesFolder", CSIDL_MYPICTURES, CSIDL_MYPICTURES },
    { L"NetHoodFolder", CSIDL_NETHOOD, CSIDL_NETHOOD },
    { L"PersonalFolder", CSIDL_PERSONAL, CSIDL_PERSONAL },
    { L"PrintHoodFolder", CSIDL_PRINTHOOD, CSIDL_PRINTHOOD },
    { L"ProgramFiles64Folder", CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILES },
    { L"ProgramFilesFolder", CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILES },
    { L"ProgramMenuFolder", CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS },
    { L"RecentFolder", CSIDL_RECENT, CSIDL_RECENT },
    { L"SendToFolder", CSIDL_SENDTO, CSIDL_SENDTO },
    { L"StartMenuFolder", CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU },
    { L"StartupFolder", CSIDL_STARTUP, CSIDL_COMMON_STARTUP },
    { L"System16Folder", CSIDL_SYSTEM, CSIDL_SYSTEM },
    { L"System64Folder", CSIDL_SYSTEM, CSIDL_SYSTEM },
    { L"SystemFolder", kSystemFolderOfThisProcess, kSystemFolderOfThisProcess },
    { L"TempFolder", kTempPath, kTempPath },
    { L"TemplateFolder", CSIDL_TEMPLATES, CSIDL_COMMON_TEMPLATES },
    { L"WindowsFolder", CSIDL_WINDOWS, CSIDL_WINDOWS },
    // The Windows folder itself, not the root of its volume.
    { L"WindowsVolume", CSIDL_WINDOWS, CSIDL_WINDOWS },
    { L"CommonAppData", CSIDL_COMMON_APPDATA, CSIDL_COMMON_APPDATA },
};

// The folder followed by one backslash; empty when it cannot be resolved.
std::wstring csidlFolder(int csidl)
{
    wchar_t path[MAX_PATH] = { 0 };
    if (SHGetFolderPathW(0, csidl, 0, SHGFP_TYPE_CURRENT, path) != S_OK || path[0] == L'\0')
        return std::wstring();
    return std::wstring(path) + L'\\';
}

// Under WOW64 the 32-bit system folder; on 32-bit Windows CSIDL_SYSTEM.
std::wstring systemFolder()
{
    std::vector<char> path(100, '\0');
    UINT length = GetSystemWow64DirectoryA(&path[0], static_cast<UINT>(path.size()));
    if (length >= path.size()) {
        // Too long for the usual buffer: the call told us the size it needs.
        path.assign(length + 1, '\0');
        length = GetSystemWow64DirectoryA(&path[0], static_cast<UINT>(path.size()));
    }
    if (length == 0 || length >= path.size())
        return csidlFolder(CSIDL_SYSTEM);
    return PocoWrapper::toWide(&path[0]) + L'\\';
}

// As the API returns it, which already ends with a backslash.
std::wstring tempFolder()
{
    wchar_t path[MAX_PATH] = { 0 };
    if (GetTempPathW(MAX_PATH, path) == 0)
        return std::wstring();
    return path;
}

std::wstring folderValue(int source)
{
    if (source == kSystemFolderOfThisProcess)
        return systemFolder();
    if (source == kTempPath)
        return tempFolder();
    return csidlFolder(source);
}

bool isPerUserWord(std::wstring value)
{
    for (wchar_t& ch : value) {
        if (ch >= L'a' && ch <= L'z')
            ch = static_cast<wchar_t>(ch - L'a' + L'A');
    }
    return value == L"TRUE";
}
}

VERRAND_ACTION(SetWindowsSystemFolderProps)
{
    try {
        const bool perUser = isPerUserWord(*context->GetArg(ShellArgumentNames::ArgPerUserInstall));
        context->Log(LogLevelInfo, perUser ? L"SetWindowsSystemFolderProps uses Per-User context."
                                           : L"SetWindowsSystemFolderProps uses Per-Machine context.");
        for (const FolderProperty& property : kFolderProperties)
            context->SetProperty(property.name, folderValue(perUser ? property.perUser : property.perMachine));
        return ActionDone;
    } catch (...) {
        context->Log(LogLevelError, L"SetWindowsSystemFolderProps crashed.");
        return ActionFailed;
    }
}
