#include "engine/run/MetaRun.h"

#include "engine/fs/FileError.h"
#include "engine/fs/FileSystem.h"
#include "engine/page/LeftoverTemporaries.h"
#include "engine/page/PageBackup.h"
#include "engine/page/PageHash.h"
#include "engine/page/PageReplacement.h"
#include "engine/page/PageSplicer.h"
#include "engine/run/PageList.h"
#include "engine/run/PageReadAhead.h"
#include "engine/run/RunChecks.h"
#include "engine/run/RunReport.h"
#include "engine/run/SitePlanner.h"
#include "engine/run/Sitemap.h"
#include "engine/undo/Undo.h"
#include "text/StringTable.h"

#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_set>
#include <utility>

namespace tagsmith {
namespace {

// Threads that read pages ahead: one for each processor but the one the writing thread needs, at
// least one, at most four. (On two processors a second reading thread made the run a third slower:
// the three threads took turns on two processors.)
std::size_t readingThreads(const RunLimits &limits)
{
    if (limits.readingThreads > 0)
        return limits.readingThreads;
    const unsigned processors = std::thread::hardware_concurrency();
    return std::clamp<std::size_t>(processors > 1 ? processors - 1 : 1, 1, 4);
}

// Compares the bytes written to it with the page's bytes from its start on.
class ComparingSink final : public ByteSink
{
public:
    explicit ComparingSink(int fd) : m_fd(fd) {}

    void write(std::string_view bytes) override
    {
        if (!m_same || bytes.empty())
            return;
        m_old.resize(bytes.size());
        std::size_t got = 0;
        m_error = fs::readAt(m_fd, m_old.data(), m_position, bytes.size(), &got);
        m_same = m_error == 0 && got == bytes.size() && std::memcmp(m_old.data(), bytes.data(), got) == 0;
        m_position += static_cast<std::int64_t>(got);
    }

