#include "InputMutator.h"

InputMutator::InputMutator(const std::vector<std::string>& seeds, std::uint32_t seed, const std::string& alphabet)
    : m_seeds(seeds), m_alphabet(alphabet), m_random(seed)
{
    if (m_seeds.empty())
        m_seeds.push_back(std::string());
}

std::size_t InputMutator::below(std::size_t n)
{
    return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random);
}

char InputMutator::randomChar()
{
    if (!m_alphabet.empty() && below(4) != 0)
        return m_alphabet[below(m_alphabet.size())];
    return static_cast<char>(below(256));
}

std::string InputMutator::RandomText(std::size_t maxLength)
{
    std::string text(below(maxLength + 1), '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = randomChar();
    return text;
}

void InputMutator::mutateOnce(std::string& text)
{
    switch (below(7)) {
    case 0: // truncate
        text.resize(below(text.size() + 1));
        break;
    case 1: // flip a byte
        if (!text.empty())
            text[below(text.size())] = randomChar();
        break;
    case 2: // insert a few characters
        text.insert(below(text.size() + 1), RandomText(8));
        break;
    case 3: // delete a run
        if (!text.empty()) {
            const std::size_t at = below(text.size());
            text.erase(at, 1 + below(16));
        }
        break;
    case 4: // duplicate a run
        if (!text.empty()) {
            const std::size_t at = below(text.size());
            const std::string run = text.substr(at, 1 + below(32));
            text.insert(below(text.size() + 1), run);
        }
        break;
    case 5: // splice with another seed
    {
        const std::string& other = m_seeds[below(m_seeds.size())];
        text = text.substr(0, below(text.size() + 1)) + other.substr(below(other.size() + 1));
        break;
    }
    default: // repeat a character many times
        text.insert(below(text.size() + 1), std::string(1 + below(300), randomChar()));
        break;
    }
}

std::string InputMutator::Next()
{
    std::string text = m_seeds[below(m_seeds.size())];
    const std::size_t rounds = 1 + below(4);
    for (std::size_t i = 0; i < rounds; ++i)
        mutateOnce(text);
    return text;
}
