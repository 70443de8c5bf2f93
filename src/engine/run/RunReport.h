#pragma once

#include "engine/core/PageChecks.h"
#include "engine/core/Run.h"
#include "engine/encoding/PageText.h"
#include "engine/run/TextStore.h"
#include "text/StringTable.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace tagsmith {

// What a run did with one page, or with a dry run what it would do.
enum class PageOutcome {
    Replaced,      // its META NAME tags replaced by the block
    BeforeHeadEnd, // no META NAME tag: the block put before the closing head tag
    Appended,      // neither: the block appended at its end (a warning)
    Created,       // the main page did not exist: made with the block alone
    Failed,        // a file operation failed; the page is as it was and the run stopped there
    NotReached,    // the run stopped at a failure before this page
    Unchanged,     // its new bytes would have been its old bytes: not written at all
};

// One page of a run report, in run order. A page the run did not read leaves the fields it would
// have filled at their defaults.
struct PageReport
{
    QString PagePath;     // as the run names it
    QString relativePath; // to the folder of the run
    bool OnMainPage = false;
    // sitemap.xml or robots.txt, written with a site address: a file of the site, no page.
    bool siteFile = false;
    std::optional<PageEncoding> encoding;           // unknown when the page could not be read
    QString charset;                                // the encoding the page declares ("koi8-r"), if any
    EncodingNote encodingNote = EncodingNote::None; // why it was read as Windows-1252 all the same
    PageOutcome outcome = PageOutcome::NotReached;
    int fileError = 0;                // run-time error number of the failure (Failed)
    QString failedPath;               // what failed when it is not the page itself: its folder or backup
    std::int64_t wordsFound = 0;      // distinct words of the page itself
    std::int64_t keywordsWritten = 0; // words of its keywords line
    QString BackupPath;               // with the backup option on
    std::int64_t bytesBefore = 0;
    std::int64_t bytesAfter = 0;
    // The keywords line and the description line as written (or, unchanged, as the page has them),
    // when the report keeps them. The keywords are most of a report's bytes on a large site: they are
    // kept once, in UTF-8, and the window and the CSV read them from here. The description is mostly
    // the site's, shared by every page. The keywords stand in the report's TextStore (texts).
    KeptText keywords; // UTF-8, the words as the line holds them, ", " between
    QString description;
    DescriptionSource descriptionSource = DescriptionSource::None;
    std::uint8_t checks = 0; // pagecheck flags: what a site check finds in its title and description

    bool written() const;
    // It holds the run's META block: a page written, or unchanged because it had it already.
    bool hasBlock() const { return !siteFile && hasBytesAfter(); }
    // Its bytes after the run are known: written, or unchanged.
    bool hasBytesAfter() const { return written() || outcome == PageOutcome::Unchanged; }
    bool isWarning() const { return outcome == PageOutcome::Appended; }
    bool isError() const { return outcome == PageOutcome::Failed; }
};

// The report of one run: every page in run order and the totals. The engine fills it through the
// run's observer (RunReportRecorder); the screens and the batch command only show or write it.
struct RunReport
{
    RunResult result = RunResult::NotStarted;
    bool dryRun = false;              // nothing was written: what a run would do
    QString folder;                   // the folder of the run, the pages are relative to it
    std::int64_t elapsedNs = 0;       // from the start of the run to its end
    bool descriptionLine = false;     // the description line is written
    QString description;              // the description every page gets
    bool descriptionIsPrompt = false; // and it is still the prompt text of its box
    std::vector<PageReport> pages;
    std::int64_t runWarnings = 0;     // warnings of the run itself, not of one of its pages (undo data)
    std::shared_ptr<TextStore> texts; // the pages' keywords, when the report keeps them

    bool started() const { return result != RunResult::NotStarted; }
    // The counts of pages leave out the site's files (sitemap.xml, robots.txt); warnings and errors
    // count every row.
    std::int64_t pagesWritten() const;
    std::int64_t pagesUnchanged() const;
    std::int64_t warnings() const;
    std::int64_t errors() const;
    // The pages the run reached, written or not (all of them unless it stopped early).
    std::int64_t pagesReached() const;
    // The pages of the report, reached or not.
    std::int64_t pageCount() const;
};

