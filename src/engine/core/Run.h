#pragma once

#include "engine/core/RunObserver.h"
#include "engine/core/RunOptions.h"

#include <cstddef>
#include <cstdint>

namespace tagsmith {

enum class RunResult {
    Completed,  // every page was written (warnings such as a page without a mark allowed)
    NotStarted, // no folder, a folder that does not exist, or a folder without pages: nothing changed
    Failed,     // a file operation failed: pages before it are done, that page is as it was
    Cancelled,  // stopped between two pages on request: pages before are done, the others as they were
};

// One generation run: every page of options.folder in page-list order with its own words, then the
// main page with the words of the whole site. Messages and progress go to the observer.
RunResult runMeta(const RunOptions &options, RunObserver &observer);

// How a run reads and writes pages. A page up to wholePageLimit bytes is read once and kept in
// memory for both the scan and the rewrite; a larger page is read in blocks twice, so memory stays
// the same whatever the size of the page.
struct RunLimits
{
    std::int64_t wholePageLimit = std::int64_t(16) << 20;
    std::size_t blockSize = std::size_t(1) << 20;
    // Memory for the pages of the folder read and scanned ahead on threads of their own while the
    // pages before them are written; 0 reads each page only when it is written.
    std::size_t readAheadBudget = std::size_t(8) << 20;
    // Threads that read ahead; 0: one for each processor but the one the writing needs, at most four.
    std::size_t readingThreads = 0;
};

RunResult runMeta(const RunOptions &options, RunObserver &observer, const RunLimits &limits);

} // namespace tagsmith
