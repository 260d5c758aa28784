#pragma once
// The folders a package installs into, and the CreateFolder rows that let
// the installer's RemoveFolders action take them away on removal once they
// are empty. A wixl payload leaves its install folder (which holds no
// component of its own) behind after msiexec /x under Wine, whose installer
// removes only each component's own folder. RemoveFile rows for the
// folders would not do: Wine handles them before it deletes the package's
// files, when a folder that holds them is not empty yet, while
// RemoveFolders runs after RemoveFiles. Plain logic over the rows read
// from the package; PackageDatabase reads and writes them.
#include <string>
#include <vector>

// A row of the Directory table.
struct DirectoryRow {
    std::wstring directory;
    std::wstring parent; // empty for a root
    std::wstring defaultDir;
};

// A component and a folder: the key and Directory_ of a Component row, or a
// row of the CreateFolder table.
struct ComponentFolder {
    std::wstring component;
    std::wstring directory;
};

struct FolderTables {
    std::vector<DirectoryRow> directories;
    std::vector<ComponentFolder> components;
    std::vector<ComponentFolder> createFolders;
};

// Whether a Directory key is one of Windows Installer's own folders
// (TARGETDIR and the system folder properties such as ProgramFilesFolder),
// which a package never removes.
bool IsStandardFolder(const std::wstring& directory);

// One CreateFolder row for each folder that holds a component and for each
// folder above it up to, not including, a standard folder or a root,
// unless the package has a CreateFolder row for that folder already. A
// Directory row whose DefaultDir is "." is its parent's folder and gets no
// row of its own. The component is the folder's first by key, or for a
// folder with none of its own the first by key of the components below it.
// Rows of folders below come before their parents'.
std::vector<ComponentFolder> FolderRemovalRows(const FolderTables& tables);
