#include "ValueEntries.h"

bool IsWholeEntryAt(const std::wstring& value, std::wstring::size_type position, const std::wstring& text)
{
    if (text.empty() || position > value.size() || value.compare(position, text.size(), text) != 0)
        return false;
    const std::wstring::size_type end = position + text.size();
    const bool startsEntry = position == 0 || value[position - 1] == L';';
    const bool endsEntry = end == value.size() || value[end] == L';' || text[text.size() - 1] == L';';
    return startsEntry && endsEntry;
}

std::wstring::size_type FindWholeEntry(const std::wstring& value, const std::wstring& text,
                                       std::wstring::size_type from)
{
    if (text.empty())
        return std::wstring::npos;
    for (std::wstring::size_type at = value.find(text, from); at != std::wstring::npos; at = value.find(text, at + 1)) {
        if (IsWholeEntryAt(value, at, text))
            return at;
    }
    return std::wstring::npos;
}

EntryRemoval RemoveWholeEntries(const std::wstring& value, const std::wstring& text)
{
    EntryRemoval removal = { std::wstring(), 0, false };
    std::wstring::size_type kept = 0;
    for (std::wstring::size_type at = FindWholeEntry(value, text); at != std::wstring::npos;
         at = FindWholeEntry(value, text, kept)) {
        removal.value.append(value, kept, at - kept);
        kept = at + text.size();
        ++removal.removed;
    }
    removal.value.append(value, kept, std::wstring::npos);
    removal.insideEntry = removal.removed == 0 && !text.empty() && value.find(text) != std::wstring::npos;
    return removal;
}
