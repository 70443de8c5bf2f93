#include "engine/encoding/Utf8.h"

#include <cstdint>
#include <cstring>

namespace tagsmith {
namespace {

constexpr char32_t Replacement = 0xFFFD;

// A leading byte of a multi-byte sequence: how many continuation bytes follow and the range the first
// of them must lie in, which rules out overlong forms, surrogates and code points above U+10FFFF.
struct Lead
{
    int continuations; // 0: not a leading byte
    unsigned char lower;
    unsigned char upper;
    unsigned char payloadMask;
};

constexpr Lead leadOf(unsigned char b)
{
    if (b >= 0xC2 && b <= 0xDF)
        return {1, 0x80, 0xBF, 0x1F};
    if (b == 0xE0)
        return {2, 0xA0, 0xBF, 0x0F};
    if (b == 0xED)
        return {2, 0x80, 0x9F, 0x0F};
    if (b >= 0xE1 && b <= 0xEF)
        return {2, 0x80, 0xBF, 0x0F};
    if (b == 0xF0)
        return {3, 0x90, 0xBF, 0x07};
    if (b >= 0xF1 && b <= 0xF3)
        return {3, 0x80, 0xBF, 0x07};
    if (b == 0xF4)
        return {3, 0x80, 0x8F, 0x07};
    return {0, 0, 0, 0};
}

} // namespace

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

char32_t nextCharacter(std::string_view text, std::size_t *pos)
{
    const auto b0 = static_cast<unsigned char>(text[*pos]);
    if (b0 < 0x80) {
        ++*pos;
        return b0;
    }
    Utf8Decoder decoder;
    decoder.push(b0);
    for (std::size_t i = *pos + 1; decoder.pending() && i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (!decoder.continues(b))
            break;
        if (const char32_t c = decoder.push(b); c != Utf8Decoder::None) {
            *pos = i + 1;
            return c;
        }
    }
    ++*pos;
    return Replacement;
}

std::size_t characterCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char ch : utf8)
        count += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
    return count;
}

char32_t Utf8Decoder::start(unsigned char byte)
{
    const Lead lead = leadOf(byte);
    m_pending = lead.continuations;
    m_lower = lead.lower;
    m_upper = lead.upper;
    m_character = byte & lead.payloadMask;
    return None;
}

void Utf8Check::feed(std::string_view bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (m_valid && p != end) {
        if (!m_decoder.pending()) {
            // Plain ASCII eight bytes at a time.
            while (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, 8);
                if (word & 0x8080808080808080ull)
                    break;
                p += 8;
            }
            while (p != end && *p < 0x80)
                ++p;
            if (p == end)
                break;
            m_decoder.push(*p++);
            m_valid = m_decoder.pending(); // a byte that starts no sequence breaks the form
            m_sawMultiByte = true;
        } else {
            m_valid = m_decoder.continues(*p);
            m_decoder.push(*p++);
        }
    }
}

} // namespace tagsmith
