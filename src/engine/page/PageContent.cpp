#include "engine/page/PageContent.h"

#include "engine/fs/FileSystem.h"
#include "engine/words/MinimumWordLength.h"
#include "engine/encoding/TextCodec.h"
#include "engine/encoding/Windows1252.h"
#include "engine/words/WordScanner.h"

#include <QChar>

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <utility>

namespace tagsmith {
namespace {

enum CharacterClass : std::uint8_t {
    Other = 0, // skipped: a word goes on across it
    WordCharacter,
    Space,     // ends a word; collapses in a description
    Separator, // ends a word
    Mark,      // a combining mark: part of a word that ends in a letter Windows-1252 lacks
    Joiner,    // read for the site: an apostrophe or a hyphen, part of a word between two letters
};

CharacterClass classOf(char32_t c)
{
    if (c < 0x80) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v')
            return Space;
        if (isWordCharacter(c))
            return WordCharacter;
        return PageSeparators.find(static_cast<char>(c)) != std::string_view::npos ? Separator : Other;
    }
    const QChar::Category category = QChar::category(c);
    if (category == QChar::Separator_Space || category == QChar::Separator_Line ||
        category == QChar::Separator_Paragraph)
        return Space;
    if (isWordCharacter(c))
        return WordCharacter;
    return isCombiningMark(c) ? Mark : Other;
}

// The classes of ASCII and of the two-byte characters, which pages hold most.
struct ClassTable
{
    std::array<std::uint8_t, 0x800> classes{};
    ClassTable()
    {
        for (char32_t c = 0; c < 0x800; ++c)
            classes[c] = classOf(c);
    }
};

const std::uint8_t *classTable()
{
    static const ClassTable table;
    return table.classes.data();
}

CharacterClass characterClass(char32_t c)
{
    return c < 0x800 ? CharacterClass(classTable()[c]) : classOf(c);
}

// The classes of a page read for the site: what is not a letter, a digit or a mark ends a word.
CharacterClass readerClassOf(char32_t c)
{
    if (c < 0x80) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v')
            return Space;
        if ((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'))
            return WordCharacter;
        return c == '\'' || c == '-' ? Joiner : Separator;
    }
    // The typographic apostrophe and the hyphens of Unicode join as their ASCII forms do; a soft
    // hyphen only says where a word may break.
    if (c == 0x2019 || c == 0x2010 || c == 0x2011)
        return Joiner;
    if (c == 0xAD)
        return Other;
    if (isLetterOrDigit(c))
        return WordCharacter;
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return Space;
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return Mark;
    case QChar::Other_Format: // joiners of Indic and Arabic script: inside a word
        return Other;
    default:
        return Separator;
    }
}

struct ReaderClassTable
{
    std::array<std::uint8_t, 0x800> classes{};
    ReaderClassTable()
    {
        for (char32_t c = 0; c < 0x800; ++c)
            classes[c] = readerClassOf(c);
    }
};

const std::uint8_t *readerClassTable()
{
    static const ReaderClassTable table;
    return table.classes.data();
}

// Elements whose text says nothing of one page: what the site repeats around its pages.
bool isBoilerplateElement(std::string_view name)
{
    return name == "nav" || name == "header" || name == "footer" || name == "aside";
}

bool isSpace(char32_t c)
{
    return characterClass(c) == Space;
}

// Elements whose start and end part the text before them from the text after them.
bool isBlockElement(std::string_view name)
{
    static constexpr std::string_view blocks[] = {
        "address",    "article", "aside",  "blockquote", "br",   "dd",  "div", "dl",     "dt",
        "figcaption", "figure",  "footer", "form",       "h1",   "h2",  "h3",  "h4",     "h5",
        "h6",         "header",  "hr",     "li",         "main", "nav", "ol",  "option", "p",
        "pre",        "section", "table",  "td",         "th",   "tr",  "ul"};
    for (std::string_view block : blocks)
        if (block == name)
            return true;
    return false;
}

bool equalsIgnoringCase(const xmlChar *text, std::string_view lower)
{
    if (!text)
        return false;
    std::size_t i = 0;
    for (; text[i] != 0; ++i) {
        char c = static_cast<char>(text[i]);
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        if (i >= lower.size() || c != lower[i])
            return false;
    }
    return i == lower.size();
}

std::string_view view(const xmlChar *text)
{
    return text ? std::string_view(reinterpret_cast<const char *>(text)) : std::string_view();
}

// Enough of a text for a description, white space collapsed on the way in.
constexpr std::size_t TextKept = 4 * PageContent::DescriptionLimit + 64;

void appendCollapsed(std::string &to, std::string_view utf8)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(utf8.data());
    for (std::size_t i = 0; i < utf8.size() && to.size() < TextKept;) {
        const auto b = bytes[i];
        const std::size_t start = i;
        // Most of a page's text: ASCII that is no space, taken a run at a time.
        if (b > 0x20 && b < 0x80) {
            while (++i < utf8.size() && bytes[i] > 0x20 && bytes[i] < 0x80) {
            }
            to.append(utf8.data() + start, std::min(i - start, TextKept - to.size()));
            continue;
        }
        const char32_t c = b < 0x80 ? (++i, char32_t(b)) : nextCharacter(utf8, &i);
        if (isSpace(c)) {
            if (!to.empty() && to.back() != ' ')
                to.push_back(' ');
        } else {
            to.append(utf8.substr(start, i - start));
        }
    }
}

