#include "FuzzPageRoad.h"

#include "engine/encoding/EncodingDetection.h"
#include "engine/encoding/TextCodec.h"
#include "engine/page/MarkScanner.h"
#include "engine/page/MetaBlock.h"
#include "engine/page/PageContent.h"
#include "engine/page/PageDiff.h"
#include "engine/page/PageSplicer.h"
#include "engine/undo/UndoStore.h"
#include "engine/words/WordScanner.h"
#include "engine/words/WordTable.h"

#include <algorithm>
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

// The first byte of the input picks one: empty is the encoding the page declares.
constexpr std::string_view Encodings[] = {
    "",           "utf-8",        "windows-1252", "utf-16le",     "utf-16be",     "ibm866",       "iso-8859-2",
    "iso-8859-3", "iso-8859-4",   "iso-8859-5",   "iso-8859-6",   "iso-8859-7",   "iso-8859-8",   "iso-8859-8-i",
    "iso-8859-10", "iso-8859-13", "iso-8859-14",  "iso-8859-15",  "iso-8859-16",  "koi8-r",       "koi8-u",
    "macintosh",  "windows-874",  "windows-1250", "windows-1251", "windows-1253", "windows-1254", "windows-1255",
    "windows-1256", "windows-1257", "windows-1258", "x-mac-cyrillic", "shift_jis", "euc-jp",      "iso-2022-jp",
    "gbk",        "gb18030",      "big5",         "euc-kr",       "replacement",
};

// Splits a text into blocks of 1 to 17 bytes, by a small generator seeded by the input.
template <typename Feed> void inBlocks(unsigned seed, std::string_view text, Feed feed)
{
    unsigned state = seed * 2654435761u + 1;
    for (std::size_t pos = 0; pos < text.size();) {
        state = state * 1103515245u + 12345u;
        const std::size_t n = std::min<std::size_t>(1 + (state >> 16) % 17, text.size() - pos);
        feed(text.substr(pos, n));
        pos += n;
    }
}

// The text with every numeric character reference ("&#1046;") as its character.
std::string withReferencesRead(std::string_view utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        std::size_t end = i + 2;
        std::uint32_t c = 0;
        while (utf8.substr(i, 2) == "&#" && end < utf8.size() && end < i + 10 && utf8[end] >= '0' && utf8[end] <= '9')
            c = c * 10 + static_cast<std::uint32_t>(utf8[end++] - '0');
        if (end > i + 2 && end < utf8.size() && utf8[end] == ';' && c <= 0x10FFFF) {
            appendUtf8(out, c);
            i = end;
        } else {
            out.push_back(utf8[i]);
        }
    }
    return out;
}

// A "&" before a long name (a run of letters, those beyond ASCII among them): libxml2 reads one
// otherwise from memory (it leaves out a hundred or so bytes of the run) than through its read
// callback, which only pages over 16 MB are read through. The parser's, left to it.
bool longReference(std::string_view utf8)
{
    for (std::size_t at = utf8.find('&'); at != std::string_view::npos; at = utf8.find('&', at + 1)) {
        std::size_t end = at + 1;
        while (end < utf8.size() && std::string_view(";<& \t\n\r\f").find(utf8[end]) == std::string_view::npos)
            ++end;
        if (end - at > 64)
            return true;
    }
    return false;
}

struct Decoded
{
    bool ok = false;
    std::string text;
    TagPositions positions;
};

Decoded decode(PageEncoding encoding, std::string_view charset, std::string_view page, unsigned seed, bool whole)
{
    Decoded d;
    TextCodec codec(encoding, charset);
    d.ok = codec.known();
    if (whole)
        d.ok = d.ok && codec.decode(page, d.text, d.positions);
    else
        inBlocks(seed, page, [&](std::string_view part) { d.ok = d.ok && codec.decode(part, d.text, d.positions); });
    d.ok = d.ok && codec.finishDecoding(d.text);
    return d;
}

std::vector<std::string> contentWords(PageEncoding encoding, std::string_view bytes, unsigned seed, bool whole,
                                      std::string *description)
{
    std::vector<std::string> words;
    PageContent content;
    const PageContent::WordSink sink = [&](std::string_view word) { words.emplace_back(word); };
    if (whole) {
        content.readWhole(encoding, bytes, sink, true);
    } else {
        std::vector<std::string_view> blocks;
        inBlocks(seed, bytes, [&](std::string_view part) { blocks.push_back(part); });
        std::size_t next = 0;
        content.read(
            encoding, [&] { return next < blocks.size() ? blocks[next++] : std::string_view(); }, sink, true);
    }
    *description = content.description();
    return words;
}

// The lines of after, made from before by the hunks.
std::string applyHunks(std::string_view before, const std::vector<DiffHunk> &hunks)
{
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < before.size();) {
        const std::size_t end = before.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? before.size() : end + 1;
        lines.push_back(before.substr(start, next - start));
        start = next;
    }
    std::string out;
    std::size_t line = 0;
    for (const DiffHunk &hunk : hunks) {
        check(hunk.oldBefore >= static_cast<std::int64_t>(line), "diff hunks out of order");
        for (; line < static_cast<std::size_t>(hunk.oldBefore) && line < lines.size(); ++line)
            out.append(lines[line]);
        for (const DiffLine &l : hunk.lines) {
            if (l.kind != DiffLine::Kind::Added) {
                check(line < lines.size() && lines[line].substr(0, l.text.size()) == l.text, "a diff line not in the page");
                ++line;
            }
            if (l.kind != DiffLine::Kind::Removed) {
                out.append(l.text);
                if (l.lineEnd)
                    out.push_back('\n');
            }
        }
    }
    for (; line < lines.size(); ++line)
        out.append(lines[line]);
    return out;
}

} // namespace

