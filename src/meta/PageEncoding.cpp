#include "meta/PageEncoding.h"

#include <cstring>
#include <string>

namespace tagsmith {
namespace {

// Leading byte of a multi-byte sequence: how many continuation bytes follow and the range the first
// of them must lie in (which rules out overlong forms, surrogates and code points above U+10FFFF).
struct Lead
{
    int continuations; // 0: not a lead byte
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

constexpr char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// Position of needle (lower-case ASCII) in text from pos on, ignoring ASCII case; npos when absent.
std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t pos)
{
    if (needle.size() > text.size())
        return std::string_view::npos;
    for (std::size_t i = pos; i + needle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && asciiLower(text[i + k]) == needle[k])
            ++k;
        if (k == needle.size())
            return i;
    }
    return std::string_view::npos;
}

// The charset named inside one META tag (the text between "<meta" and its ">"), if any. Covers both
// charset="utf-8" and content="text/html; charset=utf-8".
std::optional<PageEncoding> charsetInTag(std::string_view tag)
{
    std::size_t at = 0;
    while ((at = findNoCase(tag, "charset", at)) != std::string_view::npos) {
        std::size_t i = at + 7;
        at = i;
        while (i < tag.size() && isSpace(tag[i]))
            ++i;
        if (i >= tag.size() || tag[i] != '=')
            continue;
        ++i;
        while (i < tag.size() && (isSpace(tag[i]) || tag[i] == '"' || tag[i] == '\''))
            ++i;
        std::size_t end = i;
        while (end < tag.size() && !isSpace(tag[end]) && tag[end] != '"' && tag[end] != '\'' && tag[end] != ';' &&
               tag[end] != '/')
            ++end;
        if (end == i)
            continue;
        std::string name;
        for (std::size_t k = i; k < end; ++k)
            name.push_back(asciiLower(tag[k]));
        return (name == "utf-8" || name == "utf8") ? PageEncoding::Utf8 : PageEncoding::Windows1252;
    }
    return std::nullopt;
}

} // namespace

std::size_t byteOrderMarkLength(std::string_view pageStart)
{
    return pageStart.substr(0, 3) == std::string_view("\xEF\xBB\xBF", 3) ? 3 : 0;
}

std::optional<PageEncoding> declaredEncoding(std::string_view pageStart)
{
    if (byteOrderMarkLength(pageStart) != 0)
        return PageEncoding::Utf8;
    const std::string_view window = pageStart.substr(0, DeclarationWindow);
    std::size_t at = 0;
    while ((at = findNoCase(window, "<meta", at)) != std::string_view::npos) {
        at += 5;
        const std::size_t close = window.find('>', at);
        const std::string_view tag = window.substr(at, close == std::string_view::npos ? window.npos : close - at);
        if (auto found = charsetInTag(tag))
            return found;
    }
    return std::nullopt;
}

void Utf8Check::feed(std::string_view bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (m_valid && p < end) {
        if (m_pending == 0) {
            // Skip plain ASCII eight bytes at a time.
            while (end - p >= 8) {
                std::uint64_t word;
                std::memcpy(&word, p, 8);
                if (word & 0x8080808080808080ull)
                    break;
                p += 8;
            }
            if (p == end)
                break;
            const unsigned char b = *p++;
            if (b < 0x80)
                continue;
            const Lead lead = leadOf(b);
            if (lead.continuations == 0) {
                m_valid = false;
                break;
            }
            m_pending = lead.continuations;
            m_lower = lead.lower;
            m_upper = lead.upper;
            m_sawMultiByte = true;
        } else {
            const unsigned char b = *p++;
            if (b < m_lower || b > m_upper) {
                m_valid = false;
                break;
            }
            m_lower = 0x80;
            m_upper = 0xBF;
            --m_pending;
        }
    }
}

PageEncoding decideEncoding(std::optional<PageEncoding> declared, const Utf8Check &check)
{
    if (declared)
        return *declared;
    return check.isUtf8() ? PageEncoding::Utf8 : PageEncoding::Windows1252;
}

char32_t Utf8Decoder::start(unsigned char byte)
{
    const Lead lead = leadOf(byte);
    if (lead.continuations == 0)
        return None;
    m_pending = lead.continuations;
    m_lower = lead.lower;
    m_upper = lead.upper;
    m_codePoint = byte & lead.payloadMask;
    return None;
}

} // namespace tagsmith