void appendBreak(std::string &to)
{
    if (!to.empty() && to.back() != ' ' && to.size() < TextKept)
        to.push_back(' ');
}

// The text of the paragraph under way, white space collapsed as appendCollapsed() collapses it, in room
// of its own: every paragraph of a page passes through here, and only a few are kept.
class CollapsedText
{
public:
    void clear() { m_size = 0; }
    bool empty() const { return m_size == 0; }
    std::string_view view() const { return {m_bytes.data(), m_size}; }
    // Without the blank at its end, if any.
    std::string_view trimmed() const
    {
        return {m_bytes.data(), m_size > 0 && m_bytes[m_size - 1] == ' ' ? m_size - 1 : m_size};
    }

    void append(std::string_view utf8)
    {
        const auto *begin = reinterpret_cast<const unsigned char *>(utf8.data());
        const auto *p = begin;
        const auto *end = begin + utf8.size();
        char *out = m_bytes.data() + m_size;
        char *const full = m_bytes.data() + TextKept;
        while (p != end && out < full) {
            // Eight bytes at a time while they are ASCII with no white space but single blanks after text.
            constexpr std::uint64_t ones = 0x0101010101010101ULL;
            constexpr std::uint64_t lows = 0x7F7F7F7F7F7F7F7FULL;
            for (std::uint64_t v; end - p >= 8 && full - out >= 8; p += 8, out += 8) {
                std::memcpy(&v, p, 8);
                const std::uint64_t blanks = v ^ (0x20 * ones);
                const std::uint64_t isBlank = ~(((blanks & lows) + lows) | blanks | lows); // 0x80 in each blank
                if (((((v - 0x20 * ones) & ~v) | v) & (0x80 * ones)) || (isBlank & (isBlank << 8)) ||
                    (*p == ' ' && (out == m_bytes.data() || out[-1] == ' ')))
                    break;
                std::memcpy(out, p, 8);
            }
            if (p == end || out >= full)
                break;
            const unsigned char b = *p;
            if (b < 0x80) {
                ++p;
                if (b > 0x20 || !isAsciiSpace(b))
                    *out++ = static_cast<char>(b);
                else if (out != m_bytes.data() && out[-1] != ' ')
                    *out++ = ' ';
                continue;
            }
            std::size_t at = static_cast<std::size_t>(p - begin);
            const char32_t c = nextCharacter(utf8, &at);
            const auto *next = begin + at;
            if (isSpace(c)) {
                if (out != m_bytes.data() && out[-1] != ' ')
                    *out++ = ' ';
            } else {
                std::memcpy(out, p, static_cast<std::size_t>(next - p));
                out += next - p;
            }
            p = next;
        }
        m_size = static_cast<std::size_t>(out - m_bytes.data());
    }

