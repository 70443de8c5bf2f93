#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tagsmith {

// The UTF-8 form of a character.
void appendUtf8(std::string &out, char32_t c);

// The character that starts at text[*pos], moving *pos past it. A broken sequence gives U+FFFD
// and moves one byte on. For texts of our own, which are whole UTF-8.
char32_t nextCharacter(std::string_view text, std::size_t *pos);

// Number of characters of a UTF-8 text.
std::size_t characterCount(std::string_view utf8);

// Decodes the bytes of a UTF-8 page, fed one at a time across blocks of any size. Only well-formed
// sequences give a character (no overlong forms, no surrogates, nothing above U+10FFFF). A byte that
// cannot start or continue a sequence is skipped, and a sequence cut short by such a byte is dropped;
// the byte that cut it is then looked at afresh.
class Utf8Decoder
{
public:
    static constexpr char32_t None = 0xFFFFFFFF;

    // Takes one byte; returns the completed character, or None while a sequence is incomplete or
    // after a byte that was skipped.
    char32_t push(unsigned char byte)
    {
        if (m_pending == 0)
            return byte < 0x80 ? byte : start(byte);
        if (!continues(byte)) {
            m_pending = 0;
            return push(byte);
        }
        m_lower = 0x80;
        m_upper = 0xBF;
        m_character = (m_character << 6) | (byte & 0x3Fu);
        return --m_pending == 0 ? m_character : None;
    }

    // Whether the byte is the continuation a started sequence needs next.
    bool continues(unsigned char byte) const { return m_pending != 0 && byte >= m_lower && byte <= m_upper; }
    // A sequence is started and not complete yet.
    bool pending() const { return m_pending != 0; }
    // Drops a sequence left incomplete.
    void reset() { m_pending = 0; }

private:
    char32_t start(unsigned char byte);

    int m_pending = 0; // continuation bytes still expected
    unsigned char m_lower = 0x80;
    unsigned char m_upper = 0xBF;
    char32_t m_character = 0;
};

// Checks a page, fed block by block, for being UTF-8: every byte part of a well-formed sequence and
// at least one multi-byte sequence.
class Utf8Check
{
public:
    void feed(std::string_view bytes);
    // Everything fed so far is well-formed, ends on a whole sequence and holds a multi-byte sequence.
    bool isUtf8() const { return m_valid && !m_decoder.pending() && m_sawMultiByte; }
    // No byte so far broke the form; once false, feeding more changes nothing.
    bool stillValid() const { return m_valid; }

private:
    Utf8Decoder m_decoder;
    bool m_valid = true;
    bool m_sawMultiByte = false;
};

} // namespace tagsmith
