// LMRXTextReplace with an invocation-data folder and its twin
// RollbackLMRXTextReplace, through the real exports on real files: the
// original itself is kept and comes back (bytes, attributes, security, the
// very file), a retried edit keeps the first original, and a file changed
// since the edit is left alone with its state.
#include <gtest/gtest.h>

#include <functional>

#include "core/FileIdentity.h"
#include "core/RollbackState.h"
#include "support/ActionLibrary.h"
#include "support/RecordingContext.h"
#include "support/TestFiles.h"

#include "../faults/UnixSide.h"

namespace {
// Non-ASCII bytes in UTF-8 and in no encoding at all, CR LF line ends the
// edit turns into line feeds.
const std::string kUserText = "path=INSTALLDIR\r\nname=J\xC3\xBCrgen \xE2\x82\xAC \xFF\xFE\r\nlast=INSTALLDIR";

class TextReplaceRollbackTest : public ::testing::Test {
protected:
    TextReplaceRollbackTest()
        : invocation(dir.file(L"invocation\\step-1")), file(dir.file(L"app.config")),
          state(invocation, L"edit", file)
    {
    }

    int call(const char* action, bool withState = true)
    {
        context = RecordingContext::Create();
        context->arguments[L"File"] = file;
        context->arguments[L"SearchWord"] = L"INSTALLDIR";
        context->arguments[L"ReplaceWord"] = L"C:\\Program Files\\App";
        context->arguments[L"Attributes"] = L"0";
        if (withState)
            context->properties[L"$action.invocationdata.dir"] = invocation;
        return CallAction(action, context);
    }
    int edit() { return call("LMRXTextReplace"); }
    int rollBack() { return call("RollbackLMRXTextReplace"); }

    FileIdentity identityOf(const std::wstring& path)
    {
        FileIdentity identity = {};
        DWORD error = 0;
        EXPECT_TRUE(ReadFileIdentity(path, identity, error)) << Narrow(path);
        return identity;
    }

    ScopedTempDir dir;
    const std::wstring invocation;
    const std::wstring file;
    const RollbackState state;
    RecordingContextPtr context;
};

// The file's DACL as stored.
std::string daclOf(const std::wstring& path)
{
    DWORD needed = 0;
    GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, 0, 0, &needed);
    std::string descriptor(needed, '\0');
    if (needed == 0 || !GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor[0], needed, &needed))
        return std::string();
    return descriptor;
}

std::string unixMode(const std::wstring& path)
{
    const std::wstring result = path + L".mode";
    RunUnixScript("stat -c %a " + QuotedUnixPath(path) + " > " + QuotedUnixPath(result));
    const std::string mode = ReadBytes(result);
    DeleteFileW(result.c_str());
    return mode;
}
}