    void appendBreak()
    {
        if (m_size > 0 && m_bytes[m_size - 1] != ' ' && m_size < TextKept)
            m_bytes[m_size++] = ' ';
    }

private:
    static bool isAsciiSpace(unsigned char b)
    {
        return b == ' ' || b == '\t' || b == '\n' || b == '\r' || b == '\f' || b == '\v';
    }

    // The last character may begin just before TextKept: room for the rest of its bytes.
    std::array<char, TextKept + 4> m_bytes;
    std::size_t m_size = 0;
};

std::size_t wordCount(std::string_view collapsed)
{
    std::size_t words = 0;
    bool inWord = false;
    for (const char ch : collapsed) {
        if (ch != ' ' && !inWord)
            ++words;
        inWord = ch != ' ';
    }
    return words;
}

// A paragraph of at least this many words is the page's own description.
constexpr std::size_t ParagraphWords = 8;
// Read for the site: the long paragraphs a page keeps, and of those the ones kept with their text. A
// page's description is one of its first paragraphs that the site does not repeat.
constexpr std::size_t ParagraphsKept = 32;
constexpr std::size_t TextsKept = 8;

// What an open element is to the paragraphs in it, read for the site.
enum ElementKind : std::uint8_t { Plain, Boilerplate, MainContent };

} // namespace

// The parser of one page and what it has found so far. libxml2 calls back into it.
struct PageContent::Parser
{
    htmlParserCtxtPtr context = nullptr;
    const std::uint8_t *classes = classTable();
    const std::uint8_t *readerClasses = readerClassTable();
    WordSink words;
    const MinimumWordLength *minimum = nullptr;
    std::string word;
    bool inWord = false;
    int skipped = 0; // script and style elements open

    bool wantDescription = false;
    std::string tagDescription;
    bool inBody = false;
    std::string bodyText;
    bool inParagraph = false;
    CollapsedText paragraph;
    std::string chosenParagraph;

    // Read for the site.
    bool siteReading = false;
    char joiner = 0;                // an apostrophe or a hyphen after a letter, the word's if a letter follows
    bool afterLetter = false;       // the word so far ends in a letter
    std::vector<std::uint8_t> open; // the ElementKind of each element open
    int boilerplate = 0;            // nav, header, footer and aside elements open
    int mainContent = 0;            // main content elements open
    bool hasMainContent = false;
    struct LongParagraph
    {
        std::size_t hash;
        bool boilerplate;
        bool inMain;
        std::string text; // collapsed; kept for the first few that may be the description
    };
    std::vector<LongParagraph> longParagraphs;
    std::size_t textsKept = 0;
    bool paragraphInBoilerplate = false;
    bool paragraphInMain = false;
    std::size_t paragraphWords = 0; // of the paragraph under way, read for the site
    bool inTitle = false;
    std::optional<std::string> title;

    Parser()
    {
        static std::once_flag initialised;
        std::call_once(initialised, [] { xmlInitParser(); });
        context = htmlNewParserCtxt();
    }

    ~Parser()
    {
        if (context)
            htmlFreeParserCtxt(context);
    }

    Parser(const Parser &) = delete;
    Parser &operator=(const Parser &) = delete;

    void start(WordSink sink, bool description)
    {
        words = std::move(sink);
        word.clear();
        inWord = false;
        skipped = 0;
        wantDescription = description;
        tagDescription.clear();
        inBody = false;
        bodyText.clear();
        inParagraph = false;
        paragraph.clear();
        chosenParagraph.clear();
        joiner = 0;
        afterLetter = false;
        open.clear();
        boilerplate = 0;
        mainContent = 0;
        hasMainContent = false;
        longParagraphs.clear();
        textsKept = 0;
        inTitle = false;
        title.reset();
        htmlSAXHandler &sax = *context->sax;
        std::memset(&sax, 0, sizeof sax);
        sax.startElement = &Parser::startElement;
        sax.endElement = &Parser::endElement;
        sax.characters = &Parser::characters;
        sax.ignorableWhitespace = &Parser::characters;
        sax.cdataBlock = &Parser::skippedText;
        sax.comment = &Parser::comment;
        context->_private = this;
    }

