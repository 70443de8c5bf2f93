#include "engine/run/SitePlanner.h"

#include "engine/words/TellingWords.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <thread>

namespace tagsmith {
namespace {

constexpr std::size_t Unread = SIZE_MAX;
// Pages whose counts may wait for the site's, for each thread.
constexpr std::size_t WaitingPerThread = 16;

std::size_t threadCount()
{
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
}

} // namespace

// What a thread reads with.
struct SitePlanner::Worker
{
    PageReader reader;
    PageContent content;
    ScannedPage page;
    WordIndex words; // of the page under way
    std::vector<std::uint32_t> counts;

    explicit Worker(const SitePlanner &planner)
        : reader(planner.m_block, planner.m_names, planner.m_minimumLength, planner.m_limits)
    {
    }
};

SitePlanner::SitePlanner(const MetaBlock &block, const MetaNames &names, const MinimumWordLength &minimumLength,
                         const RunLimits &limits, const RunOptions &options)
    : m_block(block), m_names(names), m_minimumLength(minimumLength), m_limits(limits), m_options(options)
{
}

void SitePlanner::readPage(Worker &worker, const QString &path, bool OnMainPage, PageCounts &counts) const
{
    ScannedPage &page = worker.page;
    const auto addWord = [&worker](std::string_view word) {
        const std::uint32_t row = worker.words.add(word);
        if (worker.words.added())
            worker.counts.push_back(1);
        else
            ++worker.counts[row];
    };
    int err = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        worker.words.clear();
        worker.counts.clear();
        page.PagePath = path;
        page.OnMainPage = OnMainPage;
        err = worker.reader.open(page);
        counts.exists = err == 0 && page.exists;
        counts.device = err == 0 ? page.device : 0;
        counts.inode = err == 0 ? page.inode : 0;
        if (counts.exists) {
            try {
                err = worker.reader.readPage(page, worker.content, addWord, m_options.pageDescriptions);
            } catch (const std::bad_alloc &) {
                err = ENOMEM;
            }
        }
        page.close();
        if (err == 0)
            break;
    }
    counts.error = err;
    counts.description.clear();
    if (err != 0 || !counts.exists) {
        counts.words.clear();
        counts.counts.clear();
        return;
    }
    // The page's words change hands; the worker goes on with what the slot held before.
    std::swap(counts.words, worker.words);
    std::swap(counts.counts, worker.counts);
    counts.description = worker.content.description();
}

void SitePlanner::work(const QStringList &paths)
{
    Worker worker(*this);
    const auto total = static_cast<std::size_t>(paths.size());
    for (;;) {
        std::size_t index = 0;
        {
            std::unique_lock lock(m_mutex);
            if (m_next >= total)
                return;
            index = m_next++;
            // The page's slot is free once the page a round before it is taken.
            m_changed.wait(lock, [&] { return index < m_taken + m_slots.size(); });
        }
        PageCounts &counts = m_slots[index % m_slots.size()];
        readPage(worker, paths.at(static_cast<qsizetype>(index)), false, counts);
        {
            std::lock_guard lock(m_mutex);
            counts.ready = true;
        }
        m_changed.notify_all();
    }
}

std::size_t SitePlanner::takeCounts(PageCounts &counts, TellingWords &telling,
                                    std::vector<std::string> &descriptions) const
{
    if (counts.error != 0 || !counts.exists)
        return Unread;
    descriptions.push_back(std::move(counts.description));
    return telling.addPage(counts.words, counts.counts);
}

void SitePlanner::planSite(const QStringList &paths, SitePlan &plan, qsizetype *mainInFolder)
{
    TellingWords telling;
    std::vector<std::string> descriptions; // of each page read, by its number in telling
    Worker own(*this);                     // for the main page

    // The main page first, to know whether it is one of the folder's pages.
    const bool hasMainPage = !m_options.mainPage.isEmpty();
    ScannedPage &mainPage = own.page;
    int mainError = 0;
    if (hasMainPage) {
        mainPage.PagePath = m_options.mainPage;
        mainPage.OnMainPage = true;
        mainError = own.reader.open(mainPage);
        if (mainError != 0)
            mainError = own.reader.open(mainPage);
        mainPage.close();
    }
    const bool mainKnown = hasMainPage && mainError == 0 && mainPage.exists;
    const dev_t mainDevice = mainPage.device;
    const ino_t mainInode = mainPage.inode;

    *mainInFolder = -1;
    const auto total = static_cast<std::size_t>(paths.size());
    std::vector<std::size_t> numbers(total, Unread); // of each page of the folder in telling
    std::vector<int> errors(total, 0);
    std::vector<std::int64_t> wordsFound(total, 0); // distinct words of each page of the folder
    const std::size_t threads = std::min(threadCount(), std::max<std::size_t>(total, 1));
    m_slots.assign(threads * WaitingPerThread, PageCounts());
    m_next = 0;
    m_taken = 0;
    {
        std::vector<std::thread> workers;
        workers.reserve(threads);
        for (std::size_t t = 0; t < threads; ++t)
            workers.emplace_back([this, &paths] { work(paths); });
        for (std::size_t i = 0; i < total; ++i) {
            PageCounts &counts = m_slots[i % m_slots.size()];
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return counts.ready; });
            }
            numbers[i] = takeCounts(counts, telling, descriptions);
            errors[i] = counts.error;
            wordsFound[i] = static_cast<std::int64_t>(counts.words.size());
            if (counts.error == 0 && mainKnown && counts.device == mainDevice && counts.inode == mainInode)
                *mainInFolder = static_cast<qsizetype>(i);
            {
                std::lock_guard lock(m_mutex);
                counts.ready = false;
                ++m_taken;
            }
            m_changed.notify_all();
        }
        for (std::thread &worker : workers)
            worker.join();
    }
    std::size_t mainNumber = *mainInFolder >= 0 ? numbers[static_cast<std::size_t>(*mainInFolder)] : Unread;
    std::int64_t mainWordsFound = *mainInFolder >= 0 ? wordsFound[static_cast<std::size_t>(*mainInFolder)] : 0;
    if (mainKnown && *mainInFolder < 0) {
        PageCounts counts;
        readPage(own, m_options.mainPage, true, counts);
        mainError = counts.error;
        mainWordsFound = static_cast<std::int64_t>(counts.words.size());
        mainNumber = takeCounts(counts, telling, descriptions);
    }

    const auto count = static_cast<std::size_t>(std::max(m_options.topKeywordCount, 0));
    const auto planFor = [&](PagePlan &entry, const std::vector<std::string_view> &words, std::size_t number) {
        for (const std::string_view word : words) {
            entry.keywords.append(word);
            entry.keywords.push_back('\n');
        }
        if (number != Unread) {
            entry.description = descriptions[number];
            entry.ownDescription = !entry.description.empty();
        }
    };
    for (std::size_t i = 0; i < total; ++i) {
        PagePlan &entry = plan[paths.at(static_cast<qsizetype>(i))];
        entry.error = errors[i];
        entry.wordsFound = wordsFound[i];
        if (numbers[i] != Unread)
            planFor(entry, telling.pageWords(numbers[i], count), numbers[i]);
    }
    if (hasMainPage) {
        PagePlan &entry = plan[m_options.mainPage] = PagePlan();
        entry.error = mainError;
        entry.wordsFound = mainWordsFound;
        planFor(entry, telling.siteWords(count), mainNumber);
    }
}

} // namespace tagsmith
