// The wide file, path and tokenizer wrappers, on the real file system.
#include <gtest/gtest.h>

#include <Poco/Exception.h>

#include "PocoWrapper/File.h"
#include "PocoWrapper/Path.h"
#include "PocoWrapper/String.h"
#include "PocoWrapper/StringTokenizer.h"
#include "support/InstallLogRecorder.h"
#include "support/TestFiles.h"

using PocoWrapper::fromExtendedLengthPath;
using PocoWrapper::toExtendedLengthPath;

namespace {
std::wstring extended(const std::wstring& path)
{
    return L"\\\\?\\" + path;
}
}

TEST(ExtendedLengthPath, DriveNetworkRelativeAndExtendedPaths)
{
    EXPECT_EQ("\\\\?\\C:\\a\\b", toExtendedLengthPath(L"C:\\a\\b"));
    EXPECT_EQ("\\\\?\\C:\\a\\b", toExtendedLengthPath(L"c:/a/b").replace(4, 1, "C"));
    EXPECT_EQ("\\\\?\\UNC\\srv\\share\\x", toExtendedLengthPath(L"\\\\srv\\share\\x"));
    EXPECT_EQ("a\\b", toExtendedLengthPath(L"a\\b"));
    EXPECT_EQ("\\\\?\\C:\\a\\b", toExtendedLengthPath(L"\\\\?\\C:\\a\\b"));
    EXPECT_EQ("\\\\?\\UNC\\srv\\share\\x", toExtendedLengthPath(L"\\\\?\\UNC\\srv\\share\\x"));
    // Rooted on the current drive: no volume to name, so it stays usable as it is.
    EXPECT_EQ("\\a\\b", toExtendedLengthPath(L"\\a\\b"));
    // Text beyond ASCII survives the UTF-8 parse.
    EXPECT_EQ(PocoWrapper::toUtf8(L"\\\\?\\C:\\\u00e9t\u00e9\\\u6587"), toExtendedLengthPath(L"C:\\\u00e9t\u00e9\\\u6587"));
}

TEST(ExtendedLengthPath, InverseGivesThePlainForm)
{
    EXPECT_EQ("C:\\a\\b", fromExtendedLengthPath("\\\\?\\C:\\a\\b"));
    EXPECT_EQ("\\\\srv\\share\\x", fromExtendedLengthPath("\\\\?\\UNC\\srv\\share\\x"));
    EXPECT_EQ("C:\\a\\b", fromExtendedLengthPath("C:\\a\\b"));
    EXPECT_EQ("\\\\srv\\share\\x", fromExtendedLengthPath("\\\\srv\\share\\x"));
    EXPECT_EQ("a\\b", fromExtendedLengthPath("a\\b"));
    for (const wchar_t* path : { L"C:\\x\\y.txt", L"\\\\host\\share\\dir\\f" })
        EXPECT_EQ(PocoWrapper::toUtf8(path), fromExtendedLengthPath(toExtendedLengthPath(path)));
}

TEST(PocoWrapperFile, KeepsItsPathInTheExtendedForm)
{
    EXPECT_EQ("\\\\?\\C:\\a\\b", PocoWrapper::File(L"C:\\a\\b").path());
    EXPECT_EQ("\\\\?\\UNC\\srv\\share\\x", PocoWrapper::File(Poco::Path("\\\\srv\\share\\x")).path());
}

TEST(PocoWrapperFile, FileUnderAVeryLongPathIsCreatedCopiedMovedAndRemoved)
{
    ScopedTempDir temp;
    const std::wstring segment(60, L'd');
    std::wstring deep = temp.path();
    for (int i = 0; i < 5; ++i)
        deep += L"\\" + segment + std::to_wstring(i);
    const std::wstring other = deep + L"\\" + segment + L"\u00e9";
    ASSERT_GT(deep.size(), 300u);

    PocoWrapper::File folder(deep);
    ASSERT_TRUE(folder.createDirectories());
    EXPECT_TRUE(PathExists(extended(deep)));

    const std::wstring source = deep + L"\\data.txt";
    PocoWrapper::File file(source);
    ASSERT_TRUE(file.createFile());
    WriteBytes(extended(source), "long path content");
    EXPECT_TRUE(file.isFile());
    EXPECT_FALSE(folder.isFile());

    file.copyTo(deep + L"\\copy.txt");
    EXPECT_EQ("long path content", ReadBytes(extended(deep + L"\\copy.txt")));

    ASSERT_TRUE(PocoWrapper::File(other).createDirectories());
    file.moveTo(other + L"\\moved.txt");
    EXPECT_FALSE(PathExists(extended(source)));
    EXPECT_EQ("long path content", ReadBytes(extended(other + L"\\moved.txt")));
    EXPECT_EQ(toExtendedLengthPath(other + L"\\moved.txt"), file.path());

    file.remove();
    EXPECT_FALSE(PathExists(extended(other + L"\\moved.txt")));
    PocoWrapper::File(temp.file(segment + L"0")).remove(true);
    EXPECT_FALSE(PathExists(extended(deep)));
}