TEST_F(TextReplaceRollbackTest, TwinPutsTheOriginalItselfBack)
{
    struct Case {
        const char* what;
        DWORD attributes;
        bool privateFile; // 0600 under Wine
    };
    const Case cases[] = {
        { "a plain file", FILE_ATTRIBUTE_ARCHIVE, false },
        // What a user's own settings file may be: hidden, readable by its
        // owner alone.
        { "a hidden 0600 file", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, true },
        { "a hidden system file", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(file, kUserText);
        if (c.privateFile && RunningUnderWine()) {
            ASSERT_EQ(0, RunUnixScript("chmod 600 " + QuotedUnixPath(file)));
        }
        ASSERT_TRUE(SetFileAttributesW(file.c_str(), c.attributes));
        const DWORD attributes = GetFileAttributesW(file.c_str());
        const FileIdentity original = identityOf(file);
        const std::string dacl = daclOf(file);
        const std::string mode = RunningUnderWine() ? unixMode(file) : std::string();

        ASSERT_EQ(0, edit());
        EXPECT_EQ("path=C:\\Program Files\\App\nname=J\xC3\xBCrgen \xE2\x82\xAC \xFF\xFE\nlast=C:\\Program Files\\App\n",
                  ReadBytes(file));
        EXPECT_TRUE(context->HasLine(L"Writing rollback signal: " + state.signalPath(), 2));
        // Kept by a rename: the very file, no copy.
        EXPECT_EQ(original, identityOf(state.kept(L"Original")));

        ASSERT_EQ(0, rollBack());
        EXPECT_TRUE(context->Texts(4).empty());
        EXPECT_EQ(kUserText, ReadBytes(file));
        EXPECT_EQ(original, identityOf(file));
        EXPECT_EQ(attributes, GetFileAttributesW(file.c_str()));
        EXPECT_EQ(c.attributes, attributes & c.attributes);
        EXPECT_EQ(dacl, daclOf(file));
        if (RunningUnderWine()) {
            EXPECT_EQ(mode, unixMode(file));
        }
        EXPECT_FALSE(PathExists(state.folder()));
        EXPECT_FALSE(PathExists(file + L".tmp"));
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(TextReplaceRollbackTest, RetriedEditKeepsTheFirstOriginal)
{
    WriteBytes(file, kUserText);
    const FileIdentity original = identityOf(file);
    ASSERT_EQ(0, edit());
    ASSERT_EQ(0, edit());
    EXPECT_TRUE(context->HasLine(L"Keeping the rollback state of an earlier run: " + state.folder(), 2));
    EXPECT_EQ(original, identityOf(state.kept(L"Original")));

    ASSERT_EQ(0, rollBack());
    EXPECT_EQ(kUserText, ReadBytes(file));
    EXPECT_FALSE(PathExists(state.folder()));
}

TEST_F(TextReplaceRollbackTest, FileChangedSinceTheEditIsLeftAlone)
{
    struct Case {
        const char* what;
        std::function<void(const std::wstring&)> change;
    };
    const Case cases[] = {
        { "appended to", [](const std::wstring& path) { WriteBytes(path, ReadBytes(path) + "user=1\n"); } },
        // Same size, same identity, and the write time set back: only the
        // bytes tell.
        { "rewritten in place, time set back",
          [](const std::wstring& path) {
              FILETIME written = {};
              HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, 0,
                                          OPEN_EXISTING, 0, 0);
              ASSERT_NE(INVALID_HANDLE_VALUE, handle);
              GetFileTime(handle, 0, 0, &written);
              DWORD done = 0;
              WriteFile(handle, "PATH", 4, &done, 0);
              SetFileTime(handle, 0, 0, &written);
              CloseHandle(handle);
          } },
        { "replaced by a file of the same bytes",
          [](const std::wstring& path) {
              const std::string bytes = ReadBytes(path);
              DeleteFileW(path.c_str());
              WriteBytes(path, bytes);
          } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(file, kUserText);
        ASSERT_EQ(0, edit());
        c.change(file);
        const std::string changed = ReadBytes(file);

        EXPECT_EQ(1, rollBack());
        EXPECT_EQ(std::vector<std::wstring>{ L"Refusing to roll back " + file +
                                             L": it changed since LMRXTextReplace wrote it; the original stays at " +
                                             state.kept(L"Original") },
                  context->Texts(4));
        EXPECT_EQ(changed, ReadBytes(file));
        EXPECT_EQ(kUserText, ReadBytes(state.kept(L"Original")));

        // A retried edit is refused too: the state keeps what the user had.
        EXPECT_EQ(1, edit());
        EXPECT_EQ(changed, ReadBytes(file));
        EXPECT_EQ(kUserText, ReadBytes(state.kept(L"Original")));
        RemoveTree(invocation);
    }
}

TEST_F(TextReplaceRollbackTest, NothingToRollbackWithoutAnEdit)
{
    // No file: the edit changes nothing and leaves no state.
    EXPECT_EQ(0, edit());
    EXPECT_FALSE(PathExists(state.folder()));
    EXPECT_EQ(0, rollBack());
    EXPECT_EQ(std::vector<std::wstring>{ L"Nothing to rollback" }, context->Texts());

    // An edit made without the folder keeps nothing either.
    WriteBytes(file, kUserText);
    EXPECT_EQ(0, call("LMRXTextReplace", false));
    EXPECT_FALSE(PathExists(invocation));
    EXPECT_EQ(0, rollBack());
    EXPECT_EQ(std::vector<std::wstring>{ L"Nothing to rollback" }, context->Texts());
    EXPECT_EQ("path=C:\\Program Files\\App\nname=J\xC3\xBCrgen \xE2\x82\xAC \xFF\xFE\nlast=C:\\Program Files\\App\n",
              ReadBytes(file));
}

TEST_F(TextReplaceRollbackTest, FileGoneSinceTheEditIsGivenBack)
{
    WriteBytes(file, kUserText);
    ASSERT_EQ(0, edit());
    ASSERT_TRUE(DeleteFileW(file.c_str()));
    EXPECT_EQ(0, rollBack());
    EXPECT_EQ(kUserText, ReadBytes(file));
    EXPECT_FALSE(PathExists(state.folder()));
}
