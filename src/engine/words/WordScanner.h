#pragma once

#include "engine/encoding/AsciiText.h"
#include "engine/encoding/PageText.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tagsmith {

// The characters of a word, in their upper-case form: digits, Latin capitals and twenty accented
// capitals. A character is a word character when its upper case is one of these.
inline constexpr std::string_view WordChars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "\u00C3\u00C0\u00C4\u00C1\u00C8\u00CB\u00C9\u00CC\u00CF\u00CD"
                                              "\u00D5\u00D2\u00D6\u00D3\u00D9\u00DC\u00DA\u0178\u00DD\u00D1";
// What ends a word on a page of the folder, and on the main page.
// NOTE: the main page has no ampersand here, so there a character reference's name is appended to
// the word before it ("A&amp;B" gives "Aamp" and "B"); sites' keyword lines rely on it.
inline constexpr std::string_view PageSeparators = " -.,:;!/\\&";
inline constexpr std::string_view MainPageSeparators = " -.,:;!/\\";

// The word character test for one character: a character that Windows-1252 can write is a word
// character when its upper case is in WordChars, whatever the page's encoding, so a UTF-8 page gives
// the words the same page in Windows-1252 gives. Any other character (only UTF-8 pages hold them) is
// a word character when Unicode classes it as a letter or a decimal digit.
bool isWordCharacter(char32_t c);
// A letter or a decimal digit of Unicode.
bool isLetterOrDigit(char32_t c);

// A combining mark (Unicode Mn, Mc, Me). It belongs to the character before it: in a word whose last
// character Windows-1252 cannot write, it is part of the word (the vowel signs of Devanagari or Thai,
// the points of Hebrew), elsewhere it is neither word character nor separator.
bool isCombiningMark(char32_t c);
// Whether the UTF-8 word ends in a character that Windows-1252 cannot write.
bool endsBeyondWindows1252(std::string_view word);

// The word scan of one page: a run of word characters outside markup, ended by a separator or by
// the start of a tag, is a word. Fed the page's bytes in blocks of any size, in order; each word
// goes to the addWord callable as UTF-8 text, with true when the word is known to be ASCII (a word
// that stands whole in the page; false says nothing). A word still open when the page ends is not a
// word.
//
// A Windows-1252 page is one character a byte. A UTF-8 page is read by characters; "<", ">" and the
// separators are ASCII, and no byte of a multi-byte sequence is ASCII, so these keep their bytes.
// A byte that is no part of a well-formed sequence is skipped and ends nothing.
class WordScanner
{
public:
    enum class PageKind {
        Folder,
        Main,
    };

    explicit WordScanner(PageKind kind, PageEncoding encoding = PageEncoding::Windows1252);

    // Starts a new page: no tag open, no word open.
    void reset();
    // The same for a page in the given encoding.
    void reset(PageEncoding encoding);

    template <typename AddWord> void feed(std::string_view bytes, AddWord &&addWord);

    // Number of "<" minus number of ">" read so far in the page; never clamped.
    std::int64_t TagDepth = 0;
    bool InWord = false;
    // The word being collected, as UTF-8.
    std::string CurrentWord;

private:
    enum : std::uint8_t {
        OpenTag = 1,
        CloseTag = 2,
        Word = 4,
        Separator = 8,
        Sequence = 16, // a byte of a multi-byte sequence in a UTF-8 page
    };

    // From p on, with no tag and no word open, hands the words of plain ASCII text to addWord, sixty-four
    // bytes at a time. Returns where it stopped, still with no word open: at a bracket, at a byte
    // above 0x7F, at a word it leaves to the byte loop (one whose letters are split by other
    // characters, or that the block may not end), or near the end of the block.
    template <typename AddWord>
    const unsigned char *takeWords(const unsigned char *p, const unsigned char *end, AddWord &addWord);
    // Takes the non-ASCII bytes from p on as UTF-8; returns the position after them.
    const unsigned char *takeSequences(const unsigned char *p, const unsigned char *end);
    void takeCharacter(char32_t c);

    std::array<std::uint8_t, 256> m_classes{};            // of the page's encoding
    std::array<std::uint8_t, 256> m_windows1252Classes{}; // each byte as a Windows-1252 character
    // Each byte as UTF-8, for appending a word character of a Windows-1252 page to CurrentWord.
    std::array<std::array<char, 4>, 256> m_utf8{};
    Utf8Decoder m_decoder;       // a sequence cut by the end of a block goes on in the next
    bool m_ampersandEnds = true; // "&" is a separator (not on the main page)
};

// The first "<" or ">" from p on, or end.
inline const unsigned char *findBracket(const unsigned char *p, const unsigned char *end)
{
#if defined(__SSE2__)
    const __m128i open = _mm_set1_epi8('<');
    const __m128i close = _mm_set1_epi8('>');
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const auto found = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, open), _mm_cmpeq_epi8(bytes, close))));
        if (found != 0)
            return p + __builtin_ctz(found);
    }
#endif
    while (p != end && *p != '<' && *p != '>')
        ++p;
    return p;
}

