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
    // The same for a caller that has the word's key and hash (WordTable::keyOf) already.
    std::uint32_t add(std::string_view word, std::string_view key, std::size_t hash);
    // The number of the word, or None.
    std::uint32_t find(std::string_view word) const;
    // Whether the last add() added the word.
    bool added() const { return m_added; }

    // The word number row, in the form it was first added, and its key and hash.
    std::string_view form(std::uint32_t row) const;
    std::string_view key(std::uint32_t row) const;
    std::size_t hash(std::uint32_t row) const { return m_rows[row].hash; }
    std::size_t size() const { return m_rows.size(); }
    void clear();

    // Brings what an add() of a key with this hash reads into the cache ahead of it, step by step:
    // step 0 its slot, step 1 (once the slot is in) the row the slot holds, step 2 that row's key. A
    // large index then looks up many words at once instead of waiting for memory one at a time.
    void prefetch(std::size_t hash, int step) const;

private:
    struct Row
    {
        std::size_t offset; // of its key in m_text; the form follows the key
        std::uint32_t keyLength;
        std::uint32_t formLength;
        std::size_t hash;
    };
    struct Slot
    {
        std::uint32_t row; // None when empty
        std::uint32_t tag; // the high half of the row's hash (the low bits chose the slot)
    };
    static std::uint32_t tagOf(std::size_t hash) { return static_cast<std::uint32_t>(hash >> 32); }

    std::size_t findSlot(std::string_view key, std::size_t hash) const;
    void grow();

    std::string m_text;
    std::vector<Row> m_rows;
    std::vector<Slot> m_slots;     // a power of two long
    mutable std::string m_scratch; // the key of a long or non-ASCII word looked up
    bool m_added = false;
};

} // namespace tagsmith
