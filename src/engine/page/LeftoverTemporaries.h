#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tagsmith {

// The hidden temporary file a new page is written to before it is renamed over the page, in the
// page's own folder: ".<page name>.<process id>-<8 hex digits>.tmp". A run that is killed between
// the two steps leaves it behind; the next run of the folder removes it.
std::string temporaryName(std::string_view pageName, pid_t process, std::uint32_t nonce);

// The process that made the temporary of this name, when it is one of this program's names.
std::optional<pid_t> temporaryOwner(std::string_view name);

// Removes the temporaries of this program from the folder whose process no longer runs, and only
// those: a file of another name, one that is no regular file, and those of a running process stay.
// Returns how many were removed; a folder that cannot be listed has none, and one that cannot be
// removed stays (the run goes on all the same).
int removeLeftoverTemporaries(const std::string &folder);
// The same among the hidden names (dot-files) of the folder, as it was listed.
int removeLeftoverTemporaries(const std::string &folder, const std::vector<std::string> &hiddenNames);

} // namespace tagsmith
