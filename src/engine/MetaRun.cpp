#include "engine/MetaRun.h"

#include "engine/FileError.h"
#include "engine/FileSystem.h"
#include "engine/PageBackup.h"
#include "engine/PageList.h"
#include "engine/PageReadAhead.h"
#include "engine/PageReplacement.h"
#include "engine/PageSplicer.h"
#include "text/StringTable.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

namespace tagsmith {
namespace {

// Whether two reads of a page gave the same bytes, and so the same words and marks.
bool sameBytes(const ScannedPage &a, const ScannedPage &b)
{
    return a.error == 0 && b.error == 0 && a.whole && b.whole && a.size == b.size &&
           std::memcmp(a.bytes.data(), b.bytes.data(), static_cast<std::size_t>(a.size)) == 0;
}

// Stops the reading ahead; the site words of the pages before the one whose site words started at
// row number rows.
WordTable siteWordsBefore(PageReadAhead &ahead, std::size_t rows)
{
    ahead.stop();
    WordTable words = ahead.takeSiteWords();
    words.truncate(rows);
    return words;
}

} // namespace

MetaRun::MetaRun(const RunOptions &options, RunObserver &observer, const RunLimits &limits)
    : m_options(options), m_observer(observer), m_limits(limits), m_block(options), m_names(m_block.metaNames()),
      m_minimumLength(options.minLength, options.minLengthText.toStdString()),
      m_reader(m_block, m_names, m_minimumLength, limits), m_aheadReader(m_block, m_names, m_minimumLength, limits)
{
    m_limits.blockSize = std::max<std::size_t>(m_limits.blockSize, 1);
}

void MetaRun::AddWord(std::string_view CurrentWord)
{
    if (m_minimumLength.admits(CurrentWord))
        PageWords.insert(CurrentWord);
}

RunResult MetaRun::run()
{
    PageWords.ClearWordTable();
    SiteWords.ClearWordTable();
    if (m_options.folder.isEmpty()) {
        m_observer.message({ids::ErrorTitle, ids::NoDirectory, {}});
        return RunResult::NotStarted;
    }
    int error = 0;
    const QStringList pages = listPages(m_options.folder, &error);
    if (error != 0) {
        m_observer.message({ids::ErrorTitle, ids::FileErrorBase + error, m_options.folder});
        return RunResult::NotStarted;
    }
    if (pages.isEmpty()) {
        m_observer.message({ids::ErrorTitle, ids::NoPages, {}});
        return RunResult::NotStarted;
    }

    const bool hasMainPage = !m_options.mainPage.isEmpty();
    const auto count = static_cast<std::int64_t>(pages.size()) + (hasMainPage ? 1 : 0);
    QString folder = m_options.folder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    QStringList paths;
    paths.reserve(pages.size());
    for (const QString &page : pages)
        paths << folder + page;

    std::int64_t index = 0;
    {
        std::optional<PageReadAhead> ahead;
        if (m_limits.readAheadBudget > 0)
            ahead.emplace(m_aheadReader, paths, m_limits.readAheadBudget);
        ScannedPage own; // a page read here
        for (const QString &PagePath : std::as_const(paths)) {
            m_observer.pageStarted(PagePath, index++, count);
            std::unique_ptr<ScannedPage> page = ahead ? ahead->next() : nullptr;
            ScannedPage *current = page.get();
            if (page && (page->error != 0 || page->throughLink || ahead->replacedSince(*page))) {
                // Read it again now, as it stands after the pages before it: a failure may have been
                // passing, and a linked page may be one of the pages rewritten since.
                own.PagePath = PagePath;
                m_reader.read(own);
                current = &own;
                if (!sameBytes(own, *page)) {
                    // Its words are not those the site words took: from here on page by page.
                    SiteWords = siteWordsBefore(*ahead, page->siteRowsBefore);
                    page.reset();
                    ahead.reset();
                }
            } else if (!page) {
                if (ahead) {
                    // The reading ahead gave up (out of memory) after the page before this one.
                    SiteWords = siteWordsBefore(*ahead, static_cast<std::size_t>(-1));
                    ahead.reset();
                }
                own.PagePath = PagePath;
                m_reader.read(own);
                current = &own;
            }
            QString failedPath;
            const int err = processPage(*current, !ahead, &failedPath);
            if (ahead && err == 0)
                ahead->pageReplaced(*current);
            if (page)
                ahead->done(std::move(page));
            if (err != 0) {
                m_observer.message({ids::ErrorTitle, ids::FileErrorBase + err, failedPath});
                return RunResult::Failed;
            }
        }
        if (ahead)
            SiteWords = siteWordsBefore(*ahead, static_cast<std::size_t>(-1));
    }
    // NOTE: the main page comes after all pages of the folder, also when it is one of them; it is
    // then rewritten a second time, now with the words of the whole site.
    if (hasMainPage) {
        ScannedPage page;
        page.PagePath = m_options.mainPage;
        page.OnMainPage = true;
        m_observer.pageStarted(page.PagePath, index++, count);
        m_reader.read(page);
        QString failedPath;
        if (const int err = processPage(page, true, &failedPath); err != 0) {
            m_observer.message({ids::ErrorTitle, ids::FileErrorBase + err, failedPath});
            return RunResult::Failed;
        }
    }
    SiteWords.ClearWordTable();
    return RunResult::Completed;
}

int MetaRun::processPage(ScannedPage &page, bool addToSiteWords, QString *failedPath)
{
    int err = page.error;
    std::string failed;
    if (err == 0) {
        // PageWords holds the words of the page under work.
        std::swap(PageWords, page.PageWords);
        if (addToSiteWords)
            SiteWords.insertAll(PageWords);
        err = RewritePage(page, &failed);
        std::swap(PageWords, page.PageWords);
    }
    page.close();
    if (err == 0)
        return 0;
    *failedPath = failed.empty() ? page.PagePath : fs::fromNative(failed);
    return fileErrorFromErrno(err);
}

int MetaRun::RewritePage(ScannedPage &page, std::string *failedPath)
{
    PageBackup backup;
    if (const int err = backup.choose(page.nativePath); err != 0) {
        *failedPath = backup.BackupPath();
        return err;
    }
    if (m_options.backup)
        m_observer.backupChosen(fs::fromNative(backup.BackupPath()));

    if (page.OnMainPage)
        m_block.build(SiteWords, page.encoding, page.block);
    if (page.marks.MarkCount == 0)
        m_observer.message({ids::ErrorTitle, ids::NoMarkAppending, page.PagePath});

    // The new page is made beside the page and renamed over it: when the folder refuses either, the
    // folder is what failed (the page itself may well be writable).
    PageReplacement replacement(page.target);
    if (const int err = replacement.create(page.mode, page.owner, page.group, m_limits.blockSize); err != 0) {
        *failedPath = replacement.folder();
        return err;
    }
    PageSplicer splicer(page.marks, page.block, replacement.sink());
    if (page.whole) {
        splicer.feed(std::string_view(page.bytes.data(), static_cast<std::size_t>(page.size)));
    } else if (const int err = PageReader::forEachBlock(page.file.fd(), page.size, m_limits.blockSize, m_buffer,
                                                        [&splicer](std::string_view bytes) {
                                                            splicer.feed(bytes);
                                                            return true;
                                                        });
               err != 0) {
        return err;
    }
    if (!splicer.finish())
        return EIO; // the page became shorter between the scan and the rewrite
    if (const int err = replacement.close(); err != 0)
        return err;

    if (m_options.backup) {
        const std::string_view bytes(page.bytes.data(), static_cast<std::size_t>(page.size));
        if (const int err =
                backup.make(page.target, page.file.fd(), page.whole ? &bytes : nullptr, page.exists, page.mode);
            err != 0) {
            *failedPath = backup.BackupPath();
            return err;
        }
    }
    if (const int err = replacement.commit(); err != 0) {
        if (m_options.backup)
            backup.undo();
        *failedPath = replacement.folder();
        return err;
    }
    if (!m_options.backup) {
        if (const int err = backup.releaseTakenOver(); err != 0) {
            *failedPath = backup.BackupPath();
            return err;
        }
    }
    return 0;
}

} // namespace tagsmith
