#include "engine/words/WordScanner.h"

#include "engine/encoding/Windows1252.h"

#include <QChar>

namespace tagsmith {
namespace {

enum : std::uint8_t {
    WordCharacter = 1,
    Mark = 2,
};

std::uint8_t classOf(char32_t c)
{
    if (isWordCharacter(c))
        return WordCharacter;
    return isCombiningMark(c) ? Mark : 0;
}

// The classes of the characters of two-byte sequences (U+0080 to U+07FF: Latin, Greek, Cyrillic,
// Armenian, Hebrew, Arabic), which UTF-8 pages hold most.
struct TwoByteClasses
{
    std::array<std::uint8_t, 0x800> classes{};

    TwoByteClasses()
    {
        for (char32_t c = 0x80; c < 0x800; ++c)
            classes[c] = classOf(c);
    }
};

std::uint8_t characterClass(char32_t c)
{
    static const TwoByteClasses twoByte;
    return c < 0x800 ? twoByte.classes[c] : classOf(c);
}


} // namespace

bool isLetterOrDigit(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
        return true;
    default:
        return false;
    }
}

bool isWordCharacter(char32_t c)
{
    if (windows1252::fromUnicode(c) < 0)
        return isLetterOrDigit(c);
    char32_t upper = QChar::toUpper(c);
    // The upper case counts only where Windows-1252 has it (y diaeresis has its capital at 0x9F; the
    // micro sign has none).
    if (windows1252::fromUnicode(upper) < 0)
        upper = c;
    static const std::u32string wordChars = [] {
        std::u32string characters;
        for (std::size_t i = 0; i < WordChars.size();)
            characters.push_back(nextCharacter(WordChars, &i));
        return characters;
    }();
    return wordChars.find(upper) != std::u32string::npos;
}

bool endsBeyondWindows1252(std::string_view word)
{
    if (word.empty() || static_cast<unsigned char>(word.back()) < 0x80)
        return false;
    std::size_t start = word.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(word[start]) & 0xC0) == 0x80)
        --start;
    return windows1252::fromUnicode(nextCharacter(word, &start)) < 0;
}

bool isCombiningMark(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

WordScanner::WordScanner(PageKind kind, PageEncoding encoding)
{
    const std::string_view separators = kind == PageKind::Main ? MainPageSeparators : PageSeparators;
    m_ampersandEnds = separators.find('&') != std::string_view::npos;
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
        m_windows1252Classes[b] = cls;
        std::string utf8;
        appendUtf8(utf8, c);
        m_utf8[b][0] = static_cast<char>(utf8.size());
        for (std::size_t i = 0; i < utf8.size(); ++i)
            m_utf8[b][i + 1] = utf8[i];
    }
    reset(encoding);
}

void WordScanner::reset()
{
    TagDepth = 0;
    InWord = false;
    CurrentWord.clear();
    m_decoder.reset();
}

void WordScanner::reset(PageEncoding encoding)
{
    reset();
    m_classes = m_windows1252Classes;
    if (encoding == PageEncoding::Utf8) {
        // ASCII is the same in both; every other byte is part of a sequence.
        for (std::size_t b = 0x80; b < 256; ++b)
            m_classes[b] = Sequence;
    }
}

const unsigned char *WordScanner::takeSequences(const unsigned char *p, const unsigned char *end)
{
    while (p != end && *p >= 0x80) {
        const char32_t c = m_decoder.push(*p++);
        if (c != Utf8Decoder::None)
            takeCharacter(c);
    }
    // An ASCII byte cuts a sequence short; the end of the block does not.
    if (p != end)
        m_decoder.reset();
    return p;
}

void WordScanner::takeCharacter(char32_t c)
{
    const std::uint8_t cls = characterClass(c);
    if (cls == WordCharacter || (cls == Mark && InWord && endsBeyondWindows1252(CurrentWord))) {
        InWord = true;
        appendUtf8(CurrentWord, c);
    }
}

} // namespace tagsmith
