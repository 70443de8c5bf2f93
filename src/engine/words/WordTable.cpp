#include "engine/words/WordTable.h"

#include "engine/encoding/AsciiText.h"
#include "engine/encoding/PageText.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace tagsmith {
namespace {

constexpr std::size_t InitialSlots = 256;
static_assert(ascii::ShortText >= 16, "a short key's buffer is read 16 bytes far");

} // namespace

WordTable::WordTable() : m_slots(InitialSlots, EmptySlot) {}

namespace {

// The hash of a key, eight bytes a step, each step mixed well enough that the low bits pick a slot.
std::uint64_t hashStart(std::size_t length)
{
    return length * 0x9E3779B97F4A7C15ULL;
}

std::uint64_t hashStep(std::uint64_t h, std::uint64_t eightBytes)
{
    h = (h ^ eightBytes) * 0xBF58476D1CE4E5B9ULL;
    return h ^ (h >> 29);
}

std::size_t hashEnd(std::uint64_t h)
{
    h *= 0x94D049BB133111EBULL;
    return static_cast<std::size_t>(h ^ (h >> 32));
}

} // namespace

std::size_t WordTable::hashOf(std::string_view key)
{
    std::uint64_t h = hashStart(key.size());
    for (std::size_t i = 0; i < key.size(); i += 8)
        h = hashStep(h, ascii::load(key.data() + i, key.size() - i));
    return hashEnd(h);
}

namespace {

// Inlined: every word of a page is folded and hashed.
[[gnu::always_inline]] inline std::string_view foldAndHash(std::string_view word, char *buffer, std::string &scratch,
                                                           std::size_t *hash)
{
    // Most words: an ASCII key folded and hashed on the stack, eight bytes a step, in one pass.
    if (word.size() <= ascii::ShortText) {
        std::uint64_t h = hashStart(word.size());
        const auto hashEight = [&h](std::uint64_t eightBytes) { h = hashStep(h, eightBytes); };
        if (ascii::convertShort(word, buffer, ascii::lower, hashEight)) {
            *hash = hashEnd(h);
            return std::string_view(buffer, word.size());
        }
    }
    scratch.clear();
    if (ascii::isAscii(word))
        ascii::appendConverted(scratch, word, ascii::lower);
    else
        appendCaseFolded(scratch, word);
    *hash = WordTable::hashOf(scratch);
    return scratch;
}

} // namespace

std::string_view WordTable::keyOf(std::string_view word, char *buffer, std::string &scratch, std::size_t *hash)
{
    return foldAndHash(word, buffer, scratch, hash);
}

std::string_view WordTable::formAt(std::size_t offset) const
{
    std::size_t lengths[2];
    std::memcpy(lengths, m_text.data() + offset, sizeof lengths);
    return std::string_view(m_text.data() + offset + HeaderSize + lengths[0], lengths[1]);
}

namespace {

// Whether the n bytes at a and at b are the same, where n <= 16 and 16 bytes can be read at each:
// two loads each and masks for the bytes past n, with no branch on n (words of every length follow
// each other, and a branch on the length was mispredicted about every other word).
[[gnu::always_inline]] inline bool sameShortBytes(const char *a, const char *b, std::size_t n)
{
    std::uint64_t a0, a1, b0, b1;
    std::memcpy(&a0, a, 8);
    std::memcpy(&a1, a + 8, 8);
    std::memcpy(&b0, b, 8);
    std::memcpy(&b1, b + 8, 8);
    const std::uint64_t mask0 = n >= 8 ? ~std::uint64_t(0) : (std::uint64_t(1) << (n * 8)) - 1;
    const std::uint64_t mask1 = n >= 16 ? ~std::uint64_t(0) : n <= 8 ? 0 : (std::uint64_t(1) << ((n - 8) * 8)) - 1;
    return (((a0 ^ b0) & mask0) | ((a1 ^ b1) & mask1)) == 0;
}

} // namespace

// Inlined: a page's every word looks up its slot.
[[gnu::always_inline]] inline std::size_t WordTable::findSlot(std::string_view key, std::size_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot &entry = m_slots[slot];
        if (entry.offset == Empty)
            return slot;
        if (entry.hash == hash) {
            const char *row = m_text.data() + entry.offset;
            std::size_t keyLength;
            std::memcpy(&keyLength, row, sizeof keyLength);
            if (keyLength == key.size() &&
                (keyLength <= ReadableKeyBytes ? sameShortBytes(row + HeaderSize, key.data(), keyLength)
                                               : std::memcmp(row + HeaderSize, key.data(), keyLength) == 0))
                return slot;
        }
    }
}

bool WordTable::contains(std::string_view word) const
{
    char buffer[ascii::ShortText];
    std::size_t hash;
    const std::string_view key = foldAndHash(word, buffer, m_scratch, &hash);
    return m_slots[findSlot(key, hash)].offset != Empty;
}