    bool same(std::int64_t size) const { return m_same && m_position == size; }
    int error() const { return m_error; }

private:
    int m_fd;
    std::int64_t m_position = 0;
    std::vector<char> m_old;
    bool m_same = true;
    int m_error = 0;
};

} // namespace

MetaRun::MetaRun(const RunOptions &options, RunObserver &observer, const RunLimits &limits)
    : m_options(options), m_observer(observer), m_limits(limits), m_sharing(options), m_block(options),
      m_names(m_block.metaNames()), m_minimumLength(options.minLength, options.minLengthText.toStdString()),
      m_reader(m_block, m_names, m_minimumLength, limits)
{
    m_limits.blockSize = std::max<std::size_t>(m_limits.blockSize, 1);
    m_reader.setPageDescriptions(options.pageDescriptions);
    m_reader.setSharing(&m_sharing);
    for (std::size_t i = readingThreads(limits) + 1; i > 0; --i) {
        m_aheadReaders.push_back(std::make_unique<PageReader>(m_block, m_names, m_minimumLength, limits));
        m_aheadReaders.back()->setPageDescriptions(options.pageDescriptions);
        m_aheadReaders.back()->setSharing(&m_sharing);
    }
}

void MetaRun::AddWord(std::string_view CurrentWord)
{
    if (m_minimumLength.admits(CurrentWord))
        PageWords.insert(CurrentWord);
}

RunResult MetaRun::run()
{
    m_startedMs = QDateTime::currentMSecsSinceEpoch();
    PageWords.ClearWordTable();
    SiteWords.ClearWordTable();
    if (m_options.folder.isEmpty()) {
        m_observer.message({ids::ErrorTitle, ids::NoDirectory, {}});
        return RunResult::NotStarted;
    }
    if (!m_options.siteUrl.isEmpty() && !m_sharing.on()) {
        m_observer.message({ids::ErrorTitle, ids::BadSiteAddress, m_options.siteUrl});
        return RunResult::NotStarted;
    }
    // One run or undo of a folder at a time, held until the run returns.
    fs::File lock;
    if (!m_options.dryRun)
        if (const std::optional<Message> busy = takeFolderLock(fs::absoluteCleanPath(m_options.folder), &lock)) {
            m_observer.message(*busy);
            return RunResult::NotStarted;
        }
    int error = 0;
    // The one listing of the folder also finds what lookAtFolders() needs from it.
    m_folderListing = FolderListing();
    const QStringList pages =
        listPages(m_options.folder, &error, [this](const fs::FolderEntry &entry) { m_folderListing.take(entry); });
    if (error != 0) {
        m_observer.message({ids::ErrorTitle, ids::FileErrorBase + error, m_options.folder});
        return RunResult::NotStarted;
    }
    if (pages.isEmpty()) {
        m_observer.message({ids::ErrorTitle, ids::NoPages, m_options.folder});
        return RunResult::NotStarted;
    }
    for (const auto refuse : {refuseMainPage, refuseShareImage})
        if (const std::optional<Refusal> refused = refuse(m_options)) {
            m_observer.message({ids::ErrorTitle, refused->textId, refused->path, -1, refused->argument});
            return RunResult::NotStarted;
        }

    if (!m_options.dataFolder.isEmpty() && !m_options.dryRun) {
        m_undoStore.emplace(m_options.dataFolder);
        m_undo.emplace(*m_undoStore, m_options.folder, m_options.keepUndo,
                       m_options.undoBudget > 0 ? m_options.undoBudget : UndoStore::DefaultBudget);
        // A safety net that silently goes is worse than none: without undo data the run does not
        // start, unless it was asked to go without.
        if (m_options.keepUndo)
            if (const int err = m_undo->start(m_startedMs); err != 0) {
                m_observer.message({ids::ErrorTitle, ids::FileErrorBase + fileErrorFromErrno(err),
                                    fs::fromNative(m_undo->failedPath())});
                m_observer.message({ids::ErrorTitle, ids::UndoCannotKeep, {}});
                return RunResult::NotStarted;
            }
    }
    const RunResult result = runPages(pages);
    if (m_undo) {
        m_undo->finish(); // a journal that is not marked finished serves as well
        for (const std::int64_t started : m_undo->dropped()) {
            Message dropped{ids::WarningTitle, ids::UndoRunDropped, {}};
            dropped.argument = QDateTime::fromMSecsSinceEpoch(started).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            m_observer.message(dropped);
        }
    }
    return result;
}

RunResult MetaRun::runPages(const QStringList &pages)
{
    const bool hasMainPage = !m_options.mainPage.isEmpty();
    QString folder = m_options.folder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_folder = folder;
    QStringList paths;
    paths.reserve(pages.size());
    for (const QString &page : pages)
        paths << folder + page;
    if (m_options.dryRun)
        findSharedFiles(paths);

    SitePlan plan;
    qsizetype mainInFolder = -1; // with the most telling words it is written once, at the end
    if (m_options.topKeywords) {
        SitePlanner(m_block, m_names, m_minimumLength, m_limits, m_options).planSite(paths, plan, &mainInFolder);
        m_reader.setPlan(&plan);
        for (const auto &reader : m_aheadReaders)
            reader->setPlan(&plan);
    }
    const auto count = static_cast<std::int64_t>(pages.size()) + (hasMainPage ? 1 : 0) - (mainInFolder >= 0 ? 1 : 0);
    if (m_sharing.on() && hasMainPage) {
        // The main page's title names the site on every page, and the pages are read ahead from here.
        ScannedPage main;
        main.PagePath = m_options.mainPage;
        main.OnMainPage = true;
        if (m_reader.read(main) == 0 && main.share)
            m_sharing.setSiteName(main.share->title);
        // Whether the site's main page changed is told against what it was before its first write.
        if (main.error == 0 && main.exists && main.whole)
            m_mainBefore.emplace(main.bytes.data(), static_cast<std::size_t>(main.size));
    }

    std::int64_t index = 0;
    bool stopped = false; // on request, between two pages
    {
        std::optional<PageReadAhead> ahead;
        if (m_limits.readAheadBudget > 0) {
            std::vector<PageReader *> readers;
            for (const auto &reader : m_aheadReaders)
                readers.push_back(reader.get());
            PageReader *callers = readers.back();
            readers.pop_back();
            ahead.emplace(readers, paths, m_limits.readAheadBudget, callers);
        }
        // While the first pages are read.
        lookAtFolders(hasMainPage);
        ScannedPage own; // a page read here
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const QString &PagePath = paths.at(i);
            if (i == mainInFolder) {
                if (ahead) {
                    if (std::unique_ptr<ScannedPage> skipped = ahead->next())
                        ahead->done(std::move(skipped));
                    else
                        ahead.reset();
                }
                continue;
            }
            if (index > 0 && m_observer.stopRequested()) {
                reportNotReached(paths, i, mainInFolder, hasMainPage);
                stopped = true;
                break;
            }
            m_observer.pageStarted(PagePath, index++, count);
            PageReport report = reportFor(PagePath, false);
            std::unique_ptr<ScannedPage> page = ahead ? ahead->next() : nullptr;
            ScannedPage *current = page.get();
            if (page && (page->error != 0 || page->throughLink || ahead->replacedSince(*page) ||
                         (m_options.dryRun && dryWritten(*page)))) {
                // Read it again now, as it stands after the pages before it: a failure may have been
                // passing, and a linked page may be one of the pages rewritten since.
                own.PagePath = PagePath;
                readPage(own);
                current = &own;
            } else if (!page) {
                // The reading ahead gave up (out of memory) before this page: from here on page by page.
                ahead.reset();
                own.PagePath = PagePath;
                readPage(own);
                current = &own;
            }
            const int err = processPage(*current, !m_options.topKeywords, report);
            if (ahead && err == 0)
                ahead->pageReplaced(*current);
            if (page)
                ahead->done(std::move(page));
            this->report(report, err);
            if (err != 0) {
                reportNotReached(paths, i + 1, mainInFolder, hasMainPage);
                return RunResult::Failed;
            }
        }
    }
    if (m_options.topKeywords) {
        SiteWords.ClearWordTable();
        plan.value(m_options.mainPage).keywordsInto(SiteWords);
    }
    // NOTE: the main page comes after all pages of the folder, also when it is one of them; it is
    // then rewritten a second time, now with the words of the whole site.
    if (hasMainPage && !stopped && index > 0 && m_observer.stopRequested()) {
        reportNotReached(paths, paths.size(), -1, true);
        stopped = true;
    }
    if (hasMainPage && !stopped) {
        ScannedPage page;
        page.PagePath = m_options.mainPage;
        page.OnMainPage = true;
        m_observer.pageStarted(page.PagePath, index++, count);
        PageReport report = reportFor(page.PagePath, true);
        readPage(page);
        const int err = processPage(page, !m_options.topKeywords, report);
        this->report(report, err);
        if (err != 0)
            return RunResult::Failed;
    }
    SiteWords.ClearWordTable();
    if (m_sharing.on() && writeSiteFiles(index, count) != 0)
        return RunResult::Failed;
    // Completed means the pages are on the disk.
    if (const auto [err, where] = syncWritten(); err != 0) {
        m_observer.message({ids::ErrorTitle, ids::FileErrorBase + fileErrorFromErrno(err), where});
        return RunResult::Failed;
    }
    return stopped ? RunResult::Cancelled : RunResult::Completed;
}

