#pragma once
// The rules a path must pass before an action creates, replaces or deletes
// anything at it. Plain functions on the text: they touch no file.
//
// Both "\" and "/" separate pieces. Windows drops a trailing dot or blank
// from a piece and opens a device for a reserved name, so such a path names
// something other than what it says; an empty path or name, or a drive root,
// would make an action work on far more than it was given.
#include <string>
#include <vector>

#include "ILogger.h"

enum PathProblem {
    PathAcceptable,
    PathEmpty,                  // empty, or nothing but white space
    PathNoName,                 // a name made of separators only
    PathDriveRoot,              // C:, C:\, \, \\server\share, \\?\C:\ ...
    PathPieceEndsInDotOrBlank,  // C:\p\sub. or C:\p\sub (blank at the end)
    PathReservedDeviceName,     // CON, NUL, PRN, AUX, COM1-9, LPT1-9, also with an extension
    PathHoldsStateFolder,       // a target that holds the folder the action keeps its state in
    PathThroughLink,            // a link or junction stands on the way to it
};

// The pieces between separators, empty ones left out.
std::vector<std::wstring> PathPieces(const std::wstring& path);

bool EndsInDotOrBlank(const std::wstring& piece);
// CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9 in any case, as Windows reads a
// piece: what stands before the first dot or colon, trailing blanks dropped.
bool IsReservedDeviceName(const std::wstring& piece);
// The root of a drive, a share or the current drive, with or without the
// trailing separator and in the extended-length forms.
bool IsDriveRoot(const std::wstring& path);

// A path that an action creates, writes or deletes something in or at.
PathProblem CheckPath(const std::wstring& path);
// A path an action only reads: it must be given.
PathProblem CheckGiven(const std::wstring& path);
// A name joined below a folder: a path that holds at least one piece.
PathProblem CheckName(const std::wstring& name);
// What an action replaces or deletes: a path that is not a drive root.
PathProblem CheckTarget(const std::wstring& path);

// folder + one backslash + name; a folder that ends in a separator keeps it.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// True when both paths have the same pieces up to the end of folder, so
// that path is folder itself or lies inside it. Pieces compare as the file
// system compares names (ordinal, ignoring case); both paths must be in the
// same form (both full, or both as given).
bool IsSameOrInside(const std::wstring& path, const std::wstring& folder);

// True when two names are the same to the file system (ordinal, ignoring
// case).
bool SameFileName(const std::wstring& left, const std::wstring& right);

// The path without an extended-length prefix: \\?\C:\a gives C:\a,
// \\?\UNC\srv\share gives \\srv\share.
std::wstring WithoutExtendedPrefix(const std::wstring& path);

// True when both name the same place: the same pieces, compared as the file
// system compares names.
bool SamePath(const std::wstring& left, const std::wstring& right);

// The absolute form of a path (GetFullPathNameW); the path itself when the
// system cannot give one.
std::wstring FullPath(const std::wstring& path);

// The refusal line: names the argument, its value and the reason.
std::wstring PathRefusal(const std::wstring& argument, const std::wstring& value, PathProblem problem);

// Logs the refusal line at level 4 and gives false, or gives true for an
// acceptable path.
bool AcceptPath(ILogger& log, const std::wstring& argument, const std::wstring& value, PathProblem problem);
