#pragma once

#include "engine/core/PageChecks.h"
#include "engine/core/Run.h"
#include "engine/encoding/TextCodec.h"
#include "engine/page/MarkScanner.h"
#include "engine/page/MetaBlock.h"
#include "engine/page/PageContent.h"
#include "engine/page/ScannedPage.h"
#include "engine/words/MinimumWordLength.h"
#include "engine/words/WordScanner.h"

#include <QHash>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace tagsmith {

// What a page is to get when its words are chosen from the whole site before any page is written.
struct PagePlan
{
    std::string keywords; // in the order they are written, each followed by a line break
    std::string description;
    bool ownDescription = false;
    bool descriptionFromTag = false;
    std::uint8_t checks = 0;     // pagecheck flags
    int error = 0;               // errno of the failure that kept the page from being read, 0 when none did
    std::int64_t wordsFound = 0; // the distinct words the first pass found on the page itself

    // Adds the keywords to the table, in their order.
    void keywordsInto(WordTable &words) const
    {
        for (std::size_t start = 0, end = 0; (end = keywords.find('\n', start)) != std::string::npos; start = end + 1)
            words.insert(std::string_view(keywords).substr(start, end - start));
    }
};
using SitePlan = QHash<QString, PagePlan>; // by PagePath

// The reading half of a page's work: opens the page, reads it, scans it for words and marks and, for
// a page of the folder, builds its META block. Touches nothing on disk, so it may run ahead of the
// writing on a thread of its own; each thread has its own reader.
//
// Failing operations return the errno of the failure, 0 on success.
class PageReader
{
public:
    PageReader(const MetaBlock &block, const MetaNames &names, const MinimumWordLength &minimumLength,
               const RunLimits &limits);

    // open() and scan(); the errno also goes to page.error.
    int read(ScannedPage &page);
    // Opens page.PagePath (a main page that does not exist is made later and counts as empty).
    int open(ScannedPage &page);
    // Reads the open page, decides its encoding and finds its words and marks. Its META block is
    // built by buildBlock(page), on either thread.
    int scan(ScannedPage &page);
    // The same for bytes that stand in for the page's own: a dry run's page as a page written
    // before it in the run left it.
    int scanInstead(ScannedPage &page, std::string_view bytes);

    // With a plan a page's words and description are taken from it instead of from the page; the plan
    // must outlive the reader's use of it. With pageDescriptions (and no plan) each page's own
    // description is looked for.
    void setPlan(const SitePlan *plan) { m_plan = plan; }
    void setPageDescriptions(bool on) { m_pageDescriptions = on; }
    // With a site address each page's head is read for its sharing tags; sharing must outlive the
    // reader's use of it.
    void setSharing(const SiteSharing *sharing) { m_sharing = sharing && sharing->on() ? sharing : nullptr; }

    // Reads the open page whole or in blocks, decides its encoding and hands its bytes to content;
    // words go to the sink, through the minimum length option. Closes the page.
    int readPage(ScannedPage &page, PageContent &content, const PageContent::WordSink &words, bool description);
    // The same for a page scanned already: whole in page.bytes, or still open.
    int readContent(ScannedPage &page, PageContent &content, const PageContent::WordSink &words, bool description);

    // Reads the first size bytes of fd (fewer when the file ends first) block by block through buffer
    // and hands each block to take, which returns false to stop early.
    template <typename Take>
    static int forEachBlock(int fd, std::int64_t size, std::size_t blockSize, std::vector<char> &buffer, Take &&take)
    {
        if (buffer.size() < blockSize)
            buffer.resize(blockSize);
        for (std::int64_t offset = 0; offset < size;) {
            const auto length =
                static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(blockSize), size - offset));
            std::size_t got = 0;
            if (const int err = fs::readAt(fd, buffer.data(), offset, length, &got); err != 0)
                return err;
            if (got == 0 || !take(std::string_view(buffer.data(), got)))
                break;
            offset += static_cast<std::int64_t>(got);
        }
        return 0;
    }

private:
    int scanPage(ScannedPage &page, bool preloaded);
    // Decides page.encoding; reads a page that is kept whole into page.bytes unless it is there.
    int readEncoding(ScannedPage &page, bool preloaded);
    // What the word scan of a page calls for each word: into the page's words when the minimum
    // length admits it.
    auto wordAdder(ScannedPage &page)
    {
        return [this, &page](std::string_view CurrentWord, bool ascii) {
            if (m_minimumLength.admits(CurrentWord, ascii))
                page.PageWords.insert(CurrentWord);
        };
    }
    // Scans a page of a decoded encoding as its text; *decoded false when its bytes do not decode.
    int scanDecoded(ScannedPage &page, TextCodec &codec, bool *decoded);
    // With a site address: the page's sharing tags from its head, in text (its start at least).
    void readShare(ScannedPage &page, std::string_view text, bool windows1252) const;
    // Keeps the start of a page read in blocks (or of its text) for readShare().
    void keepHead(std::string_view text);
    // How much of a page read in blocks is looked at for its sharing tags: its head and, mostly, its
    // first picture.
    static constexpr std::size_t HeadWindow = std::size_t(1) << 20;

    // Hands the page's bytes (those it had when it was opened), block by block, to take, which
    // returns false to stop; a page read whole is one block. A page found shorter is that long.
    template <typename Take> int feedPage(ScannedPage &page, Take &&take)
    {
        std::vector<char> &buffer = page.whole ? page.bytes : m_blocks;
        const std::size_t blockSize = page.whole ? static_cast<std::size_t>(page.size) : m_limits.blockSize;
        if (buffer.size() < blockSize)
            buffer.resize(blockSize);
        std::int64_t ReadPos = 0;
        while (ReadPos < page.size) {
            const auto length = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(blockSize), page.size - ReadPos));
            std::size_t got = length;
            if (!page.whole) // a whole page is in page.bytes already
                if (const int err = fs::readAt(page.file.fd(), buffer.data(), ReadPos, length, &got); err != 0)
                    return err;
            if (!take(std::string_view(buffer.data(), got)))
                return 0;
            ReadPos += static_cast<std::int64_t>(got);
            if (got < length)
                break; // the page became shorter
        }
        page.size = ReadPos;
        return 0;
    }

public:
    // The page's META block with these words and the page's own description when it has one.
    void buildBlock(ScannedPage &page, const WordTable &words) const;
    // After scan(): a page of the folder's META block with its words (page.PageWords), unless it is
    // built already.
    void buildBlock(ScannedPage &page) const;

private:
    const MetaBlock &m_block;
    const MetaNames &m_names;
    const MinimumWordLength &m_minimumLength;
    RunLimits m_limits;
    WordScanner m_folderScanner;
    WordScanner m_mainScanner;
    MarkScanner m_markScanner;
    PageContent m_content;
    const SitePlan *m_plan = nullptr;
    bool m_pageDescriptions = false;
    const SiteSharing *m_sharing = nullptr;
    std::vector<char> m_blocks; // for a page read in blocks
    std::string m_text;         // a block of a decoded page, as UTF-8
    TagPositions m_positions;   // where the tags of a decoded page stand
    std::string m_head;         // the start of a page read in blocks, or of a decoded page's text
};

} // namespace tagsmith