void MetaRun::FolderListing::take(const fs::FolderEntry &entry)
{
    const std::string_view name = entry.name();
    if (name.front() == '.')
        hidden.emplace_back(name);
    // (A main page may be a dot-file, and so may its backup.)
    if (ListedBackups::looksLikeBackup(name))
        backups.emplace(name);
}

void MetaRun::lookAtFolders(bool hasMainPage)
{
    // The folder, as listed for its pages, and the main page's folder when that is another one.
    const QString folder = fs::absoluteCleanPath(m_options.folder);
    const std::string path = fs::native(m_folder);
    m_listedBackups.listed(path, std::move(m_folderListing.backups));
    removeLeftovers(folder, path, m_folderListing.hidden);
    m_folderListing = FolderListing();
    if (hasMainPage) {
        const QString mainFolder = fs::absoluteCleanPath(m_options.mainPage + QStringLiteral("/.."));
        if (mainFolder != folder) {
            const std::string mainPath = fs::native(mainFolder);
            FolderListing listing;
            if (fs::listFolder(mainPath, [&listing](const fs::FolderEntry &entry) { listing.take(entry); }) == 0)
                removeLeftovers(mainFolder, mainPath, listing.hidden);
        }
    }
}

void MetaRun::removeLeftovers(const QString &shown, const std::string &path, const std::vector<std::string> &hidden)
{
    if (!m_options.dryRun)
        if (const int removed = removeLeftoverTemporaries(path, hidden); removed > 0)
            m_observer.message({ids::WarningTitle, ids::TemporariesRemoved, shown, removed});
}

void MetaRun::pageWritten(const ScannedPage &page)
{
    for (const auto &written : m_writtenFolders)
        if (written.first == page.device)
            return;
    m_writtenFolders.emplace_back(page.device, fs::folderOf(page.target));
}