    // libxml2 hands the callbacks its context's user data, which is the context itself.
    static Parser &of(void *ctx) { return *static_cast<Parser *>(static_cast<htmlParserCtxtPtr>(ctx)->_private); }

    bool satisfied() const
    {
        return !words && !siteReading && (!wantDescription || !tagDescription.empty() || !chosenParagraph.empty());
    }

    void endWord()
    {
        if (siteReading) {
            joiner = 0;
            afterLetter = false;
            // "site's", "foto's": the word itself.
            const std::size_t n = word.size();
            if (n > 2 && word[n - 2] == '\'' && (word[n - 1] == 's' || word[n - 1] == 'S'))
                word.resize(n - 2);
        }
        if (inWord && inParagraph)
            ++paragraphWords;
        if (inWord && words && (!minimum || minimum->admits(word)))
            words(word);
        inWord = false;
        word.clear();
    }

    // A letter or a digit of a word read for the site.
    void appendReaderCharacter(char32_t c, bool letter)
    {
        if (joiner != 0) {
            if (letter)
                word.push_back(joiner);
            else
                endWord();
            joiner = 0;
        }
        appendUtf8(word, c);
        inWord = true;
        afterLetter = letter;
    }

    void scanReaderWords(std::string_view text)
    {
        const auto *begin = reinterpret_cast<const unsigned char *>(text.data());
        const auto *p = begin;
        const auto *end = p + text.size();
        while (p != end) {
            if (*p < 0x80 && joiner == 0 && (((*p | 0x20) >= 'a' && (*p | 0x20) <= 'z') || (*p >= '0' && *p <= '9'))) {
                const auto *runEnd = skipAsciiWord(p, end);
                word.append(reinterpret_cast<const char *>(p), static_cast<std::size_t>(runEnd - p));
                inWord = true;
                afterLetter = (runEnd[-1] | 0x20) >= 'a' && (runEnd[-1] | 0x20) <= 'z';
                p = runEnd;
                continue;
            }
            std::size_t at = static_cast<std::size_t>(p - begin);
            const char32_t c = *p < 0x80 ? (++at, char32_t(*p)) : nextCharacter(text, &at);
            p = begin + at;
            switch (c < 0x800 ? CharacterClass(readerClasses[c]) : readerClassOf(c)) {
            case WordCharacter:
                appendReaderCharacter(c, c < 0x80 ? (c | 0x20) >= 'a' : !QChar::isDigit(c));
                break;
            case Joiner:
                if (inWord && afterLetter && joiner == 0)
                    joiner = c == '-' || c == 0x2010 || c == 0x2011 ? '-' : '\'';
                else
                    endWord();
                break;
            case Mark:
                if (inWord && joiner == 0)
                    appendUtf8(word, c);
                break;
            case Other:
                break;
            default:
                endWord();
                break;
            }
        }
    }

    void scanWords(std::string_view text)
    {
        const auto *p = reinterpret_cast<const unsigned char *>(text.data());
        const auto *end = p + text.size();
        while (p != end) {
            if (*p < 0x80) {
                switch (CharacterClass(classes[*p])) {
                case WordCharacter: {
                    const auto *runEnd = skipAsciiWord(p, end);
                    word.append(reinterpret_cast<const char *>(p), static_cast<std::size_t>(runEnd - p));
                    inWord = true;
                    p = runEnd;
                    continue;
                }
                case Space:
                case Separator:
                    endWord();
                    break;
                default:
                    break;
                }
                ++p;
                continue;
            }
            std::size_t at = static_cast<std::size_t>(p - reinterpret_cast<const unsigned char *>(text.data()));
            const char32_t c = nextCharacter(text, &at);
            p = reinterpret_cast<const unsigned char *>(text.data()) + at;
            switch (characterClass(c)) {
            case WordCharacter:
                appendUtf8(word, c);
                inWord = true;
                break;
            case Mark:
                if (inWord && endsBeyondWindows1252(word))
                    appendUtf8(word, c);
                break;
            case Space:
            case Separator:
                endWord();
                break;
            default:
                break;
            }
        }
    }

