#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
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

    static std::size_t hashOf(std::string_view key);
    // The key of the word (its case-folded form, appendCaseFolded) and hashOf() it: a short ASCII
    // word is folded into buffer (ascii::ShortText bytes), any other into scratch.
    static std::string_view keyOf(std::string_view word, char *buffer, std::string &scratch, std::size_t *hash);

    // Adds every row of the other table that this one lacks, in the other table's order: the same
    // rows as adding them one by one, but the lookups of a large table overlap instead of waiting
    // for memory one at a time.
    void insertAll(const WordTable &other);

    // Deletes every row.
    void ClearWordTable();
    // Enough slots for this many rows at a load of at most one half: room made at once, where
    // growing row by row would move every row each time the table doubles.
    void reserve(std::size_t rows);

    std::size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }
    // Bytes held, for keeping memory bounded.
    std::size_t memoryUse() const;
    // Row i (from 0) in first-added order.
    std::string_view row(std::size_t i) const;
    // Hands every row in first-added order to take(word, key), key being the word's case-folded form
    // (an ASCII word's key is the word in lower case).
    template <typename Take> void forEachRow(Take &&take) const
    {
        const char *text = m_text.data();
        for (const Slot &row : m_rows) {
            const std::size_t offset = row.offset;
            std::size_t lengths[2];
            std::memcpy(lengths, text + offset, HeaderSize);
            const char *key = text + offset + HeaderSize;
            take(std::string_view(key + lengths[0], lengths[1]), std::string_view(key, lengths[0]));
        }
    }

private:
    // Each row stands in m_text as its key length, its form length, the key and the form.
    static constexpr std::size_t HeaderSize = 2 * sizeof(std::size_t);
    // A key of at most this many bytes is compared by reading this many, past its end: m_text has
    // as many bytes after its last row, and a key looked up stands in the ascii::ShortText buffer,
    // a std::string (whose buffer is never shorter) or another table's text.
    static constexpr std::size_t ReadableKeyBytes = 16;
    static constexpr std::size_t Empty = static_cast<std::size_t>(-1);

    struct Slot
    {
        std::size_t hash;
        std::size_t offset; // of the row in m_text, Empty for an empty slot
    };
    // All bits set, so that a table is emptied by one memset.
    static constexpr Slot EmptySlot{Empty, Empty};

    // Adds the word with its key (case-folded form) and hashOf() it in the empty slot findSlot()
    // gave for them.
    void addRow(std::size_t slot, std::string_view word, std::string_view key, std::size_t hash);
    std::string_view formAt(std::size_t offset) const;
    // The slot that holds the key, or the empty slot where it belongs.
    std::size_t findSlot(std::string_view key, std::size_t hash) const;

    // Makes room for bytes more after the text.
    void growText(std::size_t bytes);

    // The rows' text is the first m_textSize bytes of m_text: a row goes in with a few moves of fixed
    // size, where appending to a string cost three calls and their checks for every new word.
    std::vector<char> m_text;
    std::size_t m_textSize = 0;
    std::vector<Slot> m_rows;      // every row's hash and offset in m_text, in first-added order
    std::vector<Slot> m_slots;     // a power of two long
    mutable std::string m_scratch; // the folded form of the word being looked up
    std::size_t m_recentRows = 0;  // the rows of the pages held lately (ClearWordTable())
};

// The minimum word length as the run compares it: the number at the start of the text, read as a
// decimal number (leading blanks skipped, reading stops at the first character that cannot continue
// it, no number gives 0). " 4" gives 4 and "4.5" gives 4.5.
double leadingNumber(std::string_view text);

} // namespace tagsmith
