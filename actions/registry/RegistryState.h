#pragma once
// The steps that every registry action with a rollback twin shares: the
// state folder it is given, the state written before a value is touched and
// consumed by the twin, and the check that the values are still what the
// action left.
#include <string>
#include <vector>

#include <windows.h>

#include "core/ILogger.h"
#include "core/RollbackState.h"

// An action keeps state only when it is given a folder; a twin needs one.
// A folder that is given must be a place that may be written to; otherwise
// one level-4 line names the argument and the answer is false.
bool AcceptStateFolder(ILogger& log, const std::wstring& folder, bool required);

// Writes the signal; a failure is one level-4 line that starts with `who`.
bool WriteRegistryState(ILogger& log, const std::wstring& who, const RollbackState& state,
                        const RollbackSignal& signal);
// Removes a state that is used up or that protects nothing.
void DiscardRegistryState(ILogger& log, const std::wstring& who, const RollbackState& state);

// The values of these names as they are now in the key.
LONG ReadNamedValues(HKEY key, const std::vector<RegistryValue>& names, std::vector<RegistryValue>& now);
// True when every value is as expected (present with its type and bytes,
// or absent), and there is something to compare.
bool ValuesAre(HKEY key, const std::vector<RegistryValue>& expected);
// Writes each value back exactly (absent ones are deleted); stops at the
// first failure and gives its error.
LONG WriteValues(HKEY key, const std::vector<RegistryValue>& values);

// " (error N)"
std::wstring ErrorSuffix(LONG error);
