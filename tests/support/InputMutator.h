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

private:
    char randomChar();
    std::size_t below(std::size_t n);
    void mutateOnce(std::string& text);

    std::vector<std::string> m_seeds;
    std::string m_alphabet;
    std::mt19937 m_random;
};
