#pragma once

#include "engine/encoding/PageText.h"
#include "engine/page/ScannedPage.h"
#include "engine/encoding/Utf8.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tagsmith {

class MinimumWordLength;

// What a page says, read through libxml2's HTML parser: the words of its text and its own
// description. Used by the choices that look at a page as a reader sees it, not byte by byte.
//
// Words are found as the word scan finds them (the same word characters and separators), except that
// line breaks, tabs and no-break spaces (any Unicode space) end a word too, character references are
// decoded before the characters are looked at ("&eacute;" is é, "&nbsp;" separates), the text of
// script and style elements and comments is not read, and a word that the end of the page ends is a
// word as well. Every tag ends a word, as "<" does.
//
// The description is the text of the page's description META tag when it has a non-empty one;
// otherwise the start of its first paragraph (a p element) of at least eight words; otherwise the
// start of the text of its body. White space is collapsed and the text is cut at a word boundary to
// at most DescriptionLimit characters, "…" included.
//
// Read for the site (setSiteReading), the page is read as its reader sees it instead: every character
// that is not a letter, a digit or a mark inside a word ends a word, so "foo_bar(baz)" is three words
// and not one glued token. An apostrophe or a hyphen between two letters stays in the word ("e-mail",
// "O'Brien"); a closing "'s" goes ("site's" and the Dutch "foto's" are "site" and "foto"). The
// description is then chosen from the whole site (see paragraphs()), and the page's title is kept.
class PageContent
{
public:
    using WordSink = std::function<void(std::string_view)>;
    // The page's next bytes, in order; an empty view at its end.
    using NextBlock = std::function<std::string_view()>;
    static constexpr std::size_t DescriptionLimit = 155;

    PageContent();
    ~PageContent();
    PageContent(const PageContent &) = delete;
    PageContent &operator=(const PageContent &) = delete;

    // Reads a page in the given encoding, its bytes in blocks of any size from next. words receives
    // each word as UTF-8 (none wanted when it is empty); with description set the page's description
    // is looked for. Reading stops early once nothing more is wanted.
    void read(PageEncoding encoding, const NextBlock &next, WordSink words, bool description);
    // The same for a page given whole.
    void readWhole(PageEncoding encoding, std::string_view bytes, WordSink words, bool description);

    // read() for a page whose encoding is decided: a page kept whole from page.bytes, a larger one
    // block by block from its open file through blocks. A page of UTF-16 or another charset is read
    // as the text it decodes to; one whose bytes do not decode is read as Windows-1252, as the word
    // scan reads it, and page.encoding and page.encodingNote then say so. Returns 0 or the errno of a
    // failed read.
    int readPage(ScannedPage &page, std::size_t blockSize, std::vector<char> &blocks, WordSink words, bool description);

    // From now on only the words of at least this length reach a word sink (every word when null).
    void setMinimumLength(const MinimumWordLength *minimum) { m_minimum = minimum; }

    // After read(): the page's description as UTF-8 text, empty when it has none.
    const std::string &description() const { return m_description; }
    // It is the page's own description tag's text.
    bool descriptionFromTag() const { return m_fromTag; }

    // A paragraph (p element) of at least eight words, as a reader sees them.
    struct Paragraph
    {
        std::size_t hash = 0; // of its text, white space collapsed
        // Cut for a description; empty for one that is no description of the page: inside a nav,
        // header, footer or aside element, or outside the page's main content where it marks one
        // (a main or article element, or an element with role="main").
        std::string text;
    };
    void setSiteReading(bool on) { m_siteReading = on; }
    // After read() for the site with a description wanted: the page's long paragraphs in page order (no
    // more than a few dozen), none with a text when the page has a description tag.
    const std::vector<Paragraph> &paragraphs() const { return m_paragraphs; }
    // The same, handed over: none are left.
    std::vector<Paragraph> takeParagraphs() { return std::exchange(m_paragraphs, {}); }
    // After read() for the site: the text of its title element, white space collapsed; none without one.
    const std::optional<std::string> &title() const { return m_title; }

private:
    struct Parser;
    friend struct Parser;

    // Sets up a read; false when there is no parser.
    bool start(PageEncoding encoding, WordSink words, bool description);
    // Ends a read: the last word, the description.
    void finish();
    // Converts the page's next block to UTF-8 into m_utf8; false at the end of the page.
    bool convertNext();
    // Appends bytes of the page to m_utf8 as UTF-8.
    void convert(std::string_view bytes);
    static int readInput(void *context, char *buffer, int length);

    std::unique_ptr<Parser> m_parser;
    const NextBlock *m_next = nullptr;
    std::string m_utf8;      // the bytes of a block as UTF-8
    std::string m_decoded;   // the text of a decoded page, or of a block of it
    std::size_t m_taken = 0; // of m_utf8, by the parser
    Utf8Decoder m_decoder;
    PageEncoding m_encoding = PageEncoding::Windows1252;
    bool m_atStart = true;
    std::string m_description;
    bool m_fromTag = false;
    const MinimumWordLength *m_minimum = nullptr;
    bool m_siteReading = false;
    std::vector<Paragraph> m_paragraphs;
    std::optional<std::string> m_title;
};

// White space collapsed to single blanks, none at either end.
std::string collapseWhiteSpace(std::string_view utf8);
// The text cut at a word boundary to at most limit characters, "…" included when it is cut.
std::string cutAtWord(std::string_view utf8, std::size_t limit);
// A text for inside a double-quoted attribute value (or XML text): &, <, >, " and ' as references;
// with keepReferences "&" stays, for a text of a page whose references are to stay what they are.
std::string escapeAttribute(std::string_view utf8, bool keepReferences = false);

} // namespace tagsmith
