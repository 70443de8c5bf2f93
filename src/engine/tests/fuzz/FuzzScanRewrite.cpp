#include "FuzzScanRewrite.h"

#include "engine/encoding/EncodingDetection.h"
#include "engine/page/MarkScanner.h"
#include "engine/page/PageSplicer.h"
#include "engine/encoding/Windows1252.h"
#include "engine/words/WordScanner.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tagsmith::fuzz {
namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

class StringSink : public ByteSink
{
public:
    void write(std::string_view bytes) override { out.append(bytes); }
    std::string out;
};

// Block sizes from a small generator seeded by the input.
class Blocks
{
public:
    explicit Blocks(unsigned seed) : m_state(seed * 2654435761u + 1) {}
    // Hands the page to feed in blocks of 1 to 17 bytes.
    template <typename Feed> void split(std::string_view page, Feed feed)
    {
        for (std::size_t pos = 0; pos < page.size();) {
            m_state = m_state * 1103515245u + 12345u;
            const std::size_t n = std::min<std::size_t>(1 + (m_state >> 16) % 17, page.size() - pos);
            feed(page.substr(pos, n));
            pos += n;
        }
    }

private:
    unsigned m_state;
};

std::vector<std::string> scanWords(std::string_view page, WordScanner::PageKind kind, PageEncoding encoding)
{
    std::vector<std::string> words;
    WordScanner scanner(kind, encoding);
    scanner.feed(page, [&](std::string_view w, bool) { words.emplace_back(w); });
    return words;
}

// The page in Windows-1252 when it is whole UTF-8 of characters that Windows-1252 has.
std::optional<std::string> asWindows1252(std::string_view page)
{
    std::string out;
    for (std::size_t i = 0; i < page.size();) {
        const int byte = windows1252::fromUnicode(nextCharacter(page, &i)); // U+FFFD has no byte
        if (byte < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(byte));
    }
    return out;
}

} // namespace

void scanAndRewrite(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return;
    const unsigned control = data[0];
    const std::string_view page(reinterpret_cast<const char *>(data + 1), size - 1);
    const auto kind = (control & 1) ? WordScanner::PageKind::Main : WordScanner::PageKind::Folder;
    const auto encoding = (control & 2) ? PageEncoding::Utf8 : PageEncoding::Windows1252;
    Blocks blocks(control);

    // Encoding: the same whole and in blocks.
    Utf8Check checkWhole;
    checkWhole.feed(page);
    Utf8Check checkInBlocks;
    blocks.split(page, [&](std::string_view part) { checkInBlocks.feed(part); });
    check(checkWhole.isUtf8() == checkInBlocks.isUtf8(), "the UTF-8 check differs when read in blocks");
    (void)declaredEncoding(page); // for the sanitizers

    // Words: the same whole and in blocks, never empty, only word characters (and the marks that
    // follow a letter Windows-1252 cannot write).
    const std::vector<std::string> whole = scanWords(page, kind, encoding);
    std::vector<std::string> inBlocks;
    WordScanner scanner(kind, encoding);
    blocks.split(page, [&](std::string_view part) {
        scanner.feed(part, [&](std::string_view w, bool) { inBlocks.emplace_back(w); });
    });
    check(whole == inBlocks, "words differ when read in blocks");
    for (const std::string &word : whole) {
        check(!word.empty(), "empty word");
        for (std::size_t i = 0; i < word.size();) {
            const char32_t c = nextCharacter(word, &i);
            check(isWordCharacter(c) || (i > 1 && isCombiningMark(c)),
                  "word holds a character that is no word character");
        }
    }
    // A UTF-8 page of characters that Windows-1252 has gives the words that page gives in Windows-1252.
    if (encoding == PageEncoding::Utf8) {
        if (const std::optional<std::string> same = asWindows1252(page))
            check(scanWords(*same, kind, PageEncoding::Windows1252) == whole,
                  "a UTF-8 page gives other words than in Windows-1252");
    }

    // Marks: the same whole and in blocks, in page order, at a "<", at most 19.
    const MetaNames names;
    MarkScanner marksWhole(names);
    marksWhole.feed(page);
    const PageMarks marks = marksWhole.finish();
    MarkScanner marksInBlocks(names);
    blocks.split(page, [&](std::string_view part) { marksInBlocks.feed(part); });
    const PageMarks marks2 = marksInBlocks.finish();
    check(marks.MarkCount == marks2.MarkCount && marks.Marks == marks2.Marks && marks.headMark == marks2.headMark,
          "marks differ when read in blocks");
    check(marks.MarkCount >= 0 && marks.MarkCount <= PageMarks::MaxMarks, "mark count");
    check(marks.endMark() == static_cast<std::int64_t>(page.size()), "end mark");
    for (int k = 0; k < marks.MarkCount; ++k) {
        const auto at = marks.Marks[static_cast<std::size_t>(k)];
        check(at >= 0 && at < marks.Marks[static_cast<std::size_t>(k) + 1], "marks out of order");
        check(page[static_cast<std::size_t>(at)] == '<', "a mark that is not at a tag");
    }

    // Rewrite: the page up to the first mark, then the block; nothing is added but the block.
    const std::string block = "[META BLOCK]";
    const std::string out = rewritePage(page, marks, block);
    const std::size_t first = marks.MarkCount > 0 ? static_cast<std::size_t>(marks.Marks[0]) : page.size();
    check(out.compare(0, first, page.substr(0, first)) == 0, "the page before the first mark changed");
    check(out.compare(first, block.size(), block) == 0, "the block is not at the first mark");
    check(out.size() <= page.size() + block.size(), "the rewrite added bytes");
    if (marks.headMark && marks.MarkCount == 1)
        check(out.substr(first + block.size()) == page.substr(first), "the page after a head mark changed");
    StringSink sink;
    PageSplicer splicer(marks, block, sink);
    blocks.split(page, [&](std::string_view part) { splicer.feed(part); });
    check(splicer.finish(), "splicer did not reach the end mark");
    check(sink.out == out, "rewrite differs when written in blocks");
}

} // namespace tagsmith::fuzz
