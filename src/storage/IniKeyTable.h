#pragma once

#include <QStringView>

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

// The keys of an INI text: for each (section number, name) the first entry
// found, looked up without regard to letter case. Names are spans of the
// text, so the table holds no strings of its own.
//
// Reading must stay linear whatever names a file holds, so no file may make
// lookups slow. The hash is keyed with a random seed drawn for each table,
// so colliding names cannot be prepared in advance; and whatever the hash
// does, a name is looked for in at most ProbeWindow slots: when those are
// all taken by other names it goes to an ordered tree, where a lookup costs
// at most 2·log2(n + 1) + 2 comparisons. Every operation is thus bounded by
// ProbeWindow + 2·log2(n + 1) + 2 name comparisons.
class IniKeyTable {
public:
    // Offsets into the text; files are far below 2^31 characters. Where the
    // key's line ends is not kept: only blanks lie between valueEnd and it.
    struct Entry {
        int lineStart = 0;                // the key's line
        int valueStart = 0, valueEnd = 0; // trimmed value, quotes included
    };
    using Hash = std::uint64_t (*)(std::uint64_t seed, std::uint32_t section, QStringView name);
    static constexpr std::size_t ProbeWindow = 32;

    // The keyed hash with a fresh random seed.
    IniKeyTable();
    // A given hash and seed: tests use it to build colliding names.
    IniKeyTable(Hash hash, std::uint64_t seed);
    IniKeyTable(const IniKeyTable&) = delete;
    IniKeyTable& operator=(const IniKeyTable&) = delete;
    IniKeyTable(IniKeyTable&&) = default;
    IniKeyTable& operator=(IniKeyTable&&) = default;

    void clear();
    void reserve(std::size_t keys);
    // Adds the name unless the section already has it (the first one wins).
    // False when it was there already.
    bool insert(const QChar* text, std::uint32_t section, int keyStart, int keyLength,
                const Entry& entry);
    const Entry* find(std::uint32_t section, QStringView key) const;
    std::size_t size() const { return m_items.size(); }

    // The hash every table uses unless given another.
    static std::uint64_t keyedHash(std::uint64_t seed, std::uint32_t section, QStringView name);
    static bool sameName(QStringView a, QStringView b);

    // The most slots probed and tree comparisons one operation has needed since the
    // table was cleared: what the bound above promises, made visible.
    struct Cost {
        std::size_t probes = 0, treeComparisons = 0;
    };
    Cost worstCost() const { return m_worst; }
    std::size_t treeSize() const { return m_tree.size(); }

private:
    // One per key of the file, so kept to 32 bytes. Of the hash only the low
    // 32 bits are kept and used, to pick the slot and to spare most name
    // comparisons (tables stay far below 2^32 slots).
    struct Item {
        std::uint32_t hash;
        std::uint32_t section;
        const QChar* name; // into the text
        int keyLength;
        Entry entry;
    };
    // A name that did not find room in its window, ordered by section, then
    // by name without regard to case. The name points into the text, which
    // stays in place until the table is cleared.
    struct TreeName {
        std::uint32_t section;
        QStringView name;
        std::int32_t item;
    };
    struct TreeOrder {
        std::size_t* comparisons; // counted for worstCost()
        bool operator()(const TreeName& a, const TreeName& b) const;
    };
    enum class Found { Item, FreeSlot, WindowFull };
    // Looks in the name's window: its item, the free slot it may take, or
    // neither (the name belongs in the tree).
    Found probe(std::uint32_t hash, std::uint32_t section, QStringView key, std::size_t& slot,
                std::size_t& slotsSeen) const;
    void place(std::int32_t item);
    void grow();
    void note(std::size_t probes, std::size_t comparisons) const;

    Hash m_hash;
    std::uint64_t m_seed;
    std::vector<Item> m_items;
    std::vector<std::int32_t> m_slots; // index into m_items, -1 when empty; size a power of two
    // Held apart so that the tree's order still finds it after a move.
    std::unique_ptr<std::size_t> m_treeComparisons = std::make_unique<std::size_t>(0);
    std::set<TreeName, TreeOrder> m_tree{TreeOrder{m_treeComparisons.get()}};
    mutable Cost m_worst;
    // Readers mostly ask for the keys in the order the file holds them; the
    // item after the last one found is tried first.
    mutable std::size_t m_next = 0;
};
