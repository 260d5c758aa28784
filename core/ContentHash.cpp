#include "ContentHash.h"

#include <cstring>

#include <immintrin.h>

namespace {
const unsigned kPrime1 = 2654435761u;
const unsigned kPrime2 = 2246822519u;
const unsigned kPrime3 = 3266489917u;
const unsigned kPrime4 = 668265263u;
const unsigned kPrime5 = 374761393u;

inline unsigned rotl(unsigned value, int bits)
{
    return (value << bits) | (value >> (32 - bits));
}

inline unsigned word(const unsigned char* data)
{
    return static_cast<unsigned>(data[0]) | static_cast<unsigned>(data[1]) << 8 |
           static_cast<unsigned>(data[2]) << 16 | static_cast<unsigned>(data[3]) << 24;
}

inline unsigned mixRound(unsigned lane, unsigned input)
{
    return rotl(lane + input * kPrime2, 13) * kPrime1;
}

// True where the processor has the 32-byte instructions and the system
// saves their registers: the eight lanes are then one register.
const bool kHaveAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();

// The rounds of `count` stripes, one after another, in the eight lanes; the
// same rounds as ContentHash::stripe, eight at once.
__attribute__((target("avx2"))) void stripesAtOnce(unsigned* lanes, const unsigned char* data, std::size_t count)
{
    const __m256i prime1 = _mm256_set1_epi32(static_cast<int>(kPrime1));
    const __m256i prime2 = _mm256_set1_epi32(static_cast<int>(kPrime2));
    __m256i state = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes));
    for (; count > 0; --count, data += 32) {
        const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
        const __m256i sum = _mm256_add_epi32(state, _mm256_mullo_epi32(input, prime2));
        const __m256i rotated = _mm256_or_si256(_mm256_slli_epi32(sum, 13), _mm256_srli_epi32(sum, 19));
        state = _mm256_mullo_epi32(rotated, prime1);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes), state);
}

inline unsigned avalanche(unsigned value)
{
    value ^= value >> 15;
    value *= kPrime2;
    value ^= value >> 13;
    value *= kPrime3;
    value ^= value >> 16;
    return value;
}

// Four lanes and the tail in one 32-bit half; `salt` tells the halves apart.
unsigned half(const unsigned* lanes, unsigned long long length, const unsigned char* tail, std::size_t tailSize,
              unsigned salt)
{
    unsigned value = rotl(lanes[0], 1) + rotl(lanes[1], 7) + rotl(lanes[2], 12) + rotl(lanes[3], 18);
    value += static_cast<unsigned>(length) ^ static_cast<unsigned>(length >> 32) ^ salt;
    std::size_t at = 0;
    for (; at + 4 <= tailSize; at += 4)
        value = rotl(value + word(tail + at) * kPrime3, 17) * kPrime4;
    for (; at < tailSize; ++at)
        value = rotl(value + tail[at] * kPrime5, 11) * kPrime1;
    return avalanche(value);
}
}

ContentHash::ContentHash() : m_tailSize(0), m_length(0)
{
    for (int i = 0; i < 8; ++i)
        m_lanes[i] = kPrime1 * static_cast<unsigned>(i + 1) + kPrime2;
}

void ContentHash::stripe(const unsigned char* data)
{
    for (int i = 0; i < 8; ++i)
        m_lanes[i] = mixRound(m_lanes[i], word(data + 4 * i));
}

void ContentHash::add(const void* data, std::size_t size)
{
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    m_length += size;
    if (m_tailSize > 0) {
        const std::size_t now = size < 32 - m_tailSize ? size : 32 - m_tailSize;
        std::memcpy(m_tail + m_tailSize, bytes, now);
        m_tailSize += now;
        bytes += now;
        size -= now;
        if (m_tailSize < 32)
            return;
        stripe(m_tail);
        m_tailSize = 0;
    }
    if (kHaveAvx2 && size >= 32) {
        const std::size_t whole = size / 32;
        stripesAtOnce(m_lanes, bytes, whole);
        bytes += 32 * whole;
        size -= 32 * whole;
    }
    for (; size >= 32; bytes += 32, size -= 32)
        stripe(bytes);
    std::memcpy(m_tail, bytes, size);
    m_tailSize = size;
}

unsigned long long ContentHash::value() const
{
    const unsigned high = half(m_lanes, m_length, m_tail, m_tailSize, 0);
    const unsigned low = half(m_lanes + 4, m_length, m_tail, m_tailSize, kPrime5);
    return static_cast<unsigned long long>(high) << 32 | low;
}

std::wstring ContentHash::text() const
{
    const wchar_t* const digits = L"0123456789abcdef";
    unsigned long long hash = value();
    std::wstring text(16, L'0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        text[i] = digits[hash & 15];
    return text;
}
