#pragma once

#include "meta/RunObserver.h"
#include "meta/RunOptions.h"

namespace tagsmith {

enum class RunResult {
    Completed,  // every page was written (warnings such as a page without a mark allowed)
    NotStarted, // no folder, a folder that does not exist, or a folder without pages: nothing changed
    Failed,     // a file operation failed: pages before it are done, that page is as it was
};

// One generation run: every page of options.folder in page-list order with its own words, then the
// main page with the words of the whole site. Messages and progress go to the observer.
RunResult runMeta(const RunOptions &options, RunObserver &observer);

} // namespace tagsmith
