#include "PlainUiText.h"

#include <cstring>

#include <rapidxml/rapidxml.hpp>

#include "PocoWrapper/String.h"
#include "XmlFile.h"
#include "XmlCharacters.h"
#include "core/ByteSearch.h"

namespace {
using namespace XmlCharacters;

// How far the pass goes between two hand-backs of the pages behind it.
const std::size_t kReleaseStep = 1024 * 1024;

bool equals(const char* begin, const char* end, const char* name)
{
    const std::size_t length = std::strlen(name);
    return static_cast<std::size_t>(end - begin) == length && std::memcmp(begin, name, length) == 0;
}

// Bytes of an attribute value as the parser leaves them: where the value has
// no reference, the file's own bytes, else the decoded copy.
struct Value {
    Value() : begin(0), end(0) {}
    bool given() const { return begin != 0; }
    // Not given, the decoding buffer kept for the next value.
    void clear() { begin = end = 0; }

    const char* begin;
    const char* end;
    std::string decoded;
};

// The character references of the attribute value [at, end) (end at its
// closing quote) decoded as the parser decodes them, a numeric one into
// UTF-8; nothing decodes into more bytes than it is written with. The
// decoded size, or -1 where the parser throws.
std::ptrdiff_t decodeValue(const char* at, const char* const end, char* const out)
{
    char* put = out;
    while (at != end) {
        if (at[0] == '&') {
            switch (at[1]) {
            case 'a':
                if (at[2] == 'm' && at[3] == 'p' && at[4] == ';') {
                    *put++ = '&';
                    at += 5;
                    continue;
                }
                if (at[2] == 'p' && at[3] == 'o' && at[4] == 's' && at[5] == ';') {
                    *put++ = '\'';
                    at += 6;
                    continue;
                }
                break;
            case 'q':
                if (at[2] == 'u' && at[3] == 'o' && at[4] == 't' && at[5] == ';') {
                    *put++ = '"';
                    at += 6;
                    continue;
                }
                break;
            case 'g':
                if (at[2] == 't' && at[3] == ';') {
                    *put++ = '>';
                    at += 4;
                    continue;
                }
                break;
            case 'l':
                if (at[2] == 't' && at[3] == ';') {
                    *put++ = '<';
                    at += 4;
                    continue;
                }
                break;
            case '#': {
                // The parser's own arithmetic, overflow included.
                unsigned long code = 0;
                const unsigned long base = at[2] == 'x' ? 16 : 10;
                at += base == 16 ? 3 : 2;
                for (;;) {
                    const unsigned char digit = Tables::lookup_digits[static_cast<unsigned char>(*at)];
                    if (digit == 0xFF)
                        break;
                    code = code * base + digit;
                    ++at;
                }
                if (code < 0x80) {
                    *put++ = static_cast<char>(code);
                } else if (code < 0x800) {
                    *put++ = static_cast<char>(0xC0 | (code >> 6));
                    *put++ = static_cast<char>(0x80 | (code & 0x3F));
                } else if (code < 0x10000) {
                    *put++ = static_cast<char>(0xE0 | (code >> 12));
                    *put++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    *put++ = static_cast<char>(0x80 | (code & 0x3F));
                } else if (code < 0x110000) {
                    *put++ = static_cast<char>(0xF0 | (code >> 18));
                    *put++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
                    *put++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    *put++ = static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    return -1;
                }
                // The closing quote is no digit, so `at` is at most at end.
                if (*at != ';')
                    return -1;
                ++at;
                continue;
            }
            default:
                break;
            }
        }
        *put++ = *at++;
    }
    return put - out;
}

class PlainReader {
public:
    PlainReader(FileBytes& bytes, const std::wstring& language, StringMap& strings, std::vector<UiTextLine>& lines)
        : m_bytes(bytes), m_at(bytes.data()), m_end(bytes.data() + bytes.size()), m_released(m_at),
          m_language(language), m_strings(strings), m_lines(lines)
    {
    }

    bool read();

private:
    enum Markup { None, Skipped, Other };

    void skipWhitespace()
    {
        while (isWhitespace(*m_at))
            ++m_at;
    }
    Markup skipMarkup();
    bool skipPast(const char* end);
    bool readName(const char*& begin, const char*& end);
    bool readAttributes(const char* first, const char* second = "");
    bool readValue(Value& value);
    enum Child { Element, Closed, NotPlain };
    Child nextChild(const char*& name, const char*& nameEnd);
    bool readEmptyContent();
    bool readOpening();
    bool readClosingTag();
    bool readRoot();
    bool readContext(unsigned long& count);
    void keep(const Value& id, const Value& value);
    void line(bool error, const std::string& text)
    {
        const UiTextLine entry = { error, text };
        m_lines.push_back(entry);
    }

