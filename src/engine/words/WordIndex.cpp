#include "engine/words/WordIndex.h"

#include "engine/encoding/AsciiText.h"
#include "engine/words/WordTable.h"

#include <algorithm>

namespace tagsmith {
namespace {

constexpr std::size_t InitialSlots = 256;

} // namespace

WordIndex::WordIndex() : m_slots(InitialSlots, Slot{None, 0}) {}

std::size_t WordIndex::findSlot(std::string_view key, std::size_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot &entry = m_slots[slot];
        if (entry.row == None)
            return slot;
        if (entry.tag == tagOf(hash)) {
            const Row &r = m_rows[entry.row];
            if (std::string_view(m_text.data() + r.offset, r.keyLength) == key)
                return slot;
        }
    }
}

void WordIndex::prefetch(std::size_t hash, int step) const
{
    const Slot &slot = m_slots[hash & (m_slots.size() - 1)];
    if (step == 0)
        __builtin_prefetch(&slot);
    else if (slot.row != None && step == 1)
        __builtin_prefetch(&m_rows[slot.row]);
    else if (slot.row != None)
        __builtin_prefetch(m_text.data() + m_rows[slot.row].offset);
}

std::uint32_t WordIndex::find(std::string_view word) const
{
    char buffer[ascii::ShortText];
    std::size_t hash;
    const std::string_view key = WordTable::keyOf(word, buffer, m_scratch, &hash);
    return m_slots[findSlot(key, hash)].row;
}

std::uint32_t WordIndex::add(std::string_view word)
{
    char buffer[ascii::ShortText];
    std::size_t hash;
    const std::string_view key = WordTable::keyOf(word, buffer, m_scratch, &hash);
    return add(word, key, hash);
}

std::uint32_t WordIndex::add(std::string_view word, std::string_view key, std::size_t hash)
{
    const std::size_t slot = findSlot(key, hash);
    m_added = m_slots[slot].row == None;
    if (!m_added)
        return m_slots[slot].row;
    const auto row = static_cast<std::uint32_t>(m_rows.size());
    m_rows.push_back(
        {m_text.size(), static_cast<std::uint32_t>(key.size()), static_cast<std::uint32_t>(word.size()), hash});
    m_text += key;
    m_text += word;
    m_slots[slot] = {row, tagOf(hash)};
    if (m_rows.size() * 2 > m_slots.size())
        grow();
    return row;
}

void WordIndex::grow()
{
    std::vector<Slot> fresh(m_slots.size() * 2, Slot{None, 0});
    const std::size_t mask = fresh.size() - 1;
    for (const Slot &entry : m_slots) {
        if (entry.row == None)
            continue;
        std::size_t slot = m_rows[entry.row].hash & mask;
        while (fresh[slot].row != None)
            slot = (slot + 1) & mask;
        fresh[slot] = entry;
    }
    m_slots.swap(fresh);
}

std::string_view WordIndex::form(std::uint32_t row) const
{
    const Row &r = m_rows[row];
    return std::string_view(m_text).substr(r.offset + r.keyLength, r.formLength);
}

std::string_view WordIndex::key(std::uint32_t row) const
{
    const Row &r = m_rows[row];
    return std::string_view(m_text).substr(r.offset, r.keyLength);
}

void WordIndex::clear()
{
    // A page with very many words leaves no more room behind than a usual page needs: pages' indexes
    // are handed from thread to thread, and each would otherwise keep the room of the largest page it
    // ever held.
    constexpr std::size_t RowsKept = 2048;
    if (m_rows.capacity() > RowsKept) {
        m_rows = std::vector<Row>();
        m_text = std::string();
    }
    if (m_slots.size() > 2 * RowsKept)
        m_slots.assign(InitialSlots, Slot{None, 0});
    else
        std::fill(m_slots.begin(), m_slots.end(), Slot{None, 0});
    m_rows.clear();
    m_text.clear();
}

} // namespace tagsmith
