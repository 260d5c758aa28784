#pragma once
// Symbolic links and junctions, seen without following them.
//
// An action deletes, moves or replaces the object its arguments name; when
// that object is a link, it is the link, never what the link points to.
// Poco's recursive remove and its move follow links, and its isLink() is
// false for a link to a folder, so these questions are put to Win32 here.
#include <functional>
#include <string>

#include <windows.h>

#include "PathRules.h"

enum LinkKind {
    NoLink,      // a plain file or folder, or nothing at all
    FileLink,    // a link to a file
    FolderLink,  // a link or junction to a folder
};

// What stands at the path itself. A link to a file that carries no
// reparse attribute (Wine shows Unix symbolic links to files as plain
// files) is found by where opening it leads.
LinkKind LinkAt(const std::wstring& path);

// The attributes of the object at the path itself, not of a link's
// target; INVALID_FILE_ATTRIBUTES when nothing is there.
DWORD AttributesAt(const std::wstring& path);

// True when the link at the path can be moved and removed as a link: the
// system shows its reparse data. Wine shows none (and no reparse attribute
// for a link to a file), and moves or empties the target instead, so such a
// link is left alone; error then holds the reason.
bool LinkCanBeHandledItself(const std::wstring& path, LinkKind kind, DWORD& error);

// The first link or junction inside a folder tree (at any depth), or an
// empty text when it holds none.
std::wstring FirstLinkInside(const std::wstring& folder);

// Removes a file or a folder tree without following any link inside it: a
// link is removed itself (on Wine a link cannot be, and stops the removal). Read-only files are removed too. False at the first
// failure, with the path and the error; what was removed stays removed.
bool RemoveTreeNoFollow(const std::wstring& path, std::wstring& failedPath, DWORD& error);

// The first place on the way to the path, from the piece below its root
// down to the path itself, where a link or junction stands; an empty text
// when there is none.
std::wstring LinkOnTheWay(const std::wstring& path);

// The folder an action keeps its rollback state in: a path an action may
// write (CheckTarget) that no link leads through, so that no record lands
// where a link points.
PathProblem CheckStateFolder(const std::wstring& folder);

// Calls visit(child path, attributes) for each entry of a folder (not "."
// or ".."); false (with the error) when the folder cannot be listed or
// visit says stop. A folder that holds nothing is no error.
bool EachChild(const std::wstring& folder, DWORD& error,
               const std::function<bool(const std::wstring& child, DWORD attributes)>& visit);
