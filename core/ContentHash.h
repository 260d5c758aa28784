#pragma once
// A 64-bit hash of a stream of bytes, cheap enough to take while a file is
// written (the eight lanes below are one register where the processor has
// the 32-byte instructions, a few bytes a cycle without them) and then
// kept as evidence of what was written. Not a cryptographic hash: it tells
// a file that was changed since from the one written, not a forgery.
//
// Eight 32-bit lanes, each taking every eighth 4-byte word of the stream in
// the round of the xxHash32 family; the halves of the result come from
// lanes 0-3 and 4-7. The same bytes give the same hash however they are
// split into add() calls.
#include <cstddef>
#include <string>

class ContentHash {
public:
    ContentHash();
    void add(const void* data, std::size_t size);
    unsigned long long value() const;
    // value() as 16 lower-case hexadecimal digits.
    std::wstring text() const;

private:
    void stripe(const unsigned char* data);

    unsigned m_lanes[8];
    unsigned char m_tail[32];
    std::size_t m_tailSize;
    unsigned long long m_length;
};
