#include "meta/WordTable.h"

#include "meta/PageText.h"

#include <charconv>
#include <functional>

namespace tagsmith {
namespace {

constexpr std::size_t InitialSlots = 256;

} // namespace

WordTable::WordTable() : m_slots(InitialSlots, 0) {}

std::size_t WordTable::findSlot(std::string_view key, std::size_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::size_t entry = m_slots[slot];
        if (entry == 0)
            return slot;
        const Row &row = m_rows[entry - 1];
        if (row.hash == hash && std::string_view(m_keys).substr(row.keyOffset, row.keyLength) == key)
            return slot;
    }
}

bool WordTable::contains(std::string_view word) const
{
    m_scratch.clear();
    appendCaseFolded(m_scratch, word);
    const std::size_t hash = std::hash<std::string_view>{}(m_scratch);
    return m_slots[findSlot(m_scratch, hash)] != 0;
}

bool WordTable::insert(std::string_view word)
{
    m_scratch.clear();
    appendCaseFolded(m_scratch, word);
    const std::size_t hash = std::hash<std::string_view>{}(m_scratch);
    std::size_t slot = findSlot(m_scratch, hash);
    if (m_slots[slot] != 0)
        return false;
    m_rows.push_back({m_forms.size(), word.size(), m_keys.size(), m_scratch.size(), hash});
    m_forms.append(word);
    m_keys.append(m_scratch);
    // At most half the slots are used, so a probe ends soon.
    if (m_rows.size() * 2 > m_slots.size())
        grow();
    else
        m_slots[slot] = m_rows.size();
    return true;
}

void WordTable::grow()
{
    m_slots.assign(m_slots.size() * 2, 0);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        std::size_t slot = m_rows[i].hash & mask;
        while (m_slots[slot] != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = i + 1;
    }
}

void WordTable::ClearWordTable()
{
    // A table that once held a very large page keeps no more slots than the next pages need.
    const std::size_t wanted = std::max(InitialSlots, m_rows.size() * 4);
    if (m_slots.size() > wanted * 4)
        m_slots.assign(InitialSlots, 0);
    else
        std::fill(m_slots.begin(), m_slots.end(), 0);
    m_rows.clear();
    m_forms.clear();
    m_keys.clear();
}

std::string_view WordTable::row(std::size_t i) const
{
    const Row &r = m_rows[i];
    return std::string_view(m_forms).substr(r.formOffset, r.formLength);
}

double leadingNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Only digits or a decimal point may start the number ("inf" and "nan" are no numbers here).
    if (i >= text.size() || !((text[i] >= '0' && text[i] <= '9') || text[i] == '.'))
        return 0;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value,
                                           std::chars_format::general);
    (void)ptr;
    if (ec == std::errc::invalid_argument)
        return 0;
    return negative ? -value : value;
}

} // namespace tagsmith
