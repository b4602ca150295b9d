#include "storage/IniKeyTable.h"

#include <QHashFunctions>
#include <QRandomGenerator>
#include <QString>
#include <QVarLengthArray>

#include <bit>

namespace {
constexpr std::int32_t Empty = -1;

// The part of a hash that items keep and slots are chosen by.
std::uint32_t tag(std::uint64_t hash) {
    return std::uint32_t(hash);
}
} // namespace

IniKeyTable::IniKeyTable()
    : IniKeyTable(&IniKeyTable::keyedHash, QRandomGenerator::global()->generate64()) {}

IniKeyTable::IniKeyTable(Hash hash, std::uint64_t seed) : m_hash(hash), m_seed(seed) {}

std::uint64_t IniKeyTable::keyedHash(std::uint64_t seed, std::uint32_t section, QStringView name) {
    // The name folded to one letter case, then Qt's keyed hash over it.
    QVarLengthArray<char16_t, 64> folded(name.size() + 2);
    folded[0] = char16_t(section & 0xFFFF);
    folded[1] = char16_t(section >> 16);
    for (qsizetype i = 0; i < name.size(); ++i) {
        char16_t u = name[i].unicode();
        if (u < 0x80) {
            if (u >= 'A' && u <= 'Z')
                u += 32;
        } else {
            u = name[i].toCaseFolded().unicode();
        }
        folded[i + 2] = u;
    }
    return qHashBits(folded.constData(), std::size_t(folded.size()) * sizeof(char16_t),
                     std::size_t(seed));
}

bool IniKeyTable::sameName(QStringView a, QStringView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x == y)
            continue;
        if (x >= 0x80 || y >= 0x80)
            return a.compare(b, Qt::CaseInsensitive) == 0;
        if (x >= 'A' && x <= 'Z')
            x += 32;
        if (y >= 'A' && y <= 'Z')
            y += 32;
        if (x != y)
            return false;
    }
    return true;
}

bool IniKeyTable::TreeOrder::operator()(const TreeName& a, const TreeName& b) const {
    ++*comparisons;
    if (a.section != b.section)
        return a.section < b.section;
    return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
}

void IniKeyTable::clear() {
    m_items.clear();
    m_slots.clear();
    m_tree.clear();
    m_next = 0;
    m_worst = {};
}

void IniKeyTable::note(std::size_t probes, std::size_t comparisons) const {
    m_worst.probes = std::max(m_worst.probes, probes);
    m_worst.treeComparisons = std::max(m_worst.treeComparisons, comparisons);
}

IniKeyTable::Found IniKeyTable::probe(std::uint32_t hash, std::uint32_t section, QStringView key,
                                      std::size_t& slot, std::size_t& slotsSeen) const {
    const std::size_t mask = m_slots.size() - 1;
    slot = std::size_t(hash) & mask;
    const std::size_t window = std::min(ProbeWindow, m_slots.size());
    for (slotsSeen = 1;; ++slotsSeen) {
        const std::int32_t index = m_slots[slot];
        if (index == Empty)
            return Found::FreeSlot;
        const Item& item = m_items[std::size_t(index)];
        if (item.hash == hash && item.section == section &&
            sameName(QStringView(item.name, item.keyLength), key))
            return Found::Item;
        if (slotsSeen == window)
            return Found::WindowFull;
        slot = (slot + 1) & mask;
    }
}

void IniKeyTable::place(std::int32_t index) {
    // Names are distinct here: only where a name goes is decided.
    const Item& item = m_items[std::size_t(index)];
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = std::size_t(item.hash) & mask;
    const std::size_t window = std::min(ProbeWindow, m_slots.size());
    for (std::size_t seen = 0; seen < window; ++seen, slot = (slot + 1) & mask) {
        if (m_slots[slot] == Empty) {
            m_slots[slot] = index;
            return;
        }
    }
    m_tree.insert(TreeName{item.section, QStringView(item.name, item.keyLength), index});
}

void IniKeyTable::reserve(std::size_t keys) {
    m_items.reserve(keys);
    const std::size_t size = std::bit_ceil(std::max<std::size_t>(16, keys * 2));
    if (size > m_slots.size()) {
        // Every name finds its place again; the tree holds only those whose
        // window in the bigger table is still full.
        m_slots.assign(size, Empty);
        m_tree.clear();
        for (std::size_t i = 0; i < m_items.size(); ++i)
            place(std::int32_t(i));
    }
}

void IniKeyTable::grow() {
    reserve(std::max<std::size_t>(m_items.size() * 2, 8));
}

bool IniKeyTable::insert(const QChar* text, std::uint32_t section, int keyStart, int keyLength,
                         const Entry& entry) {
    if ((m_items.size() + 1) * 2 > m_slots.size())
        grow();
    const QStringView key(text + keyStart, keyLength);
    const std::uint32_t hash = tag(m_hash(m_seed, section, key));
    std::size_t slot = 0, slotsSeen = 0;
    const Found found = probe(hash, section, key, slot, slotsSeen);
    if (found == Found::Item) {
        note(slotsSeen, 0);
        return false;
    }
    const auto index = std::int32_t(m_items.size());
    if (found == Found::FreeSlot) {
        // Slots are never freed, so a name with a free slot in its window
        // cannot be in the tree.
        m_items.push_back(Item{hash, section, text + keyStart, keyLength, entry});
        m_slots[slot] = index;
        note(slotsSeen, 0);
        return true;
    }
    *m_treeComparisons = 0;
    const auto [where, added] = m_tree.insert(TreeName{section, key, index});
    note(slotsSeen, *m_treeComparisons);
    if (!added)
        return false;
    m_items.push_back(Item{hash, section, text + keyStart, keyLength, entry});
    return true;
}

const IniKeyTable::Entry* IniKeyTable::find(std::uint32_t section, QStringView key) const {
    if (m_next < m_items.size()) {
        const Item& item = m_items[m_next];
        if (item.section == section && sameName(QStringView(item.name, item.keyLength), key)) {
            ++m_next;
            return &item.entry;
        }
    }
    if (m_slots.empty())
        return nullptr;
    std::size_t slot = 0, slotsSeen = 0;
    const Found found = probe(tag(m_hash(m_seed, section, key)), section, key, slot, slotsSeen);
    std::int32_t index = Empty;
    *m_treeComparisons = 0;
    if (found == Found::Item) {
        index = m_slots[slot];
    } else if (found == Found::WindowFull) {
        const auto where = m_tree.find(TreeName{section, key, Empty});
        if (where != m_tree.end())
            index = where->item;
    }
    note(slotsSeen, *m_treeComparisons);
    if (index == Empty)
        return nullptr;
    m_next = std::size_t(index) + 1;
    return &m_items[std::size_t(index)].entry;
}
