#pragma once
// A snapshot of everything an action could touch: folder trees (each
// file's bytes, attributes and access rules), registry keys in a view (each
// value's type and data, every subkey) and machine environment variables.
// Two snapshots compare equal when a rollback gave back exactly what was
// there; a difference shows as the entries that differ.
#include <map>
#include <string>
#include <vector>

#include <windows.h>

struct SnapshotKey {
    HKEY root;
    std::wstring path;
    REGSAM view;  // 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY
};

struct SnapshotPlaces {
    std::vector<std::wstring> folders;
    std::vector<SnapshotKey> keys;
    std::vector<std::wstring> machineVariables;
    std::vector<std::wstring> products;  // product codes: installed or not
};

// One entry per object that is there ("file C:\a\b.ini", "key HKLM\...",
// "variable PATH"), with what it holds.
typedef std::map<std::string, std::string> Snapshot;
Snapshot TakeSnapshot(const SnapshotPlaces& places);

// A file as a user keeps it: non-ASCII bytes with CR LF, a NUL and an 0xFF,
// hidden, with access rules that allow the current user alone (a 0600 file
// under Wine). Its folder is made when missing (not its parents).
void WriteUsersOwnFile(const std::wstring& path);
