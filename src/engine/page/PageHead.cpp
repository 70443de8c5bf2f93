#include "engine/page/PageHead.h"

#include "engine/encoding/Utf8.h"
#include "engine/encoding/Windows1252.h"
#include "engine/page/MarkScanner.h"

#include <algorithm>
#include <cstring>

namespace tagsmith {
namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

char lower(char c)
{
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
}

std::string lowered(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), lower);
    return result;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view lowerPrefix)
{
    if (text.size() < lowerPrefix.size())
        return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i)
        if (lower(text[i]) != lowerPrefix[i])
            return false;
    return true;
}

// Where the first case-insensitive occurrence of lowerNeedle starts, or npos.
std::size_t findIgnoringCase(std::string_view text, std::string_view lowerNeedle, std::size_t from)
{
    while (from < text.size()) {
        const void *at = std::memchr(text.data() + from, '<', text.size() - from);
        if (!at)
            return std::string_view::npos;
        from = static_cast<std::size_t>(static_cast<const char *>(at) - text.data());
        if (startsWithIgnoringCase(text.substr(from), lowerNeedle))
            return from;
        ++from;
    }
    return std::string_view::npos;
}

struct Attribute
{
    std::string_view name;
    std::string_view value;
};

// Reads the attributes of the tag whose name ends at pos, up to its ">"; pos then stands after it.
void readAttributes(std::string_view text, std::size_t &pos, std::vector<Attribute> &attributes)
{
    attributes.clear();
    while (pos < text.size()) {
        while (pos < text.size() && (isSpace(text[pos]) || text[pos] == '/'))
            ++pos;
        if (pos >= text.size())
            return;
        if (text[pos] == '>') {
            ++pos;
            return;
        }
        const std::size_t nameStart = pos;
        while (pos < text.size() && !isSpace(text[pos]) && text[pos] != '=' && text[pos] != '>' && text[pos] != '/')
            ++pos;
        Attribute attribute{text.substr(nameStart, pos - nameStart), {}};
        while (pos < text.size() && isSpace(text[pos]))
            ++pos;
        if (pos < text.size() && text[pos] == '=') {
            ++pos;
            while (pos < text.size() && isSpace(text[pos]))
                ++pos;
            if (pos < text.size() && (text[pos] == '"' || text[pos] == '\'')) {
                const char quote = text[pos++];
                const std::size_t end = std::min(text.find(quote, pos), text.size());
                attribute.value = text.substr(pos, end - pos);
                pos = std::min(end + 1, text.size());
            } else {
                const std::size_t valueStart = pos;
                while (pos < text.size() && !isSpace(text[pos]) && text[pos] != '>')
                    ++pos;
                attribute.value = text.substr(valueStart, pos - valueStart);
            }
        }
        attributes.push_back(attribute);
    }
}

std::string_view attribute(const std::vector<Attribute> &attributes, std::string_view lowerName)
{
    for (const Attribute &a : attributes)
        if (a.name.size() == lowerName.size() && startsWithIgnoringCase(a.name, lowerName))
            return a.value;
    return {};
}

// A size attribute given in pixels: its leading digits, -1 for a percentage or none.
int pixels(std::string_view value)
{
    int result = 0;
    std::size_t i = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9' && result < 100000; ++i)
        result = result * 10 + (value[i] - '0');
    if (i == 0 || (i < value.size() && value[i] == '%'))
        return -1;
    return result;
}

class HeadReader
{
public:
    HeadReader(std::string_view text, bool windows1252, const MetaNames &names)
        : m_text(text), m_windows1252(windows1252), m_names(names)
    {
    }

