#pragma once

#include "engine/AsciiText.h"
#include "engine/PageText.h"

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

    // Takes the non-ASCII bytes from p on as UTF-8; returns the position after them.
    const unsigned char *takeSequences(const unsigned char *p, const unsigned char *end);
    void takeCharacter(char32_t c);

    std::array<std::uint8_t, 256> m_classes{};            // of the page's encoding
    std::array<std::uint8_t, 256> m_windows1252Classes{}; // each byte as a Windows-1252 character
    // Each byte as UTF-8, for appending a word character of a Windows-1252 page to CurrentWord.
    std::array<std::array<char, 4>, 256> m_utf8{};
    Utf8Decoder m_decoder; // a sequence cut by the end of a block goes on in the next
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
