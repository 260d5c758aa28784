#include "OutputLines.h"

#include <algorithm>

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

std::wstring decode(const char* bytes, std::size_t size, unsigned codePage)
{
    std::wstring text;
    if (size == 0)
        return text;
    const int length = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), 0, 0);
    if (length > 0) {
        text.resize(length);
        MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(size), &text[0], length);
    } else {
        // A code page the system does not know: keep each byte as the
        // character of the same number rather than lose the line.
        text.assign(reinterpret_cast<const unsigned char*>(bytes),
                    reinterpret_cast<const unsigned char*>(bytes) + size);
    }
    std::replace(text.begin(), text.end(), L'\0', L'\xFFFD');
    return text;
}
}

bool IsValidUtf8(const char* bytes, std::size_t size)
{
    const unsigned char* at = reinterpret_cast<const unsigned char*>(bytes);
    const unsigned char* end = at + size;
    while (at < end) {
        if (*at < 0x80) {
            ++at;
            continue;
        }
        unsigned char low, high;
        const std::size_t length = sequenceLength(*at, low, high);
        if (length == 0 || static_cast<std::size_t>(end - at) < length)
            return false;
        if (at[1] < low || at[1] > high)
            return false;
        for (std::size_t i = 2; i < length; ++i) {
            if (!isContinuation(at[i]))
                return false;
        }
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

std::wstring DecodeOutputLine(const char* bytes, std::size_t size, unsigned codePage)
{
    // Most output is plain ASCII, which reads the same in every code page.
    const unsigned char* text = reinterpret_cast<const unsigned char*>(bytes);
    std::size_t ascii = 0;
    while (ascii < size && text[ascii] > 0 && text[ascii] < 0x80)
        ++ascii;
    if (ascii == size)
        return std::wstring(text, text + size);
    return decode(bytes, size, IsValidUtf8(bytes, size) ? CP_UTF8 : codePage);
}

LineBudget::LineBudget(unsigned long limit) : m_left(limit), m_leftOut(0)
{
}

bool LineBudget::Take()
{
    if (m_left > 0) {
        --m_left;
        return true;
    }
    ++m_leftOut;
    return false;
}

OutputLines::OutputLines(const SecretMask& mask, unsigned codePage, LineBudget& budget, const Sink& sink)
    : m_mask(mask), m_codePage(codePage), m_budget(budget), m_sink(sink), m_inLine(false), m_logged(false),
      m_afterReturn(false), m_emitted(false)
{
}

void OutputLines::Add(const char* bytes, std::size_t size)
{
    std::size_t at = 0;
    while (at < size) {
        if (m_afterReturn) {
            m_afterReturn = false;
            if (bytes[at] == '\n') {
                ++at;
                continue;
            }
        }
        std::size_t end = at;
        while (end < size && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        if (end > at) {
            if (!m_inLine)
                beginLine();
            if (m_logged) {
                m_bytes.append(bytes + at, end - at);
                if (m_bytes.size() >= CommandOutput::kChunkBytes) {
                    decode(false);
                    mask(false);
                }
            }
        }
        if (end < size) {
            if (!m_inLine)
                beginLine();
            endLine();
            m_afterReturn = bytes[end] == '\r';
            ++end;
        }
        at = end;
    }
}

void OutputLines::Finish()
{
    m_afterReturn = false;
    if (m_inLine)
        endLine();
}

void OutputLines::beginLine()
{
    m_inLine = true;
    m_emitted = false;
    m_logged = m_budget.Take();
}

void OutputLines::endLine()
{
    if (m_logged) {
        decode(true);
        mask(true);
    }
    m_inLine = false;
    m_bytes.clear();
    m_text.clear();
    m_masked.clear();
}

void OutputLines::decode(bool lineEnded)
{
    std::size_t size = m_bytes.size();
    if (!lineEnded) {
        // Keep a character cut by the read for the next chunk, as long as
        // the line reads as UTF-8 so far.
        const std::size_t whole = size - IncompleteUtf8Tail(m_bytes.data(), size);
        if (IsValidUtf8(m_bytes.data(), whole))
            size = whole;
    }
    m_text += DecodeOutputLine(m_bytes.data(), size, m_codePage);
    m_bytes.erase(0, size);
}

void OutputLines::mask(bool lineEnded)
{
    // While the line goes on, the last characters may begin a secret whose
    // rest has not arrived: they wait for the next chunk.
    const std::size_t secret = m_mask.SecretLength();
    const std::size_t keep = lineEnded || secret == 0 ? 0 : secret - 1;
    if (m_text.size() > keep)
        m_text.erase(0, m_mask.MaskInto(m_text, m_text.size() - keep, m_masked));
    while (m_masked.size() > CommandOutput::kPieceCharacters)
        emit(CommandOutput::kPieceCharacters);
    if (lineEnded && (!m_masked.empty() || !m_emitted))
        emit(m_masked.size());
}

void OutputLines::emit(std::size_t characters)
{
    m_emitted = true;
    if (characters == m_masked.size()) {
        m_sink(m_masked);
        m_masked.clear();
    } else {
        m_sink(m_masked.substr(0, characters));
        m_masked.erase(0, characters);
    }
}