TEST(PocoWrapperFile, CreateDirectoriesOnAnExistingFolderIsTrueAndQuiet)
{
    ScopedTempDir temp;
    InstallLogRecorder log;
    EXPECT_TRUE(PocoWrapper::File(temp.path()).createDirectories());
    EXPECT_TRUE(PocoWrapper::File(temp.file(L"a\\b\\c")).createDirectories());
    EXPECT_TRUE(PathExists(temp.file(L"a\\b\\c")));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(PocoWrapperFile, CreateDirectoriesFailureIsLoggedAndFalse)
{
    ScopedTempDir temp;
    WriteBytes(temp.file(L"plain.txt"), "x");
    InstallLogRecorder log;
    EXPECT_FALSE(PocoWrapper::File(temp.file(L"plain.txt\\sub")).createDirectories());
    const std::vector<std::string> texts = log.Texts();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ("Error: Poco exception caught in File::createDirectories", texts[0]);
    EXPECT_EQ(0u, texts[1].find("Error: Class name:   "));
    EXPECT_EQ(0u, texts[2].find("Error: Display text: "));
}

TEST(PocoWrapperFile, IsFileOnAMissingPathIsFalseAndQuiet)
{
    ScopedTempDir temp;
    InstallLogRecorder log;
    EXPECT_FALSE(PocoWrapper::File(temp.file(L"missing.txt")).isFile());
    EXPECT_TRUE(log.Lines().empty());
}

TEST(PocoWrapperFile, IsFileOnAnUnusablePathIsFalseAndLogged)
{
    ScopedTempDir temp;
    InstallLogRecorder log;
    EXPECT_FALSE(PocoWrapper::File(temp.file(L"bad<name>.txt")).isFile());
    const std::vector<std::string> texts = log.Texts();
    ASSERT_EQ(3u, texts.size());
    EXPECT_EQ("Error: Poco exception caught in File::isFile", texts[0]);
    EXPECT_EQ(0u, texts[1].find("Error: Class name:   "));
    EXPECT_EQ(0u, texts[2].find("Error: Display text: "));
}

TEST(PocoWrapperFile, CopyOfAMissingFileLetsPocosExceptionThrough)
{
    ScopedTempDir temp;
    PocoWrapper::File missing(temp.file(L"missing.txt"));
    EXPECT_THROW(missing.copyTo(temp.file(L"copy.txt")), Poco::FileNotFoundException);
}

TEST(PocoWrapperPath, WideFrontEnd)
{
    PocoWrapper::Path path(L"C:\\Program Files\\\u00c9diteur\\bin\\");
    EXPECT_EQ(L"C:\\Program Files\\\u00c9diteur\\bin\\", path.toString());
    EXPECT_EQ(L"C:\\Program Files\\\u00c9diteur\\bin", path.makeFile().toString());
    EXPECT_EQ(L"/C:/Program Files/\u00c9diteur/bin", path.toString(Poco::Path::PATH_UNIX));
}

TEST(PocoWrapperStringTokenizer, WideTokensWithPocoOptions)
{
    PocoWrapper::StringTokenizer tokens(L" \u00e4 ; b;;\U0001F600 ", L";",
                                        Poco::StringTokenizer::TOK_TRIM | Poco::StringTokenizer::TOK_IGNORE_EMPTY);
    ASSERT_EQ(3u, tokens.count());
    EXPECT_EQ(L"\u00e4", tokens[0]);
    EXPECT_EQ(L"b", tokens[1]);
    EXPECT_EQ(L"\U0001F600", tokens[2]);
    EXPECT_THROW(tokens[3], Poco::RangeException);
}
