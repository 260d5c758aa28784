// The canonical path form shared by the shortcut and folder actions.
#include <gtest/gtest.h>

#include "actions/shell/NormalizePath.h"

namespace {
std::wstring backslashForm(const std::wstring& path)
{
    return ToBackslashForm(NormalizePath(path));
}
}

TEST(NormalizePath, CollapsesSeparatorsAndTrimsBlanksAroundPieces)
{
    EXPECT_EQ(L"C:\\Program Files\\App\\Tool.lnk", backslashForm(L"C:\\Program Files\\\\App \\ Tool.lnk"));
    EXPECT_EQ(L"C:/Program Files/App/Tool.lnk", NormalizePath(L"C:\\Program Files\\\\App \\ Tool.lnk"));
    // Blanks inside a piece stay.
    EXPECT_EQ(L"C:/My  Apps/a b", NormalizePath(L"C:\\My  Apps\\ a b "));
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

TEST(NormalizePath, PieceOfBlanksBecomesEmptyButKeepsItsSeparators)
{
    EXPECT_EQ(L"a\\\\b", backslashForm(L"a\\ \\b"));
    EXPECT_EQ(L"a//b", NormalizePath(L"a/   /b"));
}

TEST(NormalizePath, OnlyBlanksAreTrimmedNotTabs)
{
    EXPECT_EQ(L"C:/\tdir\t/x", NormalizePath(L"C:\\ \tdir\t \\x"));
}

TEST(NormalizePath, TextWithoutPiecesComesBackWithForwardSlashes)
{
    EXPECT_EQ(L"", NormalizePath(L""));
    EXPECT_EQ(L"/", NormalizePath(L"\\"));
    EXPECT_EQ(L"///", NormalizePath(L"\\/\\"));
    EXPECT_EQ(L"\\\\\\", backslashForm(L"//\\"));
}
