#pragma once

#include "meta/MarkScanner.h"
#include "meta/MetaBlock.h"
#include "meta/PageMarks.h"
#include "meta/Run.h"
#include "meta/WordScanner.h"
#include "meta/WordTable.h"

#include <sys/types.h>

#include <string>
#include <vector>

namespace tagsmith {

// One generation run and everything it keeps while it goes: the word tables, the scanners and the
// page under work. Every page of the folder in page-list order gets its own words, then the main
// page gets the words of the whole site.
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
    // Scans and rewrites the page PagePath. Returns 0 or the run-time error number of the file
    // operation that failed; the page is then as it was.
    int processPage(WordScanner &scanner);
    int openPage();
    int scanPage(WordScanner &scanner);
    // Decides m_encoding; reads a page that is kept whole into m_buffer.
    int readEncoding();
    int RewritePage();
    void closePage();
    int readAt(std::int64_t offset, std::size_t length, std::size_t *got);

    const RunOptions &m_options;
    RunObserver &m_observer;
    RunLimits m_limits;
    MetaBlock m_block;
    MetaNames m_names;
    bool m_minLengthOn;
    double m_minimumLength;
    WordScanner m_folderScanner;
    WordScanner m_mainScanner;
    MarkScanner m_markScanner;

    // The page under work.
    QString PagePath;
    bool OnMainPage = false;
    std::string m_nativePath; // PagePath as the file system spells it
    std::string m_target;     // the file the page is: PagePath, or where a link points to
    int m_fd = -1;
    bool m_pageExists = false;
    mode_t m_mode = 0;
    uid_t m_owner = 0;
    gid_t m_group = 0;
    std::int64_t m_size = 0;
    bool m_wholePage = false; // the page's bytes are all in m_buffer
    std::vector<char> m_buffer;
    PageEncoding m_encoding = PageEncoding::Windows1252;
    PageMarks m_marks;
    std::string m_blockBytes;
    std::string m_key; // the case-folded form of the word being added
};

} // namespace tagsmith