bool WordTable::insert(std::string_view word)
{
    char buffer[ascii::ShortText];
    std::size_t hash;
    const std::string_view key = foldAndHash(word, buffer, m_scratch, &hash);
    const std::size_t slot = findSlot(key, hash);
    if (m_slots[slot].offset != Empty)
        return false;
    addRow(slot, word, key, hash);
    return true;
}

void WordTable::addRow(std::size_t slot, std::string_view word, std::string_view key, std::size_t hash)
{
    const std::size_t offset = m_textSize;
    const std::size_t rowSize = HeaderSize + key.size() + word.size();
    if (m_text.size() - m_textSize < rowSize + ReadableKeyBytes)
        growText(rowSize + ReadableKeyBytes);
    char *row = m_text.data() + offset;
    const std::size_t lengths[2] = {key.size(), word.size()};
    std::memcpy(row, lengths, HeaderSize);
    ascii::copyBytes(row + HeaderSize, key.data(), key.size());
    ascii::copyBytes(row + HeaderSize + key.size(), word.data(), word.size());
    m_textSize += rowSize;
    m_rows.push_back({hash, offset});
    m_slots[slot] = m_rows.back();
    if (m_rows.size() * 2 > m_slots.size())
        reserve(m_rows.size());
}

void WordTable::insertAll(const WordTable &other)
{
    reserve(m_rows.size() + other.size());
    const std::size_t mask = m_slots.size() - 1;
    const std::size_t n = other.size();
    // Three steps apart: fetch the slot, then the row it points to, then compare and add.
    constexpr std::size_t Ahead = 8;
    for (std::size_t i = 0; i < n + 2 * Ahead; ++i) {
        if (i < n)
            __builtin_prefetch(&m_slots[other.m_rows[i].hash & mask]);
        if (i >= Ahead && i - Ahead < n) {
            const Slot &slot = m_slots[other.m_rows[i - Ahead].hash & mask];
            if (slot.offset != Empty)
                __builtin_prefetch(m_text.data() + slot.offset);
        }
        if (i >= 2 * Ahead && i - 2 * Ahead < n) {
            const std::size_t k = i - 2 * Ahead;
            const Slot &row = other.m_rows[k];
            const char *text = other.m_text.data() + row.offset;
            std::size_t lengths[2];
            std::memcpy(lengths, text, HeaderSize);
            const std::string_view key(text + HeaderSize, lengths[0]);
            // Room was made above, so adding a row moves no slot.
            if (const std::size_t slot = findSlot(key, row.hash); m_slots[slot].offset == Empty)
                addRow(slot, std::string_view(text + HeaderSize + lengths[0], lengths[1]), key, row.hash);
        }
    }
}

void WordTable::growText(std::size_t bytes)
{
    // Doubling, so a row costs the zero fill of growing only now and then.
    m_text.resize(std::max({m_text.size() * 2, m_textSize + bytes, std::size_t(4096)}));
}

void WordTable::reserve(std::size_t rows)
{
    // At most half the slots are used, so a probe ends soon.
    std::size_t size = m_slots.size();
    while (rows * 2 > size)
        size *= 2;
    if (size == m_slots.size())
        return;
    std::vector<Slot> old(size, EmptySlot);
    old.swap(m_slots);
    const std::size_t mask = size - 1;
    for (const Slot &entry : old) {
        if (entry.offset == Empty)
            continue;
        std::size_t slot = entry.hash & mask;
        while (m_slots[slot].offset != Empty)
            slot = (slot + 1) & mask;
        m_slots[slot] = entry;
    }
}

void WordTable::ClearWordTable()
{
    // A table keeps the room its pages lately needed: a short page between longer ones leaves it (the
    // next page would grow the slots again, moving every row at each step), and the room of a very
    // large page goes once the pages after it have needed far less for a while. The pages' rows count
    // down by an eighth a page.
    m_recentRows = std::max(m_rows.size(), m_recentRows - m_recentRows / 8);
    std::size_t wanted = InitialSlots;
    while (wanted < m_recentRows * 2)
        wanted *= 2;
    if (m_slots.size() > wanted * 4) {
        std::vector<Slot>(wanted, EmptySlot).swap(m_slots);
        std::vector<Slot>().swap(m_rows);
        std::vector<char>().swap(m_text);
    } else {
        std::memset(m_slots.data(), 0xFF, m_slots.size() * sizeof(Slot)); // every slot EmptySlot
    }
    m_rows.clear();
    m_textSize = 0;
}

std::size_t WordTable::memoryUse() const
{
    return m_text.capacity() + m_rows.capacity() * sizeof(Slot) + m_slots.capacity() * sizeof(Slot) +
           m_scratch.capacity();
}

std::string_view WordTable::row(std::size_t i) const
{
    return formAt(m_rows[i].offset);
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
    const auto [ptr, ec] =
        std::from_chars(text.data() + i, text.data() + text.size(), value, std::chars_format::general);
    (void)ptr;
    if (ec == std::errc::invalid_argument)
        return 0;
    return negative ? -value : value;
}

} // namespace tagsmith
