#include "engine/encoding/EncodingDetection.h"

#include "engine/encoding/CharsetLabels.h"

#include <optional>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tagsmith {
namespace {

constexpr char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

constexpr bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

constexpr bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view lower)
{
    if (text.size() - at < lower.size())
        return false;
    for (std::size_t i = 0; i < lower.size(); ++i)
        if (asciiLower(text[at + i]) != lower[i])
            return false;
    return true;
}

struct Attribute
{
    std::string name;  // ASCII lower case
    std::string value; // ASCII lower case
};

// Reads the bytes as the prescan does; running out of them ends the prescan without an answer.
class Prescan
{
public:
    explicit Prescan(std::string_view bytes) : m_bytes(bytes) {}

    // The declared encoding; empty when the bytes run out first.
    std::string_view run();

private:
    bool atEnd() const { return m_at >= m_bytes.size(); }
    char byte() const { return m_bytes[m_at]; }
    // Moves to the first "to" at or after from; false when there is none.
    bool skipTo(std::string_view to, std::size_t from);
    // One attribute of a tag from the current byte on, into attribute unless it is null: false when
    // the bytes ran out, and *found false at the tag's ">" (which stays the current byte).
    bool getAttribute(Attribute *attribute, bool *found);
    // The attributes of a META tag; false when the bytes ran out. *encoding is what it declares.
    bool readMeta(std::string_view *encoding);

    std::string_view m_bytes;
    std::size_t m_at = 0;
    Attribute m_attribute; // kept for its buffers
};

bool Prescan::skipTo(std::string_view to, std::size_t from)
{
    const std::size_t found = m_bytes.find(to, from);
    if (found == std::string_view::npos)
        return false;
    m_at = found;
    return true;
}

bool Prescan::getAttribute(Attribute *attribute, bool *found)
{
    // The attributes of most tags are only skipped.
    const auto keepName = [attribute](char c) {
        if (attribute)
            attribute->name.push_back(asciiLower(c));
    };
    const auto keepValue = [attribute](char c) {
        if (attribute)
            attribute->value.push_back(asciiLower(c));
    };
    bool named = false;
    if (attribute) {
        attribute->name.clear();
        attribute->value.clear();
    }
    *found = false;
    while (!atEnd() && (isSpace(byte()) || byte() == '/'))
        ++m_at;
    if (atEnd())
        return false;
    if (byte() == '>')
        return true;
    *found = true;
    // The name, up to "=", white space, "/" or ">" (an "=" that would start it belongs to it).
    for (;; ++m_at) {
        if (atEnd())
            return false;
        const char c = byte();
        if (c == '=' && named) {
            ++m_at;
            break;
        }
        if (isSpace(c)) {
            while (!atEnd() && isSpace(byte()))
                ++m_at;
            if (atEnd())
                return false;
            if (byte() != '=')
                return true; // a name without a value
            ++m_at;
            break;
        }
        if (c == '/' || c == '>')
            return true;
        keepName(c);
        named = true;
    }
    while (!atEnd() && isSpace(byte()))
        ++m_at;
    if (atEnd())
        return false;
    const char first = byte();
    if (first == '"' || first == '\'') {
        for (++m_at; !atEnd(); ++m_at) {
            if (byte() == first) {
                ++m_at;
                return true;
            }
            keepValue(byte());
        }
        return false;
    }
    if (first == '>')
        return true;
    for (; !atEnd(); ++m_at) {
        if (isSpace(byte()) || byte() == '>')
            return true;
        keepValue(byte());
    }
    return false;
}

