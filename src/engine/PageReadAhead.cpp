#include "engine/PageReadAhead.h"

#include <algorithm>
#include <cerrno>

namespace tagsmith {
namespace {

// Enough pages read ahead to keep the processor busy while the disk stalls.
constexpr std::size_t MaxPagesOut = 1024;
// A caller waiting for pages is woken when this many are there (or no more come): on a busy machine
// every wake-up waits for the scheduler, and a wake-up for each page made the run wait for it
// 20,000 times.
constexpr std::size_t WakeAfterPages = 16;

} // namespace

PageReadAhead::PageReadAhead(PageReader &reader, QStringList paths, std::size_t budget)
    : m_reader(reader), m_paths(std::move(paths)), m_budget(budget), m_thread([this] { readPages(); })
{
}

PageReadAhead::~PageReadAhead()
{
    stop();
}

void PageReadAhead::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_room.notify_all();
    m_thread.join();
    m_ready.clear();
    m_free.clear();
}

WordTable PageReadAhead::takeSiteWords()
{
    return std::move(m_siteWords);
}

void PageReadAhead::readPages()
{
    try {
        for (const QString &path : m_paths) {
            readPage(path);
            std::lock_guard lock(m_mutex);
            if (m_stop)
                break;
        }
    } catch (...) {
        // Out of memory: the pages from here on are read by the caller, one at a time.
    }
    std::lock_guard lock(m_mutex);
    m_finished = true;
    m_pageReady.notify_all();
}

bool PageReadAhead::roomFor(std::size_t incoming, std::size_t budget) const
{
    return m_pagesOut == 0 || (m_pagesOut < MaxPagesOut * budget / m_budget && m_memoryOut + incoming <= budget);
}

void PageReadAhead::readPage(const QString &path)
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
    page->PagePath = path;
    page->OnMainPage = false;
    page->replacedBefore = m_replacedCount.load(std::memory_order_acquire);
    page->error = m_reader.open(*page);
    if (page->error == 0) {
        // Its bytes come on top of what is out already. When there is no room, wait until half the
        // budget is free again rather than wake for every page written.
        const auto incoming = static_cast<std::size_t>(page->size) + page->memoryUse();
        std::unique_lock lock(m_mutex);
        if (!roomFor(incoming, m_budget)) {
            if (m_callerWaiting && !m_ready.empty())
                m_pageReady.notify_one();
            m_threadWaiting = true;
            m_room.wait(lock, [&] { return m_stop || roomFor(incoming, m_budget / 2); });
            m_threadWaiting = false;
        }
        if (m_stop)
            return;
        lock.unlock();
        page->error = m_reader.scan(*page);
    }
    page->siteRowsBefore = m_siteWords.size();
    if (page->error == 0)
        m_siteWords.insertAll(page->PageWords);
    page->memory = page->memoryUse();
    std::lock_guard lock(m_mutex);
    ++m_pagesOut;
    m_memoryOut += page->memory;
    m_ready.push_back(std::move(page));
    if (m_callerWaiting && m_ready.size() >= WakeAfterPages)
        m_pageReady.notify_one();
}

std::unique_ptr<ScannedPage> PageReadAhead::next()
{
    std::unique_lock lock(m_mutex);
    if (m_ready.empty() && !m_finished) {
        m_callerWaiting = true;
        m_pageReady.wait(lock, [this] { return !m_ready.empty() || m_finished; });
        m_callerWaiting = false;
    }
    if (m_ready.empty())
        return nullptr;
    auto page = std::move(m_ready.front());
    m_ready.pop_front();
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
    if (m_threadWaiting && (m_pagesOut == 0 || m_memoryOut <= m_budget / 2))
        m_room.notify_one();
}

void PageReadAhead::pageReplaced(const ScannedPage &page)
{
    const std::uint64_t number = m_replacedCount.load(std::memory_order_relaxed);
    m_replaced.push_back({number, {page.device, page.inode}});
    m_replacedCount.store(number + 1, std::memory_order_release);
}

bool PageReadAhead::replacedSince(const ScannedPage &page)
{
    // Pages are opened in order: a replacement from before this page was opened matters to no later
    // page either.
    while (!m_replaced.empty() && m_replaced.front().first < page.replacedBefore)
        m_replaced.pop_front();
    for (const auto &replaced : m_replaced)
        if (replaced.second == std::make_pair(page.device, page.inode))
            return true;
    return false;
}

} // namespace tagsmith
