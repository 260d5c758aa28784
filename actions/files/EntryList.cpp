#include "EntryList.h"

#include "PocoWrapper/String.h"
#include "ReplacementAttributes.h"
#include "core/LogLevel.h"

namespace {
bool isAsciiAlphanumeric(wchar_t ch)
{
    return (ch >= L'0' && ch <= L'9') || (ch >= L'A' && ch <= L'Z') || (ch >= L'a' && ch <= L'z');
}

// A character outside the basic plane: a high surrogate followed by a low one.
bool isSurrogatePair(const std::wstring& text, std::wstring::size_type i)
{
    return i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 &&
           text[i + 1] <= 0xDFFF;
}

// Position of the "=" that ends the search text of the entry at the start
// of `text`. With escapes honoured an "=" behind an odd number of
// backslashes belongs to the search text.
std::wstring::size_type findSeparator(const std::wstring& text, bool honourEscapes)
{
    std::wstring::size_type pos = text.find(L'=');
    while (honourEscapes && pos != std::wstring::npos) {
        std::wstring::size_type backslashes = 0;
        while (backslashes < pos && text[pos - 1 - backslashes] == L'\\')
            ++backslashes;
        if (backslashes % 2 == 0)
            break;
        pos = text.find(L'=', pos + 1);
    }
    return pos;
}

// Substring that tolerates a start or end beyond the text.
std::wstring part(const std::wstring& text, std::wstring::size_type begin, std::wstring::size_type end)
{
    if (end > text.size())
        end = text.size();
    if (begin >= end)
        return std::wstring();
    return text.substr(begin, end - begin);
}
}

std::wstring EscapeEntryText(const std::wstring& text)
{
    std::wstring escaped;
    escaped.reserve(text.size() * 2);
    for (std::wstring::size_type i = 0; i < text.size(); ++i) {
        if (!isAsciiAlphanumeric(text[i]))
            escaped += L'\\';
        escaped += text[i];
        // A surrogate pair is one character: a backslash between its halves
        // would break it when the list is converted to UTF-8.
        if (isSurrogatePair(text, i))
            escaped += text[++i];
    }
    return escaped;
}

std::wstring UnescapeEntryText(const std::wstring& text)
{
    std::wstring plain;
    plain.reserve(text.size());
    for (std::wstring::size_type i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\') {
            if (++i == text.size())
                break;
        }
        plain += text[i];
    }
    return plain;
}

std::wstring BuildEntryList(const std::wstring& search, const std::wstring& replacement)
{
    return PocoWrapper::format(L"%s=\"%s\"", search, replacement);
}

bool ParseEntryList(ILogger& logger, const std::wstring& list, bool honourEscapes,
                    std::vector<ReplacementEntry>& entries)
{
    std::wstring rest = list;
    while (!rest.empty()) {
        const std::wstring::size_type separator = findSeparator(rest, honourEscapes);
        if (separator == std::wstring::npos) {
            logger.Log(LogLevelInfo,
                       PocoWrapper::format(L"ReplaceFileVariables: Incorrect formatting of string; need '=' have '%s'",
                                           rest));
            return false;
        }
        ReplacementEntry entry;
        entry.search = rest.substr(0, separator);
        // The replacement starts after the "=" and its opening quote.
        const std::wstring::size_type replacementStart = separator + 2;
        const std::wstring::size_type closing = rest.find(L"\",", replacementStart);
        std::wstring next;
        if (closing != std::wstring::npos) {
            entry.replacement = part(rest, replacementStart, closing);
            next = rest.substr(closing + 2);
        } else {
            entry.replacement = part(rest, replacementStart, rest.size() - 1);
            if (rest[rest.size() - 1] != L'"')
                logger.Log(LogLevelInfo,
                           PocoWrapper::format(L"ReplaceFileVariables: expected ending '\",' rest of string is: '%s'",
                                               rest));
        }
        if (honourEscapes) {
            entry.search = UnescapeEntryText(entry.search);
            entry.replacement = UnescapeEntryText(entry.replacement);
        }
        entries.push_back(entry);
        rest.swap(next);
    }
    return true;
}

std::vector<std::wstring> SplitAttributeList(const std::wstring& text)
{
    std::vector<std::wstring> values;
    std::wstring::size_type start = 0;
    while (start < text.size()) {
        std::wstring::size_type comma = text.find(L',', start);
        if (comma == std::wstring::npos)
            comma = text.size();
        values.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return values;
}

long EntryAttribute(const std::vector<std::wstring>& attributes, size_t index)
{
    return index < attributes.size() ? ParseAttributeValue(attributes[index]) : 0;
}