// The encoding named after "charset=" in the content attribute of a META tag (the HTML standard's
// extraction of a character encoding from a meta element); nullopt when it names none.
std::optional<std::string_view> encodingInContent(std::string_view content)
{
    std::size_t at = 0;
    for (;;) {
        at = content.find("charset", at);
        if (at == std::string_view::npos)
            return std::nullopt;
        at += 7;
        std::size_t i = at;
        while (i < content.size() && isSpace(content[i]))
            ++i;
        if (i >= content.size() || content[i] != '=')
            continue;
        ++i;
        while (i < content.size() && isSpace(content[i]))
            ++i;
        if (i >= content.size())
            return std::nullopt;
        const char quote = content[i];
        if (quote == '"' || quote == '\'') {
            const std::size_t close = content.find(quote, i + 1);
            if (close == std::string_view::npos)
                return std::nullopt;
            const std::string_view encoding = encodingOfLabel(content.substr(i + 1, close - i - 1));
            return encoding.empty() ? std::nullopt : std::optional(encoding);
        }
        std::size_t end = i;
        while (end < content.size() && !isSpace(content[end]) && content[end] != ';')
            ++end;
        const std::string_view encoding = encodingOfLabel(content.substr(i, end - i));
        return encoding.empty() ? std::nullopt : std::optional(encoding);
    }
}

bool Prescan::readMeta(std::string_view *encoding)
{
    std::vector<std::string> seen;
    bool gotPragma = false;
    std::optional<bool> needPragma;
    std::optional<std::string_view> charset; // empty: a label that names no encoding
    Attribute &attribute = m_attribute;
    for (;;) {
        bool found = false;
        if (!getAttribute(&attribute, &found))
            return false;
        if (!found)
            break;
        bool again = false;
        for (const std::string &name : seen)
            again = again || name == attribute.name;
        if (again)
            continue; // only the first of two attributes of the same name counts
        seen.push_back(attribute.name);
        if (attribute.name == "http-equiv") {
            gotPragma = gotPragma || attribute.value == "content-type";
        } else if (attribute.name == "content") {
            if (!charset)
                if (const auto named = encodingInContent(attribute.value)) {
                    charset = *named;
                    needPragma = true;
                }
        } else if (attribute.name == "charset") {
            charset = encodingOfLabel(attribute.value);
            needPragma = false;
        }
    }
    *encoding = {};
    if (!needPragma || (*needPragma && !gotPragma) || !charset || charset->empty())
        return true;
    if (*charset == "utf-16le" || *charset == "utf-16be")
        *encoding = "utf-8";
    else if (*charset == "x-user-defined")
        *encoding = "windows-1252";
    else
        *encoding = *charset;
    return true;
}

// Whether "charset" stands in the bytes, in any case. Every META tag that declares holds it, and
// most pages have none: their tags need not be read. (Every page is asked, so its letters c are
// looked for sixteen bytes at a time.)
bool mentionsCharset(std::string_view bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    const auto check = [&](const unsigned char *at) {
        return startsWithNoCase(
            bytes, static_cast<std::size_t>(at - reinterpret_cast<const unsigned char *>(bytes.data())), "charset");
    };
#if defined(__SSE2__)
    const __m128i lowerC = _mm_set1_epi8('c');
    const __m128i caseBit = _mm_set1_epi8(0x20);
    for (; end - p >= 16; p += 16) {
        const __m128i folded = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), caseBit);
        for (auto found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(folded, lowerC))); found != 0;
             found &= found - 1)
            if (check(p + __builtin_ctz(found)))
                return true;
    }
#endif
    for (; p != end; ++p)
        if ((*p | 0x20) == 'c' && check(p))
            return true;
    return false;
}

