#include "meta/PageText.h"

#include "meta/Windows1252.h"

#include <QChar>

namespace tagsmith {
namespace {

constexpr char32_t Replacement = 0xFFFD;

} // namespace

bool isAscii(std::string_view text)
{
    for (const char ch : text)
        if (static_cast<unsigned char>(ch) >= 0x80)
            return false;
    return true;
}

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
    const std::size_t i = *pos;
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        *pos = i + 1;
        return b0;
    }
    int length = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        c = b0 & 0x1F;
        least = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        c = b0 & 0x0F;
        least = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        c = b0 & 0x07;
        least = 0x10000;
    }
    if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
        *pos = i + 1;
        return Replacement;
    }
    for (int k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80) {
            *pos = i + 1;
            return Replacement;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        *pos = i + 1;
        return Replacement;
    }
    *pos = i + static_cast<std::size_t>(length);
    return c;
}

std::size_t characterCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char ch : utf8)
        count += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
    return count;
}

void appendCaseFolded(std::string &out, std::string_view utf8)
{
    if (isAscii(utf8)) {
        const std::size_t start = out.size();
        out.append(utf8);
        for (std::size_t i = start; i < out.size(); ++i)
            if (out[i] >= 'A' && out[i] <= 'Z')
                out[i] = static_cast<char>(out[i] + 32);
        return;
    }
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out.push_back(static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b));
            ++i;
            continue;
        }
        appendUtf8(out, QChar::toCaseFolded(nextCharacter(utf8, &i)));
    }
}

void appendCaseConverted(std::string &out, std::string_view utf8, CaseConversion conversion, PageEncoding encoding)
{
    if (conversion == CaseConversion::Keep) {
        out.append(utf8);
        return;
    }
    const bool upper = conversion == CaseConversion::Upper;
    if (isAscii(utf8)) {
        const std::size_t start = out.size();
        out.append(utf8);
        const char from = upper ? 'a' : 'A';
        for (std::size_t i = start; i < out.size(); ++i)
            if (out[i] >= from && out[i] <= from + 25)
                out[i] = static_cast<char>(upper ? out[i] - 32 : out[i] + 32);
        return;
    }
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            char ch = static_cast<char>(b);
            if (upper && b >= 'a' && b <= 'z')
                ch = static_cast<char>(b - 32);
            else if (!upper && b >= 'A' && b <= 'Z')
                ch = static_cast<char>(b + 32);
            out.push_back(ch);
            ++i;
            continue;
        }
        const char32_t c = nextCharacter(utf8, &i);
        char32_t mapped = upper ? QChar::toUpper(c) : QChar::toLower(c);
        if (encoding == PageEncoding::Windows1252 && windows1252::fromUnicode(c) >= 0 &&
            windows1252::fromUnicode(mapped) < 0)
            mapped = c;
        appendUtf8(out, mapped);
    }
}

void appendEncoded(std::string &out, std::string_view utf8, PageEncoding encoding)
{
    switch (encoding) {
    case PageEncoding::Windows1252:
        if (isAscii(utf8)) {
            out.append(utf8);
            return;
        }
        for (std::size_t i = 0; i < utf8.size();) {
            const char32_t c = nextCharacter(utf8, &i);
            const int byte = windows1252::fromUnicode(c);
            if (byte >= 0) {
                out.push_back(static_cast<char>(byte));
            } else {
                out += "&#";
                out += std::to_string(static_cast<std::uint32_t>(c));
                out += ';';
            }
        }
        return;
    }
}

QString escapeAttributeQuotes(const QString &text)
{
    QString result = text;
    result.replace(QLatin1Char('"'), QStringLiteral("&quot;"));
    result.replace(QLatin1Char('\''), QStringLiteral("&#39;"));
    return result;
}

} // namespace tagsmith
