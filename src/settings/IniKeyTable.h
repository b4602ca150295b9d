#pragma once

#include <QStringView>

#include <cstdint>
#include <vector>

// The keys of an INI text: for each (section number, key name) the first
// entry found, looked up without regard to letter case. Keys are spans of the
// text, so the table holds no strings of its own. Open addressing over one
// array keeps a lookup to a couple of memory reads on files of many keys.
class IniKeyTable {
public:
    // Offsets into the text; files are far below 2^31 characters.
    struct Entry {
        int lineStart = 0, lineEnd = 0;   // the key's line, without its break
        int valueStart = 0, valueEnd = 0; // trimmed value, quotes included
    };

    void clear();
    void reserve(std::size_t keys);
    // Adds the key unless the section already has it (the first one wins).
    void insert(const QChar* text, std::uint32_t section, int keyStart, int keyLength,
                const Entry& entry);
    const Entry* find(const QChar* text, std::uint32_t section, QStringView key) const;

    static std::size_t hashOf(std::uint32_t section, QStringView key);
    static bool sameName(QStringView a, QStringView b);

private:
    struct Item {
        std::size_t hash;
        std::uint32_t section;
        int keyStart, keyLength;
        Entry entry;
    };
    void grow();
    std::size_t slotOf(const QChar* text, std::size_t hash, std::uint32_t section,
                       QStringView key) const;

    std::vector<Item> m_items;
    std::vector<std::int32_t> m_slots; // index into m_items, -1 when empty; size a power of two
    // Readers mostly ask for the keys in the order the file holds them; the
    // item after the last one found is tried first.
    mutable std::size_t m_next = 0;
};
