#pragma once

#include "engine/PageReader.h"
#include "engine/ScannedPage.h"
#include "engine/WordTable.h"

#include <QStringList>

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tagsmith {

// Reads and scans the pages of the folder on a thread of its own, in page order, while the run writes
// the pages before them: the processor works on the next pages while the disk takes the new ones.
// The thread also adds each page's words to the site words, in page order. The reading changes
// nothing on disk; everything that does (and every message) stays with the caller, page by page in
// order.
//
// Memory stays bounded: pages are read ahead only while those read and not yet handed back stay
// within a budget of bytes (a single page of any size is always allowed); pages handed back keep
// their buffers for the next ones within the same budget.
class PageReadAhead
{
public:
    // reader is used only by the thread from now on; paths are the pages in run order.
    PageReadAhead(PageReader &reader, QStringList paths, std::size_t budget);
    // stop().
    ~PageReadAhead();

    PageReadAhead(const PageReadAhead &) = delete;
    PageReadAhead &operator=(const PageReadAhead &) = delete;

    // The next page in order as the thread read it, once it is there; null when the thread could not
    // go on (out of memory), and the caller reads the pages from there on itself.
    std::unique_ptr<ScannedPage> next();
    // The caller is done with a page.
    void done(std::unique_ptr<ScannedPage> page);

    // The caller has replaced a page: the file that was there (device, inode) is no longer the page.
    void pageReplaced(const ScannedPage &page);
    // Whether a page replaced since this one was opened was the same file (the page is a link to it,
    // or it was a link to this one). The page must then be read again, as it is now.
    bool replacedSince(const ScannedPage &page);

    // Stops reading and waits for the thread.
    void stop();
    // After stop(): the site words of every page read, in page order. The pages handed out (from
    // next()) each know how many rows there were before their words.
    WordTable takeSiteWords();

private:
    void readPages();
    void readPage(const QString &path);
    bool roomFor(std::size_t incoming, std::size_t budget) const;

    PageReader &m_reader;
    const QStringList m_paths;
    const std::size_t m_budget;
    WordTable m_siteWords; // the thread's until stop()

    std::mutex m_mutex;
    std::condition_variable m_pageReady; // the caller waits here for a page
    std::condition_variable m_room;      // the thread waits here for memory
    std::deque<std::unique_ptr<ScannedPage>> m_ready;
    std::vector<std::unique_ptr<ScannedPage>> m_free; // handed back, kept for their buffers
    std::size_t m_pagesOut = 0;                       // read and not handed back
    std::size_t m_memoryOut = 0;                      // their memory
    std::size_t m_memoryFree = 0;                     // the memory of m_free
    bool m_callerWaiting = false;
    bool m_threadWaiting = false;
    bool m_stop = false;
    bool m_finished = false; // the thread reads no more pages

    std::atomic<std::uint64_t> m_replacedCount{0};
    // (number of the replacement, (device, inode)) of recent replacements; only the caller uses it.
    std::deque<std::pair<std::uint64_t, std::pair<dev_t, ino_t>>> m_replaced;

    std::thread m_thread;
};

} // namespace tagsmith
