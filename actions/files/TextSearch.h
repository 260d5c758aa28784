#pragma once
// Finding a text in a buffer of code units (bytes, or the 16-bit units of a
// UTF-16 file) in time proportional to the buffer, whatever the length of
// the text looked for: the two-way search (critical factorisation of the
// searched text), with a last-unit shift table that skips most of a buffer
// that holds no match.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

template <class Unit>
class TextSearch {
public:
    // An empty text is never found.
    TextSearch(const Unit* text, std::size_t size);

    // The first occurrence of the text in [begin, end), or null.
    const Unit* find(const Unit* begin, const Unit* end) const;
    std::size_t size() const { return m_text.size(); }

private:
    static unsigned char slot(Unit unit) { return static_cast<unsigned char>(unit); }
    std::size_t criticalPosition(std::size_t& period) const;

    std::vector<Unit> m_text;
    std::size_t m_suffix; // where the right half of the critical factorisation begins
    std::size_t m_period;
    bool m_periodic;
    // How far the text can move when the buffer's unit under its last unit
    // falls into a slot (a unit's low byte), capped at 255.
    unsigned char m_shift[256];
};

// The first place p in [begin, last] where p[0] is `first` and
// p[distance] is `second`, or null. For 16-bit units no place is ruled
// out: `begin`.
const unsigned char* SkipToCandidate(const unsigned char* begin, const unsigned char* last, unsigned char first,
                                     std::size_t distance, unsigned char second);
inline const unsigned short* SkipToCandidate(const unsigned short* begin, const unsigned short*, unsigned short,
                                             std::size_t, unsigned short)
{
    return begin;
}

// The first unit equal to `unit` in [begin, end), or null.
const unsigned char* FindUnit(const unsigned char* begin, const unsigned char* end, unsigned char unit);
const unsigned short* FindUnit(const unsigned short* begin, const unsigned short* end, unsigned short unit);
// The last unit equal to `unit` in [begin, end), or null.
const unsigned char* FindLastUnit(const unsigned char* begin, const unsigned char* end, unsigned char unit);
const unsigned short* FindLastUnit(const unsigned short* begin, const unsigned short* end, unsigned short unit);

template <class Unit>
TextSearch<Unit>::TextSearch(const Unit* text, std::size_t size)
    : m_text(text, text + size), m_suffix(0), m_period(1), m_periodic(false)
{
    const std::size_t longest = size < 255 ? size : 255;
    std::memset(m_shift, static_cast<int>(longest), sizeof(m_shift));
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t shift = size - i - 1;
        m_shift[slot(text[i])] = static_cast<unsigned char>(shift < 255 ? shift : 255);
    }
    if (size == 0)
        return;
    m_suffix = criticalPosition(m_period);
    m_periodic = m_suffix < size && m_period <= size - m_suffix &&
                 std::equal(m_text.begin(), m_text.begin() + m_suffix, m_text.begin() + m_period);
    if (!m_periodic)
        m_period = (m_suffix > size - m_suffix ? m_suffix : size - m_suffix) + 1;
}

// The critical factorisation: the larger of the two maximal suffixes, for
// the order of units and for its reverse, and the period of that suffix.
template <class Unit>
std::size_t TextSearch<Unit>::criticalPosition(std::size_t& period) const
{
    const std::size_t size = m_text.size();
    const Unit* const text = m_text.data();
    std::size_t suffixes[2];
    std::size_t periods[2];
    for (int reverse = 0; reverse < 2; ++reverse) {
        std::size_t maxSuffix = static_cast<std::size_t>(-1);
        std::size_t j = 0;
        std::size_t k = 1;
        std::size_t p = 1;
        while (j + k < size) {
            const Unit a = text[j + k];
            const Unit b = text[maxSuffix + k];
            if (reverse ? b < a : a < b) {
                j += k;
                k = 1;
                p = j - maxSuffix;
            } else if (a == b) {
                if (k != p) {
                    ++k;
                } else {
                    j += p;
                    k = 1;
                }
            } else {
                maxSuffix = j++;
                k = p = 1;
            }
        }
        suffixes[reverse] = maxSuffix + 1;
        periods[reverse] = p;
    }
    const int larger = suffixes[1] < suffixes[0] ? 0 : 1;
    period = periods[larger];
    return suffixes[larger];
}

template <class Unit>
const Unit* TextSearch<Unit>::find(const Unit* begin, const Unit* end) const
{
    const std::size_t size = m_text.size();
    if (size == 0 || static_cast<std::size_t>(end - begin) < size)
        return 0;
    const Unit* const text = m_text.data();
    const Unit last = text[size - 1];
    const Unit* const lastStart = end - size; // the last place a match can start
    std::size_t memory = 0;                // units known to match at the start (periodic texts)
    for (const Unit* at = begin; at <= lastStart;) {
        // Where nothing is known to match, skip to a place where the first
        // and the last unit do.
        if (memory == 0) {
            at = SkipToCandidate(at, lastStart, text[0], size - 1, last);
            if (!at)
                return 0;
        }
        const Unit under = at[size - 1];
        std::size_t shift = m_shift[slot(under)];
        if (shift == 0 && under != last)
            shift = 1;
        if (shift > 0) {
            // A periodic text whose last period met a unit out of place
            // cannot match before that unit is passed.
            if (memory && shift < m_period)
                shift = size - m_period;
            memory = 0;
            if (static_cast<std::size_t>(lastStart - at) < shift)
                return 0;
            at += shift;
            continue;
        }
        // The last unit matches: the right half, then the left half.
        std::size_t i = m_periodic && memory > m_suffix ? memory : m_suffix;
        while (i < size - 1 && text[i] == at[i])
            ++i;
        if (i < size - 1) {
            shift = i - m_suffix + 1;
            memory = 0;
        } else {
            const std::size_t stop = m_periodic ? memory : 0;
            i = m_suffix;
            while (i > stop && text[i - 1] == at[i - 1])
                --i;
            if (i <= stop)
                return at;
            shift = m_period;
            memory = m_periodic ? size - m_period : 0;
        }
        if (static_cast<std::size_t>(lastStart - at) < shift)
            return 0;
        at += shift;
    }
    return 0;
}
