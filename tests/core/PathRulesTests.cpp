// The path rules every action applies before it creates, replaces or
// deletes something.
#include <gtest/gtest.h>

#include "core/PathRules.h"
#include "support/TestFiles.h"

namespace {
struct PathCase {
    std::wstring path;
    PathProblem asPath;    // CheckPath
    PathProblem asName;    // CheckName
    PathProblem asTarget;  // CheckTarget
};
}

TEST(PathRules, EachPathGetsItsProblem)
{
    const PathProblem ok = PathAcceptable;
    const std::vector<PathCase> rows = {
        { L"C:\\Users\\me\\notes.ini", ok, ok, ok },
        { L"C:/Users/me/notes.ini", ok, ok, ok },
        { L"cfg\\notes.ini", ok, ok, ok },
        // Folder values often end in a separator, and doubled ones collapse.
        { L"C:\\Users\\me\\", ok, ok, ok },
        { L"C:\\a\\\\b", ok, ok, ok },
        { L"", PathEmpty, PathEmpty, PathEmpty },
        { L" \t", PathEmpty, PathEmpty, PathEmpty },
        { L"\\", ok, PathNoName, PathDriveRoot },
        { L"//", ok, PathNoName, PathDriveRoot },
        // Drive and share roots, also in the extended forms.
        { L"C:", ok, ok, PathDriveRoot },
        { L"c:\\", ok, ok, PathDriveRoot },
        { L"C:/", ok, ok, PathDriveRoot },
        { L"\\\\srv\\share\\", ok, ok, PathDriveRoot },
        { L"\\\\srv\\share\\dir", ok, ok, ok },
        { L"\\\\?\\C:\\", ok, ok, PathDriveRoot },
        { L"\\\\?\\C:\\dir", ok, ok, ok },
        { L"\\\\?\\UNC\\srv\\share", ok, ok, PathDriveRoot },
        { L"\\\\?\\UNC\\srv\\share\\dir", ok, ok, ok },
        // Windows drops a trailing dot or blank; "." and ".." name others.
        { L"C:\\p\\sub.", PathPieceEndsInDotOrBlank, PathPieceEndsInDotOrBlank, PathPieceEndsInDotOrBlank },
        { L"C:\\p\\sub \\x", PathPieceEndsInDotOrBlank, PathPieceEndsInDotOrBlank, PathPieceEndsInDotOrBlank },
        { L"C:\\p\\ \\x", PathPieceEndsInDotOrBlank, PathPieceEndsInDotOrBlank, PathPieceEndsInDotOrBlank },
        { L"C:\\p\\..", PathPieceEndsInDotOrBlank, PathPieceEndsInDotOrBlank, PathPieceEndsInDotOrBlank },
        { L".\\x", PathPieceEndsInDotOrBlank, PathPieceEndsInDotOrBlank, PathPieceEndsInDotOrBlank },
        { L"\\\\.\\C:\\x", PathPieceEndsInDotOrBlank, PathPieceEndsInDotOrBlank, PathPieceEndsInDotOrBlank },
        { L"C:\\p\\.hidden", ok, ok, ok },
        { L"C:\\p\\a.b\\c", ok, ok, ok },
        // Reserved device names, with an extension or in any case.
        { L"CON", PathReservedDeviceName, PathReservedDeviceName, PathReservedDeviceName },
        { L"C:\\p\\nul.txt", PathReservedDeviceName, PathReservedDeviceName, PathReservedDeviceName },
        { L"C:\\Com9\\x", PathReservedDeviceName, PathReservedDeviceName, PathReservedDeviceName },
        { L"C:\\p\\lpt1.tar.gz", PathReservedDeviceName, PathReservedDeviceName, PathReservedDeviceName },
        { L"C:\\p\\aux .txt", PathReservedDeviceName, PathReservedDeviceName, PathReservedDeviceName },
        { L"C:\\p\\COM\u00B2", PathReservedDeviceName, PathReservedDeviceName, PathReservedDeviceName },
        { L"C:\\p\\CONSOLE", ok, ok, ok },
        { L"C:\\p\\COM10", ok, ok, ok },
        { L"C:\\p\\COM0", ok, ok, ok },
        { L"C:\\p\\xcon", ok, ok, ok },
        { L"C:\\p\\LPT", ok, ok, ok },
    };
    for (const PathCase& row : rows) {
        EXPECT_EQ(row.asPath, CheckPath(row.path)) << Narrow(row.path);
        EXPECT_EQ(row.asName, CheckName(row.path)) << Narrow(row.path);
        EXPECT_EQ(row.asTarget, CheckTarget(row.path)) << Narrow(row.path);
    }
}

TEST(PathRules, ContainmentComparesWholePiecesIgnoringCase)
{
    struct Row {
        const wchar_t* path;
        const wchar_t* folder;
        bool inside;
    };
    const Row rows[] = {
        { L"C:\\a\\b\\c", L"C:\\a\\b", true },
        { L"C:\\a\\b", L"C:\\a\\b\\", true },
        { L"C:/A/B/c", L"c:\\a\\b", true },
        { L"C:\\a\\\u00C4rger\\x", L"C:\\a\\\u00E4rger", true },
        { L"C:\\a\\bc", L"C:\\a\\b", false },
        { L"C:\\a", L"C:\\a\\b", false },
        { L"D:\\a\\b", L"C:\\a", false },
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.inside, IsSameOrInside(row.path, row.folder)) << Narrow(row.path) << " in " << Narrow(row.folder);
}

TEST(PathRules, RefusalNamesTheArgumentTheValueAndTheReason)
{
    EXPECT_EQ(L"Refusing DestDirName \"C:\\p\\sub.\": a path piece ends in a dot or a blank",
              PathRefusal(L"DestDirName", L"C:\\p\\sub.", PathPieceEndsInDotOrBlank));
    EXPECT_EQ(L"Refusing FileName \"\": the path is empty", PathRefusal(L"FileName", L"", PathEmpty));
}
