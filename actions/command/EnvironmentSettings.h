#pragma once
// Environment settings for a command's child process, applied to the host
// process's own environment (and left there).
//
// Text format: settings separated by "|"; "NAME=value" assigns, "NAME+value"
// puts value in front of the current value unless it is already in it as
// whole entries (";"-separated, see core/ValueEntries.h). A
// setting with neither sign, or one that splits into more than two pieces, is
// skipped with a warning (an empty one silently). Nothing is trimmed.
#include <cstddef>
#include <string>

#include "core/IActionContext.h"

class SecretMask;

// Applies one setting; true when the environment now holds what was asked
// (including a prepend that found its value already there).
bool ApplyEnvSetting(IActionContext& context, const std::wstring& name, const std::wstring& value, bool prepend,
                     const SecretMask& mask);

// Applies every recognised setting in text order; a failed setting is
// reported and the next one is still applied.
void ApplyEnvSettings(IActionContext& context, const std::wstring& settings, const SecretMask& mask);

// The warning for a piece (counted from 1) that is no setting; the piece
// itself is not shown, since it may hold a secret.
std::wstring SkippedSettingLine(std::size_t piece);
