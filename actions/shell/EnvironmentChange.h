#pragma once
// What ConfigureEnvironment changed in one machine environment value, kept
// in the action's invocation-data folder for RollbackConfigureEnvironment.
//
// The records of a variable are keyed by its name (as the registry compares
// names) and numbered: a second run adds a record and never replaces an
// earlier one, and the twin takes the newest and deletes it once used. An
// edit that changed nothing leaves no record.
#include <windows.h>

#include <string>

struct EnvironmentValue {
    bool exists;
    DWORD type; // REG_SZ or REG_EXPAND_SZ
    std::wstring text;
};

bool operator==(const EnvironmentValue& left, const EnvironmentValue& right);
inline bool operator!=(const EnvironmentValue& left, const EnvironmentValue& right) { return !(left == right); }

struct EnvironmentChange {
    std::wstring name;
    std::wstring added; // a prepend's text; empty for any other edit
    EnvironmentValue before;
    EnvironmentValue after;
};

// The record's bytes, and back; false for bytes that are no whole record.
std::string EncodeEnvironmentChange(const EnvironmentChange& change);
bool DecodeEnvironmentChange(const std::string& bytes, EnvironmentChange& change);

// The file of the variable's record number `number` (from 1) in the folder.
std::wstring EnvironmentChangePath(const std::wstring& folder, const std::wstring& name, unsigned number);

// Writes the record under the next free number, whole or not at all. False
// with the Win32 error when it cannot be written.
bool SaveEnvironmentChange(const std::wstring& folder, const EnvironmentChange& change, std::wstring& path,
                           DWORD& error);
// The path of the variable's newest record; false when there is none.
bool NewestEnvironmentChange(const std::wstring& folder, const std::wstring& name, std::wstring& path);
// Reads a record. False with the Win32 error, or with ERROR_INVALID_DATA for
// a file that holds no whole record of this variable.
bool LoadEnvironmentChange(const std::wstring& path, const std::wstring& name, EnvironmentChange& change,
                           DWORD& error);
