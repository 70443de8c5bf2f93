#include "meta/Run.h"

namespace tagsmith {

RunResult runMeta(const RunOptions &, RunObserver &)
{
    return RunResult::NotStarted;
}

} // namespace tagsmith
