// The rollback state's signal read back as written, the names it is kept
// under, and the marks that tell a twin whether a file is still its own.
#include <gtest/gtest.h>

#include "core/RollbackState.h"
#include "support/TestFiles.h"

namespace {
RegistryValue absent(const std::wstring& name)
{
    RegistryValue v;
    v.name = name;
    return v;
}
}

TEST(RollbackStateTest, SignalComesBackExactlyAsWritten)
{
    ScopedTempDir dir;
    const std::wstring object = RegistryObjectName(KEY_WOW64_64KEY, L"HKEY_LOCAL_MACHINE", L"Software\\A%0A",
                                                   std::wstring(L"line\nbreak\r%", 13));
    const RollbackState state = RollbackState::ForRegistry(dir.path(), L"move", object);
    RollbackSignal signal;
    signal.object = object;
    signal.change = L"moved";
    signal.madeFolders = { L"C:\\made 100%", L"C:\\made 100%\\inner" };
    signal.madeKeys = { L"Software\\New" };
    signal.leftFile = true;
    signal.left.identity = FileIdentity{ 0xfffffffful, 7, 0x80000000ul };
    signal.left.digest = std::string(64, 'a');
    signal.before = {
        // Every kind of data, NULs and bytes that are no text included.
        RawValue(L"bin", REG_BINARY, std::string("\0\x01\xff\n\0", 5)),
        RawValue(L"multi", REG_MULTI_SZ, std::string("a\0\0\0b\0\0\0\0\0", 10)),
        RawValue(L"", REG_SZ, std::string()),
        RawValue(L"none", REG_NONE, std::string("\0", 1)),
        RawValue(L"q", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)),
        RawValue(L"odd type", 0x12345678, "x"),
        absent(L"gone"),
    };
    signal.after = { absent(L"bin"), RawValue(L"\u00c4 \u4e2d", REG_EXPAND_SZ, std::string("%\0", 2)) };
    DWORD error = 0;
    ASSERT_TRUE(state.write(signal, error)) << error;

    RollbackSignal read;
    ASSERT_TRUE(state.read(read));
    EXPECT_EQ(signal.object, read.object);
    EXPECT_EQ(signal.change, read.change);
    EXPECT_EQ(signal.madeFolders, read.madeFolders);
    EXPECT_EQ(signal.madeKeys, read.madeKeys);
    EXPECT_TRUE(read.leftFile);
    EXPECT_TRUE(signal.left == read.left);
    EXPECT_TRUE(signal.before == read.before);
    ASSERT_EQ(signal.before.size(), read.before.size());
    for (std::size_t i = 0; i < read.before.size(); ++i)
        EXPECT_EQ(signal.before[i].name, read.before[i].name) << i;
    EXPECT_TRUE(signal.after == read.after);
    EXPECT_EQ(signal.after[1].name, read.after[1].name);

    // Written again, the signal is replaced whole.
    RollbackSignal shorter;
    shorter.object = object;
    shorter.change = L"moved";
    ASSERT_TRUE(state.write(shorter, error));
    ASSERT_TRUE(state.read(read));
    EXPECT_FALSE(read.leftFile);
    EXPECT_TRUE(read.before.empty());
    EXPECT_TRUE(read.madeFolders.empty());
}

TEST(RollbackStateTest, RegistryObjectsAreKeptApartByViewKeyAndValue)
{
    ScopedTempDir dir;
    const std::wstring name = RegistryObjectName(KEY_WOW64_64KEY, L"HKEY_CURRENT_USER", L"Software\\\u00c4rger", L"V");
    const struct {
        std::wstring other;
        bool same;
    } rows[] = {
        // The registry takes these for the same key and value.
        { RegistryObjectName(KEY_WOW64_64KEY, L"HKEY_CURRENT_USER", L"SOFTWARE\\\u00e4RGER", L"v"), true },
        { RegistryObjectName(KEY_WOW64_64KEY, L"HKEY_CURRENT_USER", L"Software\\\u00c4rger\\", L"V"), true },
        // Another view, value, key or root is another object.
        { RegistryObjectName(KEY_WOW64_32KEY, L"HKEY_CURRENT_USER", L"Software\\\u00c4rger", L"V"), false },
        { RegistryObjectName(KEY_WOW64_64KEY, L"HKEY_CURRENT_USER", L"Software\\\u00c4rger", L"W"), false },
        { RegistryObjectName(KEY_WOW64_64KEY, L"HKEY_CURRENT_USER", L"Software\\\u00c4rger"), false },
        { RegistryObjectName(KEY_WOW64_64KEY, L"HKEY_LOCAL_MACHINE", L"Software\\\u00c4rger", L"V"), false },
        // A value name with a backslash is no deeper key.
        { RegistryObjectName(KEY_WOW64_64KEY, L"HKEY_CURRENT_USER", L"Software", L"\u00c4rger\\V"), false },
    };
    const RollbackState state = RollbackState::ForRegistry(dir.path(), L"delete", name);
    DWORD error = 0;
    RollbackSignal signal;
    signal.object = name;
    signal.change = L"deleted";
    ASSERT_TRUE(state.write(signal, error));
    for (const auto& row : rows) {
        const RollbackState other = RollbackState::ForRegistry(dir.path(), L"delete", row.other);
        RollbackSignal read;
        EXPECT_EQ(row.same, other.read(read)) << Narrow(row.other);
        EXPECT_EQ(row.same, other.folder() == state.folder()) << Narrow(row.other);
    }
    // The process's own view is the one a 32-bit process reaches without
    // asking (and the 64-bit one in a 64-bit process).
    EXPECT_EQ(RegistryObjectName(sizeof(void*) == 4 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY, L"HKLM", L"S"),
              RegistryObjectName(0, L"HKLM", L"S"));
}

