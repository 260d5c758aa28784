// The byte scans under the text search, which take whole blocks of bytes at
// a time where the processor can, against a scan one byte at a time: every
// start and end in a buffer long enough for several blocks, the wanted
// bytes anywhere in it; forwards and backwards.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/ByteSearch.h"

TEST(ByteSearch, FindsWhatAScanByteByByteFinds)
{
    std::mt19937 random(0xB17E5u);
    std::vector<char> buffer(200);
    for (int round = 0; round < 60; ++round) {
        // Few distinct bytes, so that the wanted ones come often or, in
        // some rounds, not at all.
        const int kinds = 1 + round % 4;
        for (char& byte : buffer)
            byte = static_cast<char>('a' + random() % kinds);
        const char wanted = static_cast<char>('a' + random() % 4);
        const char second = static_cast<char>('a' + random() % 4);
        const std::size_t distance = random() % 40;
        for (std::size_t from = 0; from <= buffer.size(); ++from) {
            for (std::size_t to = from; to <= buffer.size(); to += 1 + to % 3) {
                const char* const begin = buffer.data() + from;
                const char* const end = buffer.data() + to;
                const char* expected = 0;
                for (const char* p = begin; p != end && !expected; ++p)
                    expected = *p == wanted ? p : 0;
                ASSERT_EQ(expected, FindByte(begin, end, wanted)) << "round " << round << ", " << from << " to " << to;
                const char* last = 0;
                for (const char* p = begin; p != end; ++p)
                    last = *p == wanted ? p : last;
                ASSERT_EQ(last, FindLastByte(begin, end, wanted)) << "round " << round << ", last, " << from << " to " << to;
                // Pairs: every candidate p up to `last` must have p[distance] in the buffer.
                if (to + distance >= buffer.size() || to == from)
                    continue;
                expected = 0;
                for (const char* p = begin; p < end && !expected; ++p)
                    expected = p[0] == wanted && p[distance] == second ? p : 0;
                ASSERT_EQ(expected, FindBytePair(begin, end - 1, wanted, distance, second))
                    << "round " << round << ", pair " << from << " to " << to << " at " << distance;
            }
        }
    }
}
