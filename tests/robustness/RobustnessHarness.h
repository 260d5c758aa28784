#pragma once
// Shared machinery of the robustness suite. Every generated input is
// announced with BeginInput before it is handed to the code under attack:
// that counts it for the closing table and names it when something goes
// wrong. A crash (an exception the process does not handle) and a hang (no
// new input for a long time) are reported with the target and input index,
// which together with the fixed seeds replay the input.
#include <cstddef>
#include <string>

// Announces input `index` of `target`, and counts it.
void BeginInput(const std::string& target, std::size_t index);

// Inputs announced so far for a target.
std::size_t InputCount(const std::string& target);

// The targets, as they appear in the closing table.
namespace Target {
extern const char* const EnvSettings;
extern const char* const EnvSettingsThroughDll;
extern const char* const EntryLists;
extern const char* const TextReplaceThroughDll;
extern const char* const UiTextFiles;
extern const char* const UiTextThroughDll;
extern const char* const NormalizePath;
extern const char* const NormalizePathThroughDll;
extern const char* const Formatter;
extern const char* const FormatterThroughDll;
}

// Peak working set of this process so far, in bytes (0 when the system
// does not tell).
std::size_t PeakWorkingSet();

// The text as it comes back from a round trip through UTF-8 the way
// null-terminated conversions make it: cut at the first NUL, characters
// UTF-8 cannot carry replaced.
std::wstring Utf8RoundTrip(const std::wstring& text);

// A readable, bounded rendering of a text for failure messages.
std::string Shown(const std::wstring& text);
std::string Shown(const std::string& bytes);
