#include "settings/IniKeyTable.h"

#include <QString>

namespace {
constexpr std::int32_t Empty = -1;
}

std::size_t IniKeyTable::hashOf(std::uint32_t section, QStringView key) {
    std::uint64_t h = 1469598103934665603ull ^ section;
    for (const QChar c : key) {
        char16_t u = c.unicode();
        if (u < 0x80) {
            if (u >= 'A' && u <= 'Z')
                u += 32;
        } else {
            u = c.toCaseFolded().unicode();
        }
        h = (h ^ u) * 1099511628211ull;
    }
    // Spread the high bits into the low ones the slots are taken from.
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return std::size_t(h);
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

void IniKeyTable::clear() {
    m_items.clear();
    m_slots.clear();
    m_next = 0;
}

void IniKeyTable::reserve(std::size_t keys) {
    m_items.reserve(keys);
    std::size_t size = 16;
    while (size < keys * 2)
        size *= 2;
    if (size > m_slots.size()) {
        m_slots.assign(size, Empty);
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            std::size_t s = m_items[i].hash & (size - 1);
            while (m_slots[s] != Empty)
                s = (s + 1) & (size - 1);
            m_slots[s] = std::int32_t(i);
        }
    }
}

void IniKeyTable::grow() {
    reserve(qMax<std::size_t>(m_items.size() * 2, 8));
}

std::size_t IniKeyTable::slotOf(const QChar* text, std::size_t hash, std::uint32_t section,
                                QStringView key) const {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t s = hash & mask;
    while (m_slots[s] != Empty) {
        const Item& item = m_items[std::size_t(m_slots[s])];
        if (item.hash == hash && item.section == section &&
            sameName(QStringView(text + item.keyStart, item.keyLength), key))
            return s;
        s = (s + 1) & mask;
    }
    return s;
}

void IniKeyTable::insert(const QChar* text, std::uint32_t section, int keyStart, int keyLength,
                         const Entry& entry) {
    if ((m_items.size() + 1) * 2 > m_slots.size())
        grow();
    const QStringView key(text + keyStart, keyLength);
    const std::size_t hash = hashOf(section, key);
    const std::size_t s = slotOf(text, hash, section, key);
    if (m_slots[s] != Empty)
        return;
    m_slots[s] = std::int32_t(m_items.size());
    m_items.push_back(Item{hash, section, keyStart, keyLength, entry});
}

const IniKeyTable::Entry* IniKeyTable::find(const QChar* text, std::uint32_t section,
                                            QStringView key) const {
    if (m_next < m_items.size()) {
        const Item& item = m_items[m_next];
        if (item.section == section &&
            sameName(QStringView(text + item.keyStart, item.keyLength), key)) {
            ++m_next;
            return &item.entry;
        }
    }
    if (m_slots.empty())
        return nullptr;
    const std::size_t s = slotOf(text, hashOf(section, key), section, key);
    if (m_slots[s] == Empty)
        return nullptr;
    m_next = std::size_t(m_slots[s]) + 1;
    return &m_items[std::size_t(m_slots[s])].entry;
}
