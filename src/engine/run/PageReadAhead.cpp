#include "engine/run/PageReadAhead.h"

#include <algorithm>
#include <cerrno>

#include <pthread.h>

namespace tagsmith {
namespace {

// Enough pages read ahead to keep the processors busy while the disk stalls.
constexpr std::size_t MaxPagesOut = 1024;
// A caller waiting for pages is woken when this many are there (or no more come): on a busy machine
// every wake-up waits for the scheduler, and a wake-up for each page made the run wait for it
// 20,000 times.
constexpr std::size_t WakeAfterPages = 16;
// The reading threads make pages' META blocks and copies only while the caller has this many pages
// ready to write; a caller with fewer makes them itself, so the side that is behind does less.
constexpr std::size_t LeaveWorkBelow = 8;

} // namespace

PageReadAhead::PageReadAhead(const std::vector<PageReader *> &readers, QStringList paths, std::size_t budget,
                             PageReader *callersReader)
    : m_paths(std::move(paths)), m_budget(budget), m_callersReader(callersReader)
{
    m_threads.reserve(readers.size());
    for (PageReader *reader : readers)
        m_threads.emplace_back([this, reader] {
            // Named, so that top, perf and a debugger tell the reading threads from the caller.
            pthread_setname_np(pthread_self(), "tagsmith-read");
            readPages(*reader);
        });
}

PageReadAhead::~PageReadAhead()
{
    stop();
}

void PageReadAhead::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_room.notify_all();
    for (std::thread &thread : m_threads)
        if (thread.joinable())
            thread.join();
    m_threads.clear();
    m_ready.clear();
    m_free.clear();
}

void PageReadAhead::readPages(PageReader &reader)
{
    for (;;) {
        qsizetype index;
        std::uint64_t replacedBefore;
        {
            std::lock_guard lock(m_mutex);
            if (!claimPage(&index, &replacedBefore))
                break;
        }
        if (!readClaimed(reader, index, replacedBefore))
            break;
    }
    std::lock_guard lock(m_mutex);
    m_pageReady.notify_all();
}

bool PageReadAhead::claimPage(qsizetype *index, std::uint64_t *replacedBefore)
{
    if (m_stop || m_nextRead >= m_paths.size() || m_failedAt >= 0)
        return false;
    // The number of replacements is taken with the page's number, so it grows with the pages: a
    // replacement that counts for a page counts for every later page too.
    *index = m_nextRead++;
    *replacedBefore = m_replacedCount.load(std::memory_order_acquire);
    return true;
}

bool PageReadAhead::readClaimed(PageReader &reader, qsizetype index, std::uint64_t replacedBefore)
{
    try {
        return readPage(reader, index, replacedBefore);
    } catch (...) {
        // Out of memory: the pages from this one on are read by the caller, one at a time.
        std::lock_guard lock(m_mutex);
        if (m_failedAt < 0 || index < m_failedAt)
            m_failedAt = index;
        m_pageReady.notify_all();
        return false;
    }
}

bool PageReadAhead::roomFor(std::size_t incoming, std::size_t budget, qsizetype index) const
{
    // The page the caller waits for always has room, or the run would wait for itself.
    return index == m_nextOut || m_pagesOut == 0 ||
           (m_pagesOut < MaxPagesOut * budget / m_budget && m_memoryOut + incoming <= budget);
}

