// LMRXTextReplace through the real export when the system refuses part of
// the edit: the edited file keeps its bytes and no temporary file stays.
// (A target held open by another handle or marked read-only is covered with
// the action's own tests.)
#include <gtest/gtest.h>

#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

#include "UnixSide.h"

namespace {
class TextReplaceFaultTest : public ::testing::Test {
protected:
    int replace(const std::wstring& file, const std::wstring& search, const std::wstring& replacement)
    {
        context = RecordingContext::Create();
        context->arguments[L"File"] = file;
        context->arguments[L"SearchWord"] = search;
        context->arguments[L"ReplaceWord"] = replacement;
        context->arguments[L"Attributes"] = L"0";
        return CallAction("LMRXTextReplace", context);
    }

    // The edit was given up with its error line, last.
    void expectAborted(const std::wstring& file)
    {
        ASSERT_FALSE(context->lines.empty());
        EXPECT_EQ(4, context->lines.back().level);
        EXPECT_EQ(L"ReplaceFileVariables: error reading from '" + file + L"' writing to '" + file +
                      L".tmp', aborting..",
                  context->lines.back().text);
        EXPECT_EQ(1u, context->Texts(4).size());
    }

    ScopedTempDir dir;
    RecordingContextPtr context;
};

const std::string kSettings = "<install>INSTALLDIR</install>\r\n<data>INSTALLDIR\\data</data>\r\n";
}

TEST_F(TextReplaceFaultTest, FolderThatDeniesNewFilesKeepsTheOriginal)
{
    const std::wstring file = dir.file(L"settings.xml");
    WriteBytes(file, kSettings);
    {
        CreationDeniedFolder denied(dir.path());
        if (!denied.inForce())
            GTEST_SKIP() << denied.reason();
        EXPECT_EQ(1, replace(file, L"INSTALLDIR", L"C:\\Program Files\\App"));
    }
    EXPECT_EQ(kSettings, ReadBytes(file));
    EXPECT_FALSE(PathExists(file + L".tmp"));
    EXPECT_EQ(L"Output File will be UTF-8 Encoded", context->lines.at(0).text);
    expectAborted(file);
}

TEST_F(TextReplaceFaultTest, TemporaryNameTooLongForAnyFolderKeepsTheOriginal)
{
    // 255 characters is the longest name a file system takes; the edited
    // file has 252, its temporary file would need 256.
    const std::wstring file = dir.file(std::wstring(248, L'n') + L".ini");
    WriteBytes(file, kSettings);
    ASSERT_EQ(kSettings, ReadBytes(file));
    EXPECT_EQ(1, replace(file, L"INSTALLDIR", L"C:\\App"));
    EXPECT_EQ(kSettings, ReadBytes(file));
    EXPECT_FALSE(PathExists(file + L".tmp"));
    expectAborted(file);
}

TEST_F(TextReplaceFaultTest, VolumeFillingUpHalfWayKeepsTheOriginalAndFreesTheSpace)
{
    const std::wstring volume = dir.file(L"volume");
    ASSERT_TRUE(CreateDirectoryW(volume.c_str(), 0));
    SmallVolume small(volume, 64);
    if (!small.inForce())
        GTEST_SKIP() << small.reason();
    // 40 KB that grow to 85 KB: the first 24 KB of the new text fit beside
    // the original, the rest does not.
    const std::wstring file = volume + L"\\paths.cfg";
    std::string original;
    for (int i = 0; i < 2500; ++i)
        original += "root=INSTALLDIR;\n";
    WriteBytes(file, original);

    EXPECT_EQ(1, replace(file, L"INSTALLDIR", L"C:\\Program Files\\Verrand\\App"));
    EXPECT_EQ(original, ReadBytes(file));
    EXPECT_FALSE(PathExists(file + L".tmp"));
    expectAborted(file);
    // Lines were replaced (and logged) before the volume filled up.
    EXPECT_GT(context->Texts(2).size(), 1u);

    // With the space back, the same edit goes through.
    WriteBytes(file, "root=INSTALLDIR;\n");
    EXPECT_EQ(0, replace(file, L"INSTALLDIR", L"C:\\App"));
    EXPECT_EQ("root=C:\\App;\n", ReadBytes(file));
}

namespace {
// The file's DACL as stored.
std::string daclOf(const std::wstring& path)
{
    DWORD needed = 0;
    GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, 0, 0, &needed);
    std::string descriptor(needed, '\0');
    if (needed == 0 ||
        !GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor[0], needed, &needed))
        return std::string();
    return descriptor;
}
}

// The edited file is a new file put in the old one's place: it takes the
// old one's security, attributes and place behind a link.
TEST_F(TextReplaceFaultTest, ReplacementKeepsSecurityAttributesAndLinks)
{
    const std::wstring file = dir.file(L"private.ini");
    WriteBytes(file, kSettings);
    // A file only its owner may read (what a 0600 file is under Wine).
    if (RunningUnderWine()) {
        ASSERT_EQ(0, RunUnixScript("chmod 600 " + QuotedUnixPath(file)));
    }
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    const std::string dacl = daclOf(file);

    EXPECT_EQ(0, replace(file, L"INSTALLDIR", L"C:\\App"));
    EXPECT_EQ("<install>C:\\App</install>\n<data>C:\\App\\data</data>\n", ReadBytes(file));
    EXPECT_FALSE(PathExists(file + L".tmp"));
    const DWORD attributes = GetFileAttributesW(file.c_str());
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN), attributes & FILE_ATTRIBUTE_HIDDEN);
    // Wine keeps a DACL as Unix mode bits, lossily (0600 comes back as
    // 0770): others still may not read the file. Windows keeps it as it is.
    if (RunningUnderWine())
        EXPECT_EQ(0, RunUnixScript("[ $(( $(stat -c %a " + QuotedUnixPath(file) + ") % 10 )) -eq 0 ]"))
            << "others may read the edited file";
    else
        EXPECT_EQ(dacl, daclOf(file));

    // A link is edited at its target, in the target's folder, and stays a
    // link. Links are made on the Unix side (Wine's mklink makes none).
    if (!RunningUnderWine())
        GTEST_SKIP() << "links are made as Unix symbolic links, under Wine only";
    ASSERT_TRUE(CreateDirectoryW(dir.file(L"real").c_str(), 0));
    const std::wstring target = dir.file(L"real\\settings.ini"), link = dir.file(L"settings.ini");
    WriteBytes(target, kSettings);
    ASSERT_EQ(0, RunUnixScript("ln -s real/settings.ini " + QuotedUnixPath(link)));
    EXPECT_EQ(0, replace(link, L"INSTALLDIR", L"C:\\App"));
    EXPECT_EQ("<install>C:\\App</install>\n<data>C:\\App\\data</data>\n", ReadBytes(target));
    EXPECT_EQ(0, RunUnixScript("test -L " + QuotedUnixPath(link))) << "the link became a file";
    EXPECT_FALSE(PathExists(link + L".tmp"));
    EXPECT_FALSE(PathExists(target + L".tmp"));
}
