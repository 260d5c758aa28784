#pragma once
// The state an action keeps for its rollback twin, one folder per object it
// protects, inside the invocation-data folder: "<kind>-<key>", the key made
// from the object's full path. Two files sharing one invocation-data folder
// (or one file reached by two spellings of its path) therefore never meet
// in one state.
//
// The folder holds the signal "DoRollback" and whatever the action kept
// (the replaced or removed object). The signal is written before the
// object is touched and names the object's full path, what the action did
// to it and the folders it created; a twin acts only on a signal that names
// its own object, and removes the whole folder once it has rolled back.
#include <string>
#include <vector>

#include <windows.h>

struct RollbackSignal {
    std::wstring object;                    // full path of the protected object
    std::wstring change;                    // what the action did to it (a word)
    std::vector<std::wstring> madeFolders;  // folders it created, outermost first
};

class RollbackState {
public:
    RollbackState(const std::wstring& invocationFolder, const std::wstring& kind, const std::wstring& object);

    const std::wstring& folder() const { return m_folder; }
    const std::wstring& object() const { return m_object; }
    std::wstring signalPath() const;
    // A file or folder kept in the state.
    std::wstring kept(const std::wstring& name) const;

    // Reads the signal; false when there is none or it names another object.
    bool read(RollbackSignal& signal) const;
    // True when a signal stands in the folder, whichever object it names.
    bool present() const;
    // Makes the folder (and the invocation-data folder) and writes the
    // signal completely under another name before it takes its own.
    bool write(const RollbackSignal& signal, DWORD& error) const;
    // Removes the folder and everything in it, links as links.
    bool discard(std::wstring& failedPath, DWORD& error) const;

private:
    std::wstring m_invocationFolder;
    std::wstring m_folder;
    std::wstring m_object;
};

// The key of a full path: 16 hexadecimal digits, the same for every case
// of the same text.
std::wstring StateKey(const std::wstring& fullPath);
