#include "StringFormatter.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <typeinfo>

#include "BasicStringLibrary.h"
#include "log/InstallLog.h"

namespace {
const wchar_t kIdentifierDelimiter = L'#';

bool isStringIdentifierChar(wchar_t ch)
{
    return (ch >= L'A' && ch <= L'Z') || (ch >= L'a' && ch <= L'z') || (ch >= L'0' && ch <= L'9') || ch == L'.' ||
           ch == L'_' || ch == L' ';
}

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
    wchar_t IdentifierStart() { return kIdentifierDelimiter; }
    wchar_t IdentifierEnd() { return kIdentifierDelimiter; }
    std::wstring NotFoundText(const std::wstring& token) { return token; }
    bool IsIdentifierChar(const wchar_t& ch) { return isStringIdentifierChar(ch); }

private:
    boost::shared_ptr<IStringLibrary> m_library;
};

// The text one formatting call builds. It stays in a buffer of its own
// while it is short, as nearly every translated text is, so that the call
// allocates only the string it returns.
class ResultText {
public:
    ResultText() : m_size(0), m_spilled(false) {}

    std::size_t size() const { return m_spilled ? m_spill.size() : m_size; }

    void append(const wchar_t* data, std::size_t count)
    {
        if (!m_spilled && count <= kInline - m_size) {
            std::memcpy(m_inline + m_size, data, count * sizeof(wchar_t));
            m_size += count;
            return;
        }
        spill(count);
        m_spill.append(data, count);
    }
    // Units kept one byte each (all below U+0100).
    void append(const char* data, std::size_t count)
    {
        if (!m_spilled && count <= kInline - m_size) {
            for (std::size_t i = 0; i < count; ++i)
                m_inline[m_size + i] = static_cast<unsigned char>(data[i]);
            m_size += count;
            return;
        }
        spill(count);
        const std::size_t at = m_spill.size();
        m_spill.resize(at + count);
        for (std::size_t i = 0; i < count; ++i)
            m_spill[at + i] = static_cast<unsigned char>(data[i]);
    }
    void append(const std::wstring& text) { append(text.data(), text.size()); }
    void append(wchar_t unit) { append(&unit, 1); }
    void shrink(std::size_t size)
    {
        if (m_spilled)
            m_spill.resize(size);
        else
            m_size = size;
    }
    std::wstring take() { return m_spilled ? std::move(m_spill) : std::wstring(m_inline, m_size); }

private:
    static const std::size_t kInline = 1024;

    void spill(std::size_t more)
    {
        if (m_spilled)
            return;
        m_spill.reserve(std::max(2 * kInline, m_size + more));
        m_spill.assign(m_inline, m_size);
        m_spilled = true;
    }

    wchar_t m_inline[kInline];
    std::size_t m_size;
    bool m_spilled;
    std::wstring m_spill;
};

// Lookups through a mechanism's virtual operations. The texts found are
// copied into buffers that belong to one level of the recursion and are
// kept from one lookup of that level to the next.
class MechanismLookups {
public:
    struct Scratch {
        std::wstring id;
        std::wstring value;
    };

    explicit MechanismLookups(IParamLookupMechanism& mechanism) : m_mechanism(mechanism) {}

    wchar_t start() { return m_mechanism.IdentifierStart(); }
    wchar_t end() { return m_mechanism.IdentifierEnd(); }
    bool isIdentifierChar(wchar_t ch) { return m_mechanism.IsIdentifierChar(ch); }
    std::wstring notFoundText(const std::wstring& token) { return m_mechanism.NotFoundText(token); }
    // The text of the identifier of `length` units at id, or false.
    bool find(const wchar_t* id, std::size_t length, Scratch& scratch, StoredText& found)
    {
        scratch.id.assign(id, length);
        if (!m_mechanism.Lookup(scratch.id, scratch.value, m_libraryName))
            return false;
        found.narrow = 0;
        found.wide = scratch.value.data();
        found.size = scratch.value.size();
        return true;
    }

private:
    IParamLookupMechanism& m_mechanism;
    std::wstring m_libraryName;
};

// What StringLookupMechanism over a BasicStringLibrary does, straight in
// the library's table: the identifier is not copied, the text found is used
// where it is stored, and the library's name, which the formatting never
// uses and which this library gives without any other effect, is not asked
// for.
class LibraryLookups {
public:
    struct Scratch {};

    explicit LibraryLookups(BasicStringLibrary& library) : m_library(library) {}

    wchar_t start() { return kIdentifierDelimiter; }
    wchar_t end() { return kIdentifierDelimiter; }
    bool isIdentifierChar(wchar_t ch) { return isStringIdentifierChar(ch); }
    std::wstring notFoundText(const std::wstring& token) { return token; }
    bool find(const wchar_t* id, std::size_t length, Scratch&, StoredText& found)
    {
        return m_library.Find(id, length, found);
    }

private:
    BasicStringLibrary& m_library;
};

// One formatting call. Every level of the recursion appends to the same
// result, so its length is known when an identifier's text has been put in.
// The texts of a string library may be kept one byte a unit, so a level
// reads its text as stored.
template <class Lookups>
class Formatting {
public:
    explicit Formatting(Lookups& lookups) : m_lookups(lookups), m_lookupCount(0), m_capped(false) {}