std::string_view Prescan::run()
{
    // A UTF-16 "<?x" at the very start (no byte-order mark): an XML declaration in UTF-16.
    if (m_bytes.substr(0, 6) == std::string_view("<\0?\0x\0", 6))
        return "utf-16le";
    if (m_bytes.substr(0, 6) == std::string_view("\0<\0?\0x", 6))
        return "utf-16be";
    if (!mentionsCharset(m_bytes))
        return {};
    for (; !atEnd(); ++m_at) {
        if (byte() != '<')
            continue;
        if (m_bytes.substr(m_at, 4) == "<!--") {
            // To the ">" of the first "-->"; its dashes may be those of "<!--".
            if (!skipTo("-->", m_at + 2))
                return {};
            m_at += 2;
        } else if (startsWithNoCase(m_bytes, m_at, "<meta") && m_at + 5 < m_bytes.size() &&
                   (isSpace(m_bytes[m_at + 5]) || m_bytes[m_at + 5] == '/')) {
            m_at += 5;
            std::string_view encoding;
            if (!readMeta(&encoding))
                return {};
            if (!encoding.empty())
                return encoding;
        } else if (m_at + 1 < m_bytes.size() &&
                   (isAsciiLetter(m_bytes[m_at + 1]) ||
                    (m_bytes[m_at + 1] == '/' && m_at + 2 < m_bytes.size() && isAsciiLetter(m_bytes[m_at + 2])))) {
            // Another tag: its name, then its attributes, whose values may hold a ">".
            while (!atEnd() && !isSpace(byte()) && byte() != '>')
                ++m_at;
            bool found = true;
            while (found)
                if (!getAttribute(nullptr, &found))
                    return {};
        } else if (m_at + 1 < m_bytes.size() &&
                   (m_bytes[m_at + 1] == '!' || m_bytes[m_at + 1] == '/' || m_bytes[m_at + 1] == '?')) {
            if (!skipTo(">", m_at))
                return {};
        }
    }
    return {};
}

// The encoding of an XML declaration at the very start of the page ("<?xml ... encoding='...'").
std::string_view xmlDeclarationEncoding(std::string_view bytes)
{
    if (bytes.substr(0, 5) != "<?xml")
        return {};
    const std::size_t close = bytes.find('>');
    if (close == std::string_view::npos)
        return {};
    std::size_t at = bytes.substr(0, close).find("encoding");
    if (at == std::string_view::npos)
        return {};
    at += 8;
    while (at < bytes.size() && static_cast<unsigned char>(bytes[at]) <= 0x20)
        ++at;
    if (at >= bytes.size() || bytes[at] != '=')
        return {};
    ++at;
    while (at < bytes.size() && static_cast<unsigned char>(bytes[at]) <= 0x20)
        ++at;
    if (at >= bytes.size() || (bytes[at] != '"' && bytes[at] != '\''))
        return {};
    const std::size_t end = bytes.find(bytes[at], at + 1);
    if (end == std::string_view::npos)
        return {};
    const std::string_view label = bytes.substr(at + 1, end - at - 1);
    for (const char c : label)
        if (static_cast<unsigned char>(c) <= 0x20)
            return {};
    const std::string_view encoding = encodingOfLabel(label);
    if (encoding == "utf-16le" || encoding == "utf-16be")
        return "utf-8";
    return encoding;
}

} // namespace

std::string_view prescanEncoding(std::string_view pageStart)
{
    const std::string_view window = pageStart.substr(0, DeclarationWindow);
    const std::string_view found = Prescan(window).run();
    return found.empty() ? xmlDeclarationEncoding(window) : found;
}

std::string_view declaredEncoding(std::string_view pageStart)
{
    if (pageStart.substr(0, 3) == "\xEF\xBB\xBF")
        return "utf-8";
    if (pageStart.substr(0, 2) == "\xFF\xFE")
        return "utf-16le";
    if (pageStart.substr(0, 2) == "\xFE\xFF")
        return "utf-16be";
    return prescanEncoding(pageStart);
}

PageEncoding pageEncodingOf(std::string_view encoding)
{
    if (encoding == "utf-8")
        return PageEncoding::Utf8;
    if (encoding == "windows-1252" || encoding == "x-user-defined")
        return PageEncoding::Windows1252;
    if (encoding == "utf-16le")
        return PageEncoding::Utf16LE;
    if (encoding == "utf-16be")
        return PageEncoding::Utf16BE;
    return PageEncoding::Legacy;
}

PageEncoding decideEncoding(std::string_view declared, const Utf8Check &check)
{
    if (!declared.empty())
        return pageEncodingOf(declared);
    return check.isUtf8() ? PageEncoding::Utf8 : PageEncoding::Windows1252;
}

} // namespace tagsmith
