#include "ShellFolders.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "FileIdentity.h"
#include "PathRules.h"

namespace {
void addFolder(std::vector<std::wstring>& folders, const std::wstring& folder)
{
    if (!folder.empty())
        folders.push_back(folder);
}

void addKnownFolder(std::vector<std::wstring>& folders, REFKNOWNFOLDERID id)
{
    PWSTR path = 0;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, 0, &path)))
        addFolder(folders, path);
    CoTaskMemFree(path);
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
    // The profile roots that have no CSIDL.
    addKnownFolder(folders, FOLDERID_UserProfiles);
    addKnownFolder(folders, FOLDERID_Public);
    addKnownFolder(folders, FOLDERID_ProgramData);
    return folders;
}

bool IsShellFolder(const std::wstring& folder, const std::vector<std::wstring>& shellFolders)
{
    const std::wstring plain = WithoutExtendedPrefix(folder);
    // The same folder under another spelling (a short name, another drive
    // that maps it, a link) is the same shell folder. Its identity is read
    // once, and each shell folder is asked whether it is that object.
    FileIdentity identity;
    DWORD error = 0;
    const bool exists = ReadFileIdentity(plain, identity, error);
    for (const std::wstring& shellFolder : shellFolders) {
        if (SamePath(plain, shellFolder) || (exists && OpensObject(shellFolder, identity)))
            return true;
    }
    return false;
}
