// Which CreateFolder rows `verrand-host msi` adds so that removal takes the
// package's folders away: every folder that holds a component and those
// above it up to a standard folder, each once, unless the package lists it
// already.
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

// "Directory_ Component_" of each row, in their order.
std::vector<std::wstring> added(const FolderTables& tables)
{
    std::vector<std::wstring> rows;
    for (const ComponentFolder& row : FolderRemovalRows(tables))
        rows.push_back(row.directory + L" " + row.component);
    return rows;
}
}

TEST(PackageFolders, EachFolderUpToTheStandardOnesIsListedOnce)
{
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
          { L"UserConfigDir Settings", L"INSTALLDIR Settings" } },
        { "a folder the package lists already (for any component) gets no second row",
          { withRoot({ { L"INSTALLDIR", L"ProgramFilesFolder", L"Notes" }, { L"BinDir", L"INSTALLDIR", L"bin" },
                       { L"ConfigDir", L"INSTALLDIR", L"config" } }),
            { { L"Program", L"BinDir" }, { L"Leftovers", L"INSTALLDIR" }, { L"Configuration", L"ConfigDir" } },
            { { L"Leftovers", L"INSTALLDIR" }, { L"Other", L"ConfigDir" } } },
          { L"BinDir Program" } },
        { "components in a standard folder or the root: nothing of theirs is listed",
          { withRoot({}), { { L"Shortcut", L"ProgramMenuFolder" }, { L"Root", L"TARGETDIR" } }, {} },
          {} },
        { "a folder's own component, else the first by key below it; \".\" is its parent's folder",
          { withRoot({ { L"Vendor", L"ProgramFilesFolder", L"Vendor" }, { L"Same", L"Vendor", L"." },
                       { L"A", L"Same", L"a" }, { L"B", L"Vendor", L"b" }, { L"INSTALLDIR", L"Vendor", L"Product" },
                       { L"Sub", L"INSTALLDIR", L"sub" } }),
            { { L"Zeta", L"A" }, { L"Beta", L"B" }, { L"Zz", L"INSTALLDIR" }, { L"Aa", L"Sub" } },
            {} },
          { L"A Zeta", L"Sub Aa", L"B Beta", L"INSTALLDIR Zz", L"Vendor Aa" } },
        { "a broken table (a loop, a folder it lacks) ends the walk",
          { { { L"A", L"B", L"a" }, { L"B", L"A", L"b" } }, { { L"InLoop", L"A" }, { L"Lost", L"Missing" } }, {} },
          { L"A InLoop", L"B InLoop" } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(row.rows, added(row.tables));
    }
}
