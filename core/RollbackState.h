#pragma once
// The state an action keeps for its rollback twin, one folder per object it
// protects, inside the invocation-data folder: "<kind>-<key>", the key made
// from the object's name. Two objects sharing one invocation-data folder (or
// one object reached by two spellings of its name) therefore never meet in
// one state.
//
// A file's name is its full path, compared as the file system compares
// names; a registry object's name is its view, root, key path and value
// name (RegistryObjectName), compared as the registry compares names.
//
// The folder holds the signal "DoRollback" and whatever the action kept
// (the replaced or removed object). The signal is written before the
// object is touched and names the object, what the action did to it, what
// it created, what stood there before and what the action left there; a
// twin acts only on a signal that names its own object, restores only an
// object that is still what its action left, and removes the whole folder
// once it has rolled back.
#include <string>
#include <vector>

#include <windows.h>

#include "FileIdentity.h"
#include "RegistryValues.h"

// A file as an action left it: which file it is and what it holds. A file
// moved back by a rename keeps both; a file written anew, edited or put
// there by anyone else does not.
struct FileMark {
    FileIdentity identity = FileIdentity();
    std::string digest;  // SHA-256 of the bytes, in hexadecimal
};

bool operator==(const FileMark& left, const FileMark& right);

struct RollbackSignal {
    std::wstring object;                    // the protected object's name
    std::wstring change;                    // what the action did to it (a word)
    std::vector<std::wstring> madeFolders;  // folders it created, outermost first
    std::vector<std::wstring> madeKeys;     // registry keys it created, outermost first
    // The file the action left at the object, once it is there.
    bool leftFile = false;
    FileMark left;
    // Registry values as they were before the action and as it left them.
    std::vector<RegistryValue> before;
    std::vector<RegistryValue> after;
};

class RollbackState {
public:
    // The state of a file or folder at a path.
    RollbackState(const std::wstring& invocationFolder, const std::wstring& kind, const std::wstring& object);
    // The state of a registry object, named by RegistryObjectName.
    static RollbackState ForRegistry(const std::wstring& invocationFolder, const std::wstring& kind,
                                     const std::wstring& object);
    // The state of an object that is not a file (a product, an account's
    // right): named by a text that is kept as it is, not made a full path.
    static RollbackState OfNamed(const std::wstring& invocationFolder, const std::wstring& kind,
                                 const std::wstring& name);

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
    // signal completely under another name before it takes its own: a
    // signal written again (with what the action left) replaces the old
    // one whole or not at all.
    bool write(const RollbackSignal& signal, DWORD& error) const;
    // Writes bytes completely into a file kept in the state; the folder must
    // have been made by write(). Not flushed: a flush makes some file
    // systems write out every other file's pending data too (a large file
    // the action has just written among them).
    bool writeKept(const std::wstring& name, const std::string& bytes, DWORD& error) const;
    // The bytes of a file kept in the state; false when it cannot be read.
    bool readKept(const std::wstring& name, std::string& bytes) const;
    // Removes the folder and everything in it, links as links.
    bool discard(std::wstring& failedPath, DWORD& error) const;

private:
    RollbackState(const std::wstring& invocationFolder, const std::wstring& kind, const std::wstring& object,
                  bool registry);

    std::wstring m_invocationFolder;
    std::wstring m_folder;
    std::wstring m_object;
    bool m_registry;
};

// The key of a name: 16 hexadecimal digits, the same for every case of the
// same text.
std::wstring StateKey(const std::wstring& name);

// The name of a registry object for its state: the view it was reached in
// (64 or 32; the process's own view when none is asked for), the root's
// name, the key path and, when given, a value name, as in
// "64:HKEY_LOCAL_MACHINE\Software\Example" + "\\" + "Setting".
std::wstring RegistryObjectName(REGSAM view, const std::wstring& rootName, const std::wstring& keyPath,
                                const std::wstring& valueName = std::wstring());

// SHA-256 of bytes given piece by piece, so that a writer can take it on the
// way without reading its file again.
class ContentDigest {
public:
    ContentDigest();
    ~ContentDigest();
    void add(const void* bytes, std::size_t size);
    // The digest in hexadecimal; the object starts over afterwards.
    std::string finish();

private:
    ContentDigest(const ContentDigest&);
    ContentDigest& operator=(const ContentDigest&);
    struct Engine;
    Engine* m_engine;
};

// The mark of the plain file at path (a link there is not followed: it is
// no file an action left). False with the Win32 error when it cannot be
// read.
bool ReadFileMark(const std::wstring& path, FileMark& mark, DWORD& error);
// True when the file at path is still the one the mark was taken of.
bool IsMarkedFile(const std::wstring& path, const FileMark& mark);

// Makes an invocation-data folder and every folder missing on its way. Each
// folder made above the invocation-data folder itself gets the mark of a
// state folder Verrand made (a file "VerrandState"), so that a package's
// shared state folder ([VerrandStateFolder], made by its first step that
// keeps state) can later be removed whole. A folder that stood already is
// never marked. False with the error when a folder or a mark cannot be made.
bool MakeInvocationFolder(const std::wstring& invocationFolder, DWORD& error);

// Gives a folder made to hold rollback state the mark; false with the error.
bool MarkStateFolder(const std::wstring& folder, DWORD& error);
// True when the folder carries the mark (a plain file, not a link).
bool IsMarkedStateFolder(const std::wstring& folder);

enum StateFolderRemoval {
    StateFolderRemoved,
    StateFolderMissing,    // nothing stands at the path
    StateFolderIsLink,     // a link or junction stands there: never followed
    StateFolderIsFile,     // a file stands there
    StateFolderNotMarked,  // a folder Verrand did not make for its state
    StateFolderNotRemoved, // the removal stopped (failedPath, error)
    StateFolderKept,       // emptied only: something a twin did not consume stays
};

// Removes a state folder with everything in it, links inside as links
// (RemoveTreeNoFollow), when it is a folder Verrand made for its state;
// anything else is left as it is.
StateFolderRemoval RemoveStateFolder(const std::wstring& folder, std::wstring& failedPath, DWORD& error);
// Removes only the empty folders directly inside a state folder (the steps'
// folders their twins emptied), then the state folder itself when nothing
// but its mark is left; a step's folder that still holds something, and the
// state folder around it, stay (StateFolderKept) for a person to restore from.
StateFolderRemoval RemoveEmptiedStateFolder(const std::wstring& folder, std::wstring& failedPath, DWORD& error);
