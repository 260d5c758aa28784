#pragma once
// The folders a package installs into, and the RemoveFile rows that take
// them away on removal once they are empty. wixl writes a RemoveFile row
// only for a RemoveFolder element, so a payload's install folder (which
// holds no component of its own) stays behind after msiexec /x. Plain
// logic over the rows read from the package; PackageDatabase reads and
// writes them.
#include <string>
#include <vector>

// A row of the Directory table.
struct DirectoryRow {
    std::wstring directory;
    std::wstring parent; // empty for a root
    std::wstring defaultDir;
};

// The key and folder of a row of the Component table.
struct ComponentFolder {
    std::wstring component;
    std::wstring directory;
};

// A row of the RemoveFile table; an empty fileName (a null field) names
// the folder itself.
struct RemoveFileRow {
    std::wstring fileKey;
    std::wstring component;
    std::wstring fileName;
    std::wstring dirProperty;
    int installMode;
};

// What the installer's RemoveFile InstallMode bits mean.
const int RemoveOnInstall = 1;
const int RemoveOnRemoval = 2;

struct FolderTables {
    std::vector<DirectoryRow> directories;
    std::vector<ComponentFolder> components;
    std::vector<RemoveFileRow> removeFiles;
};

// Whether a Directory key is one of Windows Installer's own folders
// (TARGETDIR and the system folder properties such as ProgramFilesFolder),
// which a package never removes.
bool IsStandardFolder(const std::wstring& directory);

// One RemoveFile row (a null FileName, InstallMode 2: on removal) for each
// folder that holds a component and for each folder above it up to, not
// including, a standard folder or a root, unless the package already
// removes that folder on removal. A Directory row whose DefaultDir is "."
// is its parent's folder and gets no row of its own. Component_ is the
// folder's first component by key, or for a folder with none of its own
// the first by key of the components below it; FileKey is "Verrand_Folder_" and the
// Directory key, or, when that is taken or too long for a key,
// "Verrand_Folder" and a number. Rows of folders below come before their
// parents'.
std::vector<RemoveFileRow> FolderRemovalRows(const FolderTables& tables);
