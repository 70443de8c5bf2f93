#include "engine/EncodingDetection.h"

#include <string>

namespace tagsmith {
namespace {

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
    const char first = needle[0];
    const bool letter = first >= 'a' && first <= 'z';
    for (std::size_t i = pos; i + needle.size() <= text.size(); ++i) {
        if (!letter) {
            // Most bytes are no candidate: let find() skip them.
            i = text.find(first, i);
            if (i == std::string_view::npos || i + needle.size() > text.size())
                return std::string_view::npos;
        }
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

PageEncoding decideEncoding(std::optional<PageEncoding> declared, const Utf8Check &check)
{
    if (declared)
        return *declared;
    return check.isUtf8() ? PageEncoding::Utf8 : PageEncoding::Windows1252;
}

} // namespace tagsmith