std::pair<int, QString> MetaRun::syncWritten()
{
    for (const auto &[device, folder] : m_writtenFolders)
        if (const int err = fs::syncFileSystem(folder); err != 0)
            return {err, fs::fromNative(folder)};
    return {0, QString()};
}

void MetaRun::readPage(ScannedPage &page)
{
    m_reader.read(page);
    if (!m_options.dryRun || page.error != 0)
        return;
    // A link to a file the run would have removed by now leads nowhere, as it then does in the run.
    if (page.throughLink && m_dryRemoved.count(page.target) != 0) {
        page.close();
        page.error = ENOENT;
        return;
    }
    if (const std::string *bytes = dryWritten(page))
        m_reader.scanInstead(page, *bytes);
}

namespace {

// The path with every link resolved; empty for a file that does not exist.
std::string resolved(const std::string &path)
{
    std::string file;
    return fs::realPath(path, &file) == 0 ? file : std::string();
}

} // namespace

void MetaRun::findSharedFiles(const QStringList &paths)
{
    QStringList all = paths;
    if (!m_options.mainPage.isEmpty())
        all << m_options.mainPage;
    for (const QString &path : std::as_const(all)) {
        const std::string file = resolved(fs::native(path));
        if (!file.empty() && !m_dryPageFiles.insert(file).second)
            m_dryWritten[file] = std::nullopt;
    }
}

const std::string *MetaRun::dryWritten(const ScannedPage &page) const
{
    if (m_dryWritten.empty() || !page.exists)
        return nullptr;
    const auto written = m_dryWritten.find(resolved(page.target));
    return written != m_dryWritten.end() && written->second ? &*written->second : nullptr;
}

PageReport MetaRun::reportFor(const QString &PagePath, bool OnMainPage) const
{
    PageReport report;
    report.PagePath = PagePath;
    report.relativePath =
        PagePath.startsWith(m_folder) ? PagePath.mid(m_folder.size()) : fs::relativePath(m_folder, PagePath);
    report.OnMainPage = OnMainPage;
    return report;
}

void MetaRun::report(PageReport &page, int err)
{
    if (err != 0) {
        page.outcome = PageOutcome::Failed;
        page.fileError = err;
        m_observer.message(
            {ids::ErrorTitle, ids::FileErrorBase + err, page.failedPath.isEmpty() ? page.PagePath : page.failedPath});
    }
    m_observer.pageReported(page);
}

void MetaRun::reportNotReached(const QStringList &paths, qsizetype from, qsizetype skipped, bool mainPageToo)
{
    for (qsizetype i = from; i < paths.size(); ++i)
        if (i != skipped)
            m_observer.pageReported(reportFor(paths.at(i), false));
    if (mainPageToo)
        m_observer.pageReported(reportFor(m_options.mainPage, true));
}

int MetaRun::processPage(ScannedPage &page, bool addToSiteWords, PageReport &report)
{
    int err = page.error;
    if (err == 0) {
        report.encoding = page.encoding;
        report.charset = QString::fromStdString(page.charset);
        report.encodingNote = page.encodingNote;
        report.bytesBefore = page.size;
        report.wordsFound = page.plannedWordsFound.value_or(static_cast<std::int64_t>(page.PageWords.size()));
        report.checks = page.checks;
        if (!m_options.description)
            report.descriptionSource = DescriptionSource::None;
        else if (page.ownDescription)
            report.descriptionSource = page.descriptionFromTag ? DescriptionSource::OwnTag : DescriptionSource::Content;
        else
            report.descriptionSource =
                m_options.siteDescription.isEmpty() ? DescriptionSource::None : DescriptionSource::Given;
        // PageWords holds the words of the page under work.
        std::swap(PageWords, page.PageWords);
        if (addToSiteWords)
            SiteWords.insertAll(PageWords);
        std::string failed;
        err = RewritePage(page, report, &failed);
        std::swap(PageWords, page.PageWords);
        if (!failed.empty())
            report.failedPath = fs::fromNative(failed);
    }
    page.close();
    if (err == 0 && !m_options.dryRun)
        pageWritten(page);
    return err == 0 ? 0 : fileErrorFromErrno(err);
}

