// Which RemoveFile rows `verrand-host msi` adds so that removal takes the
// package's folders away: every folder that holds a component and those
// above it up to a standard folder, each once, unless the package removes
// it already.
#include <gtest/gtest.h>

#include "host/PackageFolders.h"

namespace {
// The folders every payload starts from.
std::vector<DirectoryRow> withRoot(std::vector<DirectoryRow> rows)
{
    rows.insert(rows.begin(), { DirectoryRow{ L"TARGETDIR", L"", L"SourceDir" },
                                DirectoryRow{ L"ProgramFilesFolder", L"TARGETDIR", L"." },
                                DirectoryRow{ L"ProgramMenuFolder", L"TARGETDIR", L"." } });
    return rows;
}

// "FileKey Component_ DirProperty" of each row, in their order.
std::vector<std::wstring> added(const FolderTables& tables)
{
    std::vector<std::wstring> rows;
    for (const RemoveFileRow& row : FolderRemovalRows(tables)) {
        EXPECT_EQ(L"", row.fileName) << "a folder row";
        EXPECT_EQ(RemoveOnRemoval, row.installMode);
        rows.push_back(row.fileKey + L" " + row.component + L" " + row.dirProperty);
    }
    return rows;
}
}

TEST(PackageFolders, EachFolderUpToTheStandardOnesIsRemovedOnce)
{
    const std::wstring longKey(60, L'D');
    struct Row {
        const char* why;
        FolderTables tables;
        std::vector<std::wstring> rows;
    };
    const Row rows[] = {
        { "a wixl payload: the component's folder, then the install folder above it",
          { withRoot({ { L"INSTALLDIR", L"ProgramFilesFolder", L"Plan|Verrand Plan" },
                       { L"UserConfigDir", L"INSTALLDIR", L"userconf|userconfigfiles" } }),
            { { L"Settings", L"UserConfigDir" } },
            {} },
          { L"Verrand_Folder_UserConfigDir Settings UserConfigDir", L"Verrand_Folder_INSTALLDIR Settings INSTALLDIR" } },
        { "a folder the package removes on removal already (RemoveFolder, mode 2 or 3) gets no second row",
          { withRoot({ { L"INSTALLDIR", L"ProgramFilesFolder", L"Notes" }, { L"BinDir", L"INSTALLDIR", L"bin" },
                       { L"ConfigDir", L"INSTALLDIR", L"config" } }),
            { { L"Program", L"BinDir" }, { L"Leftovers", L"INSTALLDIR" }, { L"Configuration", L"ConfigDir" } },
            { { L"InstallFolder", L"Leftovers", L"", L"INSTALLDIR", 2 }, { L"Config", L"Configuration", L"", L"ConfigDir", 3 } } },
          { L"Verrand_Folder_BinDir Program BinDir" } },
        { "a file's row, or a folder's row on install only, removes no folder on removal",
          { withRoot({ { L"INSTALLDIR", L"ProgramFilesFolder", L"Notes" } }),
            { { L"Program", L"INSTALLDIR" } },
            { { L"LicenseFile", L"Program", L"license.txt", L"INSTALLDIR", 2 },
              { L"Fresh", L"Program", L"", L"INSTALLDIR", 1 } } },
          { L"Verrand_Folder_INSTALLDIR Program INSTALLDIR" } },
        { "components in a standard folder or the root: nothing of theirs is removed",
          { withRoot({}), { { L"Shortcut", L"ProgramMenuFolder" }, { L"Root", L"TARGETDIR" } }, {} },
          {} },
        { "a folder's own component, else the first by key below it; \".\" is its parent's folder",
          { withRoot({ { L"Vendor", L"ProgramFilesFolder", L"Vendor" }, { L"Same", L"Vendor", L"." },
                       { L"A", L"Same", L"a" }, { L"B", L"Vendor", L"b" }, { L"INSTALLDIR", L"Vendor", L"Product" },
                       { L"Sub", L"INSTALLDIR", L"sub" } }),
            { { L"Zeta", L"A" }, { L"Beta", L"B" }, { L"Zz", L"INSTALLDIR" }, { L"Aa", L"Sub" } },
            {} },
          { L"Verrand_Folder_A Zeta A", L"Verrand_Folder_Sub Aa Sub", L"Verrand_Folder_B Beta B",
            L"Verrand_Folder_INSTALLDIR Zz INSTALLDIR", L"Verrand_Folder_Vendor Aa Vendor" } },
        { "a key taken by the package, or one too long for a key, becomes a numbered one",
          { withRoot({ { L"INSTALLDIR", L"ProgramFilesFolder", L"Notes" }, { longKey, L"INSTALLDIR", L"deep" } }),
            { { L"Program", longKey } },
            { { L"Verrand_Folder_INSTALLDIR", L"Program", L"a.txt", L"INSTALLDIR", 2 },
              { L"Verrand_Folder1", L"Program", L"b.txt", L"INSTALLDIR", 2 } } },
          { L"Verrand_Folder2 Program " + longKey, L"Verrand_Folder3 Program INSTALLDIR" } },
        { "a broken table (a loop, a folder it lacks) ends the walk",
          { { { L"A", L"B", L"a" }, { L"B", L"A", L"b" } }, { { L"InLoop", L"A" }, { L"Lost", L"Missing" } }, {} },
          { L"Verrand_Folder_A InLoop A", L"Verrand_Folder_B InLoop B" } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(row.rows, added(row.tables));
    }
}
