#pragma once
// The entry list that tells the replacement engine what to replace:
//     search="replacement",search="replacement",...
// With escapes honoured, search and replacement are escaped texts (a
// backslash in front of every character that is not an ASCII letter or
// digit), so "=", double quotes and commas inside them are taken literally.
#include <string>
#include <vector>

#include "core/ILogger.h"

struct ReplacementEntry {
    std::wstring search;
    std::wstring replacement;
};

std::wstring EscapeEntryText(const std::wstring& text);
// Drops each backslash and keeps the character after it.
std::wstring UnescapeEntryText(const std::wstring& text);

// The one-entry list for a search and a replacement text.
std::wstring BuildEntryList(const std::wstring& search, const std::wstring& replacement);

// Appends the entries of the list. A missing "=" is a format error: it is
// logged and the result is false. A last entry that does not end with a
// double quote is logged and kept.
bool ParseEntryList(ILogger& logger, const std::wstring& list, bool honourEscapes,
                    std::vector<ReplacementEntry>& entries);

// The attribute values of the entries, split at ",", in entry order.
std::vector<std::wstring> SplitAttributeList(const std::wstring& text);
// The value of entry `index`; an entry without a value counts as 0.
long EntryAttribute(const std::vector<std::wstring>& attributes, size_t index);
