#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Words are mostly ASCII. These take their bytes eight at a time, where a byte-by-byte loop would
// cost as much as the rest of a word's way into a word table.
namespace tagsmith::ascii {

inline constexpr std::uint64_t Ones = 0x0101010101010101ULL;
inline constexpr std::uint64_t HighBits = 0x8080808080808080ULL;

// Up to eight bytes of text as one number, the rest zero. (A memcpy of a varying length would be a
// call of its own.)
inline std::uint64_t load(const char *p, std::size_t n)
{
    std::uint64_t v = 0;
    if (n >= 8) {
        std::memcpy(&v, p, 8);
    } else if (n >= 4) {
        // Two overlapping halves; the bytes they share are the same in both.
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        std::memcpy(&first, p, 4);
        std::memcpy(&last, p + n - 4, 4);
        v = first | (static_cast<std::uint64_t>(last) << (8 * (n - 4)));
    } else if (n > 0) {
        const auto byte = [p](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(p[i])); };
        v = byte(0) | (byte(n / 2) << (8 * (n / 2))) | (byte(n - 1) << (8 * (n - 1)));
    }
    return v;
}

inline bool isAscii(std::string_view text)
{
    std::uint64_t any = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8)
        any |= load(text.data() + i, 8);
    any |= load(text.data() + i, text.size() - i);
    return (any & HighBits) == 0;
}

// The bytes from first to last (both ASCII) in each of eight ASCII bytes, as a high bit a byte.
inline std::uint64_t inRange(std::uint64_t v, unsigned char first, unsigned char last)
{
    // No byte carries into the next: an ASCII byte plus at most 0x80 stays below 0x100.
    const std::uint64_t fromFirst = v + Ones * static_cast<std::uint64_t>(0x80 - first);
    const std::uint64_t pastLast = v + Ones * static_cast<std::uint64_t>(0x7F - last);
    return fromFirst & ~pastLast & HighBits;
}

// Whether text ends in lowerEnd (lower-case ASCII), ignoring the case of ASCII letters. File names
// are told by their endings this way before they are made text: the endings are ASCII, which a name's
// decoding keeps as they are.
inline bool endsWithIgnoringCase(std::string_view text, std::string_view lowerEnd)
{
    if (text.size() < lowerEnd.size())
        return false;
    text.remove_prefix(text.size() - lowerEnd.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
        if (c != lowerEnd[i])
            return false;
    }
    return true;
}

// Eight ASCII bytes in lower or upper case.
inline std::uint64_t lower(std::uint64_t v)
{
    return v | (inRange(v, 'A', 'Z') >> 2);
}
inline std::uint64_t upper(std::uint64_t v)
{
    return v & ~(inRange(v, 'a', 'z') >> 2);
}

// Copies n bytes from from to to. Inlined, as words are short: up to 16 bytes go in two moves of
// fixed size that may overlap, where a call to memcpy cost more than the copy.
[[gnu::always_inline]] inline void copyBytes(char *to, const char *from, std::size_t n)
{
    const auto moveEnds = [&](auto word) {
        decltype(word) first, last;
        std::memcpy(&first, from, sizeof first);
        std::memcpy(&last, from + n - sizeof last, sizeof last);
        std::memcpy(to, &first, sizeof first);
        std::memcpy(to + n - sizeof last, &last, sizeof last);
    };
    if (n >= 8 && n <= 16) {
        moveEnds(std::uint64_t{});
    } else if (n >= 4 && n < 8) {
        moveEnds(std::uint32_t{});
    } else if (n > 16) {
        std::memcpy(to, from, n);
    } else if (n > 0) {
        // One to three bytes: the first, the middle and the last cover them.
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
}

// Eight bytes of a word at a time: a word of at most this many bytes is converted in a buffer of
// its own on the stack.
inline constexpr std::size_t ShortText = 64;

// Converts text (at most ShortText bytes) by convert (lower or upper) into to, which has room for
// ShortText bytes; the bytes after the text up to the next multiple of eight become zero. Each eight
// bytes converted also go to step, in order (a hash made in the same pass). False when the text is
// not ASCII (to then holds nothing of use).
template <typename Convert, typename Step>
[[gnu::always_inline]] inline bool convertShort(std::string_view text, char *to, Convert convert, Step &&step)
{
    std::uint64_t any = 0;
    for (std::size_t i = 0; i < text.size(); i += 8) {
        std::uint64_t v = load(text.data() + i, text.size() - i);
        any |= v;
        v = convert(v);
        std::memcpy(to + i, &v, 8);
        step(v);
    }
    return (any & HighBits) == 0;
}

template <typename Convert> bool convertShort(std::string_view text, char *to, Convert convert)
{
    return convertShort(text, to, convert, [](std::uint64_t) {});
}

// Appends an ASCII text converted by convert (lower or upper).
template <typename Convert> void appendConverted(std::string &out, std::string_view text, Convert convert)
{
    if (text.size() <= ShortText) {
        char converted[ShortText];
        convertShort(text, converted, convert);
        out.append(converted, text.size());
        return;
    }
    const std::size_t start = out.size();
    out.append(text);
    for (std::size_t i = start; i < out.size(); ++i)
        out[i] = static_cast<char>(convert(static_cast<unsigned char>(out[i])));
}

// Number of characters of a UTF-8 text: its bytes less its continuation bytes (10xxxxxx).
inline std::size_t characterCount(std::string_view utf8)
{
    std::size_t continuations = 0;
    for (std::size_t i = 0; i < utf8.size(); i += 8) {
        const std::uint64_t v = load(utf8.data() + i, utf8.size() - i);
        // One bit a continuation byte, summed across the bytes by the multiplication.
        continuations += static_cast<std::size_t>((((v & ~(v << 1) & HighBits) >> 7) * Ones) >> 56);
    }
    return utf8.size() - continuations;
}

} // namespace tagsmith::ascii