    void append(const StoredText& text, int depth)
    {
        if (text.wide)
            append(text.wide, text.size, depth);
        else
            append(text.narrow, text.size, depth);
    }
    template <typename Unit>
    void append(const Unit* text, std::size_t size, int depth);
    std::wstring take() { return m_result.take(); }

private:
    template <typename Unit>
    void appendIdentifier(const Unit* text, std::size_t start, std::size_t end, int depth,
                          typename Lookups::Scratch& scratch);

    Lookups& m_lookups;
    ResultText m_result;
    std::size_t m_lookupCount;
    bool m_capped; // once set, every level copies the rest of its text as it is
    std::wstring m_id; // an identifier of a text kept one byte a unit, widened
};

template <typename Unit>
std::wstring widened(const Unit* text, std::size_t size)
{
    std::wstring wide(size, L'\0');
    for (std::size_t i = 0; i < size; ++i)
        wide[i] = static_cast<wchar_t>(static_cast<typename std::make_unsigned<Unit>::type>(text[i]));
    return wide;
}

template <class Lookups>
template <typename Unit>
void Formatting<Lookups>::append(const Unit* text, std::size_t size, int depth)
{
    if (depth < 0) {
        InstallLog::Error(L"DoBasicFormatString exceeded recursive depth with string: " + widened(text, size));
        m_result.append(text, size);
        return;
    }
    const wchar_t start = m_lookups.start();
    const wchar_t end = m_lookups.end();
    typename Lookups::Scratch scratch; // shared by the identifiers of this level
    bool inside = false;
    std::size_t pos = 0;
    std::size_t opening = 0;
    for (std::size_t n = 0; n < size && !m_capped; ++n) {
        const wchar_t c = static_cast<wchar_t>(static_cast<typename std::make_unsigned<Unit>::type>(text[n]));
        if (!inside) {
            if (c == start) {
                m_result.append(text + pos, n - pos);
                inside = true;
                opening = pos = n;
            }
        } else if (c == end) {
            appendIdentifier(text, opening, n, depth, scratch);
            inside = false;
            pos = n + 1;
        } else if (!m_lookups.isIdentifierChar(c)) {
            m_result.append(text + pos, n + 1 - pos);
            inside = false;
            pos = n + 1;
        }
    }
    if (pos < size)
        m_result.append(text + pos, size - pos);
}

// The identifier between the delimiters at start and end of text.
template <class Lookups>
template <typename Unit>
void Formatting<Lookups>::appendIdentifier(const Unit* text, std::size_t start, std::size_t end, int depth,
                                           typename Lookups::Scratch& scratch)
{
    if (end == start + 1) {
        m_result.append(m_lookups.start());
        return;
    }
    // Texts whose identifiers expand to little or nothing never reach the
    // length cap, however often they refer to each other: the number of
    // lookups is capped as well.
    if (++m_lookupCount > MaxFormattingLookups) {
        m_result.append(text + start, end + 1 - start);
        m_capped = true;
        InstallLog::Error("Formatted string needs more than 1048576 lookups; rest left unformatted");
        return;
    }
    StoredText value;
    bool found;
    if (sizeof(Unit) == sizeof(wchar_t)) {
        found = m_lookups.find(reinterpret_cast<const wchar_t*>(text) + start + 1, end - start - 1, scratch, value);
    } else {
        m_id.resize(end - start - 1);
        for (std::size_t i = 0; i < m_id.size(); ++i)
            m_id[i] = static_cast<unsigned char>(text[start + 1 + i]);
        found = m_lookups.find(m_id.data(), m_id.size(), scratch, value);
    }
    if (!found) {
        const std::wstring token = widened(text + start, end + 1 - start);
        InstallLog::Error(L"Identifier not found in lookup: " + token);
        m_result.append(m_lookups.notFoundText(token));
        return;
    }
    const std::size_t before = m_result.size();
    append(value, depth - 1);
    if (!m_capped && m_result.size() > MaxFormattedLength) {
        m_result.shrink(before);
        m_result.append(text + start, end + 1 - start);
        m_capped = true;
        InstallLog::Error("Formatted string exceeds 1048576 characters; rest left unformatted");
    }
}

template <class Lookups>
std::wstring format(const std::wstring& text, Lookups& lookups, int depth)
{
    Formatting<Lookups> formatting(lookups);
    formatting.append(text.data(), text.size(), depth);
    return formatting.take();
}
}

std::wstring DoBasicFormatString(const std::wstring& text, const boost::shared_ptr<IParamLookupMechanism>& mechanism,
                                 int depth)
{
    MechanismLookups lookups(*mechanism);
    return format(text, lookups, depth);
}

std::wstring BasicFormatString(const std::wstring& text, boost::shared_ptr<IStringLibrary> library)
{
    if (!library) {
        InstallLog::Error("Cannot format string using NULL string library.");
        return text;
    }
    // Only the library itself, not a class made from it, is known to find
    // its strings without any other effect.
    if (typeid(*library) == typeid(BasicStringLibrary)) {
        LibraryLookups lookups(static_cast<BasicStringLibrary&>(*library));
        return format(text, lookups, 5);
    }
    StringLookupMechanism mechanism(library);
    MechanismLookups lookups(mechanism);
    return format(text, lookups, 5);
}
