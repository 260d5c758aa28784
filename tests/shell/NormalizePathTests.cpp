// The canonical path form shared by the shortcut and folder actions.
#include <gtest/gtest.h>

#include "actions/shell/NormalizePath.h"

namespace {
std::wstring backslashForm(const std::wstring& path)
{
    return ToBackslashForm(NormalizePath(path));
}
}

TEST(NormalizePath, CollapsesSeparatorsAndKeepsEveryPieceAsGiven)
{
    EXPECT_EQ(L"C:\\Program Files\\App\\Tool.lnk", backslashForm(L"C:\\Program Files\\\\App\\Tool.lnk"));
    // Blanks belong to the names: " notes.lnk" is another file than
    // "notes.lnk" (a piece that ends in a blank is refused by the actions).
    EXPECT_EQ(L"C:\\sc\\sub\\ notes.lnk", backslashForm(L"C:\\sc\\sub\\ notes.lnk"));
    EXPECT_EQ(L"C:/My  Apps/ a b /\tdir\t", NormalizePath(L"C:\\My  Apps\\ a b \\\tdir\t"));
    EXPECT_EQ(L"a/ /b", NormalizePath(L"a\\ \\b"));
}

TEST(NormalizePath, ForwardAndMixedSlashesGiveTheSameForm)
{
    EXPECT_EQ(L"D:\\Menu\\x.lnk", backslashForm(L"D:/Menu/x.lnk"));
    EXPECT_EQ(L"D:/Menu/x.lnk", NormalizePath(L"D:/\\Menu//\\x.lnk"));
}

TEST(NormalizePath, LeadingSeparatorsStayTrailingOnesGo)
{
    EXPECT_EQ(L"\\\\srv\\share\\dir", backslashForm(L"\\\\srv\\share\\dir\\"));
    EXPECT_EQ(L"//srv/share/dir", NormalizePath(L"//srv/share/dir///"));
    EXPECT_EQ(L"/root", NormalizePath(L"/root"));
}

TEST(NormalizePath, TextWithoutPiecesComesBackWithForwardSlashes)
{
    EXPECT_EQ(L"", NormalizePath(L""));
    EXPECT_EQ(L"/", NormalizePath(L"\\"));
    EXPECT_EQ(L"///", NormalizePath(L"\\/\\"));
    EXPECT_EQ(L"\\\\\\", backslashForm(L"//\\"));
}
