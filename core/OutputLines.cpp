#include "core/OutputLines.h"

#include <algorithm>
#include <cstring>

#include <windows.h>

namespace {
bool isContinuation(unsigned char byte)
{
    return byte >= 0x80 && byte <= 0xBF;
}

// The length of the sequence a lead byte starts and the range its second
// byte must fall in; 0 for a byte that starts no sequence.
std::size_t sequenceLength(unsigned char lead, unsigned char& low, unsigned char& high)
{
    low = 0x80;
    high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (lead == 0xE0)
            low = 0xA0; // shorter forms are overlong
        if (lead == 0xED)
            high = 0x9F; // surrogates
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F; // above U+10FFFF
        return 4;
    }
    return 0;
}

// The length of the well-formed UTF-8 sequence at the start of the bytes
// (1 for ASCII), 0 when none begins there.
std::size_t utf8SequenceAt(const unsigned char* at, std::size_t left)
{
    if (*at < 0x80)
        return 1;
    unsigned char low, high;
    const std::size_t length = sequenceLength(*at, low, high);
    if (length == 0 || left < length || at[1] < low || at[1] > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(at[i]))
            return 0;
    }
    return length;
}

void appendDecoded(std::wstring& text, const char* bytes, std::size_t size, unsigned codePage)
{
    if (size == 0)
        return;
    const int length = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), 0, 0);
    if (length > 0) {
        const std::size_t at = text.size();
        text.resize(at + length);
        MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), &text[at], length);
    } else {
        // A code page the system does not know: keep each byte as the
        // character of the same number rather than lose the line.
        text.append(reinterpret_cast<const unsigned char*>(bytes), reinterpret_cast<const unsigned char*>(bytes) + size);
    }
}

std::size_t lettersOutsideAscii(const std::wstring& text)
{
    std::size_t letters = 0;
    for (wchar_t c : text) {
        if (c >= 0x80 && IsCharAlphaW(c))
            ++letters;
    }
    return letters;
}

// The code page the bytes read best in: the expected one unless the other
// one makes more letters of them.
unsigned likelierCodePage(const char* bytes, std::size_t size, OutputCodePages codePages)
{
    if (codePages.other == 0 || codePages.other == codePages.expected)
        return codePages.expected;
    std::wstring expected, other;
    appendDecoded(expected, bytes, size, codePages.expected);
    appendDecoded(other, bytes, size, codePages.other);
    return lettersOutsideAscii(other) > lettersOutsideAscii(expected) ? codePages.other : codePages.expected;
}

bool singleByte(unsigned codePage)
{
    CPINFO info;
    return GetCPInfo(codePage, &info) && info.MaxCharSize == 1;
}

std::wstring decode(const char* bytes, std::size_t size, OutputCodePages codePages)
{
    std::wstring text;
    if (IsValidUtf8(bytes, size)) {
        appendDecoded(text, bytes, size, CP_UTF8);
    } else {
        const unsigned codePage = likelierCodePage(bytes, size, codePages);
        if (!singleByte(codePage)) {
            // A double-byte code page's pairs may look like UTF-8 in part.
            appendDecoded(text, bytes, size, codePage);
        } else {
            // Runs of UTF-8 as UTF-8, the bytes between them in the code page.
            const unsigned char* const all = reinterpret_cast<const unsigned char*>(bytes);
            std::size_t at = 0;
            while (at < size) {
                const std::size_t utf8 = at;
                for (std::size_t length; at < size && (length = utf8SequenceAt(all + at, size - at)) > 0;)
                    at += length;
                appendDecoded(text, bytes + utf8, at - utf8, CP_UTF8);
                const std::size_t other = at;
                while (at < size && utf8SequenceAt(all + at, size - at) == 0)
                    ++at;
                appendDecoded(text, bytes + other, at - other, codePage);
            }
        }
    }
    std::replace(text.begin(), text.end(), L'\0', L'\xFFFD');
    return text;
}
}