    void elementBoundary(std::string_view name)
    {
        endWord();
        if (inTitle) {
            inTitle = false;
            if (title)
                *title = collapseWhiteSpace(*title);
        }
        if (wantDescription && isBlockElement(name)) {
            appendBreak(bodyText);
            if (inParagraph)
                paragraph.appendBreak();
        }
    }

    static void startElement(void *context, const xmlChar *name, const xmlChar **attributes)
    {
        Parser &parser = of(context);
        const std::string_view element = view(name);
        parser.elementBoundary(element);
        if (element == "script" || element == "style") {
            ++parser.skipped;
        } else if (element == "body") {
            parser.inBody = true;
        } else if (element == "p" && parser.wantDescription) {
            parser.inParagraph = true;
            parser.paragraph.clear();
            parser.paragraphWords = 0;
            parser.paragraphInBoilerplate = parser.boilerplate > 0;
            parser.paragraphInMain = parser.mainContent > 0;
        } else if (element == "title" && parser.siteReading && !parser.title && !parser.inBody) {
            parser.inTitle = true;
            parser.title.emplace();
        } else if (element == "meta" && attributes && parser.wantDescription && parser.tagDescription.empty()) {
            const xmlChar *content = nullptr;
            bool isDescription = false;
            for (const xmlChar **a = attributes; a[0]; a += 2) {
                if (equalsIgnoringCase(a[0], "name"))
                    isDescription = equalsIgnoringCase(a[1], "description");
                else if (equalsIgnoringCase(a[0], "content"))
                    content = a[1];
            }
            if (isDescription && content && !collapseWhiteSpace(view(content)).empty())
                parser.tagDescription = view(content);
        }
        if (parser.siteReading && parser.wantDescription)
            parser.openElement(element, attributes);
        if (parser.satisfied())
            xmlStopParser(parser.context);
    }

    static void endElement(void *context, const xmlChar *name)
    {
        Parser &parser = of(context);
        const std::string_view element = view(name);
        parser.elementBoundary(element);
        if ((element == "script" || element == "style") && parser.skipped > 0) {
            --parser.skipped;
        } else if (element == "p" && parser.inParagraph) {
            parser.inParagraph = false;
            if (parser.siteReading)
                parser.keepParagraph();
            else if (parser.chosenParagraph.empty() && wordCount(parser.paragraph.view()) >= ParagraphWords)
                parser.chosenParagraph = parser.paragraph.view();
            if (parser.satisfied())
                xmlStopParser(parser.context);
        }
        if (parser.siteReading && parser.wantDescription && !parser.open.empty()) {
            const std::uint8_t kind = parser.open.back();
            parser.open.pop_back();
            parser.boilerplate -= kind == Boilerplate ? 1 : 0;
            parser.mainContent -= kind == MainContent ? 1 : 0;
        }
    }

    void openElement(std::string_view element, const xmlChar **attributes)
    {
        ElementKind kind = Plain;
        if (isBoilerplateElement(element)) {
            kind = Boilerplate;
        } else if (element == "main" || element == "article") {
            kind = MainContent;
        } else {
            for (const xmlChar **a = attributes; a && a[0]; a += 2)
                if (equalsIgnoringCase(a[0], "role") && equalsIgnoringCase(a[1], "main"))
                    kind = MainContent;
        }
        open.push_back(kind);
        boilerplate += kind == Boilerplate ? 1 : 0;
        mainContent += kind == MainContent ? 1 : 0;
        hasMainContent = hasMainContent || kind == MainContent;
    }

