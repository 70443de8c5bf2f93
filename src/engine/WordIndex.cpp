#include "engine/WordIndex.h"

#include "engine/PageText.h"
#include "engine/WordTable.h"

#include <algorithm>

namespace tagsmith {
namespace {

constexpr std::size_t InitialSlots = 256;

} // namespace

WordIndex::WordIndex() : m_slots(InitialSlots, None) {}

void WordIndex::foldKey(std::string_view word) const
{
    m_scratch.clear();
    appendCaseFolded(m_scratch, word);
}

std::size_t WordIndex::findSlot(std::string_view key, std::size_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t row = m_slots[slot];
        if (row == None)
            return slot;
        const Row &r = m_rows[row];
        if (r.hash == hash && std::string_view(m_text).substr(r.offset, r.keyLength) == key)
            return slot;
    }
}

std::uint32_t WordIndex::find(std::string_view word) const
{
    foldKey(word);
    return m_slots[findSlot(m_scratch, WordTable::hashOf(m_scratch))];
}

std::uint32_t WordIndex::add(std::string_view word)
{
    foldKey(word);
    const std::size_t hash = WordTable::hashOf(m_scratch);
    const std::size_t slot = findSlot(m_scratch, hash);
    m_added = m_slots[slot] == None;
    if (!m_added)
        return m_slots[slot];
    const auto row = static_cast<std::uint32_t>(m_rows.size());
    m_rows.push_back(
        {m_text.size(), static_cast<std::uint32_t>(m_scratch.size()), static_cast<std::uint32_t>(word.size()), hash});
    m_text += m_scratch;
    m_text += word;
    m_slots[slot] = row;
    if (m_rows.size() * 2 > m_slots.size())
        grow();
    return row;
}

void WordIndex::grow()
{
    std::vector<std::uint32_t> fresh(m_slots.size() * 2, None);
    const std::size_t mask = fresh.size() - 1;
    for (std::uint32_t row = 0; row < m_rows.size(); ++row) {
        std::size_t slot = m_rows[row].hash & mask;
        while (fresh[slot] != None)
            slot = (slot + 1) & mask;
        fresh[slot] = row;
    }
    m_slots.swap(fresh);
}

std::string_view WordIndex::form(std::uint32_t row) const
{
    const Row &r = m_rows[row];
    return std::string_view(m_text).substr(r.offset + r.keyLength, r.formLength);
}

void WordIndex::clear()
{
    // A page with very many words leaves no more slots behind than the next pages need.
    if (m_slots.size() > std::max(InitialSlots, m_rows.size() * 16))
        m_slots.assign(InitialSlots, None);
    else
        std::fill(m_slots.begin(), m_slots.end(), None);
    m_rows.clear();
    m_text.clear();
}

} // namespace tagsmith