namespace {

// Where a page's new bytes go: counted, kept when someone wants to see them (keep), and written to
// the file unless the run is dry (no file). With inPieces the bytes stay where they are until the page
// is done (a page read whole, and its block): only where they stand is noted, and passPieces() hands
// them to the file at once.
class PageOutput final : public ByteSink
{
public:
    PageOutput(ByteSink *file, bool keep, bool inPieces) : m_file(file), m_keep(keep), m_inPieces(inPieces) {}

    void write(std::string_view bytes) override
    {
        m_count += static_cast<std::int64_t>(bytes.size());
        if (m_keep)
            m_bytes.append(bytes);
        if (m_inPieces)
            m_pieces.push_back(bytes);
        else if (m_file)
            m_file->write(bytes);
    }

    void passPieces()
    {
        if (m_file)
            m_file->writePieces(m_pieces);
    }

    std::int64_t count() const { return m_count; }
    std::string &bytes() { return m_bytes; }
    std::span<const std::string_view> pieces() const { return m_pieces; }

private:
    ByteSink *m_file;
    bool m_keep;
    bool m_inPieces;
    std::int64_t m_count = 0;
    std::string m_bytes;
    std::vector<std::string_view> m_pieces;
};

PageOutcome outcomeOf(const ScannedPage &page)
{
    if (!page.exists)
        return PageOutcome::Created;
    if (page.marks.MarkCount == 0)
        return PageOutcome::Appended;
    return page.marks.headMark ? PageOutcome::BeforeHeadEnd : PageOutcome::Replaced;
}

} // namespace