TEST(RollbackStateTest, SignalThatIsNoWholeSignalIsNoneToActOn)
{
    ScopedTempDir dir;
    const RollbackState state(dir.path(), L"copy", dir.file(L"a.ini"));
    DWORD error = 0;
    RollbackSignal signal;
    signal.object = state.object();
    signal.change = L"created";
    ASSERT_TRUE(state.write(signal, error));
    const std::string written = ReadBytes(state.signalPath());
    for (const std::string& extra : { std::string("before 00 1 0\n"), std::string("after 41 - 0g\n"),
                                      std::string("left-file 1 2\n"), std::string("something else\n") }) {
        WriteBytes(state.signalPath(), written + extra);
        RollbackSignal read;
        EXPECT_FALSE(state.read(read)) << extra;
    }
}

TEST(RollbackStateTest, FileMarkChangesWithTheFileAndNotWithARename)
{
    ScopedTempDir dir;
    const std::wstring path = dir.file(L"a.ini");
    WriteBytes(path, std::string("left\0here", 9));
    FileMark mark;
    DWORD error = 0;
    ASSERT_TRUE(ReadFileMark(path, mark, error)) << error;
    EXPECT_EQ(64u, mark.digest.size());
    EXPECT_TRUE(IsMarkedFile(path, mark));

    // Moved away and back: the same file.
    ASSERT_TRUE(MoveFileW(path.c_str(), dir.file(L"aside").c_str()));
    EXPECT_FALSE(IsMarkedFile(path, mark));
    ASSERT_TRUE(MoveFileW(dir.file(L"aside").c_str(), path.c_str()));
    EXPECT_TRUE(IsMarkedFile(path, mark));

    // The same bytes in another file, or other bytes in the same file.
    ASSERT_TRUE(CopyFileW(path.c_str(), dir.file(L"copy").c_str(), TRUE));
    EXPECT_FALSE(IsMarkedFile(dir.file(L"copy"), mark));
    FileMark copyMark;
    ASSERT_TRUE(ReadFileMark(dir.file(L"copy"), copyMark, error));
    EXPECT_EQ(mark.digest, copyMark.digest);
    WriteBytes(path, std::string("left\0hera", 9));
    EXPECT_FALSE(IsMarkedFile(path, mark));

    // A folder is no marked file.
    CreateDirectoryW(dir.file(L"folder").c_str(), 0);
    EXPECT_FALSE(ReadFileMark(dir.file(L"folder"), mark, error));

    // The digest is SHA-256, taken piece by piece as a writer would.
    ContentDigest digest;
    digest.add("ab", 2);
    digest.add("c", 1);
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", digest.finish());
}

TEST(RegistryValuesTest, StringsWithoutTerminatorAreStoredAsTheyWere)
{
    const wchar_t* const key = L"Software\\VerrandRegistryValuesTest";
    RegRemoveTree(HKEY_CURRENT_USER, key);
    for (DWORD type : { REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ }) {
        // Zero bytes follow the data in memory, where the registry would
        // take them for a terminator.
        RegistryValue written = RawValue(L"v", type, std::string("d\0\0\0", 4));
        written.data.resize(2);
        RegSetRaw(HKEY_CURRENT_USER, key, written);
        EXPECT_EQ((std::map<std::wstring, std::string>{ { L"v", std::to_string(type) + " 6400" } }),
                  RegKeyContent(HKEY_CURRENT_USER, key))
            << type;
    }
    RegRemoveTree(HKEY_CURRENT_USER, key);
}
