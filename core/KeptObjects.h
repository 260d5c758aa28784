#pragma once
// What actions and their rollback twins do with the objects a rollback state
// keeps: moving an object in and putting it back, and the folders an action
// made. Nothing here follows a link at the named place: a link is moved as
// the link, or refused where the system cannot.
#include <string>
#include <vector>

#include <windows.h>

#include "ILogger.h"

class RollbackState;

// "LINE (error N)"
std::wstring WithError(const std::wstring& line, DWORD error);

// Anything at the path itself, a link too.
bool ObjectExists(const std::wstring& path);
// A file that is neither a folder nor a link.
bool IsPlainFile(const std::wstring& path);

// MoveFileExW with write-through, on the extended-length forms.
bool MoveObject(const std::wstring& from, const std::wstring& to, DWORD flags, DWORD& error);

// The path up to its last separator; empty when it has none.
std::wstring ParentFolder(const std::wstring& path);

// A name beside the path that nothing uses yet: path + suffix (+ a number).
std::wstring UnusedSibling(const std::wstring& path, const std::wstring& suffix);

// The folders missing at and above `folder`, as full paths, outermost
// first; a drive root is never among them.
std::vector<std::wstring> MissingFolders(const std::wstring& folder);

// Creates the folders in their order (one that stands already is fine).
bool MakeFolders(const std::vector<std::wstring>& folders, std::wstring& failed, DWORD& error);

// Removes folders an action made, innermost first, each only while it is
// empty and no link; one that is gone already counts as removed. Each
// removed folder is logged at level 2 as removedLine + FOLDER when log is
// given. Gives the folder that stays, with the reason, or an empty text
// when all went.
std::wstring RemoveMadeFolders(ILogger* log, const std::vector<std::wstring>& folders,
                               const std::wstring& removedLine, DWORD& error);

// True when a link at the path can be moved and removed as the link (or no
// link stands there); otherwise one level-4 line naming the argument.
bool AcceptLinkItself(ILogger& log, const std::wstring& argument, const std::wstring& path);

// Gives a kept object back at target, with the folders it needs, replacing
// whatever stands there now: that is set aside first and comes back when
// the restore fails. A failure is one level-4 line ending in keptNote.
bool PutBack(ILogger& log, const std::wstring& kept, const std::wstring& target, const std::wstring& keptNote);

// Keeps the object at path in the state as `kept`: moved there whole, or,
// for a plain file on another volume, copied (moved false: the original
// then stays where it is for the action to replace).
bool KeepObject(const std::wstring& path, const std::wstring& kept, bool& moved, DWORD& error);

// Removes a state its twin has used; a failure is one level-3 line.
void DiscardState(ILogger& log, const RollbackState& state);
