#pragma once

#include "engine/page/PageReader.h"
#include "engine/page/ScannedPage.h"

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

// Reads and scans the pages of the folder ahead of the run, on threads of their own (one for each
// reader given), while the run writes the pages before them: the processors work on the next pages
// while the disk takes the new ones. Pages are handed out in page order, whichever thread read them.
// The reading changes nothing on disk; everything that does (and every message) stays with the
// caller, page by page in order.
//
// Memory stays bounded: pages are read ahead only while those read and not yet handed back stay
// within a budget of bytes (the page the caller needs next is always allowed, whatever its size);
// pages handed back keep their buffers for the next ones within the same budget.
class PageReadAhead
{
public:
    // Each reader is used by a thread of its own from now on; paths are the pages in run order. The
    // caller's own reader (when given) reads pages ahead on the caller's thread, in next(), where the
    // caller would otherwise wait for the threads.
    PageReadAhead(const std::vector<PageReader *> &readers, QStringList paths, std::size_t budget,
                  PageReader *callersReader = nullptr);
    // stop().
    ~PageReadAhead();

    PageReadAhead(const PageReadAhead &) = delete;
    PageReadAhead &operator=(const PageReadAhead &) = delete;

    // The next page in order, once it is read; null when the threads could not go on (out of memory),
    // and the caller reads the pages from there on itself.
    std::unique_ptr<ScannedPage> next();
    // The caller is done with a page.
    void done(std::unique_ptr<ScannedPage> page);

    // The caller has replaced a page: the file that was there (device, inode) is no longer the page.
    void pageReplaced(const ScannedPage &page);
    // Whether a page replaced since this one was opened was the same file (the page is a link to it,
    // or it was a link to this one). The page must then be read again, as it is now.
    bool replacedSince(const ScannedPage &page);

    // Stops reading and waits for the threads.
    void stop();

private:
    void readPages(PageReader &reader);
    // Takes the number of the next page to read (and the replacements counted before it); false when
    // there is none. With the mutex.
    bool claimPage(qsizetype *index, std::uint64_t *replacedBefore);
    // Reads a claimed page; a failure for want of memory ends the reading ahead at that page.
    bool readClaimed(PageReader &reader, qsizetype index, std::uint64_t replacedBefore);
    // Reads page number index; false when the run stops.
    bool readPage(PageReader &reader, qsizetype index, std::uint64_t replacedBefore);
    bool roomFor(std::size_t incoming, std::size_t budget, qsizetype index) const;
    // The pages ready in order from the caller's next one on, counted up to atMost. With the mutex.
    std::size_t readyInOrder(std::size_t atMost) const;

    const QStringList m_paths;
    const std::size_t m_budget;
    PageReader *const m_callersReader;

    std::mutex m_mutex;
    std::condition_variable m_pageReady; // the caller waits here for a page
    std::condition_variable m_room;      // the threads wait here for memory
    // The pages from number m_nextOut on, in order; null where a page is still being read.
    std::deque<std::unique_ptr<ScannedPage>> m_ready;
    qsizetype m_nextOut = 0;   // the page the caller gets next
    qsizetype m_nextRead = 0;  // the page the next free thread reads
    qsizetype m_failedAt = -1; // the first page a thread could not read (out of memory)
    std::vector<std::unique_ptr<ScannedPage>> m_free; // handed back, kept for their buffers
    std::size_t m_pagesOut = 0;                       // read and not handed back
    std::size_t m_memoryOut = 0;                      // their memory
    std::size_t m_memoryFree = 0;                     // the memory of m_free
    bool m_callerWaiting = false;
    // The pages of the threads waiting for room: one of them becoming the next page is worth a wake-up.
    std::vector<qsizetype> m_waitingPages;
    bool m_stop = false;

    std::atomic<std::uint64_t> m_replacedCount{0};
    // (number of the replacement, (device, inode)) of recent replacements; only the caller uses it.
    std::deque<std::pair<std::uint64_t, std::pair<dev_t, ino_t>>> m_replaced;

    std::vector<std::thread> m_threads;
};

} // namespace tagsmith
