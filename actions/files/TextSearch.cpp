#include "TextSearch.h"

#include "core/ByteSearch.h"

const unsigned char* FindUnit(const unsigned char* begin, const unsigned char* end, unsigned char unit)
{
    return reinterpret_cast<const unsigned char*>(FindByte(reinterpret_cast<const char*>(begin),
                                                           reinterpret_cast<const char*>(end), static_cast<char>(unit)));
}

const unsigned short* FindUnit(const unsigned short* begin, const unsigned short* end, unsigned short unit)
{
    for (; begin != end; ++begin) {
        if (*begin == unit)
            return begin;
    }
    return 0;
}

const unsigned char* FindLastUnit(const unsigned char* begin, const unsigned char* end, unsigned char unit)
{
    return reinterpret_cast<const unsigned char*>(FindLastByte(
        reinterpret_cast<const char*>(begin), reinterpret_cast<const char*>(end), static_cast<char>(unit)));
}

const unsigned short* FindLastUnit(const unsigned short* begin, const unsigned short* end, unsigned short unit)
{
    while (end != begin) {
        if (*--end == unit)
            return end;
    }
    return 0;
}

const unsigned char* SkipToCandidate(const unsigned char* begin, const unsigned char* last, unsigned char first,
                                     std::size_t distance, unsigned char second)
{
    return reinterpret_cast<const unsigned char*>(FindBytePair(reinterpret_cast<const char*>(begin),
                                                               reinterpret_cast<const char*>(last), static_cast<char>(first),
                                                               distance, static_cast<char>(second)));
}
