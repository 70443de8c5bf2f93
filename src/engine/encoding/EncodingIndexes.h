#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace tagsmith::indexes {

// The index tables of the WHATWG Encoding Standard, by which browsers decode the legacy charsets:
// from each pointer to its code point, 0 where the pointer has none. Generated at build time from
// the copy that Debian's libjs-text-encoding keeps of them (encoding-indexes.js), not typed by hand.

// A charset of one byte a character: its bytes 0x80 to 0xFF (below them every one is ASCII).
struct SingleByteIndex
{
    std::string_view encoding; // as the label table names it: "koi8-u"
    std::array<char16_t, 128> high;
};

// gb18030's four-byte sequences: from this pointer on, the code points count up from this one.
struct Range
{
    std::uint32_t pointer;
    std::uint32_t codePoint;
};

extern const std::span<const SingleByteIndex> SingleByte;
extern const std::span<const char16_t> Jis0208;
extern const std::span<const char16_t> Jis0212;
extern const std::span<const char16_t> EucKr;
extern const std::span<const char16_t> Gb18030;
extern const std::span<const Range> Gb18030Ranges;
extern const std::span<const char32_t> Big5; // a few of its code points lie beyond the BMP

} // namespace tagsmith::indexes
