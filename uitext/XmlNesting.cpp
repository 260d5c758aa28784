#include "XmlNesting.h"

#include <cstring>

#include <rapidxml/rapidxml.hpp>

#include "XmlCharacters.h"
#include "core/ByteSearch.h"

namespace {
using namespace XmlCharacters;

const char* skipWhitespace(const char* at)
{
    while (isWhitespace(*at))
        ++at;
    return at;
}

// Past the first `end` at or after `at`; null when there is none (the
// parser stops there).
const char* skipPast(const char* at, const char* end)
{
    const char* found = std::strstr(at, end);
    return found ? found + std::strlen(end) : 0;
}

// Past a DOCTYPE declaration, whose internal subset in brackets may hold ">".
const char* skipDoctype(const char* at)
{
    while (*at != '>') {
        if (*at == '\0')
            return 0;
        if (*at++ == '[') {
            for (int brackets = 1; brackets > 0; ++at) {
                if (*at == '\0')
                    return 0;
                brackets += *at == '[' ? 1 : *at == ']' ? -1 : 0;
            }
        }
    }
    return at + 1;
}

// Past a start tag whose name begins at `at`; null when the parser would
// stop inside it. `opens` tells whether the element has content.
const char* skipStartTag(const char* at, bool& opens)
{
    const char* const name = at;
    while (isNameChar(*at))
        ++at;
    if (at == name)
        return 0;
    at = skipWhitespace(at);
    while (isAttributeNameChar(*at)) {
        while (isAttributeNameChar(*at))
            ++at;
        at = skipWhitespace(at);
        if (*at != '=')
            return 0;
        at = skipWhitespace(at + 1);
        const char quote = *at;
        if (quote != '\'' && quote != '"')
            return 0;
        at = std::strchr(at + 1, quote);
        if (!at)
            return 0;
        at = skipWhitespace(at + 1);
    }
    if (*at == '>') {
        opens = true;
        return at + 1;
    }
    opens = false;
    return *at == '/' && at[1] == '>' ? at + 2 : 0;
}

// Past the markup that begins with "<!" or "<?" at `at` (which points after
// the "<").
const char* skipDeclaration(const char* at)
{
    if (*at == '?')
        return skipPast(at + 1, "?>");
    if (std::strncmp(at, "!--", 3) == 0)
        return skipPast(at + 3, "-->");
    if (std::strncmp(at, "![CDATA[", 8) == 0)
        return skipPast(at + 8, "]]>");
    if (std::strncmp(at, "!DOCTYPE", 8) == 0 && isWhitespace(at[8]))
        return skipDoctype(at + 9);
    const char* end = std::strchr(at, '>');
    return end ? end + 1 : 0;
}

// True when the text holds more than maxNesting ">" without a "/" before
// them. Every element whose start tag opens a level ends that tag with such
// a ">", so a text with no more of them cannot nest more deeply; strings
// files, whose strings close themselves, are told apart in one quick pass.
bool mayNestDeeperThan(const char* text, std::size_t maxNesting)
{
    const char* const end = text + std::strlen(text);
    std::size_t closers = 0;
    for (const char* at = FindByte(text, end, '>'); at; at = FindByte(at + 1, end, '>')) {
        if ((at == text || at[-1] != '/') && ++closers > maxNesting)
            return true;
    }
    return false;
}
}

const char* FindTooDeepElement(const char* text, std::size_t maxNesting)
{
    if (!mayNestDeeperThan(text, maxNesting))
        return 0;
    std::size_t depth = 0;
    const char* at = text;
    if (std::strncmp(at, "\xEF\xBB\xBF", 3) == 0)
        at += 3;
    while (at) {
        // Between the top-level nodes only white space may stand; inside an
        // element everything up to the next "<" is its text.
        if (depth == 0) {
            at = skipWhitespace(at);
            if (*at != '<')
                return 0;
        } else {
            at = std::strchr(at, '<');
            if (!at)
                return 0;
        }
        const char* const tag = at++;
        if (*at == '/') {
            if (depth == 0)
                return 0;
            ++at;
            while (isNameChar(*at))
                ++at;
            at = skipWhitespace(at);
            if (*at != '>')
                return 0;
            ++at;
            --depth;
        } else if (*at == '!' || *at == '?') {
            at = skipDeclaration(at);
        } else {
            bool opens = false;
            at = skipStartTag(at, opens);
            if (at && opens && ++depth > maxNesting)
                return tag;
        }
    }
    return 0;
}
