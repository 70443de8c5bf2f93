#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tagsmith {

// The legacy charsets a page may declare (all but UTF-8, UTF-16 and windows-1252), decoded by the
// encoding standard's decoders and index tables, as a browser decodes them, and encoded so that every
// character written decodes back to itself.
enum class Charset {
    SingleByte, // IBM866, ISO-8859-2 ... 16, KOI8-R/U, macintosh, windows-874, windows-1250 ... 1258, x-mac-cyrillic
    ShiftJis,
    EucJp,
    Iso2022Jp,
    Gbk,
    Gb18030,
    Big5,
    EucKr,
};

// The charset of an encoding the label table names ("koi8-r", "shift_jis"); nullopt for UTF-8,
// UTF-16, windows-1252, x-user-defined and "replacement" (which browsers refuse to decode).
std::optional<Charset> charsetOf(std::string_view encoding);

// No character: a byte a single-byte charset leaves out.
inline constexpr char32_t NoCharacter = 0xFFFFFFFF;

// A single-byte charset both ways.
struct ByteTable
{
    std::array<char32_t, 256> characters{}; // NoCharacter for a byte the charset leaves out
    std::vector<std::pair<char32_t, unsigned char>> bytes; // of the characters above ASCII, sorted

    // The byte of a character, -1 when the charset has none.
    int byteOf(char32_t c) const;
};

// The table of a single-byte encoding, made once in the process; null for any other encoding.
const ByteTable *byteTableOf(std::string_view encoding);

// Decodes a multi-byte charset a byte at a time, fed across blocks of any size.
class CharsetDecoder
{
public:
    explicit CharsetDecoder(Charset charset) : m_charset(charset) {}

    // Takes the next byte and puts the characters it completes (none, one or, in Big5, two) into
    // out; returns how many, or -1 where a browser shows U+FFFD: bytes that are no character.
    int push(unsigned char byte, std::array<char32_t, 2> &out);
    // After the last byte: false when the bytes end inside a character.
    bool finish();

private:
    int pushIso2022Jp(unsigned char byte, std::array<char32_t, 2> &out);

    // The state of ISO-2022-JP.
    enum class Shift { Ascii, Roman, Katakana, LeadByte, TrailByte, EscapeStart, Escape };

    Charset m_charset;
    unsigned char m_lead = 0;
    unsigned char m_second = 0; // gb18030's second and third byte of four
    unsigned char m_third = 0;
    bool m_jis0212 = false; // an EUC-JP character of JIS X 0212
    Shift m_shift = Shift::Ascii;
    Shift m_output = Shift::Ascii; // the state ISO-2022-JP's text is in, outside an escape sequence
    bool m_escaped = false; // an escape sequence just ended, no character since
};

// Encodes a multi-byte charset a character at a time.
class CharsetEncoder
{
public:
    explicit CharsetEncoder(Charset charset) : m_charset(charset) {}

    // Appends the bytes of c, or returns false when no bytes of the charset decode back to c (no
    // look-alike stands in for it); ISO-2022-JP is then back in ASCII, ready for a reference.
    bool put(char32_t c, std::string &out);
    // ISO-2022-JP ends in ASCII.
    void finish(std::string &out);

private:
    enum class Shift { Ascii, Roman, Jis0208 };
    bool putIso2022Jp(char32_t c, std::string &out);
    void shift(Shift to, std::string &out);

    Charset m_charset;
    Shift m_shift = Shift::Ascii;
};

} // namespace tagsmith
