#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tagsmith {

// One line of a difference between a page's old and new bytes.
struct DiffLine
{
    enum class Kind {
        Common,
        Removed,
        Added,
    };
    Kind kind = Kind::Common;
    std::string_view text; // the line without its "\n" (a "\r" before it stays)
    bool lineEnd = true;   // false only for a last line without "\n"
};

// The changed lines of a page with up to `context` unchanged lines on either side, as a unified diff
// groups them: changes closer than twice the context share one hunk.
struct DiffHunk
{
    std::int64_t oldBefore = 0; // lines of the old page before the hunk
    std::int64_t oldCount = 0;
    std::int64_t newBefore = 0;
    std::int64_t newCount = 0;
    std::vector<DiffLine> lines;
};

// The hunks that turn before into after; empty when the two are the same. The lines point into
// before and after.
std::vector<DiffHunk> diffHunks(std::string_view before, std::string_view after, int context = 3);

// The difference as `diff -u` writes it, so that `patch` applies it: the two header labels (see
// diffLabel), then every hunk. Nothing when the two are the same. An old name of /dev/null makes the
// file.
void appendUnifiedDiff(std::string &out, std::string_view before, std::string_view after, std::string_view oldLabel,
                       std::string_view newLabel);

// A file as a header of `diff -u` names it: its name as GNU diff writes it (in double quotes, with C
// escapes, when it holds a blank, a control character, a quote, a backslash or a byte above 127, so
// that patch finds any name), then a tab and the time the file was last written (ns since the epoch),
// in local time as diff writes it ("2026-12-07 21:33:18.123456789 +0000").
std::string diffLabel(std::string_view name, std::int64_t writtenNs);

} // namespace tagsmith