    void keepParagraph()
    {
        // Its words as a reader sees them: "|" or "–" between blanks is none.
        if (longParagraphs.size() >= ParagraphsKept || paragraphWords < ParagraphWords)
            return;
        const std::string_view text = paragraph.trimmed();
        LongParagraph kept{std::hash<std::string_view>()(text), paragraphInBoilerplate, paragraphInMain, {}};
        // A paragraph outside the main content may be the description until the main content begins.
        if (!kept.boilerplate && (kept.inMain || !hasMainContent) && textsKept < TextsKept) {
            kept.text = text;
            ++textsKept;
        }
        longParagraphs.push_back(std::move(kept));
    }

    static void characters(void *context, const xmlChar *text, int length)
    {
        Parser &parser = of(context);
        if (parser.skipped > 0 || length <= 0)
            return;
        const std::string_view chars(reinterpret_cast<const char *>(text), static_cast<std::size_t>(length));
        // Read for the site, a paragraph's words are counted whether or not they are wanted.
        if (parser.words || (parser.siteReading && parser.inParagraph)) {
            if (parser.siteReading)
                parser.scanReaderWords(chars);
            else
                parser.scanWords(chars);
        }
        if (parser.inTitle)
            appendCollapsed(*parser.title, chars);
        if (parser.wantDescription && parser.inBody) {
            if (!parser.siteReading)
                appendCollapsed(parser.bodyText, chars);
            if (parser.inParagraph && (parser.chosenParagraph.empty() || parser.siteReading))
                parser.paragraph.append(chars);
        }
    }

    static void skippedText(void *context, const xmlChar *, int) { of(context).endWord(); }
    static void comment(void *context, const xmlChar *) { of(context).endWord(); }
};

PageContent::PageContent() : m_parser(std::make_unique<Parser>()) {}
PageContent::~PageContent() = default;

namespace {

constexpr int ParseOptions =
    HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET | HTML_PARSE_IGNORE_ENC;

} // namespace

bool PageContent::start(PageEncoding encoding, WordSink words, bool description)
{
    m_encoding = encoding;
    m_decoder.reset();
    m_atStart = true;
    m_description.clear();
    m_fromTag = false;
    m_utf8.clear();
    m_taken = 0;
    if (!m_parser->context)
        return false;
    m_parser->start(std::move(words), description);
    m_parser->minimum = m_minimum;
    m_parser->siteReading = m_siteReading;
    m_paragraphs.clear();
    m_title.reset();
    return true;
}

void PageContent::finish()
{
    Parser &parser = *m_parser;
    parser.endWord();
    m_next = nullptr;
    if (parser.siteReading) {
        if (parser.inTitle)
            parser.title = collapseWhiteSpace(*parser.title);
        m_title = std::move(parser.title);
    }
    if (parser.wantDescription) {
        m_fromTag = !parser.tagDescription.empty();
        if (m_fromTag)
            m_description = parser.tagDescription;
        else if (!parser.siteReading)
            m_description = cutAtWord(
                collapseWhiteSpace(!parser.chosenParagraph.empty() ? parser.chosenParagraph : parser.bodyText),
                DescriptionLimit);
        // The paragraphs of a page with a description tag count for what the site repeats all the same.
        for (const Parser::LongParagraph &kept : parser.longParagraphs) {
            // Only what the main content holds, where the page marks one.
            const bool candidate = !m_fromTag && !kept.text.empty() && (kept.inMain || !parser.hasMainContent);
            m_paragraphs.push_back({kept.hash, candidate ? cutAtWord(kept.text, DescriptionLimit) : std::string()});
        }
    }
    parser.words = nullptr;
}

void PageContent::read(PageEncoding encoding, const NextBlock &next, WordSink words, bool description)
{
    if (!start(encoding, std::move(words), description))
        return;
    m_next = &next;
    // The page's own encoding is the one the run decided; the parser gets UTF-8 and ignores what the
    // page declares. (It pulls the page block by block: its push mode loses script ends cut by a
    // block's end.)
    htmlCtxtReadIO(m_parser->context, &PageContent::readInput, nullptr, this, nullptr, "UTF-8", ParseOptions);
    finish();
}

