#pragma once

#include "engine/page/PageReader.h"
#include "engine/core/RunOptions.h"
#include "engine/words/WordIndex.h"

#include <QStringList>

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tagsmith {

class TellingWords;

// The first pass of a run with the most telling words: reads every page of the site (the main page
// included) before any is written, and chooses each page's keywords and description. The pages are
// read as their readers see them (PageContent's site reading). The main page gets the words chosen
// most often for the pages. A page without a description tag gets the first paragraph of its main
// content that the site does not repeat: text on many pages of it (navigation, footers, cookie and
// copyright notes) says nothing of one page.
//
// The pages are parsed on as many threads as the processor has cores (up to four), each page's words
// counted on its thread; the counts go into the site's in page order, so the result is the same
// whatever the threads. Only a few pages' counts wait at a time.
//
// A page that cannot be read is read once more (a failure may be passing); when that fails too, its
// plan holds the failure, its words count for no page, and the run fails at that page as it fails at a
// page that cannot be read for its rewrite.
class SitePlanner
{
public:
    SitePlanner(const MetaBlock &block, const MetaNames &names, const MinimumWordLength &minimumLength,
                const RunLimits &limits, const RunOptions &options);

    // mainInFolder becomes the number of the folder's page that is the main page, -1 when none is.
    void planSite(const QStringList &paths, SitePlan &plan, qsizetype *mainInFolder);

private:
    // One page's words as a thread counted them: each distinct word once, in first-seen order.
    struct PageCounts
    {
        int error = 0;
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        WordIndex words; // each distinct word once, in first-seen order
        std::vector<std::uint32_t> counts;
        std::string description;
        bool descriptionFromTag = false;
        std::optional<std::string> title;
        std::vector<PageContent::Paragraph> paragraphs;
        bool ready = false;
    };
    // What the site's pages say besides their words, by their number in telling.
    struct PageTexts
    {
        std::vector<std::string> descriptions; // from the description tag, else empty
        std::vector<bool> fromTag;
        std::vector<std::optional<std::string>> titles;
        std::vector<std::vector<PageContent::Paragraph>> paragraphs;
        std::unordered_map<std::size_t, std::uint32_t> pagesWithParagraph; // by the paragraph's hash
    };
    struct Worker;

    // Reads the page into counts, once more when the first read fails.
    void readPage(Worker &worker, const QString &path, bool OnMainPage, PageCounts &counts) const;
    void work(const QStringList &paths);
    // The page's number in telling, or Unread.
    std::size_t takeCounts(PageCounts &counts, TellingWords &telling, PageTexts &texts) const;
    // Each page's description (UTF-8, empty for none of its own) and its checks.
    void chooseDescriptions(PageTexts &texts, std::vector<std::uint8_t> &checks) const;

    const MetaBlock &m_block;
    const MetaNames &m_names;
    const MinimumWordLength &m_minimumLength;
    RunLimits m_limits;
    const RunOptions &m_options;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<PageCounts> m_slots; // page i in slot i % size
    std::size_t m_next = 0;          // the next page to read
    std::size_t m_taken = 0;         // the pages whose counts are in the site's
};

} // namespace tagsmith