    FileBytes& m_bytes;
    const char* m_at;
    const char* const m_end;
    const char* m_released;
    const std::wstring& m_language;
    StringMap& m_strings;
    std::vector<UiTextLine>& m_lines;
    Value m_skipped; // the values of attributes nobody reads, checked all the same
    Value m_first;   // the values asked for
    Value m_second;
    std::string m_lowered; // the identifier being kept, lower-cased
};

// At "<": a processing instruction, the XML declaration or a comment, which
// the parser skips; Other for anything else that starts with "<!" (left to
// the parse tree) and for such markup left open.
PlainReader::Markup PlainReader::skipMarkup()
{
    if (m_at[1] == '?') {
        m_at += 2;
        return skipPast("?>") ? Skipped : Other;
    }
    if (m_at[1] == '!') {
        if (m_at[2] != '-' || m_at[3] != '-')
            return Other;
        m_at += 4;
        return skipPast("-->") ? Skipped : Other;
    }
    return None;
}

bool PlainReader::skipPast(const char* end)
{
    const std::size_t length = std::strlen(end);
    for (const char* at = FindByte(m_at, m_end, end[0]); at; at = FindByte(at + 1, m_end, end[0])) {
        if (std::strncmp(at, end, length) == 0) {
            m_at = at + length;
            return true;
        }
    }
    return false;
}

// At "<" of a start tag.
bool PlainReader::readName(const char*& begin, const char*& end)
{
    begin = ++m_at;
    while (isNameChar(*m_at))
        ++m_at;
    end = m_at;
    if (begin == end)
        return false;
    skipWhitespace();
    return true;
}

bool PlainReader::readValue(Value& value)
{
    const char quote = *m_at;
    if (quote != '\'' && quote != '"')
        return false;
    const char* const begin = m_at + 1;
    // No reference holds a quote: the first one ends the value.
    const char* const end = FindByte(begin, m_end, quote);
    if (!end)
        return false;
    if (!FindByte(begin, end, '&')) {
        value.begin = begin;
        value.end = end;
    } else {
        value.decoded.resize(end - begin);
        const std::ptrdiff_t size = decodeValue(begin, end, &value.decoded[0]);
        if (size < 0)
            return false;
        value.begin = value.decoded.data();
        value.end = value.begin + size;
    }
    m_at = end + 1;
    return true;
}

// The attributes of a start tag; the values of the first occurrences of the
// two names asked for are kept in m_first and m_second ("" asks for none).
bool PlainReader::readAttributes(const char* first, const char* second)
{
    Value& firstValue = m_first;
    Value& secondValue = m_second;
    firstValue.clear();
    secondValue.clear();
    while (isAttributeNameChar(*m_at)) {
        const char* const name = m_at;
        while (isAttributeNameChar(*m_at))
            ++m_at;
        const char* const nameEnd = m_at;
        skipWhitespace();
        if (*m_at != '=')
            return false;
        ++m_at;
        skipWhitespace();
        Value* value = &m_skipped;
        if (!firstValue.given() && equals(name, nameEnd, first))
            value = &firstValue;
        else if (!secondValue.given() && equals(name, nameEnd, second))
            value = &secondValue;
        if (!readValue(*value))
            return false;
        skipWhitespace();
    }
    return true;
}

// Inside an element: past white space and the markup the parser skips, the
// element's closing tag, or the name of a child's start tag.
PlainReader::Child PlainReader::nextChild(const char*& name, const char*& nameEnd)
{
    for (;;) {
        skipWhitespace();
        if (*m_at != '<')
            return NotPlain;
        if (m_at[1] == '/')
            return readClosingTag() ? Closed : NotPlain;
        const Markup markup = skipMarkup();
        if (markup == Other)
            return NotPlain;
        if (markup == None)
            return readName(name, nameEnd) ? Element : NotPlain;
    }
}

// After a start tag's attributes: "/>", or ">" and nothing but white space,
// comments and processing instructions up to a closing tag.
bool PlainReader::readEmptyContent()
{
    if (m_at[0] == '/') {
        if (m_at[1] != '>')
            return false;
        m_at += 2;
        return true;
    }
    const char* name = 0;
    const char* nameEnd = 0;
    return readOpening() && nextChild(name, nameEnd) == Closed;
}

// After a start tag's attributes: true at ">", the tag read.
bool PlainReader::readOpening()
{
    if (*m_at != '>')
        return false;
    ++m_at;
    return true;
}

// At "</": the parser does not compare the name with the start tag's.
bool PlainReader::readClosingTag()
{
    m_at += 2;
    while (isNameChar(*m_at))
        ++m_at;
    skipWhitespace();
    if (*m_at != '>')
        return false;
    ++m_at;
    return true;
}

bool PlainReader::read()
{
    // A zero byte ends the parse early; the parse tree reads such a file.
    if (FindByte(m_at, m_end, '\0'))
        return false;
    if (std::strncmp(m_at, "\xEF\xBB\xBF", 3) == 0)
        m_at += 3;
    const char* name = 0;
    const char* nameEnd = 0;
    bool rootSeen = false;
    for (;;) {
        skipWhitespace();
        if (m_at == m_end)
            return rootSeen;
        if (*m_at != '<')
            return false;
        const Markup markup = skipMarkup();
        if (markup == Other)
            return false;
        if (markup == Skipped)
            continue;
        if (rootSeen || !readName(name, nameEnd) || !equals(name, nameEnd, "uitext") || !readAttributes(""))
            return false;
        rootSeen = true;
        if (m_at[0] == '/' && m_at[1] == '>')
            m_at += 2;
        else if (!readOpening() || !readRoot())
            return false;
    }
}

// The children of the uitext element, up to its closing tag.
bool PlainReader::readRoot()
{
    bool languageSeen = false;
    bool contextSeen = false;
    const char* name = 0;
    const char* nameEnd = 0;
    for (;;) {
        const Child child = nextChild(name, nameEnd);
        if (child != Element)
            return child == Closed;
        if (equals(name, nameEnd, "language")) {
            if (languageSeen)
                line(true, "getStringMap(): multiple language elements found.");
            languageSeen = true;
            if (!readAttributes("langcode") || !m_first.given())
                return false;
            const std::string langcode(m_first.begin, m_first.end);
            if (!readEmptyContent() || PocoWrapper::toWide(langcode) != m_language)
                return false;
        } else if (equals(name, nameEnd, "context")) {
            if (contextSeen)
                line(true, "getStringMap(): multiple context elements found.");
            contextSeen = true;
            if (!readAttributes(""))
                return false;
            unsigned long count = 0;
            if (m_at[0] == '/' && m_at[1] == '>')
                m_at += 2;
            else if (!readOpening() || !readContext(count))
                return false;
            line(false, "Number of strings parsed: " + std::to_string(count));
        } else {
            line(true, "getStringMap(): unrecognized element: " + std::string(name, nameEnd));
            if (!readAttributes("") || !readEmptyContent())
                return false;
        }
    }
}

// The children of a context element, up to its closing tag.
bool PlainReader::readContext(unsigned long& count)
{
    const char* name = 0;
    const char* nameEnd = 0;
    for (;;) {
        const Child child = nextChild(name, nameEnd);
        if (child != Element)
            return child == Closed;
        const char* const tag = name - 1;
        if (!equals(name, nameEnd, "string")) {
            if (!readAttributes("") || !readEmptyContent())
                return false;
            continue;
        }
        ++count;
        if (!readAttributes("id", "value") || !m_first.given() || !m_second.given() || !readEmptyContent())
            return false;
        keep(m_first, m_second);
        if (static_cast<std::size_t>(tag - m_released) >= kReleaseStep) {
            m_bytes.release(tag);
            m_released = tag;
        }
    }
}

// True for a text of ASCII characters other than NUL, which the converter
// would give unit for unit (a NUL sends a key's folding the long way).
bool plainAscii(const char* begin, const char* end)
{
    unsigned char seen = 0;
    bool zero = false;
    for (const char* at = begin; at != end; ++at) {
        seen |= static_cast<unsigned char>(*at);
        zero |= *at == '\0';
    }
    return seen < 0x80 && !zero;
}

// Stores the string as the parse tree's walk does: the key is the lower-cased
// UTF-16 form of the identifier, the text the UTF-16 form of the value. ASCII
// needs neither the converter nor the case tables, and is kept as it is.
void PlainReader::keep(const Value& id, const Value& value)
{
    if (plainAscii(id.begin, id.end) && plainAscii(value.begin, value.end)) {
        m_lowered.assign(id.begin, id.end);
        for (char& ch : m_lowered) {
            if (ch >= 'A' && ch <= 'Z')
                ch = static_cast<char>(ch + ('a' - 'A'));
        }
        m_strings.setBytes(m_lowered.data(), m_lowered.size(), value.begin, value.end - value.begin);
        return;
    }
    m_strings.set(PocoWrapper::toLower(PocoWrapper::toWide(std::string(id.begin, id.end))),
                  PocoWrapper::toWide(std::string(value.begin, value.end)));
}
}

bool ReadPlainUiText(FileBytes& bytes, const std::wstring& language, StringMap& strings,
                     std::vector<UiTextLine>& lines)
{
    // Room for every string: each starts with "<s".
    std::size_t elements = 0;
    const char* const end = bytes.data() + bytes.size();
    for (const char* at = bytes.data(); (at = FindBytePair(at, end - 1, '<', 1, 's')) != 0; ++at)
        ++elements;
    strings.reserve(elements);
    return PlainReader(bytes, language, strings, lines).read();
}
