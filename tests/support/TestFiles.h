#pragma once
// Small file-system and registry helpers for tests that check real effects.
#include <map>
#include <string>
#include <vector>

#include <windows.h>

#include "core/RegistryValues.h"

// A fresh empty folder under the temporary folder, removed with its content
// when the object goes.
class ScopedTempDir {
public:
    ScopedTempDir();
    ~ScopedTempDir();
    const std::wstring& path() const { return m_path; }
    // path() + "\\" + name
    std::wstring file(const std::wstring& name) const;

private:
    ScopedTempDir(const ScopedTempDir&);
    std::wstring m_path;
};

void WriteBytes(const std::wstring& path, const std::string& bytes);
// The file's bytes; throws std::runtime_error when it cannot be read.
std::string ReadBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);
void RemoveTree(const std::wstring& path);
// Everything below a folder: each path relative to it, with a file's bytes
// or "<folder>" for a folder. Empty for a missing folder.
std::map<std::wstring, std::string> TreeContent(const std::wstring& folder);

// Registry helpers; view is 0, KEY_WOW64_64KEY or KEY_WOW64_32KEY.
void RegSetText(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value,
                REGSAM view = 0, DWORD type = REG_SZ);
void RegSetNumber(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value, REGSAM view = 0);
bool RegKeyExists(HKEY root, const std::wstring& key, REGSAM view = 0);
bool RegValueExists(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view = 0);
// The value's data as text (REG_SZ, REG_EXPAND_SZ; REG_MULTI_SZ joined with
// '|'; REG_DWORD in decimal) and its type.
std::wstring RegGetText(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view = 0,
                        DWORD* type = 0);
void RegRemoveTree(HKEY root, const std::wstring& key, REGSAM view = 0);
// Stores the value exactly (creating the key), or deletes it when absent.
void RegSetRaw(HKEY root, const std::wstring& key, const RegistryValue& value, REGSAM view = 0);
// Every value of the key, name to "<type> <bytes in hexadecimal>", so that
// two contents compare exactly and print readably; a missing key gives the
// one entry "<no key>".
std::map<std::wstring, std::string> RegKeyContent(HKEY root, const std::wstring& key, REGSAM view = 0);
// One value of each type the registry stores, each with data that only an
// exact copy keeps: NULs inside, no terminator, empty entries, odd lengths.
std::vector<RegistryValue> EveryRegistryType();
RegistryValue RawValue(const std::wstring& name, DWORD type, const std::string& data);

std::string Narrow(const std::wstring& text);

// True in a 32-bit process on 64-bit Windows. The product is 32-bit; what
// only such a process sees (registry views that differ, the redirected
// system folder) is skipped where the tests run as a 64-bit build, on a
// machine that cannot start 32-bit programs.
bool RunsUnderWow64();
#define SKIP_UNLESS_WOW64()                                                                 \
    if (!RunsUnderWow64())                                                                  \
    GTEST_SKIP() << "needs a 32-bit process under WOW64; this is a 64-bit build of the tests"
