#include "engine/core/Run.h"

#include "engine/run/MetaRun.h"

namespace tagsmith {

RunResult runMeta(const RunOptions &options, RunObserver &observer)
{
    return runMeta(options, observer, RunLimits());
}

RunResult runMeta(const RunOptions &options, RunObserver &observer, const RunLimits &limits)
{
    MetaRun run(options, observer, limits);
    return run.run();
}

} // namespace tagsmith
