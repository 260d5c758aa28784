#pragma once
// What the shortcut and folder actions share with their rollback twins: the
// state's kinds and kept names, the invocation-data folder they are given,
// the twin's test that the object is still what its action left, and the
// removal of the folders an action made.
#include <string>
#include <vector>

#include "core/IActionContext.h"
#include "core/RollbackState.h"

namespace ShellState {
// The kinds of state folder, one per action.
extern const wchar_t* const CreateShortcut;
extern const wchar_t* const RemoveShortcut;
extern const wchar_t* const EnsureFolderExists;
// The shortcut a create replaced, or a removal removed, inside the state.
extern const wchar_t* const KeptShortcut;
// What the action did to its object.
extern const wchar_t* const Created;
extern const wchar_t* const Replaced;
extern const wchar_t* const Removed;
}

// The invocation-data folder, read after the action's own arguments. An
// action keeps no state without it; a twin cannot work without it.
std::wstring StateFolderArgument(IActionContext& context);
// An action's folder is optional; a twin's is required. A refused one is a
// level-4 line.
bool AcceptStateFolder(IActionContext& context, const std::wstring& folder, bool required);

// Reads the signal a twin acts on; without one, logs "Nothing to rollback"
// and gives false.
bool SignalToRollBack(IActionContext& context, const RollbackState& state, RollbackSignal& signal);

// Marks what an action left at its object for the twin: a file by its
// identity and bytes (ReadFileMark), a folder by its identity alone.
bool MarkLeftObject(const std::wstring& path, RollbackSignal& signal, DWORD& error);

// True when the object at the state's path is what its action left there
// (the mark in the signal), or nothing stands there any more. Otherwise one
// level-4 line says that the object and the state stay.
bool StillAsLeft(IActionContext& context, const RollbackState& state, const RollbackSignal& signal,
                 const std::wstring& action);

// Removes the folders an action made, innermost first, while each is empty;
// one level-2 line per removed folder, one for the folder that stays.
void RemoveFoldersMade(IActionContext& context, const std::vector<std::wstring>& folders,
                       const std::wstring& action);

// The level-4 line for a failed step of an action or twin, with the error;
// gives false.
bool Failed(IActionContext& context, const std::wstring& line, DWORD error);