int MetaRun::RewritePage(ScannedPage &page, PageReport &report, std::string *failedPath)
{
    // The block of a page read ahead may be built already; PageWords holds the page's words now.
    if (page.OnMainPage)
        m_reader.buildBlock(page, SiteWords);
    else if (!page.blockBuilt)
        m_reader.buildBlock(page, PageWords);
    const WordTable &words = page.OnMainPage ? SiteWords : PageWords;
    // NOTE: with the most telling words a page that would get its own bytes again is not written at
    // all: its time stamp, its file and its backups stay, so upload tools do not send it again.
    if (m_options.topKeywords && page.exists && page.marks.MarkCount > 0) {
        bool same = false;
        if (const int err = wouldStayTheSame(page, &same); err != 0)
            return err;
        if (same) {
            if (m_sharing.on())
                noteForSitemap(page, false);
            report.outcome = PageOutcome::Unchanged;
            report.keywordsWritten = static_cast<std::int64_t>(words.size());
            report.bytesAfter = page.size;
            reportPage(page, words, true);
            return 0;
        }
    }

    PageBackup backup;
    if (const int err = backup.choose(page.nativePath, m_options.dryRun ? &m_dryBackups : nullptr,
                                      m_options.backup ? nullptr : &m_listedBackups);
        err != 0) {
        *failedPath = backup.BackupPath();
        return err;
    }
    if (m_options.backup) {
        report.BackupPath = fs::fromNative(backup.BackupPath());
        m_observer.backupChosen(report.BackupPath);
    }

    report.outcome = outcomeOf(page);
    report.keywordsWritten = static_cast<std::int64_t>((page.OnMainPage ? SiteWords : PageWords).size());
    // A main page the run makes has no tag to replace: the report says it was made, and no message warns.
    if (page.exists && page.marks.MarkCount == 0)
        m_observer.message({ids::ErrorTitle, ids::NoMarkAppending, page.PagePath});

    const std::string file = m_options.dryRun && !m_dryWritten.empty() ? resolved(page.target) : std::string();
    const bool readAgain = !file.empty() && m_dryWritten.count(file) != 0;
    // Dry run: an empty file taken over as the backup becomes the page as it was, and a page that is a
    // link to it then reads that.
    const std::string backupFile = m_options.dryRun && m_options.backup && backup.takenOver() && page.exists
                                       ? resolved(backup.BackupPath())
                                       : std::string();
    const bool backupRead = !backupFile.empty() && m_dryPageFiles.count(backupFile) != 0;
    const bool showBytes = m_observer.wantsPageBytes();
    // The new page is made beside the page and renamed over it: when the folder refuses either, the
    // folder is what failed (the page itself may well be writable).
    std::optional<PageReplacement> replacement;
    if (!m_options.dryRun) {
        replacement.emplace(page.target);
        if (const int err = replacement->create(page.mode, page.owner, page.group, m_limits.blockSize); err != 0) {
            *failedPath = replacement->folder();
            return err;
        }
    }
    // With undo data, what is written is hashed on its way to the page.
    std::optional<HashingSink> written;
    if (replacement && m_undo && m_options.keepUndo)
        written.emplace(replacement->sink());
    // A page read whole keeps as undo data only what the run replaced, found from the bytes written
    // (with backups on, the backup is the copy).
    const bool keepDelta = written && page.whole && page.exists && !m_options.backup;
    ByteSink *sink = nullptr;
    if (written)
        sink = &*written;
    else if (replacement)
        sink = &replacement->sink();
    // A page read whole is written from its own bytes and its block, in one call, with no copy.
    PageOutput output(sink, showBytes || readAgain, page.whole && (replacement || m_sharing.on()));
    PageSplicer splicer(page.marks, page.block, output, m_options.topKeywords || m_sharing.on());
    std::string before; // a page read in blocks, when its bytes are shown or become its backup's
    const bool keepBefore = showBytes || backupRead;
    if (page.whole) {
        splicer.feed(std::string_view(page.bytes.data(), static_cast<std::size_t>(page.size)));
    } else if (const int err = PageReader::forEachBlock(page.file.fd(), page.size, m_limits.blockSize, m_buffer,
                                                        [&splicer, &before, keepBefore](std::string_view bytes) {
                                                            splicer.feed(bytes);
                                                            if (keepBefore)
                                                                before.append(bytes);
                                                            return true;
                                                        });
               err != 0) {
        return err;
    }
    if (!splicer.finish())
        return EIO; // the page became shorter between the scan and the rewrite
    report.bytesAfter = output.count();
    if (m_sharing.on()) {
        // A page read whole is compared with what it was; a larger one counts as changed.
        bool changed = !page.whole || !page.exists;
        if (!changed) {
            const std::string_view old = page.OnMainPage && m_mainBefore
                                             ? std::string_view(*m_mainBefore)
                                             : std::string_view(page.bytes.data(), std::size_t(page.size));
            std::size_t at = 0;
            for (const std::string_view piece : output.pieces()) {
                changed = changed || piece.size() > old.size() - at || old.compare(at, piece.size(), piece) != 0;
                at += piece.size();
            }
            changed = changed || at != old.size();
        }
        noteForSitemap(page, changed);
    }
    const auto showPage = [&] {
        if (showBytes)
            m_observer.pageBytes(report,
                                 page.whole ? std::string_view(page.bytes.data(), static_cast<std::size_t>(page.size))
                                            : std::string_view(before),
                                 output.bytes());
    };
    if (m_options.dryRun) {
        showPage();
        reportPage(page, words, false);
        if (readAgain)
            m_dryWritten[file] = std::move(output.bytes());
        if (backupRead)
            m_dryWritten[backupFile] =
                page.whole ? std::string(page.bytes.data(), static_cast<std::size_t>(page.size)) : std::move(before);
        // An empty backup leaves its name free for the next backup of the page.
        if (m_options.backup && page.size > 0)
            m_dryBackups.insert(backup.BackupPath());
        // Without backups the empty file taken over goes with the page's replacement.
        if (!m_options.backup && backup.takenOver())
            if (std::string removed = resolved(backup.BackupPath()); !removed.empty())
                m_dryRemoved.insert(std::move(removed));
        return 0;
    }
    output.passPieces();
    if (const int err = replacement->close(); err != 0)
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
    if (m_undo) {
        const std::optional<std::span<const std::string_view>> after =
            keepDelta ? std::optional(output.pieces()) : std::nullopt;
        if (const int err =
                recordUndo(page, backup, m_options.backup, written ? &*written : nullptr, after, failedPath);
            err != 0) {
            if (m_options.backup)
                backup.undo();
            return err;
        }
    }
    if (const int err = replacement->commit(); err != 0) {
        if (m_options.backup)
            backup.undo();
        *failedPath = replacement->folder();
        return err;
    }
    ++m_pagesReplaced;
    if (!m_options.backup) {
        if (const int err = backup.releaseTakenOver(); err != 0) {
            *failedPath = backup.BackupPath();
            return err;
        }
    }
    showPage();
    reportPage(page, words, false);
    return 0;
}

int MetaRun::recordUndo(const ScannedPage &page, const PageBackup &backup, bool backupMade, HashingSink *written,
                        std::optional<std::span<const std::string_view>> after, std::string *failedPath)
{
    if (!m_undo->started())
        m_undo->start(m_startedMs); // without undo data: the old undo data goes with the first change
    if (!m_undo->keeping() || !written)
        return 0;
    const int err = m_undo->recordPage(page, backup, backupMade, written->result(), written->size(), after);
    if (err != 0)
        *failedPath = m_undo->failedPath();
    return err;
}