bool PageReadAhead::readPage(PageReader &reader, qsizetype index, std::uint64_t replacedBefore)
{
    std::unique_ptr<ScannedPage> page;
    {
        std::lock_guard lock(m_mutex);
        if (!m_free.empty()) {
            page = std::move(m_free.back());
            m_free.pop_back();
            m_memoryFree -= std::min(m_memoryFree, page->memory);
        }
    }
    if (!page)
        page = std::make_unique<ScannedPage>();
    page->replacedBefore = replacedBefore;
    page->PagePath = m_paths.at(index);
    page->OnMainPage = false;
    page->error = reader.open(*page);
    if (page->error == 0) {
        // Its bytes come on top of what is out already. When there is no room, wait until half the
        // budget is free again rather than wake for every page written.
        const auto incoming = static_cast<std::size_t>(page->size) + page->memoryUse();
        std::unique_lock lock(m_mutex);
        // The caller reading for itself never waits for room: only it makes room.
        if (&reader != m_callersReader && !roomFor(incoming, m_budget, index)) {
            if (m_callerWaiting && !m_ready.empty() && m_ready.front())
                m_pageReady.notify_one();
            m_waitingPages.push_back(index);
            m_room.wait(lock, [&] { return m_stop || roomFor(incoming, m_budget / 2, index); });
            std::erase(m_waitingPages, index);
        }
        if (m_stop)
            return false;
        lock.unlock();
        page->error = reader.scan(*page);
        // The page's META block (and its copy for undo) are made here while the caller has pages to
        // write, else left to it: whichever side has time makes them. A caller with few pages ready is
        // about to wait for them, so it makes them itself.
        bool makeHere;
        {
            std::lock_guard busyLock(m_mutex);
            makeHere = !m_callerWaiting && readyInOrder(LeaveWorkBelow) >= LeaveWorkBelow;
        }
        if (page->error == 0 && makeHere)
            reader.buildBlock(*page);
    }
    page->memory = page->memoryUse();
    std::lock_guard lock(m_mutex);
    ++m_pagesOut;
    m_memoryOut += page->memory;
    const auto at = static_cast<std::size_t>(index - m_nextOut);
    if (m_ready.size() <= at)
        m_ready.resize(at + 1);
    m_ready[at] = std::move(page);
    if (m_callerWaiting && m_ready.front()) {
        // Wake the caller once a few pages stand ready in order, or the last one.
        const std::size_t inOrder = readyInOrder(WakeAfterPages);
        if (inOrder >= WakeAfterPages || m_nextOut + qsizetype(inOrder) >= m_paths.size())
            m_pageReady.notify_one();
    }
    return true;
}

std::size_t PageReadAhead::readyInOrder(std::size_t atMost) const
{
    std::size_t inOrder = 0;
    while (inOrder < m_ready.size() && inOrder < atMost && m_ready[inOrder])
        ++inOrder;
    return inOrder;
}

std::unique_ptr<ScannedPage> PageReadAhead::next()
{
    std::unique_lock lock(m_mutex);
    const auto ready = [this] { return !m_ready.empty() && m_ready.front(); };
    // No thread reads the page: the reading stopped before it, or there is no such page.
    const auto givenUp = [this] { return (m_failedAt >= 0 && m_nextOut >= m_failedAt) || m_nextOut >= m_paths.size(); };
    while (!ready() && !givenUp()) {
        // Rather than wait for the page, read one further on, while half the budget is free: the
        // threads are behind, and a page read here is a page less for them.
        qsizetype index;
        std::uint64_t replacedBefore;
        if (m_callersReader && roomFor(0, m_budget / 2, -1) && claimPage(&index, &replacedBefore)) {
            lock.unlock();
            readClaimed(*m_callersReader, index, replacedBefore);
            lock.lock();
            continue;
        }
        m_callerWaiting = true;
        m_pageReady.wait(lock, [&] { return ready() || givenUp(); });
        m_callerWaiting = false;
    }
    if (!ready())
        return nullptr;
    auto page = std::move(m_ready.front());
    m_ready.pop_front();
    ++m_nextOut;
    // The page the caller needs next may be waiting for room: it has room now. (Waking the threads
    // for every page taken made each of them wake and wait again 20,000 times.)
    if (std::find(m_waitingPages.begin(), m_waitingPages.end(), m_nextOut) != m_waitingPages.end())
        m_room.notify_all();
    return page;
}

void PageReadAhead::done(std::unique_ptr<ScannedPage> page)
{
    page->close();
    const std::size_t kept = page->memoryUse();
    std::lock_guard lock(m_mutex);
    --m_pagesOut;
    m_memoryOut -= std::min(m_memoryOut, page->memory);
    if (m_memoryOut + m_memoryFree + kept <= m_budget) {
        page->memory = kept;
        m_memoryFree += kept;
        m_free.push_back(std::move(page));
    }
    if (!m_waitingPages.empty() && (m_pagesOut == 0 || m_memoryOut <= m_budget / 2))
        m_room.notify_all();
}

void PageReadAhead::pageReplaced(const ScannedPage &page)
{
    const std::uint64_t number = m_replacedCount.load(std::memory_order_relaxed);
    m_replaced.push_back({number, {page.device, page.inode}});
    m_replacedCount.store(number + 1, std::memory_order_release);
}

bool PageReadAhead::replacedSince(const ScannedPage &page)
{
    // Pages take their number in order: a replacement from before this page was opened matters to no
    // later page either.
    while (!m_replaced.empty() && m_replaced.front().first < page.replacedBefore)
        m_replaced.pop_front();
    for (const auto &replaced : m_replaced)
        if (replaced.second == std::make_pair(page.device, page.inode))
            return true;
    return false;
}

} // namespace tagsmith
