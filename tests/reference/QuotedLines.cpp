#include "QuotedLines.h"

#include <cstring>
#include <regex>
#include <sstream>

#include "SourceScan.h"

namespace {
const std::string::size_type kEndPiece = 4;
const std::string::size_type kWholePiece = 2;
const char kSeparator = '\x01';

void appendUtf8(std::string& text, unsigned long code)
{
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xc0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        text += static_cast<char>(0xe0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        text += static_cast<char>(0x80 | (code & 0x3f));
    }
}

// The literal whose opening quote is at open, decoded; at is left after
// its closing quote.
std::string literalAt(const std::string& code, std::string::size_type open, std::string::size_type& at)
{
    std::string text;
    for (at = open + 1; at < code.size() && code[at] != '"' && code[at] != '\n'; ++at) {
        if (code[at] != '\\' || at + 1 >= code.size()) {
            text += code[at];
            continue;
        }
        const char escaped = code[++at];
        if (escaped == 'n')
            text += '\n';
        else if (escaped == 't')
            text += '\t';
        else if (escaped == 'r')
            text += '\r';
        else if (escaped == '0')
            text += '\0';
        else if (escaped == 'x' || escaped == 'u') {
            const std::string::size_type digits = escaped == 'u' ? 4 : 2;
            appendUtf8(text, std::stoul(code.substr(at + 1, digits), 0, 16));
            at += digits;
        } else
            text += escaped;
    }
    ++at;
    return text;
}

// The position of the next literal's opening quote after at when only
// blanks and a literal's prefix (L, u8, u, U) stand between; else npos.
std::string::size_type adjacentLiteral(const std::string& code, std::string::size_type at)
{
    at = code.find_first_not_of(" \t\r\n", at);
    if (at == std::string::npos)
        return at;
    for (const char* prefix : { "\"", "L\"", "u8\"", "u\"", "U\"" }) {
        if (code.compare(at, std::strlen(prefix), prefix) == 0)
            return at + std::strlen(prefix) - 1;
    }
    return std::string::npos;
}

bool identifierChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// The texts between the placeholders, the empty ones too.
std::vector<std::string> allPieces(const std::string& quoted)
{
    static const std::regex placeholder(u8"\\.\\.\\.|…|\\b\\d+\\b|\\b[A-Z][A-Z0-9_]*\\b");
    std::vector<std::string> pieces;
    for (std::sregex_token_iterator it(quoted.begin(), quoted.end(), placeholder, -1), end; it != end; ++it)
        pieces.push_back(*it);
    // A placeholder at the end leaves no empty piece behind it.
    if (std::regex_search(quoted, std::regex(u8"(\\.\\.\\.|…|\\b\\d+|\\b[A-Z][A-Z0-9_]*)$")))
        pieces.push_back(std::string());
    return pieces;
}

std::string::size_type meaningfulChars(const std::string& piece)
{
    std::string::size_type count = 0;
    for (char c : piece)
        count += std::strchr(" :;,.()[]\"'!?<>=&|-", c) ? 0 : 1;
    return count;
}
}

std::vector<std::string> CodeSpans(const std::string& markdown)
{
    std::string prose;
    std::istringstream input(markdown);
    for (std::string line; std::getline(input, line);) {
        if (line.compare(0, 4, "    ") != 0)
            prose += line + "\n";
    }
    std::vector<std::string> spans;
    for (std::string::size_type open = prose.find('`'); open != std::string::npos;) {
        const std::string::size_type close = prose.find('`', open + 1);
        if (close == std::string::npos)
            break;
        std::string span = prose.substr(open + 1, close - open - 1);
        for (char& c : span)
            c = c == '\n' ? ' ' : c;
        spans.push_back(span);
        open = prose.find('`', close + 1);
    }
    return spans;
}

std::vector<std::string> FixedPieces(const std::string& quoted)
{
    std::vector<std::string> pieces;
    for (const std::string& piece : allPieces(quoted)) {
        if (meaningfulChars(piece) >= kEndPiece)
            pieces.push_back(piece);
    }
    return pieces;
}

bool LineFits(const std::string& line, const std::string& quoted)
{
    std::string pattern;
    bool first = true;
    for (const std::string& piece : allPieces(quoted)) {
        if (!first)
            pattern += "[\\s\\S]*";
        first = false;
        for (char c : piece)
            pattern += std::strchr("\\^$.|?*+()[]{}", c) ? std::string("\\") + c : std::string(1, c);
    }
    return std::regex_match(line, std::regex(pattern));
}

std::vector<std::string> LiteralTexts(const std::string& source)
{
    static const std::regex specifier("%[-+ #0]*\\d*(?:\\.\\d+)?(?:hh|h|ll|l|L|z|j|t|I64|I32)?[diouxXeEfgGcspS]");
    const std::string code = CodeOnly(source, false);
    std::vector<std::string> texts;
    std::string::size_type at = 0;
    while (at < code.size()) {
        const char c = code[at];
        if (c == '\'') {
            // A character literal: '"' is not a string's quote.
            at = code.find('\'', at + (code[at + 1] == '\\' ? 3 : 2)) + 1;
            if (at == 0)
                break;
            continue;
        }
        if (c != '"' || (at > 0 && identifierChar(code[at - 1]) && code[at - 1] != 'L' && code[at - 1] != '8' &&
                         code[at - 1] != 'u' && code[at - 1] != 'U')) {
            ++at;
            continue;
        }
        std::string literal = literalAt(code, at, at);
        for (std::string::size_type next; (next = adjacentLiteral(code, at)) != std::string::npos;)
            literal += literalAt(code, next, at);
        for (std::sregex_token_iterator it(literal.begin(), literal.end(), specifier, -1), end; it != end; ++it) {
            if (it->length() > 0)
                texts.push_back(*it);
        }
    }
    return texts;
}

LiteralText::LiteralText(const std::vector<std::string>& literals)
    : m_literals(literals), m_joined(1, kSeparator)
{
    for (const std::string& literal : literals)
        m_joined += literal + kSeparator;
}

bool LiteralText::endsOne(const std::string& text) const
{
    return m_joined.find(text + kSeparator) != std::string::npos;
}

bool LiteralText::beginsOne(const std::string& text) const
{
    return m_joined.find(kSeparator + text) != std::string::npos;
}

bool LiteralText::Holds(const std::string& text) const
{
    if (m_joined.find(text) != std::string::npos)
        return true;
    // reached[i]: the first i characters are the end of a literal followed
    // by whole literals.
    std::vector<bool> reached(text.size() + 1, false);
    for (std::string::size_type i = kEndPiece; i < text.size(); ++i)
        reached[i] = endsOne(text.substr(0, i));
    for (std::string::size_type i = kEndPiece; i < text.size(); ++i) {
        if (!reached[i])
            continue;
        const std::string rest = text.substr(i);
        if (rest.size() >= kEndPiece && beginsOne(rest))
            return true;
        for (const std::string& literal : m_literals) {
            if (literal.size() >= kWholePiece && rest.compare(0, literal.size(), literal) == 0)
                reached[i + literal.size()] = true;
        }
    }
    return reached[text.size()];
}
