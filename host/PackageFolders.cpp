#include "PackageFolders.h"

#include <algorithm>
#include <map>
#include <set>

namespace {
// The root and the folder properties Windows Installer resolves itself.
const wchar_t* const StandardFolders[] = {
    L"TARGETDIR",           L"AdminToolsFolder",     L"AppDataFolder",     L"CommonAppDataFolder",
    L"CommonFiles64Folder", L"CommonFilesFolder",    L"DesktopFolder",     L"FavoritesFolder",
    L"FontsFolder",         L"LocalAppDataFolder",   L"MyPicturesFolder",  L"NetHoodFolder",
    L"PersonalFolder",      L"PrintHoodFolder",      L"ProgramFiles64Folder", L"ProgramFilesFolder",
    L"ProgramMenuFolder",   L"RecentFolder",         L"SendToFolder",      L"StartMenuFolder",
    L"StartupFolder",       L"System16Folder",       L"System64Folder",    L"SystemFolder",
    L"TempFolder",          L"TemplateFolder",       L"WindowsFolder",     L"WindowsVolume",
};

// The installed name in DefaultDir ("target:source", each "short|long").
std::wstring targetName(const std::wstring& defaultDir)
{
    const std::wstring target = defaultDir.substr(0, defaultDir.find(L':'));
    const std::wstring::size_type bar = target.find(L'|');
    return bar == std::wstring::npos ? target : target.substr(bar + 1);
}

typedef std::map<std::wstring, const DirectoryRow*> Directories;

// A folder's parent, or empty at a root (a row without a parent, or its
// own parent) and for a key the table does not have.
std::wstring parentOf(const Directories& directories, const std::wstring& directory)
{
    const Directories::const_iterator found = directories.find(directory);
    if (found == directories.end() || found->second->parent == directory)
        return std::wstring();
    return found->second->parent;
}

// How many folders lie above it (a loop in a broken table ends the count).
size_t depthOf(const Directories& directories, const std::wstring& directory)
{
    std::set<std::wstring> seen;
    for (std::wstring at = parentOf(directories, directory); !at.empty() && seen.insert(at).second;
         at = parentOf(directories, at)) {
    }
    return seen.size();
}
}

bool IsStandardFolder(const std::wstring& directory)
{
    return std::find(std::begin(StandardFolders), std::end(StandardFolders), directory) != std::end(StandardFolders);
}

std::vector<ComponentFolder> FolderRemovalRows(const FolderTables& tables)
{
    Directories directories;
    for (const DirectoryRow& row : tables.directories)
        directories[row.directory] = &row;
    std::vector<ComponentFolder> components = tables.components;
    std::sort(components.begin(), components.end(),
              [](const ComponentFolder& a, const ComponentFolder& b) { return a.component < b.component; });
    std::map<std::wstring, std::wstring> ownComponent;
    for (const ComponentFolder& component : components)
        ownComponent.insert(std::make_pair(component.directory, component.component));

    // Each folder that holds a component or lies above one, with the
    // component its row belongs to.
    std::map<std::wstring, std::wstring> folders;
    for (const ComponentFolder& component : components) {
        std::set<std::wstring> seen;
        for (std::wstring at = component.directory; !at.empty() && !IsStandardFolder(at) && seen.insert(at).second;
             at = parentOf(directories, at)) {
            const Directories::const_iterator row = directories.find(at);
            if (row == directories.end() || parentOf(directories, at).empty())
                break;
            if (targetName(row->second->defaultDir) == L".")
                continue;
            const std::map<std::wstring, std::wstring>::const_iterator own = ownComponent.find(at);
            folders.insert(std::make_pair(at, own != ownComponent.end() ? own->second : component.component));
        }
    }

    std::set<std::wstring> listed;
    for (const ComponentFolder& row : tables.createFolders)
        listed.insert(row.directory);
    std::vector<std::pair<size_t, std::wstring>> order;
    for (const auto& folder : folders)
        if (!listed.count(folder.first))
            order.push_back(std::make_pair(depthOf(directories, folder.first), folder.first));
    std::sort(order.begin(), order.end(), [](const std::pair<size_t, std::wstring>& a,
                                             const std::pair<size_t, std::wstring>& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });

    std::vector<ComponentFolder> rows;
    for (const auto& folder : order)
        rows.push_back(ComponentFolder{ folders.at(folder.second), folder.second });
    return rows;
}
