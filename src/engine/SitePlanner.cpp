#include "engine/SitePlanner.h"

#include "engine/TellingWords.h"
#include "engine/WordIndex.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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

// A page's distinct words in first-seen order (matched ignoring case, as the word index matches
// them) and how often each stands on the page. A word mostly comes back in the same bytes, so those
// are looked up first, without the case folding of the word index.
class PageWordCounts
{
public:
    PageWordCounts() : m_slots(64, Slot{0, 0, Empty, 0}) {}

    void clear()
    {
        words.clear();
        counts.clear();
        m_text.clear();
        std::fill(m_slots.begin(), m_slots.end(), Slot{0, 0, Empty, 0});
        m_used = 0;
    }

    void add(std::string_view word)
    {
        const std::uint64_t hash = hashOf(word);
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot &slot = m_slots[i];
            if (slot.length == Empty)
                break;
            if (slot.hash == hash && slot.length == word.size() &&
                std::string_view(m_text).substr(slot.offset, slot.length) == word) {
                ++counts[slot.row];
                return;
            }
        }
        const std::uint32_t row = words.add(word);
        if (words.added())
            counts.push_back(1);
        else
            ++counts[row];
        if (m_text.size() + word.size() >= Empty)
            return; // (a page of gigabytes) its later words go to the word index only
        if (2 * (m_used + 1) > m_slots.size())
            grow();
        insert(Slot{hash, static_cast<std::uint32_t>(m_text.size()), static_cast<std::uint32_t>(word.size()), row});
        m_text.append(word);
    }

    WordIndex words;
    std::vector<std::uint32_t> counts; // of each word of words

private:
    static constexpr std::uint32_t Empty = UINT32_MAX;
    struct Slot
    {
        std::uint64_t hash;
        std::uint32_t offset; // of the bytes in m_text
        std::uint32_t length; // Empty for an empty slot
        std::uint32_t row;    // in words
    };

    static std::uint64_t hashOf(std::string_view bytes)
    {
        std::uint64_t h = bytes.size() * 0x9E3779B97F4A7C15ULL;
        std::size_t i = 0;
        for (; i + 8 <= bytes.size(); i += 8) {
            std::uint64_t chunk = 0;
            std::memcpy(&chunk, bytes.data() + i, 8);
            h = (h ^ chunk) * 0xFF51AFD7ED558CCDULL;
            h ^= h >> 32;
        }
        std::uint64_t rest = 0;
        std::memcpy(&rest, bytes.data() + i, bytes.size() - i);
        h = (h ^ rest) * 0xC4CEB9FE1A85EC53ULL;
        return h ^ (h >> 29);
    }

    void insert(const Slot &slot)
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].length != Empty)
            i = (i + 1) & mask;
        m_slots[i] = slot;
        ++m_used;
    }

    void grow()
    {
        std::vector<Slot> old(m_slots.size() * 2, Slot{0, 0, Empty, 0});
        old.swap(m_slots);
        m_used = 0;
        for (const Slot &slot : old)
            if (slot.length != Empty)
                insert(slot);
    }

    std::vector<Slot> m_slots; // a power of two long
    std::string m_text;        // the bytes of each slot
    std::size_t m_used = 0;
};

} // namespace

// What a thread reads with.
struct SitePlanner::Worker
{
    PageReader reader;
    PageContent content;
    ScannedPage page;
    PageWordCounts words; // of the page under way

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
    const auto addWord = [&worker](std::string_view word) { worker.words.add(word); };
    int err = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        worker.words.clear();
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
    counts.forms.clear();
    counts.lengths.clear();
    counts.counts.clear();
    counts.description.clear();
    if (err != 0 || !counts.exists)
        return;
    for (std::uint32_t row = 0; row < worker.words.words.size(); ++row) {
        const std::string_view form = worker.words.words.form(row);
        counts.forms.append(form);
        counts.lengths.push_back(static_cast<std::uint32_t>(form.size()));
    }
    counts.counts = worker.words.counts;
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
    std::size_t at = 0;
    for (std::size_t i = 0; i < counts.lengths.size(); ++i) {
        telling.addCounted(std::string_view(counts.forms).substr(at, counts.lengths[i]), counts.counts[i]);
        at += counts.lengths[i];
    }
    descriptions.push_back(std::move(counts.description));
    return telling.endPage();
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
    if (mainKnown && *mainInFolder < 0) {
        PageCounts counts;
        readPage(own, m_options.mainPage, true, counts);
        mainError = counts.error;
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
        if (numbers[i] != Unread)
            planFor(entry, telling.pageWords(numbers[i], count), numbers[i]);
    }
    if (hasMainPage) {
        PagePlan &entry = plan[m_options.mainPage] = PagePlan();
        entry.error = mainError;
        planFor(entry, telling.siteWords(count), mainNumber);
    }
}

} // namespace tagsmith
