#include "ByteSearch.h"

#include <immintrin.h>
#include <windows.h>

namespace {
// Asked once, when the library is loaded: each scan then costs no more than
// a test of these flags.
const bool kHaveSse2 = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;

// True where the processor has the 32-byte instructions and the system
// saves their registers.
const bool kHaveAvx2 = [] {
    __builtin_cpu_init();
    return kHaveSse2 && __builtin_cpu_supports("avx2");
}();

const char* findOneByOne(const char* begin, const char* end, char wanted)
{
    for (; begin != end; ++begin) {
        if (*begin == wanted)
            return begin;
    }
    return 0;
}

// Every processor this library runs on has these instructions, but the
// library is built for older ones too, so they are asked for here only.
__attribute__((target("sse2"))) const char* findSixteenAtATime(const char* begin, const char* end, char wanted)
{
    const __m128i pattern = _mm_set1_epi8(wanted);
    while (end - begin >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(block, pattern));
        if (mask)
            return begin + __builtin_ctz(mask);
        begin += 16;
    }
    return findOneByOne(begin, end, wanted);
}

const char* findLastOneByOne(const char* begin, const char* end, char wanted)
{
    while (end != begin) {
        if (*--end == wanted)
            return end;
    }
    return 0;
}

__attribute__((target("sse2"))) const char* findLastSixteenAtATime(const char* begin, const char* end, char wanted)
{
    const __m128i pattern = _mm_set1_epi8(wanted);
    while (end - begin >= 16) {
        end -= 16;
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(block, pattern));
        if (mask)
            return end + 31 - __builtin_clz(mask);
    }
    return findLastOneByOne(begin, end, wanted);
}

const char* pairOneByOne(const char* begin, const char* last, char first, std::size_t distance, char second)
{
    for (; begin <= last; ++begin) {
        if (*begin == first && begin[distance] == second)
            return begin;
    }
    return 0;
}

__attribute__((target("sse2"))) const char* pairSixteenAtATime(const char* begin, const char* last, char first,
                                                                std::size_t distance, char second)
{
    const __m128i firsts = _mm_set1_epi8(first);
    const __m128i seconds = _mm_set1_epi8(second);
    while (last - begin >= 15) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
        const __m128i there = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin + distance));
        const int mask =
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, firsts), _mm_cmpeq_epi8(there, seconds)));
        if (mask)
            return begin + __builtin_ctz(mask);
        begin += 16;
    }
    return pairOneByOne(begin, last, first, distance, second);
}

// Thirty-two bytes at a time, the rest sixteen at a time: scanning costs
// half of what it costs with sixteen. While there are sixty-four bytes, two
// blocks share one test and one step.
__attribute__((target("avx2"))) const char* findThirtyTwoAtATime(const char* begin, const char* end, char wanted)
{
    const __m256i pattern = _mm256_set1_epi8(wanted);
    while (end - begin >= 64) {
        const __m256i first = _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(begin)), pattern);
        const __m256i second =
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(begin + 32)), pattern);
        if (_mm256_movemask_epi8(_mm256_or_si256(first, second))) {
            const int mask = _mm256_movemask_epi8(first);
            return mask ? begin + __builtin_ctz(mask) : begin + 32 + __builtin_ctz(_mm256_movemask_epi8(second));
        }
        begin += 64;
    }
    while (end - begin >= 32) {
        const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(begin));
        const int mask = _mm256_movemask_epi8(_mm256_cmpeq_epi8(block, pattern));
        if (mask)
            return begin + __builtin_ctz(mask);
        begin += 32;
    }
    return findSixteenAtATime(begin, end, wanted);
}

// Where in the 32 places from `at` the pair stands: p[0] is first and
// p[distance] is second.
__attribute__((target("avx2"))) inline __m256i pairsAt(const char* at, std::size_t distance, __m256i firsts,
                                                      __m256i seconds)
{
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i there = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + distance));
    return _mm256_and_si256(_mm256_cmpeq_epi8(here, firsts), _mm256_cmpeq_epi8(there, seconds));
}

__attribute__((target("avx2"))) const char* pairThirtyTwoAtATime(const char* begin, const char* last, char first,
                                                                 std::size_t distance, char second)
{
    const __m256i firsts = _mm256_set1_epi8(first);
    const __m256i seconds = _mm256_set1_epi8(second);
    while (last - begin >= 63) {
        const __m256i low = pairsAt(begin, distance, firsts, seconds);
        const __m256i high = pairsAt(begin + 32, distance, firsts, seconds);
        if (_mm256_movemask_epi8(_mm256_or_si256(low, high))) {
            const int mask = _mm256_movemask_epi8(low);
            return mask ? begin + __builtin_ctz(mask) : begin + 32 + __builtin_ctz(_mm256_movemask_epi8(high));
        }
        begin += 64;
    }
    while (last - begin >= 31) {
        const int mask = _mm256_movemask_epi8(pairsAt(begin, distance, firsts, seconds));
        if (mask)
            return begin + __builtin_ctz(mask);
        begin += 32;
    }
    return pairSixteenAtATime(begin, last, first, distance, second);
}
}

const char* FindByte(const char* begin, const char* end, char wanted)
{
    if (kHaveAvx2)
        return findThirtyTwoAtATime(begin, end, wanted);
    return kHaveSse2 ? findSixteenAtATime(begin, end, wanted) : findOneByOne(begin, end, wanted);
}

const char* FindLastByte(const char* begin, const char* end, char wanted)
{
    return kHaveSse2 ? findLastSixteenAtATime(begin, end, wanted) : findLastOneByOne(begin, end, wanted);
}

const char* FindBytePair(const char* begin, const char* last, char first, std::size_t distance, char second)
{
    if (kHaveAvx2)
        return pairThirtyTwoAtATime(begin, last, first, distance, second);
    return kHaveSse2 ? pairSixteenAtATime(begin, last, first, distance, second)
                      : pairOneByOne(begin, last, first, distance, second);
}
