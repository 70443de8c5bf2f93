#pragma once

#include "engine/MarkScanner.h"
#include "engine/MetaBlock.h"
#include "engine/MinimumWordLength.h"
#include "engine/PageReader.h"
#include "engine/Run.h"
#include "engine/ScannedPage.h"
#include "engine/WordTable.h"

#include <string>
#include <vector>

namespace tagsmith {

class PageReadAhead;

// One generation run and everything it keeps while it goes: the word tables and the page under
// work. Every page of the folder in page-list order gets its own words, then the main page gets the
// words of the whole site.
//
// The pages of the folder are read and scanned ahead on a second thread (PageReadAhead), which also
// builds SiteWords from them in page order, while this one writes them; what the run does on disk and
// tells the observer happens here, page by page in order, as if each page were read just before it
// is written.
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
    // Rewrites the page, its words taken into SiteWords first unless the reading ahead took them.
    // Returns 0 or the run-time error number of the file operation that failed; the page is then as
    // it was, and failedPath names what failed (the page, its folder or its backup).
    int processPage(ScannedPage &page, bool addToSiteWords, QString *failedPath);
    int RewritePage(ScannedPage &page, std::string *failedPath);

    const RunOptions &m_options;
    RunObserver &m_observer;
    RunLimits m_limits;
    MetaBlock m_block;
    MetaNames m_names;
    MinimumWordLength m_minimumLength;
    PageReader m_reader;        // pages read on this thread: the main page, pages read again
    PageReader m_aheadReader;   // pages read ahead
    std::vector<char> m_buffer; // a page rewritten in blocks
};

} // namespace tagsmith