int MetaRun::wouldStayTheSame(ScannedPage &page, bool *same)
{
    if (page.whole) {
        const std::string_view bytes(page.bytes.data(), static_cast<std::size_t>(page.size));
        *same = rewritePage(bytes, page.marks, page.block, true) == bytes;
        return 0;
    }
    ComparingSink sink(page.file.fd());
    PageSplicer splicer(page.marks, page.block, sink, true);
    if (const int err = PageReader::forEachBlock(page.file.fd(), page.size, m_limits.blockSize, m_buffer,
                                                 [&splicer](std::string_view bytes) {
                                                     splicer.feed(bytes);
                                                     return true;
                                                 });
        err != 0)
        return err;
    *same = splicer.finish() && sink.same(page.size);
    return sink.error();
}

void MetaRun::reportPage(const ScannedPage &page, const WordTable &words, bool unchanged)
{
    if (!m_observer.wantsPageWords())
        return;
    PageKeywords report;
    report.page = page.PagePath;
    report.unchanged = unchanged;
    // Most blocks hold the keywords as the report lists them.
    if (page.blockBuilt && page.utf8Keywords) {
        const auto [at, size] = *page.utf8Keywords;
        report.keywords = QByteArray(page.block.data() + at, static_cast<qsizetype>(size));
    } else {
        m_keywords.clear();
        m_block.appendKeywords(words, PageEncoding::Utf8, m_keywords);
        report.keywords = QByteArray(m_keywords.data(), static_cast<qsizetype>(m_keywords.size()));
    }
    if (m_options.description)
        report.description = page.ownDescription ? QString::fromStdString(page.description) : m_options.siteDescription;
    m_observer.pageWritten(report);
}

} // namespace tagsmith

