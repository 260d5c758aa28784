#pragma once
// Values made of ";"-separated entries (PATH and its kind), tested and edited
// by whole entries: a text counts as present only where it stands as one or
// more whole entries, never where it is part of a longer entry. Plain
// functions on the text.
//
// An occurrence of a text counts where it starts at the beginning of the
// value or right after a ";", and ends at the end of the value, right before
// a ";", or with a ";" of its own (so "C:\B;" counts in "C:\B;C:\A").
// Comparison is exact (case-sensitive).
#include <string>

// True when `text` stands in `value` as whole entries at `position`.
bool IsWholeEntryAt(const std::wstring& value, std::wstring::size_type position, const std::wstring& text);

// The first position at or after `from` where `text` stands as whole
// entries; npos when there is none (or `text` is empty).
std::wstring::size_type FindWholeEntry(const std::wstring& value, const std::wstring& text,
                                       std::wstring::size_type from = 0);

struct EntryRemoval {
    std::wstring value;  // the value with every counted occurrence cut out
    std::size_t removed; // how many were cut out
    bool insideEntry;    // `text` occurs only inside longer entries
};

// Cuts every counted occurrence of `text` out of `value`, left to right;
// the separators around them stay as they are. An occurrence that is part
// of a longer entry stays; when there is no counted occurrence but such a
// part, insideEntry says so.
EntryRemoval RemoveWholeEntries(const std::wstring& value, const std::wstring& text);