// The end of the run of ASCII digits and letters (the ASCII word characters) from p on.
inline const unsigned char *skipAsciiWord(const unsigned char *p, const unsigned char *end)
{
#if defined(__SSE2__)
    // Compared as signed bytes, so a byte above 0x7F (negative) is in no range.
    const auto inRange = [](__m128i bytes, char first, char last) {
        return _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(static_cast<char>(first - 1))),
                             _mm_cmplt_epi8(bytes, _mm_set1_epi8(static_cast<char>(last + 1))));
    };
    for (; end - p >= 16; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i word =
            _mm_or_si128(inRange(_mm_or_si128(bytes, _mm_set1_epi8(0x20)), 'a', 'z'), inRange(bytes, '0', '9'));
        const auto other = static_cast<unsigned>(~_mm_movemask_epi8(word)) & 0xFFFFu;
        if (other != 0)
            return p + __builtin_ctz(other);
    }
#endif
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    for (; end - p >= 8; p += 8) {
        std::uint64_t v;
        std::memcpy(&v, p, 8);
        const std::uint64_t low = v & ~ascii::HighBits; // no byte above 0x7F, so no carries
        const std::uint64_t word =
            (ascii::inRange(low | (ascii::Ones * 0x20), 'a', 'z') | ascii::inRange(low, '0', '9')) & ~v &
            ascii::HighBits;
        if (word != ascii::HighBits)
            return p + __builtin_ctzll(~word & ascii::HighBits) / 8;
    }
#endif
    while (p != end && ((*p >= '0' && *p <= '9') || ((*p | 0x20) >= 'a' && (*p | 0x20) <= 'z')))
        ++p;
    return p;
}

#if defined(__SSE2__)
// The masks below test these bytes directly.
static_assert(PageSeparators == " -.,:;!/\\&" && MainPageSeparators == " -.,:;!/\\");
static_assert(WordChars.substr(0, 36) == "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ" && [] {
    for (const char c : WordChars.substr(36))
        if (static_cast<unsigned char>(c) < 0x80)
            return false;
    return true;
}());

// Sixty-four bytes of ASCII text sorted into bit masks, one bit a byte.
struct TextMasks
{
    std::uint64_t stop = 0;      // "<", ">" and bytes above 0x7F: where plain text ends
    unsigned limit = 64;         // the first stop, or 64
    std::uint64_t word = 0;      // ASCII letters and digits, before the first stop
    std::uint64_t separator = 0; // what ends a word, "<" included, before the first stop

    TextMasks(const unsigned char *p, bool ampersandEnds)
    {
        __m128i v[4];
        for (int i = 0; i < 4; ++i) {
            v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
            // A byte above 0x7F has its own high bit set, which movemask takes as it is.
            const __m128i brackets =
                _mm_or_si128(_mm_cmpeq_epi8(v[i], _mm_set1_epi8('<')), _mm_cmpeq_epi8(v[i], _mm_set1_epi8('>')));
            stop |= bits(_mm_or_si128(v[i], brackets)) << (16 * i);
        }
        if (stop != 0)
            limit = static_cast<unsigned>(__builtin_ctzll(stop));
        // Text often stops at once (a line end before a tag): only the sixteens before the stop.
        const __m128i ampersand = _mm_set1_epi8(ampersandEnds ? '&' : ' ');
        for (unsigned i = 0; i < (limit + 15) / 16; ++i) {
            // A byte above 0x7F is in no range (none comes before the stop).
            const __m128i letter = inRange(_mm_or_si128(v[i], _mm_set1_epi8(0x20)), 'a', 'z');
            const __m128i digit = inRange(v[i], '0', '9');
            // " " and "!"; ",", "-", "." and "/"; ":" and ";"; "\\"; "&" on a page of the folder; "<".
            const __m128i ends = _mm_or_si128(
                _mm_or_si128(_mm_or_si128(inRange(v[i], ' ', '!'), inRange(v[i], ',', '/')), inRange(v[i], ':', ';')),
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v[i], _mm_set1_epi8('\\')), _mm_cmpeq_epi8(v[i], ampersand)),
                             _mm_cmpeq_epi8(v[i], _mm_set1_epi8('<'))));
            word |= bits(_mm_or_si128(letter, digit)) << (16 * i);
            separator |= bits(ends) << (16 * i);
        }
    }

private:
    static std::uint64_t bits(__m128i m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); }
    // x - first <= last - first as unsigned bytes: x is in [first, last].
    static __m128i inRange(__m128i v, char first, char last)
    {
        const __m128i offset = _mm_sub_epi8(v, _mm_set1_epi8(first));
        return _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(static_cast<char>(last - first))), offset);
    }
};
#endif

