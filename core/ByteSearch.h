#pragma once
// Finding bytes in a buffer thirty-two or sixteen places at a time where
// the processor can (the C runtime's memchr looks at one byte at a time).
#include <cstddef>

// The first byte equal to `wanted` in [begin, end), or null.
const char* FindByte(const char* begin, const char* end, char wanted);
// The last byte equal to `wanted` in [begin, end), or null.
const char* FindLastByte(const char* begin, const char* end, char wanted);

// The first place p in [begin, last] with p[0] == first and
// p[distance] == second, or null; p[distance] must be readable for every
// such p.
const char* FindBytePair(const char* begin, const char* last, char first, std::size_t distance, char second);