void PageContent::readWhole(PageEncoding encoding, std::string_view bytes, WordSink words, bool description)
{
    if (!start(encoding, std::move(words), description))
        return;
    // The parser reads from memory much faster than block by block.
    convert(bytes);
    const std::string_view text = std::string_view(m_utf8).substr(m_taken);
    if (!text.empty())
        htmlCtxtReadMemory(m_parser->context, text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                           ParseOptions);
    finish();
}

int PageContent::readPage(ScannedPage &page, std::size_t blockSize, std::vector<char> &blocks, WordSink words,
                          bool description)
{
    // The page's bytes from its start, block by block; a page kept whole is one block.
    std::int64_t offset = 0;
    int err = 0;
    const NextBlock bytes = [&]() -> std::string_view {
        if (offset >= page.size || err != 0)
            return {};
        if (page.whole) {
            offset = page.size;
            return std::string_view(page.bytes.data(), static_cast<std::size_t>(page.size));
        }
        if (blocks.size() < blockSize)
            blocks.resize(blockSize);
        const auto length =
            static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(blockSize), page.size - offset));
        std::size_t got = 0;
        err = fs::readAt(page.file.fd(), blocks.data(), offset, length, &got);
        offset = got == 0 ? page.size : offset + static_cast<std::int64_t>(got);
        return std::string_view(blocks.data(), err == 0 ? got : 0);
    };
    // A page read as its bytes (UTF-8 or Windows-1252).
    const auto readBytes = [&] {
        if (page.whole)
            readWhole(page.encoding, std::string_view(page.bytes.data(), static_cast<std::size_t>(page.size)),
                      std::move(words), description);
        else
            read(page.encoding, bytes, std::move(words), description);
        return err;
    };
    if (!isDecoded(page.encoding))
        return readBytes();

    // A page kept whole is decoded whole, once; a larger one is decoded once to see that it decodes
    // and again block by block while it is read.
    TagPositions positions; // not wanted, but where the codec puts them
    TextCodec check(page.encoding, page.charset);
    bool decodes = check.known();
    m_decoded.clear();
    for (std::string_view block = decodes ? bytes() : std::string_view(); !block.empty() && decodes; block = bytes()) {
        if (!page.whole)
            m_decoded.clear();
        decodes = check.decode(block, m_decoded, positions);
        positions.clear();
    }
    decodes = decodes && check.finishDecoding(m_decoded);
    if (err != 0)
        return err;
    offset = 0;
    if (!decodes) {
        page.encodingNote = check.known() ? EncodingNote::NotDecoded : EncodingNote::UnknownCharset;
        page.encoding = PageEncoding::Windows1252;
        return readBytes();
    }
    if (page.whole) {
        const std::string text = std::move(m_decoded);
        readWhole(PageEncoding::Utf8, text, std::move(words), description);
        return 0;
    }
    TextCodec codec(page.encoding, page.charset);
    bool finished = false;
    const NextBlock text = [&]() -> std::string_view {
        for (m_decoded.clear(); m_decoded.empty() && !finished;) {
            const std::string_view block = bytes();
            if (block.empty()) {
                finished = true;
                codec.finishDecoding(m_decoded);
            } else {
                codec.decode(block, m_decoded, positions);
                positions.clear();
            }
        }
        return m_decoded;
    };
    read(PageEncoding::Utf8, text, std::move(words), description);
    return err;
}

