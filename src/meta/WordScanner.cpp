#include "meta/WordScanner.h"

#include "meta/Windows1252.h"

#include <QChar>

namespace tagsmith {

bool isWordCharacter(char32_t c)
{
    char32_t upper = QChar::toUpper(c);
    // The upper case counts only where Windows-1252 has it for a character it has (y diaeresis has
    // its capital at 0x9F; the micro sign has none).
    if (windows1252::fromUnicode(c) >= 0 && windows1252::fromUnicode(upper) < 0)
        upper = c;
    for (std::size_t i = 0; i < WordChars.size();) {
        if (nextCharacter(WordChars, &i) == upper)
            return true;
    }
    return false;
}

WordScanner::WordScanner(PageKind kind, PageEncoding encoding)
{
    (void)encoding; // Windows-1252 is the only encoding a page is read in so far.
    const std::string_view separators = kind == PageKind::Main ? MainPageSeparators : PageSeparators;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        const char32_t c = windows1252::toUnicode(byte);
        std::uint8_t cls = 0;
        if (byte == '<')
            cls |= OpenTag;
        if (byte == '>')
            cls |= CloseTag;
        if (isWordCharacter(c))
            cls |= Word;
        if (separators.find(static_cast<char>(byte)) != std::string_view::npos)
            cls |= Separator;
        m_classes[b] = cls;
        std::string utf8;
        appendUtf8(utf8, c);
        m_utf8[b][0] = static_cast<char>(utf8.size());
        for (std::size_t i = 0; i < utf8.size(); ++i)
            m_utf8[b][i + 1] = utf8[i];
    }
}

void WordScanner::reset()
{
    TagDepth = 0;
    InWord = false;
    CurrentWord.clear();
}

} // namespace tagsmith
