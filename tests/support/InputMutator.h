#pragma once
// Deterministic generator of malformed inputs for robustness tests: takes
// well-formed seed texts and derives variants by truncating, flipping,
// inserting, deleting, duplicating and splicing, always from a fixed seed so
// a failure can be replayed by its index.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

class InputMutator {
public:
    InputMutator(const std::vector<std::string>& seeds, std::uint32_t seed, const std::string& alphabet = std::string());

    // The next malformed input.
    std::string Next();

    // A random text of up to maxLength characters from the alphabet (or any byte).
    std::string RandomText(std::size_t maxLength);

    // The next malformed input as wide text: the bytes of Next() decoded as
    // UTF-8 (invalid sequences become U+FFFD, NULs stay), then now and then
    // a character that UTF-8 cannot carry or that conversions treat
    // specially: a lone surrogate, a NUL, U+FFFF, a byte-order mark, a
    // character outside the basic plane.
    std::wstring NextWide();

    // A number below n, from the same sequence.
    std::size_t Below(std::size_t n) { return below(n); }

private:
    char randomChar();
    std::size_t below(std::size_t n);
    void mutateOnce(std::string& text);

    std::vector<std::string> m_seeds;
    std::string m_alphabet;
    std::mt19937 m_random;
};