OutputCodePages ChildOutputCodePages(bool hidden)
{
    const unsigned oem = GetOEMCP();
    if (hidden)
        return OutputCodePages{ oem, 0 };
    const unsigned console = GetConsoleOutputCP();
    if (console)
        return OutputCodePages{ console, 0 };
    return OutputCodePages{ oem, GetACP() };
}

bool IsValidUtf8(const char* bytes, std::size_t size)
{
    const unsigned char* at = reinterpret_cast<const unsigned char*>(bytes);
    const unsigned char* const end = at + size;
    while (at < end) {
        const std::size_t length = utf8SequenceAt(at, end - at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::size_t IncompleteUtf8Tail(const char* bytes, std::size_t size)
{
    const unsigned char* text = reinterpret_cast<const unsigned char*>(bytes);
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const unsigned char byte = text[size - back];
        if (isContinuation(byte))
            continue;
        unsigned char low, high;
        const std::size_t length = sequenceLength(byte, low, high);
        return length > back ? back : 0;
    }
    return 0;
}

void DecodeOutputLine(const char* bytes, std::size_t size, OutputCodePages codePages, std::wstring& text)
{
    // Most output is plain ASCII, which reads the same in every code page.
    const unsigned char* units = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t ascii = 0;
    while (ascii < size && units[ascii] > 0 && units[ascii] < 0x80)
        ++ascii;
    if (ascii == size) {
        // Widened in place: append() from bytes would build a temporary string.
        const std::size_t at = text.size();
        text.resize(at + size);
        std::copy(units, units + size, &text[at]);
    } else {
        text += decode(bytes, size, codePages);
    }
}

LineBudget::LineBudget(unsigned long limit) : m_left(limit), m_leftOut(0)
{
}

bool LineBudget::Take()
{
    if (m_left == 0)
        return false;
    --m_left;
    return true;
}

OutputLines::OutputLines(const SecretMask& mask, OutputCodePages codePages, LineBudget& budget, const Sink& sink)
    : m_mask(mask), m_codePages(codePages), m_budget(budget), m_sink(sink), m_encoding(Undecided), m_inLine(false),
      m_cut(false), m_afterReturn(false), m_emitted(false)
{
}

void OutputLines::Add(const char* bytes, std::size_t size)
{
    if (m_encoding == Undecided) {
        while (m_head.size() < 2 && size > 0) {
            m_head += *bytes++;
            --size;
        }
        if (m_head.size() < 2)
            return;
        if (m_head == "\xFF\xFE") {
            m_encoding = Utf16;
            m_head.clear();
        } else {
            // ASCII text in UTF-16LE: a character below 0x80, then a NUL.
            m_encoding = m_head[0] > 0 && m_head[1] == 0 ? Utf16 : Bytes;
            std::string first;
            first.swap(m_head);
            addDecided(first.data(), first.size());
        }
    }
    addDecided(bytes, size);
}

void OutputLines::addDecided(const char* bytes, std::size_t size)
{
    if (m_encoding == Bytes) {
        split(bytes, size);
        return;
    }
    // UTF-16LE: whole units; a unit cut by the read waits for its second byte.
    m_units.clear();
    if (!m_head.empty() && size > 0) {
        m_units += static_cast<wchar_t>(static_cast<unsigned char>(m_head[0]) | static_cast<unsigned char>(*bytes++) << 8);
        m_head.clear();
        --size;
    }
    const std::size_t whole = size / 2;
    const std::size_t at = m_units.size();
    m_units.resize(at + whole);
    std::memcpy(&m_units[at], bytes, whole * 2);
    if (size % 2)
        m_head.assign(bytes + size - 1, 1);
    split(m_units.data(), m_units.size());
}

template <class Unit>
void OutputLines::split(const Unit* units, std::size_t size)
{
    std::size_t at = 0;
    while (at < size) {
        if (m_afterReturn) {
            m_afterReturn = false;
            if (units[at] == '\n') {
                ++at;
                continue;
            }
        }
        std::size_t end = at;
        while (end < size && units[end] != '\n' && units[end] != '\r')
            ++end;
        if (end > at) {
            m_inLine = true;
            append(units + at, end - at);
        }
        if (end < size) {
            m_inLine = true;
            endLine();
            m_afterReturn = units[end] == '\r';
            ++end;
        }
        at = end;
    }
}

void OutputLines::Finish()
{
    if (m_encoding == Undecided) {
        // Fewer than two bytes in all: read as bytes.
        m_encoding = Bytes;
        std::string first;
        first.swap(m_head);
        split(first.data(), first.size());
    }
    m_afterReturn = false;
    if (m_inLine)
        endLine();
}

void OutputLines::append(const char* bytes, std::size_t size)
{
    if (m_budget.Spent()) {
        m_cut = true;
        return;
    }
    m_bytes.append(bytes, size);
    if (m_bytes.size() >= CommandOutput::kChunkBytes) {
        decode(false);
        mask(false);
    }
}

void OutputLines::append(const wchar_t* units, std::size_t size)
{
    if (m_budget.Spent()) {
        m_cut = true;
        return;
    }
    const std::size_t at = m_text.size();
    m_text.append(units, size);
    std::replace(m_text.begin() + at, m_text.end(), L'\0', L'\xFFFD');
    if (m_text.size() >= CommandOutput::kChunkBytes)
        mask(false);
}

void OutputLines::endLine()
{
    if (m_budget.Spent()) {
        m_cut = true;
    } else {
        if (m_encoding == Bytes)
            decode(true);
        mask(true);
    }
    if (m_cut)
        m_budget.LeaveOut();
    m_inLine = false;
    m_cut = false;
    m_emitted = false;
    m_bytes.clear();
    m_clean.clear();
    m_text.clear();
    m_masked.clear();
}

void OutputLines::decode(bool lineEnded)
{
    // The raw bytes are masked first, in every form a secret may take, so
    // no choice of decoding can show one.
    std::string* bytes = &m_bytes;
    if (!m_mask.Empty()) {
        // While the line goes on, the last bytes may begin a secret whose
        // rest has not arrived: they wait for the next chunk.
        const std::size_t keep = lineEnded ? 0 : std::min(m_bytes.size(), m_mask.LongestBytes() - 1);
        m_bytes.erase(0, m_mask.MaskBytesInto(m_bytes, m_bytes.size() - keep, m_clean));
        bytes = &m_clean;
    }
    std::size_t size = bytes->size();
    if (!lineEnded) {
        // Keep a character cut by the read for the next chunk, as long as
        // the line reads as UTF-8 so far.
        const std::size_t whole = size - IncompleteUtf8Tail(bytes->data(), size);
        if (IsValidUtf8(bytes->data(), whole))
            size = whole;
    }
    DecodeOutputLine(bytes->data(), size, m_codePages, m_text);
    bytes->erase(0, size);
}

void OutputLines::mask(bool lineEnded)
{
    // While the line goes on, the last characters may begin a secret whose
    // rest has not arrived: they wait for the next chunk.
    const std::size_t secret = m_mask.LongestText();
    const std::size_t keep = lineEnded || secret == 0 ? 0 : secret - 1;
    if (m_mask.Empty() && m_masked.empty())
        m_text.swap(m_masked); // nothing to mask: the text moves over as it is
    else if (m_text.size() > keep)
        m_text.erase(0, m_mask.MaskInto(m_text, m_text.size() - keep, m_masked));
    while (m_masked.size() > CommandOutput::kPieceCharacters)
        emit(CommandOutput::kPieceCharacters);
    if (lineEnded && (!m_masked.empty() || !m_emitted))
        emit(m_masked.size());
}

void OutputLines::emit(std::size_t characters)
{
    m_emitted = true;
    if (!m_budget.Take())
        m_cut = true;
    else if (characters == m_masked.size())
        m_sink(m_masked);
    else
        m_sink(m_masked.substr(0, characters));
    m_masked.erase(0, characters);
}
