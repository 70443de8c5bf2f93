#include "engine/encoding/PageText.h"

#include "engine/encoding/Windows1252.h"

#include <QChar>

#include <unicode/uchar.h>

namespace tagsmith {

bool isAscii(std::string_view text)
{
    for (const char ch : text)
        if (static_cast<unsigned char>(ch) >= 0x80)
            return false;
    return true;
}

// ICU, because Qt's own mappings leave a character unchanged where Unicode's full mapping has more
// than one character, and so lack the simple mappings of U+0130 and of the Greek letters with a
// subscript iota.
char32_t simpleUpper(char32_t c)
{
    return static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
}

char32_t simpleLower(char32_t c)
{
    return static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
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
        char32_t mapped = upper ? simpleUpper(c) : simpleLower(c);
        if (encoding == PageEncoding::Windows1252 && windows1252::fromUnicode(c) >= 0 &&
            windows1252::fromUnicode(mapped) < 0)
            mapped = c;
        appendUtf8(out, mapped);
    }
}

void appendEncoded(std::string &out, std::string_view utf8, PageEncoding encoding)
{
    switch (encoding) {
    case PageEncoding::Utf8:
    case PageEncoding::Utf16LE:
    case PageEncoding::Utf16BE:
    case PageEncoding::Legacy:
        // The block of a page in another encoding than these two is made as UTF-8 and then written
        // in the page's encoding as a whole (TextCodec).
        out.append(utf8);
        return;
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
