#pragma once

#include "engine/core/Run.h"
#include "engine/page/MarkScanner.h"
#include "engine/page/MetaBlock.h"
#include "engine/page/PageBackup.h"
#include "engine/page/PageReader.h"
#include "engine/page/ScannedPage.h"
#include "engine/undo/UndoStore.h"
#include "engine/words/MinimumWordLength.h"
#include "engine/words/WordTable.h"

#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tagsmith {

class HashingSink;
class PageBackup;
class PageReadAhead;
struct PageReport;

// One generation run and everything it keeps while it goes: the word tables and the page under
// work. Every page of the folder in page-list order gets its own words, then the main page gets the
// words of the whole site.
//
// The pages of the folder are read and scanned ahead on threads of their own (PageReadAhead) while
// this one writes them; what the run does on disk, SiteWords and what it tells the observer happen
// here, page by page in order, as if each page were read just before it is written.
//
// A dry run goes the same way with the writing switched off: each page is read, scanned and spliced
// as in a run, its new bytes counted (and shown when the observer asks) but not written. A file that
// the run reaches twice (the main page among the folder's pages, a linked page) is read the second
// time as the run would have left it.
class MetaRun
{
public:
    MetaRun(const RunOptions &options, RunObserver &observer, const RunLimits &limits);

    RunResult run();

    // Stores the word in PageWords unless there already, when the minimum length option admits
    // it. The page's words go on to SiteWords when the scan of the page ends.
    void AddWord(std::string_view CurrentWord);

    WordTable PageWords;
    WordTable SiteWords;

private:
    // Rewrites the page, its words taken into SiteWords first when addToSiteWords.
    // Returns 0 or the run-time error number of the file operation that failed; the page is then as
    // it was.
    int processPage(ScannedPage &page, bool addToSiteWords, PageReport &report);
    // failedPath names what failed: the page's folder or its backup (empty: the page itself).
    int RewritePage(ScannedPage &page, PageReport &report, std::string *failedPath);
    RunResult runPages(const QStringList &pages);
    // Keeps what undo needs of the page, before its new content takes its name; written hashed what
    // went to the page (none without undo data). failedPath names the file of undo data that failed.
    int recordUndo(const ScannedPage &page, const PageBackup &backup, bool backupMade, HashingSink *written,
                   std::optional<std::span<const std::string_view>> after, std::string *failedPath);
    // Reads a page on this thread; in a dry run as the run would have left it.
    void readPage(ScannedPage &page);
    // The report of a page the run starts on.
    PageReport reportFor(const QString &PagePath, bool OnMainPage) const;
    // Tells the observer about the page and, after a failure, about every page not reached.
    void report(PageReport &page, int err);
    // skipped: the main page among the folder's pages, written once at the end; -1 for none.
    void reportNotReached(const QStringList &paths, qsizetype from, qsizetype skipped, bool mainPageToo);
    // Dry run: the files that more than one page of the run is.
    void findSharedFiles(const QStringList &paths);
    // Dry run: the new bytes of the file the page is, when a page before it would have written it.
    const std::string *dryWritten(const ScannedPage &page) const;
    // What the folder's listing showed besides its pages.
    struct FolderListing
    {
        std::vector<std::string> hidden;         // dot-files, leftover temporaries among them
        std::unordered_set<std::string> backups; // names a page's backup could find taken
        void take(const fs::FolderEntry &entry);
    };
    // From the folder's listing (and a listing of the main page's folder): removes the temporaries a
    // killed run left there and says how many (not in a dry run), and notes the names the pages'
    // backups could find taken.
    void lookAtFolders(bool hasMainPage);
    void removeLeftovers(const QString &shown, const std::string &path, const std::vector<std::string> &hidden);
    // Notes the file system of a page written; syncWritten() puts each one on the disk and returns
    // the errno and folder of a failure.
    void pageWritten(const ScannedPage &page);
    std::pair<int, QString> syncWritten();

    // With a site address: notes the page for the sitemap, changed when its content is not what it was
    // before the run.
    void noteForSitemap(const ScannedPage &page, bool changed);
    // Writes sitemap.xml (and the sitemaps it lists) and the Sitemap line of robots.txt, each only
    // when its bytes change; in a dry run shows them.
    // Each file changed is reported as a page after the pages, from index on.
    int writeSiteFiles(std::int64_t index, std::int64_t count);
    // With always the file is written also when its bytes stay the same (its time stamp tells when the
    // run ended).
    int writeSiteFile(const std::string &name, const std::function<std::optional<std::string>(std::string_view)> &make,
                      bool always, std::int64_t &index, std::int64_t count);
    int replaceSiteFile(ScannedPage &file, const std::string &after, PageReport &report, std::string *failedPath);

    // Whether the page's new bytes would be its old bytes.
    int wouldStayTheSame(ScannedPage &page, bool *same);
    void reportPage(const ScannedPage &page, const WordTable &words, bool unchanged);

    const RunOptions &m_options;
    RunObserver &m_observer;
    RunLimits m_limits;
    SiteSharing m_sharing;
    MetaBlock m_block;
    MetaNames m_names;
    MinimumWordLength m_minimumLength;
    PageReader m_reader; // pages read on this thread: the main page, pages read again
    // Pages read ahead: one for each thread, and the last for this thread while it waits for them.
    std::vector<std::unique_ptr<PageReader>> m_aheadReaders;
    std::vector<char> m_buffer; // a page rewritten in blocks
    std::string m_keywords;     // a page's keywords as the report lists them
    std::optional<UndoStore> m_undoStore;
    std::optional<UndoRecorder> m_undo;
    std::int64_t m_startedMs = 0;
    QString m_folder; // the pages are named relative to it in the report
    // Dry run: the new bytes of the files that the run reaches again, by their path with every link
    // resolved (a page replaced through another name of it: a link to it, or the main page among
    // the folder's pages); and the backups it would have made.
    std::map<std::string, std::optional<std::string>> m_dryWritten;
    std::set<std::string> m_dryBackups;
    FolderListing m_folderListing; // until lookAtFolders() takes it
    ListedBackups m_listedBackups; // the names backups could find taken, when the run began
    // Dry run: the empty files the run would have removed (taken over as a backup name with the backup
    // option off), by their path with every link resolved.
    std::set<std::string> m_dryRemoved;
    // Dry run: the file each page is, by its path with every link resolved.
    std::set<std::string> m_dryPageFiles;
    std::vector<std::pair<dev_t, std::string>> m_writtenFolders; // a folder of each file system written
    // With a site address: the pages for the sitemap in page order, one entry for each address.
    struct SitemapPage
    {
        std::string url;
        bool noindex = false;
        bool changed = true;
        std::int64_t mtimeNs = 0; // before the run
    };
    std::vector<SitemapPage> m_sitemapPages;
    std::unordered_map<std::string, std::size_t> m_sitemapIndex; // by address
    std::optional<std::string> m_mainBefore;                     // the main page's bytes before the run
    std::int64_t m_pagesReplaced = 0;
};

} // namespace tagsmith
