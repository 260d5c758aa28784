#pragma once
// Identifier-to-text table of one uitext file. Keys are lower-cased, so
// identifiers that differ only in letter case share one entry. Lookups go by
// hash: the table is only ever searched, never walked in order.
//
// Keys and texts are kept in a few large blocks, not in an allocation each,
// and a key or text whose units all lie below U+0100 is kept one byte a unit:
// a file of many short strings then takes about as much memory as its bytes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A key or text the table holds, valid while the table lives: `size` UTF-16
// units, one byte each at `narrow` or two at `wide` (the other is null).
struct StoredText {
    const char* narrow;
    const wchar_t* wide;
    std::size_t size;

    std::wstring str() const;
};

class StringMap {
public:
    StringMap();
    StringMap(const StringMap&) = delete;
    StringMap& operator=(const StringMap&) = delete;

    // Room for `count` entries in all without the table growing.
    void reserve(std::size_t count);
    // Stores text under key, which is lower-cased already; a later text for
    // a key replaces the earlier one.
    void set(const wchar_t* key, std::size_t keySize, const wchar_t* text, std::size_t textSize);
    void set(const std::wstring& key, const std::wstring& text);
    // The same for a key and a text whose units all lie below U+0100, given
    // one byte a unit.
    void setBytes(const char* key, std::size_t keySize, const char* text, std::size_t textSize);

    // The text stored under the lower-cased key, or false.
    bool find(const wchar_t* key, std::size_t size, StoredText& text) const;

    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    std::size_t count(const std::wstring& key) const;
    // The text under key; std::out_of_range when there is none.
    std::wstring at(const std::wstring& key) const;
    // The same keys with the same texts.
    bool operator==(const StringMap& other) const;

private:
    struct Entry {
        StoredText key;
        StoredText text;
    };

    template <typename Unit>
    void setUnits(const Unit* key, std::size_t keySize, const Unit* text, std::size_t textSize);
    template <typename Unit>
    StoredText keep(const Unit* units, std::size_t size);
    template <typename Unit>
    std::size_t slotOf(const Unit* key, std::size_t size) const;
    void grow();

    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_slots; // entry index + 1, 0 for a free slot; a power of two long
    std::vector<std::unique_ptr<char[]> > m_blocks;
    char* m_free;      // the unused rest of the newest block
    std::size_t m_left;
};
