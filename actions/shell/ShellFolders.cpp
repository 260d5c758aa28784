#include "ShellFolders.h"

#include <windows.h>

#include <shlobj.h>
#include <userenv.h>

#include "core/PathRules.h"

namespace {
typedef BOOL(WINAPI* ProfileFolderFunction)(LPWSTR, LPDWORD);

void addFolder(std::vector<std::wstring>& folders, const std::wstring& folder)
{
    if (!folder.empty())
        folders.push_back(folder);
}

void addProfileFolder(std::vector<std::wstring>& folders, ProfileFolderFunction function)
{
    wchar_t path[MAX_PATH];
    DWORD size = MAX_PATH;
    if (function(path, &size))
        addFolder(folders, path);
}

// The lowest and highest CSIDL of the standard folders.
const int kFirstFolderId = CSIDL_DESKTOP;
const int kLastFolderId = CSIDL_COMPUTERSNEARME;
}

std::vector<std::wstring> ShellFolders()
{
    std::vector<std::wstring> folders;
    for (int id = kFirstFolderId; id <= kLastFolderId; ++id) {
        wchar_t path[MAX_PATH];
        if (SHGetFolderPathW(0, id, 0, SHGFP_TYPE_CURRENT, path) == S_OK)
            addFolder(folders, path);
    }
    PWSTR publicFolder = 0;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Public, 0, 0, &publicFolder)))
        addFolder(folders, publicFolder);
    CoTaskMemFree(publicFolder);
    addProfileFolder(folders, GetProfilesDirectoryW);
    addProfileFolder(folders, GetDefaultUserProfileDirectoryW);
    addProfileFolder(folders, GetAllUsersProfileDirectoryW);
    return folders;
}

bool IsShellFolder(const std::wstring& folder, const std::vector<std::wstring>& shellFolders)
{
    const std::wstring plain = WithoutExtendedPrefix(folder);
    for (const std::wstring& shellFolder : shellFolders) {
        if (SamePath(plain, shellFolder))
            return true;
    }
    return false;
}
