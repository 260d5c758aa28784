// EnsureFolderExists and RefreshDesktopWindow through the real exports.
#include <gtest/gtest.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

namespace {
std::wstring forwardSlashes(std::wstring path)
{
    for (wchar_t& ch : path) {
        if (ch == L'\\')
            ch = L'/';
    }
    return path;
}

class EnsureFolderExistsTest : public ::testing::Test {
protected:
    int run(const std::wstring& folder)
    {
        context = RecordingContext::Create();
        context->arguments[L"FolderName"] = folder;
        return CallAction("EnsureFolderExists", context);
    }

    ScopedTempDir temp;
    RecordingContextPtr context;
};
}

TEST_F(EnsureFolderExistsTest, CreatesNestedFoldersAndLogsTheNormalisedPath)
{
    EXPECT_EQ(0, run(temp.path() + L"\\Data\\\\App\\Logs\\"));
    const std::vector<std::wstring> expected = { L"Creating folder: " + forwardSlashes(temp.path()) +
                                                 L"/Data/App/Logs" };
    EXPECT_EQ(expected, context->Texts(2));
    EXPECT_EQ(1u, context->lines.size());
    const DWORD attributes = GetFileAttributesW((temp.path() + L"\\Data\\App\\Logs").c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(EnsureFolderExistsTest, ExistingFolderOrFileIsDone)
{
    CreateDirectoryW(temp.file(L"There").c_str(), 0);
    WriteBytes(temp.file(L"There\\inside.txt"), "x");
    EXPECT_EQ(0, run(temp.file(L"There")));
    EXPECT_EQ(1u, context->lines.size());
    EXPECT_EQ("x", ReadBytes(temp.file(L"There\\inside.txt")));

    WriteBytes(temp.file(L"plain.txt"), "y");
    EXPECT_EQ(0, run(temp.file(L"plain.txt")));
    EXPECT_EQ(1u, context->lines.size());
    EXPECT_EQ("y", ReadBytes(temp.file(L"plain.txt")));
}

TEST_F(EnsureFolderExistsTest, FolderBelowAFileFails)
{
    WriteBytes(temp.file(L"plain.txt"), "y");
    const std::wstring normalised = forwardSlashes(temp.path()) + L"/plain.txt/sub";
    EXPECT_EQ(1, run(temp.path() + L"\\plain.txt\\sub\\"));
    const std::vector<std::wstring> expected = { L"Creating folder: " + normalised,
                                                 L"Couldn't create folder: " + normalised };
    EXPECT_EQ(expected, context->Texts());
    EXPECT_EQ(4, context->lines[1].level);
}

TEST_F(EnsureFolderExistsTest, DriveRootsAreFoldersThatExistOrMissingDrives)
{
    // The test prefix maps C: and Z:, never Q:.
    struct Row {
        const wchar_t* folder;
        int status;
        const wchar_t* shown;
    };
    const Row rows[] = { { L"C:\\", 0, L"C:" }, { L"C:", 0, L"C:" }, { L"c:/", 0, L"c:" }, { L"Q:\\", 1, L"Q:" } };
    for (const Row& row : rows) {
        EXPECT_EQ(row.status, run(row.folder)) << Narrow(row.folder);
        std::vector<std::wstring> expected = { std::wstring(L"Creating folder: ") + row.shown };
        if (row.status != 0)
            expected.push_back(std::wstring(L"Couldn't create folder: ") + row.shown);
        EXPECT_EQ(expected, context->Texts()) << Narrow(row.folder);
    }
}

TEST_F(EnsureFolderExistsTest, PathsWindowsWouldReadDifferentlyAreRefusedAndNothingIsMade)
{
    for (const wchar_t* folder : { L"\\p\\e\\t1.", L"\\p\\..\\e", L"\\p\\CON\\t1", L"\\p\\aux.d", L"\\p\\\\CON\\" }) {
        EXPECT_EQ(1, run(temp.path() + folder)) << Narrow(folder);
        ASSERT_EQ(1u, context->lines.size()) << Narrow(folder);
        EXPECT_EQ(4, context->lines[0].level);
        // The refusal shows the path as it was given.
        EXPECT_EQ(0u, context->lines[0].text.find(L"Refusing FolderName \"" + temp.path() + folder + L"\": "))
            << Narrow(context->lines[0].text);
        EXPECT_FALSE(PathExists(temp.file(L"p"))) << Narrow(folder);
        EXPECT_FALSE(PathExists(temp.file(L"e"))) << Narrow(folder);
    }
    EXPECT_EQ(1, run(L""));
    EXPECT_EQ(std::vector<std::wstring>{ L"Refusing FolderName \"\": the path is empty" }, context->Texts(4));
}

TEST(RefreshDesktopWindow, LogsOneLineAndIsDone)
{
    RecordingContextPtr context = RecordingContext::Create();
    EXPECT_EQ(0, CallAction("RefreshDesktopWindow", context));
    ASSERT_EQ(1u, context->lines.size());
    EXPECT_EQ(2, context->lines[0].level);
    EXPECT_EQ(L"Running RefreshDesktopWindow", context->lines[0].text);
    EXPECT_TRUE(context->argumentsRead.empty());
}
