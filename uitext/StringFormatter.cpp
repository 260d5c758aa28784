#include "StringFormatter.h"

#include <deque>

#include "log/InstallLog.h"

namespace {
// Identifiers between '#' characters, resolved case-insensitively from one
// string library.
class StringLookupMechanism : public IParamLookupMechanism {
public:
    explicit StringLookupMechanism(const boost::shared_ptr<IStringLibrary>& library) : m_library(library) {}
    ~StringLookupMechanism() {}

    bool Lookup(const std::wstring& id, std::wstring& text, std::wstring& libraryName)
    {
        const bool found = m_library->FindString(id, text);
        if (found)
            libraryName = m_library->GetLibraryName(id);
        return found;
    }
    wchar_t IdentifierStart() { return L'#'; }
    wchar_t IdentifierEnd() { return L'#'; }
    std::wstring NotFoundText(const std::wstring& token) { return token; }
    bool IsIdentifierChar(const wchar_t& ch)
    {
        return (ch >= L'A' && ch <= L'Z') || (ch >= L'a' && ch <= L'z') || (ch >= L'0' && ch <= L'9') || ch == L'.' ||
               ch == L'_' || ch == L' ';
    }

private:
    boost::shared_ptr<IStringLibrary> m_library;
};

// One formatting call. Every level of the recursion appends to the same
// result, so its length is known when an identifier's text has been put in.
class Formatting {
public:
    explicit Formatting(IParamLookupMechanism& mechanism)
        : m_mechanism(mechanism), m_level(0), m_lookups(0), m_capped(false)
    {
    }

    void append(const std::wstring& text, int depth);
    const std::wstring& result() const { return m_result; }

private:
    void appendIdentifier(const std::wstring& text, std::wstring::size_type start, std::wstring::size_type end,
                          int depth);

    struct Buffers {
        std::wstring id;
        std::wstring value;
    };

    IParamLookupMechanism& m_mechanism;
    std::wstring m_result;
    std::deque<Buffers> m_buffers; // one for each level of the recursion; growing leaves them in place
    std::size_t m_level;
    std::wstring m_libraryName;
    std::size_t m_lookups;
    bool m_capped; // once set, every level copies the rest of its text as it is
};

void Formatting::append(const std::wstring& text, int depth)
{
    if (depth < 0) {
        InstallLog::Error(L"DoBasicFormatString exceeded recursive depth with string: " + text);
        m_result += text;
        return;
    }
    const wchar_t start = m_mechanism.IdentifierStart();
    const wchar_t end = m_mechanism.IdentifierEnd();
    bool inside = false;
    std::wstring::size_type pos = 0;
    std::wstring::size_type opening = 0;
    for (std::wstring::size_type n = 0; n < text.size() && !m_capped; ++n) {
        const wchar_t c = text[n];
        if (!inside) {
            if (c == start) {
                m_result.append(text, pos, n - pos);
                inside = true;
                opening = pos = n;
            }
        } else if (c == end) {
            appendIdentifier(text, opening, n, depth);
            inside = false;
            pos = n + 1;
        } else if (!m_mechanism.IsIdentifierChar(c)) {
            m_result.append(text, pos, n + 1 - pos);
            inside = false;
            pos = n + 1;
        }
    }
    m_result.append(text, pos, std::wstring::npos);
}

// The identifier between the delimiters at start and end of text.
void Formatting::appendIdentifier(const std::wstring& text, std::wstring::size_type start,
                                  std::wstring::size_type end, int depth)
{
    if (end == start + 1) {
        m_result += m_mechanism.IdentifierStart();
        return;
    }
    // Texts whose identifiers expand to little or nothing never reach the
    // length cap, however often they refer to each other: the number of
    // lookups is capped as well.
    if (++m_lookups > MaxFormattingLookups) {
        m_result.append(text, start, end + 1 - start);
        m_capped = true;
        InstallLog::Error("Formatted string needs more than 1048576 lookups; rest left unformatted");
        return;
    }
    // Each level of the recursion has its own buffers, kept from lookup to
    // lookup, so a lookup allocates nothing once they have grown.
    if (m_level == m_buffers.size())
        m_buffers.emplace_back();
    Buffers& buffers = m_buffers[m_level];
    buffers.id.assign(text, start + 1, end - start - 1);
    std::wstring& value = buffers.value;
    if (!m_mechanism.Lookup(buffers.id, value, m_libraryName)) {
        const std::wstring token = text.substr(start, end + 1 - start);
        InstallLog::Error(L"Identifier not found in lookup: " + token);
        m_result += m_mechanism.NotFoundText(token);
        return;
    }
    const std::wstring::size_type before = m_result.size();
    ++m_level;
    append(value, depth - 1);
    --m_level;
    if (!m_capped && m_result.size() > MaxFormattedLength) {
        m_result.resize(before);
        m_result.append(text, start, end + 1 - start);
        m_capped = true;
        InstallLog::Error("Formatted string exceeds 1048576 characters; rest left unformatted");
    }
}
}

std::wstring DoBasicFormatString(const std::wstring& text, const boost::shared_ptr<IParamLookupMechanism>& mechanism,
                                 int depth)
{
    Formatting formatting(*mechanism);
    formatting.append(text, depth);
    return formatting.result();
}

std::wstring BasicFormatString(const std::wstring& text, boost::shared_ptr<IStringLibrary> library)
{
    if (!library) {
        InstallLog::Error("Cannot format string using NULL string library.");
        return text;
    }
    const boost::shared_ptr<StringLookupMechanism> mechanism(new StringLookupMechanism(library));
    return DoBasicFormatString(text, mechanism, 5);
}
