#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tagsmith {

// Distinct words numbered in the order they were first added, matched ignoring case the way the word
// tables match them (Unicode simple case folding). Where a word table only keeps the words, this one
// tells the number of each, so that counts can be kept beside it.
class WordIndex
{
public:
    static constexpr std::uint32_t None = UINT32_MAX;

    WordIndex();

    // The number of the word, which is added (in the form given) when it is not there yet.
    std::uint32_t add(std::string_view word);
    // The number of the word, or None.
    std::uint32_t find(std::string_view word) const;
    // Whether the last add() added the word.
    bool added() const { return m_added; }

    // The word number row, in the form it was first added.
    std::string_view form(std::uint32_t row) const;
    std::size_t size() const { return m_rows.size(); }
    void clear();

private:
    struct Row
    {
        std::size_t offset; // of its key in m_text; the form follows the key
        std::uint32_t keyLength;
        std::uint32_t formLength;
        std::size_t hash;
    };

    void foldKey(std::string_view word) const;
    std::size_t findSlot(std::string_view key, std::size_t hash) const;
    void grow();

    std::string m_text;
    std::vector<Row> m_rows;
    std::vector<std::uint32_t> m_slots; // row numbers, None when empty; a power of two long
    mutable std::string m_scratch;      // the key of the word looked up
    bool m_added = false;
};

} // namespace tagsmith