void pageRoad(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return;
    const unsigned control = data[0];
    const std::string_view page(reinterpret_cast<const char *>(data + 1), size - 1);

    // The encoding: sniffed, or the one the first byte names.
    Utf8Check utf8;
    inBlocks(control, page, [&](std::string_view part) { utf8.feed(part); });
    std::string_view charset = Encodings[control % std::size(Encodings)];
    if (charset.empty())
        charset = declaredEncoding(page);
    PageEncoding encoding = decideEncoding(charset, utf8);

    // Decoded whole and in blocks alike; the tags where the text has them; the text written back in
    // the page's encoding reads as the same characters (those it cannot hold as references).
    std::string_view text = page;
    Decoded decoded;
    if (isDecoded(encoding)) {
        decoded = decode(encoding, charset, page, control, true);
        const Decoded inParts = decode(encoding, charset, page, control, false);
        check(decoded.ok == inParts.ok, "a page decodes only whole or only in blocks");
        if (decoded.ok) {
            check(decoded.text == inParts.text && decoded.positions.opens == inParts.positions.opens &&
                      decoded.positions.closeEnds == inParts.positions.closeEnds,
                  "decoded otherwise in blocks");
            const std::int64_t unit = encoding == PageEncoding::Legacy ? 1 : 2;
            std::int64_t last = -1;
            for (const auto &[inText, inPage] : decoded.positions.opens) {
                check(decoded.text[static_cast<std::size_t>(inText)] == '<', "a tag's start is no < in the text");
                check(inPage > last && inPage + unit <= static_cast<std::int64_t>(page.size()),
                      "tag starts out of order");
                check(page.substr(static_cast<std::size_t>(inPage), static_cast<std::size_t>(unit)).find('<') !=
                          std::string_view::npos,
                      "a tag's start is no < in the page");
                last = inPage;
            }
            for (const std::int64_t end : decoded.positions.closeEnds)
                check(end >= unit && end <= static_cast<std::int64_t>(page.size()) &&
                          page.substr(static_cast<std::size_t>(end - unit), static_cast<std::size_t>(unit)).find('>') !=
                              std::string_view::npos,
                      "a tag's end is no > in the page");
            std::string back;
            TextCodec(encoding, charset).encode(decoded.text, back);
            Decoded again = decode(encoding, charset, back, control, true);
            check(again.ok, "the text written back does not decode");
            check(withReferencesRead(again.text) == withReferencesRead(decoded.text),
                  "the text written back reads otherwise");
            text = decoded.text;
        } else {
            encoding = PageEncoding::Windows1252; // as a run reads a page that does not decode
        }
    }
    const PageEncoding textEncoding = isDecoded(encoding) ? PageEncoding::Utf8 : encoding;

    // Words: the same whole and in blocks.
    WordTable words;
    WordScanner scanner(WordScanner::PageKind::Folder, textEncoding);
    std::vector<std::string> scanned;
    scanner.feed(text, [&](std::string_view word, bool) { scanned.emplace_back(word); });
    WordScanner scanner2(WordScanner::PageKind::Folder, textEncoding);
    std::vector<std::string> scanned2;
    inBlocks(control, text, [&](std::string_view part) {
        scanner2.feed(part, [&](std::string_view word, bool) { scanned2.emplace_back(word); });
    });
    check(scanned == scanned2, "words differ when read in blocks");

    // What the page says, as the telling words read it: the same whole and in blocks.
    std::string description, description2;
    const std::vector<std::string> content = contentWords(textEncoding, text, control, true, &description);
    const std::vector<std::string> content2 = contentWords(textEncoding, text, control, false, &description2);
    check((content == content2 && description == description2) || longReference(text),
          "the page says otherwise when read in blocks");
    for (const std::string &word : content)
        words.insert(word);
    for (const std::string &word : scanned)
        words.insert(word);

    // The block in the page's encoding reads in it.
    RunOptions options;
    options.siteDescription = QString::fromUtf8(description.data(), static_cast<qsizetype>(description.size()));
    const MetaBlock block(options);
    std::string blockBytes;
    block.build(words, encoding, charset, blockBytes);
    if (isDecoded(encoding))
        check(decode(encoding, charset, blockBytes, control, true).ok, "the block does not decode in the page's charset");

    // The marks, in the page, and the rewrite.
    const MetaNames names = block.metaNames();
    MarkScanner marker(names);
    marker.feed(text);
    PageMarks marks = marker.finish();
    if (isDecoded(encoding))
        marks = decoded.positions.pageMarks(marks, static_cast<std::int64_t>(page.size()));
    for (int k = 0; k < marks.MarkCount; ++k)
        check(marks.Marks[static_cast<std::size_t>(k)] < marks.Marks[static_cast<std::size_t>(k) + 1],
              "marks out of order");
    const std::string after = rewritePage(page, marks, blockBytes);

    // The preview's difference turns the page into what the run writes.
    check(applyHunks(page, diffHunks(page, after)) == after, "the difference does not make the new page");

    // Undo: the delta kept of the page gives it back.
    const std::string_view pieces[] = {std::string_view(after)};
    const auto [prefix, suffix] = keptEnds(page, pieces);
    UndoRecord record;
    record.copyKind = CopyKind::Delta;
    record.beforeSize = static_cast<std::int64_t>(page.size());
    record.afterSize = static_cast<std::int64_t>(after.size());
    record.deltaPrefix = static_cast<std::int64_t>(prefix);
    record.deltaSuffix = static_cast<std::int64_t>(suffix);
    record.replaced = std::string(page.substr(prefix, page.size() - prefix - suffix));
    std::string rebuilt;
    check(applyDelta(record, after, &rebuilt) && rebuilt == page, "the delta does not give the page back");
}

} // namespace tagsmith::fuzz