    PageHead read()
    {
        std::size_t pos = 0;
        bool inHead = true;
        while (pos < m_text.size()) {
            const void *at = std::memchr(m_text.data() + pos, '<', m_text.size() - pos);
            if (!at)
                break;
            const std::size_t open = static_cast<std::size_t>(static_cast<const char *>(at) - m_text.data());
            pos = open + 1;
            const std::string_view rest = m_text.substr(pos);
            if (rest.starts_with("!--")) {
                const std::size_t end = m_text.find("-->", pos + 3);
                pos = end == std::string_view::npos ? m_text.size() : end + 3;
                continue;
            }
            std::size_t nameEnd = pos;
            if (nameEnd < m_text.size() && m_text[nameEnd] == '/')
                ++nameEnd;
            while (nameEnd < m_text.size() && !isSpace(m_text[nameEnd]) && m_text[nameEnd] != '>' &&
                   m_text[nameEnd] != '/')
                ++nameEnd;
            const std::string_view name = m_text.substr(pos, nameEnd - pos);
            // Past the head only the first large picture is wanted.
            if (!inHead && !(name.size() == 3 && startsWithIgnoringCase(name, "img")))
                continue;
            const std::string tag = lowered(name);
            if (inHead && (tag == "/head" || tag == "body")) {
                inHead = false;
                if (!m_head.image.empty())
                    break;
                continue;
            }
            pos = nameEnd;
            if (tag == "script" || tag == "style") {
                const std::size_t end = findIgnoringCase(m_text, tag == "script" ? "</script" : "</style", pos);
                pos = end == std::string_view::npos ? m_text.size() : end;
                continue;
            }
            if (tag != "html" && tag != "title" && tag != "link" && tag != "meta" && tag != "img")
                continue;
            readAttributes(m_text, pos, m_attributes);
            if (tag == "html") {
                if (m_head.lang.empty())
                    m_head.lang = text(attribute(m_attributes, "lang"));
            } else if (tag == "title") {
                const std::size_t end = findIgnoringCase(m_text, "</title", pos);
                if (m_head.title.empty())
                    m_head.title = collapsed(text(m_text.substr(pos, std::min(end, m_text.size()) - pos), false));
                pos = end == std::string_view::npos ? m_text.size() : end;
            } else if (tag == "link") {
                readLink(open);
            } else if (tag == "meta") {
                readMeta(open);
            } else if (tag == "img" && m_head.image.empty()) {
                if (pixels(attribute(m_attributes, "width")) >= PageHead::LargeImage &&
                    pixels(attribute(m_attributes, "height")) >= PageHead::LargeImage)
                    m_head.image = text(attribute(m_attributes, "src"));
                if (!m_head.image.empty() && !inHead)
                    break;
            }
        }
        return m_head;
    }

private:
    void readLink(std::size_t open)
    {
        const std::string rel = lowered(attribute(m_attributes, "rel"));
        if (rel != "canonical")
            return;
        // NOTE: only this exact spelling is the block's own canonical link (the mark scan replaces
        // it); any other spelling is the page's own and is kept.
        if (m_text.substr(open).starts_with(BlockCanonicalLink))
            return;
        m_head.ownCanonical = true;
    }

    // Whether the tag at open is "<META NAME" as the mark scan reads it (blanks left out, any case).
    bool isMetaName(std::size_t open) const
    {
        std::size_t matched = 0;
        constexpr std::string_view MetaName = "metaname";
        for (std::size_t i = open + 1; i < m_text.size() && matched < MetaName.size(); ++i) {
            if (m_text[i] == ' ')
                continue;
            if (lower(m_text[i]) != MetaName[matched++])
                return false;
        }
        return matched == MetaName.size();
    }

    void readMeta(std::size_t open)
    {
        const std::string_view name = attribute(m_attributes, "name");
        // A META NAME tag with a name the block writes is the block's, or is replaced by it.
        const bool blocks = isMetaName(open) && m_names.contains(name);
        if (std::string property = lowered(attribute(m_attributes, "property"));
            !blocks && (property.starts_with("og:") || property.starts_with("twitter:")))
            m_head.ownProperties.push_back(std::move(property));
        if (!blocks && lowered(name) == "robots" &&
            lowered(attribute(m_attributes, "content")).find("noindex") != std::string::npos)
            m_head.noindex = true;
    }

    // A text of the page as UTF-8. In an address "&amp;" stands for "&", the one reference addresses
    // are often written with; a title keeps its references, as it is written into an attribute again.
    std::string text(std::string_view bytes, bool address = true) const
    {
        std::string result;
        if (m_windows1252) {
            for (const char c : bytes)
                appendUtf8(result, windows1252::toUnicode(static_cast<unsigned char>(c)));
        } else {
            result.assign(bytes);
        }
        for (std::size_t at = 0; address && (at = result.find("&amp;", at)) != std::string::npos; ++at)
            result.erase(at + 1, 4);
        return result;
    }

    static std::string collapsed(const std::string &text)
    {
        std::string result;
        for (const char c : text) {
            if (isSpace(c)) {
                if (!result.empty() && result.back() != ' ')
                    result.push_back(' ');
            } else {
                result.push_back(c);
            }
        }
        if (!result.empty() && result.back() == ' ')
            result.pop_back();
        return result;
    }

    std::string_view m_text;
    bool m_windows1252;
    const MetaNames &m_names;
    PageHead m_head;
    std::vector<Attribute> m_attributes;
};

} // namespace

bool PageHead::hasOwnProperty(std::string_view property) const
{
    return std::find(ownProperties.begin(), ownProperties.end(), property) != ownProperties.end();
}

PageHead readPageHead(std::string_view bytes, bool windows1252, const MetaNames &blockNames)
{
    return HeadReader(bytes, windows1252, blockNames).read();
}

} // namespace tagsmith