template <typename AddWord>
const unsigned char *WordScanner::takeWords(const unsigned char *p, const unsigned char *end, AddWord &addWord)
{
#if defined(__SSE2__)
    // No ASCII letter or digit right before p. A word here is the one run of letters and digits
    // between two separators; other characters between them belong to no word.
    const unsigned char *wordStart = nullptr; // the run being taken, when there is one
    const unsigned char *wordEnd = nullptr;   // the byte after it, once found
    std::uint64_t carry = 0;                  // the last byte of the block before was a letter or digit
    while (end - p >= 64) {
        const TextMasks masks(p, m_ampersandEnds);
        const unsigned limit = masks.limit;
        if (limit == 0 && !wordStart)
            return p;
        const std::uint64_t valid = limit == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << limit) - 1;
        std::uint64_t starts = masks.word & ~((masks.word << 1) | carry) & valid;
        std::uint64_t ends = ~masks.word & ((masks.word << 1) | carry) & valid;
        carry = masks.word >> 63;
        for (;;) {
            if (wordStart) {
                if (!wordEnd) {
                    if (ends == 0)
                        break; // the run goes on past the block
                    wordEnd = p + __builtin_ctzll(ends);
                    ends &= ends - 1;
                }
                // A separator after the run and before the next one ends the word.
                const unsigned from = wordEnd > p ? static_cast<unsigned>(wordEnd - p) : 0;
                const unsigned to = starts != 0 ? static_cast<unsigned>(__builtin_ctzll(starts)) : limit;
                const std::uint64_t between = (masks.separator >> from) << from;
                if (to > from && (to == 64 ? between : between & ((std::uint64_t(1) << to) - 1)) != 0) {
                    addWord(std::string_view(reinterpret_cast<const char *>(wordStart),
                                             static_cast<std::size_t>(wordEnd - wordStart)),
                            true);
                    wordStart = nullptr;
                } else if (starts != 0) {
                    return wordStart; // two runs in one word: the byte loop joins them
                } else {
                    break; // no separator yet
                }
            }
            if (starts == 0)
                break;
            wordStart = p + __builtin_ctzll(starts);
            wordEnd = nullptr;
            starts &= starts - 1;
        }
        if (limit < 64) {
            if (!wordStart)
                return p + limit;
            // "<" ends the word that runs up to it, or is the first separator after it.
            if (p[limit] == '<') {
                if (!wordEnd)
                    wordEnd = p + limit;
                addWord(std::string_view(reinterpret_cast<const char *>(wordStart),
                                         static_cast<std::size_t>(wordEnd - wordStart)),
                        true);
                return p + limit;
            }
            return wordStart;
        }
        p += 64;
    }
    return wordStart ? wordStart : p;
#else
    (void)end;
    (void)addWord;
    return p;
#endif
}

template <typename AddWord> void WordScanner::feed(std::string_view bytes, AddWord &&addWord)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    if (m_decoder.pending())
        p = takeSequences(p, end);
    // Kept in registers while the block is scanned: addWord could change the members for all the
    // compiler knows.
    std::int64_t depth = TagDepth;
    bool inWord = InWord;
    while (p != end) {
        if (depth != 0) {
            // Inside markup only the brackets count.
            p = findBracket(p, end);
            if (p == end)
                break;
        } else if (!inWord) {
            p = takeWords(p, end, addWord);
            if (p == end)
                break;
        }
        const unsigned char c = *p++;
        const std::uint8_t cls = m_classes[c];
        if (cls & OpenTag) {
            ++depth;
            if (inWord) {
                inWord = false;
                addWord(std::string_view(CurrentWord), false);
                CurrentWord.clear();
            }
        }
        if (depth == 0) {
            if (cls & Word) {
                inWord = true;
                if (c < 0x80) {
                    // Take the whole run of ASCII word characters at once.
                    const auto *runEnd = skipAsciiWord(p, end);
                    if (CurrentWord.empty() && runEnd != end && (m_classes[*runEnd] & (Separator | OpenTag))) {
                        // The word starts here and the next byte ends it: it stands in the page as
                        // it is. That byte finds no word open.
                        inWord = false;
                        addWord(std::string_view(reinterpret_cast<const char *>(p - 1),
                                                 static_cast<std::size_t>(runEnd - (p - 1))),
                                true);
                        // A separator and nothing else (most often the space before the next word)
                        // does nothing more with no word open: it is passed over here.
                        p = m_classes[*runEnd] == Separator ? runEnd + 1 : runEnd;
                        continue;
                    }
                    CurrentWord.push_back(static_cast<char>(c));
                    CurrentWord.append(reinterpret_cast<const char *>(p), static_cast<std::size_t>(runEnd - p));
                    p = runEnd;
                } else {
                    const auto &utf8 = m_utf8[c];
                    CurrentWord.append(utf8.data() + 1, static_cast<std::size_t>(utf8[0]));
                }
            } else if (cls & Sequence) {
                // A character of more than one byte never ends a word, so addWord is not needed.
                InWord = inWord;
                p = takeSequences(p - 1, end);
                inWord = InWord;
            } else if ((cls & Separator) && inWord) {
                inWord = false;
                addWord(std::string_view(CurrentWord), false);
                CurrentWord.clear();
            }
        }
        if (cls & CloseTag)
            --depth;
    }
    TagDepth = depth;
    InWord = inWord;
}

} // namespace tagsmith
