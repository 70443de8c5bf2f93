#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tagsmith {

// How the bytes of a page are read and how text is written into it.
enum class PageEncoding {
    Windows1252, // one byte, one character
    Utf8,
};

// The encoding a page declares for itself: a UTF-8 byte-order mark, or a charset named by a META tag
// (<meta charset=...> or an http-equiv content type) within its first 1024 bytes. A declared charset
// other than UTF-8 counts as Windows-1252. No declaration gives nullopt.
std::optional<PageEncoding> declaredEncoding(std::string_view pageStart);

// How many leading bytes declaredEncoding() looks at.
inline constexpr std::size_t DeclarationWindow = 1024;

// Length of the UTF-8 byte-order mark at the start of a page (0 or 3).
std::size_t byteOrderMarkLength(std::string_view pageStart);

// Checks a page, fed block by block, for being UTF-8: every byte part of a well-formed sequence
// (no overlong forms, no surrogates, nothing above U+10FFFF) and at least one multi-byte sequence.
class Utf8Check
{
public:
    void feed(std::string_view bytes);
    // True when everything fed so far is valid UTF-8, ends on a whole sequence, and holds at least one
    // multi-byte sequence.
    bool isUtf8() const { return m_valid && m_pending == 0 && m_sawMultiByte; }
    bool stillValid() const { return m_valid; }

private:
    bool m_valid = true;
    bool m_sawMultiByte = false;
    int m_pending = 0;         // continuation bytes still expected
    unsigned char m_lower = 0; // allowed range of the next continuation byte
    unsigned char m_upper = 0;
};

// The encoding a page is read and written in: its declaration when it has one, else UTF-8 when the
// whole page passed the check, else Windows-1252.
PageEncoding decideEncoding(std::optional<PageEncoding> declared, const Utf8Check &check);

// Decodes UTF-8 fed in blocks of any size, one code point at a time. A byte that cannot start or
// continue a well-formed sequence is skipped (it yields nothing and ends nothing), and a sequence cut
// short by such a byte is dropped; the byte that cut it is then looked at afresh.
class Utf8Decoder
{
public:
    static constexpr char32_t None = 0xFFFFFFFF;

    // Takes one byte; returns the completed code point, or None while a sequence is incomplete or
    // after an invalid byte.
    char32_t push(unsigned char byte)
    {
        if (m_pending == 0) {
            if (byte < 0x80)
                return byte;
            return start(byte);
        }
        if (byte < m_lower || byte > m_upper) {
            m_pending = 0;
            return push(byte);
        }
        m_lower = 0x80;
        m_upper = 0xBF;
        m_codePoint = (m_codePoint << 6) | (byte & 0x3Fu);
        if (--m_pending == 0)
            return m_codePoint;
        return None;
    }

    // Drops a sequence left incomplete (the end of the page).
    void reset() { m_pending = 0; }

private:
    char32_t start(unsigned char byte);

    int m_pending = 0;
    unsigned char m_lower = 0x80;
    unsigned char m_upper = 0xBF;
    char32_t m_codePoint = 0;
};

// Appends the UTF-8 form of a code point.
template <typename String>
void appendUtf8(String &out, char32_t cp)
{
    using C = typename String::value_type;
    if (cp < 0x80) {
        out.push_back(static_cast<C>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<C>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<C>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<C>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<C>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<C>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<C>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<C>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<C>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<C>(0x80 | (cp & 0x3F)));
    }
}

} // namespace tagsmith
