#include "engine/run/SitePlanner.h"

#include "engine/encoding/Utf8.h"
#include "engine/words/TellingWords.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
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
        content.setSiteReading(true);
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
    counts.descriptionFromTag = false;
    counts.title.reset();
    counts.paragraphs.clear();
    if (err != 0 || !counts.exists) {
        counts.words.clear();
        counts.counts.clear();
        return;
    }
    // The page's words change hands; the worker goes on with what the slot held before.
    std::swap(counts.words, worker.words);
    std::swap(counts.counts, worker.counts);
    counts.description = worker.content.description();
    counts.descriptionFromTag = worker.content.descriptionFromTag();
    counts.title = worker.content.title();
    counts.paragraphs = worker.content.takeParagraphs();
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

std::size_t SitePlanner::takeCounts(PageCounts &counts, TellingWords &telling, PageTexts &texts) const
{
    if (counts.error != 0 || !counts.exists)
        return Unread;
    texts.descriptions.push_back(std::move(counts.description));
    texts.fromTag.push_back(counts.descriptionFromTag);
    texts.titles.push_back(std::move(counts.title));
    // A paragraph counts once for each page it stands on.
    for (std::size_t i = 0; i < counts.paragraphs.size(); ++i) {
        const std::size_t hash = counts.paragraphs[i].hash;
        bool before = false;
        for (std::size_t j = 0; j < i && !before; ++j)
            before = counts.paragraphs[j].hash == hash;
        if (!before)
            ++texts.pagesWithParagraph[hash];
    }
    // Only those that may be the page's description wait for the whole site.
    std::erase_if(counts.paragraphs, [](const PageContent::Paragraph &paragraph) { return paragraph.text.empty(); });
    texts.paragraphs.emplace_back(std::make_move_iterator(counts.paragraphs.begin()),
                                  std::make_move_iterator(counts.paragraphs.end()));
    return telling.addPage(counts.words, counts.counts);
}

void SitePlanner::chooseDescriptions(PageTexts &texts, std::vector<std::uint8_t> &checks) const
{
    const std::size_t pages = texts.descriptions.size();
    // Repeated: on more than a few pages and more than a small share of the site.
    const auto repeated = [&](std::size_t hash) {
        const auto found = texts.pagesWithParagraph.find(hash);
        const std::size_t with = found == texts.pagesWithParagraph.end() ? 0 : found->second;
        return with > 5 && with * 50 > pages;
    };
    for (std::size_t n = 0; n < pages; ++n) {
        if (texts.fromTag[n] || !m_options.pageDescriptions)
            continue;
        for (const PageContent::Paragraph &paragraph : texts.paragraphs[n])
            if (!paragraph.text.empty() && !repeated(paragraph.hash)) {
                texts.descriptions[n] = paragraph.text;
                break;
            }
    }

    // What each page's title and written description are, and on how many pages each stands.
    checks.assign(pages, 0);
    const std::string given = m_options.siteDescription.toStdString();
    std::unordered_map<std::string_view, std::uint32_t> titles;
    std::unordered_map<std::string_view, std::uint32_t> descriptions;
    const auto written = [&](std::size_t n) -> std::string_view {
        if (!m_options.description)
            return {};
        return texts.descriptions[n].empty() ? std::string_view(given) : std::string_view(texts.descriptions[n]);
    };
    for (std::size_t n = 0; n < pages; ++n) {
        if (texts.titles[n] && !texts.titles[n]->empty())
            ++titles[*texts.titles[n]];
        if (!written(n).empty())
            ++descriptions[written(n)];
    }
    for (std::size_t n = 0; n < pages; ++n) {
        std::uint8_t &check = checks[n];
        if (!texts.titles[n] || texts.titles[n]->empty())
            check |= pagecheck::NoTitle;
        else if (titles[*texts.titles[n]] > 1)
            check |= pagecheck::TitleElsewhere;
        const std::string_view description = written(n);
        if (description.empty())
            continue;
        if (descriptions[description] > 1)
            check |= pagecheck::DescriptionElsewhere;
        const std::size_t length = characterCount(collapseWhiteSpace(description));
        if (length < pagecheck::ShortBelow)
            check |= pagecheck::DescriptionShort;
        else if (length > pagecheck::LongAbove)
            check |= pagecheck::DescriptionLong;
    }
}

void SitePlanner::planSite(const QStringList &paths, SitePlan &plan, qsizetype *mainInFolder)
{
    TellingWords telling;
    PageTexts texts;
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
            numbers[i] = takeCounts(counts, telling, texts);
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
        mainNumber = takeCounts(counts, telling, texts);
    }
    std::vector<std::uint8_t> checks;
    chooseDescriptions(texts, checks);

    const auto count = static_cast<std::size_t>(std::max(m_options.topKeywordCount, 0));
    const auto planFor = [&](PagePlan &entry, const std::vector<std::string_view> &words, std::size_t number) {
        for (const std::string_view word : words) {
            entry.keywords.append(word);
            entry.keywords.push_back('\n');
        }
        if (number != Unread) {
            entry.description = texts.descriptions[number];
            entry.ownDescription = !entry.description.empty();
            entry.descriptionFromTag = entry.ownDescription && texts.fromTag[number];
            entry.checks = checks[number];
        }
    };
    TellingWords::Choices choices; // the pages' chosen words, for the main page's
    for (std::size_t i = 0; i < total; ++i) {
        PagePlan &entry = plan[paths.at(static_cast<qsizetype>(i))];
        entry.error = errors[i];
        entry.wordsFound = wordsFound[i];
        if (numbers[i] != Unread)
            planFor(entry, telling.pageWords(numbers[i], count, i == std::size_t(*mainInFolder) ? nullptr : &choices),
                    numbers[i]);
    }
    if (hasMainPage) {
        PagePlan &entry = plan[m_options.mainPage] = PagePlan();
        entry.error = mainError;
        entry.wordsFound = mainWordsFound;
        planFor(entry, telling.siteWords(count, choices), mainNumber);
    }
}

} // namespace tagsmith