int PageContent::readInput(void *context, char *buffer, int length)
{
    auto &content = *static_cast<PageContent *>(context);
    if (length <= 0 || content.m_parser->satisfied())
        return 0;
    // As much as the parser asks for, across the page's blocks: it takes a short read for all there
    // is for now, and a character reference cut by it ("&am" of "&amp;") for text.
    std::size_t given = 0;
    while (given < static_cast<std::size_t>(length)) {
        if (content.m_taken == content.m_utf8.size() && !content.convertNext())
            break;
        const std::size_t n =
            std::min(static_cast<std::size_t>(length) - given, content.m_utf8.size() - content.m_taken);
        std::memcpy(buffer + given, content.m_utf8.data() + content.m_taken, n);
        content.m_taken += n;
        given += n;
    }
    return static_cast<int>(given);
}

bool PageContent::convertNext()
{
    const std::string_view bytes = (*m_next)();
    if (bytes.empty())
        return false;
    m_utf8.clear();
    m_taken = 0;
    convert(bytes);
    return true;
}

void PageContent::convert(std::string_view bytes)
{
    // No byte the parser could stumble on: control characters go, broken UTF-8 is skipped.
    m_utf8.reserve(m_utf8.size() + bytes.size() + bytes.size() / 8);
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p != end) {
        const auto *run = p;
        // Eight bytes at a time while none is a control character or beyond ASCII.
        constexpr std::uint64_t ones = 0x0101010101010101ULL;
        for (std::uint64_t v; end - p >= 8; p += 8) {
            std::memcpy(&v, p, 8);
            if ((((v - 0x20 * ones) & ~v) | v) & (0x80 * ones))
                break;
        }
        while (p != end && *p >= 0x20 && *p < 0x80)
            ++p;
        if (p != run) {
            if (m_decoder.pending())
                m_decoder.reset(); // an ASCII byte cuts a sequence short
            m_utf8.append(reinterpret_cast<const char *>(run), static_cast<std::size_t>(p - run));
            continue;
        }
        const unsigned char b = *p++;
        if (b < 0x20) {
            m_decoder.reset();
            if (b == '\t' || b == '\n' || b == '\r' || b == '\f')
                m_utf8.push_back(static_cast<char>(b));
            continue;
        }
        const char32_t c = m_encoding == PageEncoding::Utf8 ? m_decoder.push(b) : windows1252::toUnicode(b);
        if (c != Utf8Decoder::None && c >= 0xA0)
            appendUtf8(m_utf8, c);
        else if (c != Utf8Decoder::None && c >= 0x80)
            m_utf8.push_back(' '); // a C1 control stands for no character
    }
    if (m_atStart && !m_utf8.empty()) {
        if (std::string_view(m_utf8).substr(0, 3) == "\xEF\xBB\xBF")
            m_taken = 3; // the byte-order mark
        m_atStart = m_taken == m_utf8.size();
    }
}

std::string collapseWhiteSpace(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t start = i;
        const char32_t c = nextCharacter(utf8, &i);
        if (isSpace(c)) {
            if (!out.empty() && out.back() != ' ')
                out.push_back(' ');
        } else {
            out.append(utf8.substr(start, i - start));
        }
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string cutAtWord(std::string_view utf8, std::size_t limit)
{
    if (characterCount(utf8) <= limit || limit == 0)
        return std::string(utf8);
    // The place after the last character that fits with the "…", and the last blank before it.
    std::size_t fits = 0;
    std::size_t lastBlank = std::string_view::npos;
    for (std::size_t i = 0, characters = 0; i < utf8.size() && characters < limit - 1; ++characters) {
        if (utf8[i] == ' ')
            lastBlank = i;
        nextCharacter(utf8, &i);
        fits = i;
    }
    if (fits < utf8.size() && utf8[fits] == ' ')
        lastBlank = fits; // the text breaks right after the last character that fits
    std::string out(utf8.substr(0, lastBlank != std::string_view::npos && lastBlank > 0 ? lastBlank : fits));
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    out += "\u2026";
    return out;
}

std::string escapeAttribute(std::string_view utf8, bool keepReferences)
{
    std::string out;
    out.reserve(utf8.size());
    for (const char ch : utf8) {
        switch (ch) {
        case '&':
            out += keepReferences ? "&" : "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out.push_back(ch);
        }
    }
    return out;
}

} // namespace tagsmith