namespace tagsmith {

void MetaRun::noteForSitemap(const ScannedPage &page, bool changed)
{
    if (!page.share)
        return;
    SitemapPage entry;
    entry.url = page.share->url;
    entry.noindex =
        (m_options.robots && m_options.templates[4].contains(QLatin1String("noindex"), Qt::CaseInsensitive)) ||
        page.share->noindex;
    entry.changed = changed;
    entry.mtimeNs = page.mtimeNs;
    const auto [at, added] = m_sitemapIndex.try_emplace(entry.url, m_sitemapPages.size());
    if (added) {
        m_sitemapPages.push_back(std::move(entry));
        return;
    }
    // The main page among the folder's pages: what its second write leaves counts, against the page
    // as it was before the first.
    SitemapPage &known = m_sitemapPages[at->second];
    entry.mtimeNs = known.mtimeNs;
    if (!page.OnMainPage)
        entry.changed = entry.changed || known.changed;
    known = std::move(entry);
}

namespace {

std::string dateOf(std::int64_t msSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

} // namespace

int MetaRun::writeSiteFiles(std::int64_t index, std::int64_t count)
{
    // The dates of the sitemap as the last run left it, of each of its sitemaps when it is an index.
    std::map<std::string, std::string> dates;
    std::int64_t sitemapWrittenNs = 0;
    const std::string folder = fs::native(m_folder);
    const auto readOld = [&](const std::string &name, std::vector<std::string> *sitemaps) {
        ScannedPage old;
        old.PagePath = fs::fromNative(folder + name);
        old.OnMainPage = true; // (a file that does not exist reads as empty)
        if (m_reader.open(old) != 0 || !old.exists)
            return;
        if (sitemaps)
            sitemapWrittenNs = old.mtimeNs;
        old.bytes.resize(std::size_t(old.size));
        std::size_t got = 0;
        if (fs::readAt(old.file.fd(), old.bytes.data(), 0, old.bytes.size(), &got) == 0)
            sitemap::readDates(std::string_view(old.bytes.data(), got), dates, sitemaps);
    };
    std::vector<std::string> sitemaps;
    readOld(std::string(sitemap::FileName), &sitemaps);
    for (const std::string &loc : sitemaps)
        if (loc.starts_with(m_sharing.base()) && loc.find('/', m_sharing.base().size()) == std::string::npos)
            readOld(loc.substr(m_sharing.base().size()), nullptr);

    // A page's content changed when the run changed its bytes, or when it was written after the last
    // run wrote the sitemap (every page the run writes is written before the sitemap).
    const std::string today = dateOf(m_startedMs);
    std::vector<sitemap::Entry> entries;
    for (const SitemapPage &page : m_sitemapPages) {
        if (page.noindex)
            continue;
        std::string lastmod;
        if (!page.changed && page.mtimeNs <= sitemapWrittenNs) {
            const auto known = dates.find(page.url);
            lastmod = known != dates.end() ? known->second : dateOf(page.mtimeNs / 1000000);
        }
        entries.push_back({page.url, lastmod.empty() ? today : std::move(lastmod)});
    }
    const std::vector<std::pair<std::string, std::string>> files = sitemap::files(entries, m_sharing.base());
    count += static_cast<std::int64_t>(files.size()) + 1;
    for (const auto &[name, bytes] : files)
        if (const int err = writeSiteFile(
                name, [&bytes](std::string_view) { return std::optional(bytes); }, m_pagesReplaced > 0, index, count);
            err != 0)
            return err;
    const std::string sitemapUrl = m_sharing.base() + std::string(sitemap::FileName);
    return writeSiteFile(
        std::string(sitemap::RobotsName),
        [&sitemapUrl](std::string_view robots) { return sitemap::robotsWithSitemap(robots, sitemapUrl); }, false, index,
        count);
}

int MetaRun::writeSiteFile(const std::string &name,
                           const std::function<std::optional<std::string>(std::string_view)> &make, bool always,
                           std::int64_t &index, std::int64_t count)
{
    ScannedPage file;
    file.PagePath = m_folder + fs::fromNative(name);
    // Opened as the main page is: a file that does not exist is made.
    file.OnMainPage = true;
    int err = m_reader.open(file);
    file.OnMainPage = false;
    if (err == 0 && file.exists) {
        file.bytes.resize(std::size_t(file.size));
        std::size_t got = 0;
        err = fs::readAt(file.file.fd(), file.bytes.data(), 0, file.bytes.size(), &got);
        file.size = std::int64_t(got);
    }
    file.whole = true;
    const std::string_view before(file.bytes.data(), std::size_t(file.size));
    const std::optional<std::string> after = err == 0 ? make(before) : std::nullopt;
    if (err == 0 && (!after || (file.exists && *after == before && !always)))
        return 0;
    // Reported as a page is, after the pages.
    m_observer.pageStarted(file.PagePath, index++, count);
    PageReport report = reportFor(file.PagePath, false);
    report.siteFile = true;
    std::string failedPath;
    if (err == 0)
        err = replaceSiteFile(file, *after, report, &failedPath);
    if (!failedPath.empty())
        report.failedPath = fs::fromNative(failedPath);
    this->report(report, err == 0 ? 0 : fileErrorFromErrno(err));
    return err;
}

int MetaRun::replaceSiteFile(ScannedPage &file, const std::string &after, PageReport &report, std::string *failedPath)
{
    const std::string_view before(file.bytes.data(), std::size_t(file.size));
    report.outcome = file.exists ? PageOutcome::Replaced : PageOutcome::Created;
    report.bytesBefore = file.size;
    report.bytesAfter = std::int64_t(after.size());
    if (m_options.dryRun) {
        if (m_observer.wantsPageBytes())
            m_observer.pageBytes(report, before, after);
        return 0;
    }
    PageReplacement replacement(file.target);
    if (const int err = replacement.create(file.mode, file.owner, file.group, m_limits.blockSize); err != 0) {
        *failedPath = replacement.folder();
        return err;
    }
    int err = 0;
    std::optional<HashingSink> written;
    if (m_undo && m_options.keepUndo)
        written.emplace(replacement.sink());
    ByteSink &sink = written ? static_cast<ByteSink &>(*written) : replacement.sink();
    sink.write(after);
    if (err = replacement.close(); err != 0)
        return err;
    if (m_undo)
        if (err = recordUndo(file, PageBackup(), false, written ? &*written : nullptr, std::nullopt, failedPath);
            err != 0)
            return err;
    if (err = replacement.commit(); err != 0) {
        *failedPath = replacement.folder();
        return err;
    }
    file.close();
    pageWritten(file);
    if (m_observer.wantsPageBytes())
        m_observer.pageBytes(report, before, after);
    return 0;
}

} // namespace tagsmith