// Passes everything a run tells on to another observer and gathers the report on the way.
class RunReportRecorder : public RunObserver
{
public:
    // keepTexts: each page's keywords and description go into the report too.
    RunReportRecorder(RunObserver &inner, RunReport &report, bool keepTexts = false)
        : m_inner(inner), m_report(report), m_keepTexts(keepTexts)
    {
    }

    void message(const Message &msg) override
    {
        if (msg.titleId == ids::WarningTitle)
            ++m_report.runWarnings;
        m_inner.message(msg);
    }
    void pageStarted(const QString &pagePath, std::int64_t index, std::int64_t count) override
    {
        // Room for every page at once: on a large site, growing step by step moved the reports of
        // 20,000 pages again and again, each time into memory new to the process.
        if (index == 0)
            m_report.pages.reserve(m_report.pages.size() + static_cast<std::size_t>(count));
        m_inner.pageStarted(pagePath, index, count);
    }
    void backupChosen(const QString &backupPath) override { m_inner.backupChosen(backupPath); }
    bool stopRequested() const override { return m_inner.stopRequested(); }
    void pageReported(const PageReport &page) override;
    bool wantsPageBytes() const override { return m_inner.wantsPageBytes(); }
    void pageBytes(const PageReport &page, std::string_view before, std::string_view after) override
    {
        m_inner.pageBytes(page, before, after);
    }
    bool wantsPageWords() const override { return m_keepTexts || m_inner.wantsPageWords(); }
    void pageWritten(const PageKeywords &page) override;

private:
    RunObserver &m_inner;
    RunReport &m_report;
    bool m_keepTexts;
    PageKeywords m_texts; // of the page reported next
};

// Whether a report keeps each page's keywords and description: they cost time and memory on a large
// site, so only a report that shows them keeps them.
enum class PageTexts { Left, Kept };

// runMeta() with its report: every page as the run reports it, the result, the time it took.
RunReport runMetaWithReport(const RunOptions &options, RunObserver &observer, const RunLimits &limits = RunLimits(),
                            PageTexts texts = PageTexts::Left);

// The report as CSV (RFC 4180: comma separated, fields with a comma, quote or line break quoted,
// quotes doubled, lines ending in CR LF), UTF-8, with a header row. Columns and outcomes carry fixed
// English names, so scripts read the file whatever the language of the program; only the text of a
// file error is in the language given (DutchOffset or EnglishOffset).
QByteArray runReportCsv(const RunReport &report, int langOffset);
// The same CSV handed to write() in pieces, so that a large report is not held a second time; write's
// error number (0 for none) ends it and is returned.
int writeRunReportCsv(const RunReport &report, int langOffset, const std::function<int(std::string_view)> &write);
// The CSV into a file, whole or not at all (a device, a pipe or a link such as /dev/stdout is written
// through); the error number of what failed, else 0.
int saveRunReportCsv(const RunReport &report, int langOffset, const QString &path);

// The text of a run-time file error number in a language; the number itself when it has no text.
QString fileErrorText(int fileError, int langOffset);

// The name of the encoding the page was read in: "UTF-8", "Windows-1252", "UTF-16LE", "UTF-16BE" or
// the charset it declares in capitals ("KOI8-R"); empty when it was not read.
QString encodingName(const PageReport &page);

// The outcome's name in the CSV: replaced, before-head, appended, created, failed, not-reached,
// unchanged.
const char *outcomeName(PageOutcome outcome);
// The description source's name in the CSV: own-tag, content, given, none.
const char *descriptionSourceName(DescriptionSource source);
// The name of a pagecheck flag in the CSV: no-title, title-elsewhere, description-elsewhere,
// description-short, description-long.
const char *checkName(std::uint8_t check);

} // namespace tagsmith
