#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tagsmith {

// One word table (PageWords or SiteWords): the distinct words in the order they were first added,
// each in the form it was first met. Words match when they are equal ignoring case by Unicode simple
// case folding, as the database's text comparison ignores case ("Web", "WEB" and "web" are one word;
// "É" matches "é" but not "E"). Words are UTF-8 text.
class WordTable
{
public:
    WordTable();

    // Adds the word unless the table holds it already; true when it was added.
    bool insert(std::string_view word);
    bool contains(std::string_view word) const;

    // Deletes every row.
    void ClearWordTable();

    std::size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }
    // Row i (from 0) in first-added order.
    std::string_view row(std::size_t i) const;

private:
    struct Row
    {
        std::size_t formOffset;
        std::size_t formLength;
        std::size_t keyOffset;
        std::size_t keyLength;
        std::size_t hash;
    };

    // The slot that holds the key, or the empty slot where it belongs.
    std::size_t findSlot(std::string_view key, std::size_t hash) const;
    void grow();

    std::string m_forms; // every row's first form, one after the other
    std::string m_keys;  // every row's folded form, one after the other
    std::vector<Row> m_rows;
    std::vector<std::size_t> m_slots; // row number + 1, 0 for an empty slot; a power of two long
    mutable std::string m_scratch;    // the folded form of the word being looked up
};

// The minimum word length as the run compares it: the number at the start of the text, read as a
// decimal number (leading blanks skipped, reading stops at the first character that cannot continue
// it, no number gives 0). " 4" gives 4 and "4.5" gives 4.5.
double leadingNumber(std::string_view text);

} // namespace tagsmith
