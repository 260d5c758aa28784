// The hash kept as evidence of what an edit wrote: the same bytes give the
// same hash however they arrive, a change anywhere gives another, and the
// hash of given bytes never changes (state folders keep it across versions).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/ContentHash.h"

namespace {
std::wstring hashInPieces(const std::string& bytes, std::size_t piece)
{
    ContentHash hash;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        hash.add(bytes.data() + at, std::min(piece, bytes.size() - at));
    return hash.text();
}

std::string sample(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + 7) % 251);
    return bytes;
}
}

TEST(ContentHash, SameBytesInAnyPiecesGiveTheSameHash)
{
    const std::string bytes = sample(1000);
    const std::wstring whole = hashInPieces(bytes, bytes.size());
    EXPECT_EQ(16u, whole.size());
    // Pieces smaller than, equal to and across the 32-byte stripes.
    for (std::size_t piece : { 1, 3, 31, 32, 33, 64, 999 })
        EXPECT_EQ(whole, hashInPieces(bytes, piece)) << piece;
}

TEST(ContentHash, AnyChangeGivesAnotherHash)
{
    const std::string bytes = sample(100);
    const std::wstring original = hashInPieces(bytes, 7);
    // A bit in the first stripe, in the last whole stripe, in the tail's
    // words and in its last bytes; a zero byte more or less.
    for (std::size_t at : { 0, 5, 63, 64, 67, 98, 99 }) {
        std::string changed = bytes;
        changed[at] ^= 1;
        EXPECT_NE(original, hashInPieces(changed, 7)) << at;
    }
    EXPECT_NE(hashInPieces(std::string(64, '\0'), 64), hashInPieces(std::string(65, '\0'), 64));
    EXPECT_NE(hashInPieces(std::string(), 1), hashInPieces(std::string(1, '\0'), 1));
    // Words swapped between lanes.
    std::string swapped = bytes;
    std::swap_ranges(swapped.begin(), swapped.begin() + 4, swapped.begin() + 4);
    EXPECT_NE(original, hashInPieces(swapped, 7));
}

TEST(ContentHash, GivesTheValuesStateFoldersHoldAlready)
{
    // Taken before the lanes were computed eight at once: the empty text,
    // a tail alone, one stripe, stripes and a tail, and more than a chunk.
    const struct {
        std::size_t size;
        const wchar_t* hash;
    } kept[] = { { 0, L"cb52315eda1b0bcb" },    { 31, L"3ceb55a0ac23c53d" },   { 32, L"6523c723ee5b820d" },
                 { 100, L"6aee1dba194bba6f" },  { 1000, L"ccbb7c44db403907" }, { 70000, L"247484d452b322de" } };
    for (const auto& row : kept)
        EXPECT_EQ(row.hash, hashInPieces(sample(row.size), 4096)) << row.size;
}
