#include "StringMap.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {
// Blocks of texts: large enough that a file's texts take few of them, small
// enough that the last one wastes little.
const std::size_t kBlockBytes = 256 * 1024;

// The unit at i of a text kept either way.
wchar_t unitOf(const char* units, std::size_t i)
{
    return static_cast<unsigned char>(units[i]);
}

wchar_t unitOf(const wchar_t* units, std::size_t i)
{
    return units[i];
}

// The same for the same units, however they are kept.
template <typename Unit>
std::size_t hashOf(const Unit* units, std::size_t size)
{
    std::size_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ static_cast<std::size_t>(unitOf(units, i))) * 16777619u;
    return hash ^ (hash >> 15);
}

bool allBelow256(const wchar_t* units, std::size_t size)
{
    wchar_t any = 0;
    for (std::size_t i = 0; i < size; ++i)
        any |= units[i];
    return any < 0x100;
}

template <typename Stored, typename Unit>
bool sameUnits(const Stored* stored, const Unit* units, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        if (unitOf(stored, i) != unitOf(units, i))
            return false;
    }
    return true;
}

bool sameUnits(const char* stored, const char* units, std::size_t size)
{
    return std::memcmp(stored, units, size) == 0;
}

bool sameUnits(const wchar_t* stored, const wchar_t* units, std::size_t size)
{
    return std::wmemcmp(stored, units, size) == 0;
}

template <typename Unit>
bool sameText(const StoredText& stored, const Unit* units, std::size_t size)
{
    if (stored.size != size)
        return false;
    return stored.wide ? sameUnits(stored.wide, units, size) : sameUnits(stored.narrow, units, size);
}

void copyNarrow(char* to, const char* units, std::size_t size)
{
    std::memcpy(to, units, size);
}

void copyNarrow(char* to, const wchar_t* units, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        to[i] = static_cast<char>(units[i]);
}

bool allBelow256(const char*, std::size_t)
{
    return true;
}
}

std::wstring StoredText::str() const
{
    if (wide)
        return std::wstring(wide, size);
    std::wstring text(size, L'\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<unsigned char>(narrow[i]);
    return text;
}

StringMap::StringMap() : m_free(0), m_left(0) {}

void StringMap::reserve(std::size_t count)
{
    m_entries.reserve(count);
    std::size_t slots = 16;
    while (slots < 2 * count)
        slots *= 2;
    if (slots <= m_slots.size())
        return;
    m_slots.assign(slots, 0);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const StoredText& key = m_entries[i].key;
        const std::size_t slot = key.wide ? slotOf(key.wide, key.size) : slotOf(key.narrow, key.size);
        m_slots[slot] = static_cast<std::uint32_t>(i + 1);
    }
}

void StringMap::grow()
{
    reserve(std::max<std::size_t>(16, 2 * m_entries.size()));
}

// The slot that holds key, or the free slot where it belongs.
template <typename Unit>
std::size_t StringMap::slotOf(const Unit* key, std::size_t size) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hashOf(key, size) & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t taken = m_slots[slot];
        if (!taken || sameText(m_entries[taken - 1].key, key, size))
            return slot;
    }
}

template <typename Unit>
StoredText StringMap::keep(const Unit* units, std::size_t size)
{
    const bool narrow = allBelow256(units, size);
    const std::size_t bytes = narrow ? size : size * sizeof(wchar_t);
    // Wide texts start on an even address.
    const std::size_t padding = narrow ? 0 : reinterpret_cast<std::size_t>(m_free) % sizeof(wchar_t);
    if (bytes + padding > m_left) {
        const std::size_t blockBytes = std::max(kBlockBytes, bytes);
        m_blocks.emplace_back(new char[blockBytes]);
        m_free = m_blocks.back().get();
        m_left = blockBytes;
    } else {
        m_free += padding;
        m_left -= padding;
    }
    StoredText stored = { 0, 0, size };
    if (narrow) {
        copyNarrow(m_free, units, size);
        stored.narrow = m_free;
    } else {
        std::memcpy(m_free, units, bytes);
        stored.wide = reinterpret_cast<const wchar_t*>(m_free);
    }
    m_free += bytes;
    m_left -= bytes;
    return stored;
}

template <typename Unit>
void StringMap::setUnits(const Unit* key, std::size_t keySize, const Unit* text, std::size_t textSize)
{
    if (2 * (m_entries.size() + 1) > m_slots.size())
        grow();
    const std::size_t slot = slotOf(key, keySize);
    if (m_slots[slot]) {
        m_entries[m_slots[slot] - 1].text = keep(text, textSize);
        return;
    }
    const Entry entry = { keep(key, keySize), keep(text, textSize) };
    m_entries.push_back(entry);
    m_slots[slot] = static_cast<std::uint32_t>(m_entries.size());
}

void StringMap::set(const wchar_t* key, std::size_t keySize, const wchar_t* text, std::size_t textSize)
{
    setUnits(key, keySize, text, textSize);
}

void StringMap::setBytes(const char* key, std::size_t keySize, const char* text, std::size_t textSize)
{
    setUnits(key, keySize, text, textSize);
}

void StringMap::set(const std::wstring& key, const std::wstring& text)
{
    set(key.data(), key.size(), text.data(), text.size());
}

bool StringMap::find(const wchar_t* key, std::size_t size, StoredText& text) const
{
    if (m_slots.empty())
        return false;
    const std::uint32_t taken = m_slots[slotOf(key, size)];
    if (!taken)
        return false;
    text = m_entries[taken - 1].text;
    return true;
}

std::size_t StringMap::count(const std::wstring& key) const
{
    StoredText text;
    return find(key.data(), key.size(), text) ? 1 : 0;
}

std::wstring StringMap::at(const std::wstring& key) const
{
    StoredText text;
    if (!find(key.data(), key.size(), text))
        throw std::out_of_range("StringMap::at");
    return text.str();
}

bool StringMap::operator==(const StringMap& other) const
{
    if (size() != other.size())
        return false;
    for (const Entry& entry : m_entries) {
        const std::wstring key = entry.key.str();
        StoredText text;
        if (!other.find(key.data(), key.size(), text) || text.str() != entry.text.str())
            return false;
    }
    return true;
}
