#include "engine/page/PageDiff.h"

// The shortest edit script of two line sequences comes from dtl (Debian's libdtl-dev, header only);
// the hunks are formed here, the way `diff -u` forms them.
#include <dtl/dtl.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace tagsmith {
namespace {

// The lines of a text, each with its "\n" when it has one.
std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

struct Edit
{
    DiffLine::Kind kind;
    std::size_t oldLine; // index of the line in the old text (Common, Removed)
    std::size_t newLine; // index of the line in the new text (Common, Added)
};

// Every line of both texts in edit order. Equal lines at the start and the end are matched here;
// only the part between goes to dtl, which for a page is the few lines around its META block.
std::vector<Edit> editScript(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b)
{
    std::size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
           a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
        ++suffix;

    std::vector<Edit> edits;
    edits.reserve(std::max(a.size(), b.size()) + 16);
    for (std::size_t i = 0; i < prefix; ++i)
        edits.push_back({DiffLine::Kind::Common, i, i});

    const std::vector<std::string_view> middleA(a.begin() + std::ptrdiff_t(prefix), a.end() - std::ptrdiff_t(suffix));
    const std::vector<std::string_view> middleB(b.begin() + std::ptrdiff_t(prefix), b.end() - std::ptrdiff_t(suffix));
    std::size_t oldLine = prefix;
    std::size_t newLine = prefix;
    if (middleA.empty() || middleB.empty()) {
        for (std::size_t i = 0; i < middleA.size(); ++i)
            edits.push_back({DiffLine::Kind::Removed, oldLine++, newLine});
        for (std::size_t i = 0; i < middleB.size(); ++i)
            edits.push_back({DiffLine::Kind::Added, oldLine, newLine++});
    } else {
        dtl::Diff<std::string_view, std::vector<std::string_view>> diff(middleA, middleB);
        diff.compose();
        // Within a change, the removed lines come before the added ones, as diff -u shows them.
        std::vector<Edit> removed;
        std::vector<Edit> added;
        const auto flush = [&] {
            edits.insert(edits.end(), removed.begin(), removed.end());
            edits.insert(edits.end(), added.begin(), added.end());
            removed.clear();
            added.clear();
        };
        for (const auto &element : diff.getSes().getSequence()) {
            switch (element.second.type) {
            case dtl::SES_DELETE:
                removed.push_back({DiffLine::Kind::Removed, oldLine++, newLine});
                break;
            case dtl::SES_ADD:
                added.push_back({DiffLine::Kind::Added, oldLine, newLine++});
                break;
            default:
                flush();
                edits.push_back({DiffLine::Kind::Common, oldLine++, newLine++});
                break;
            }
        }
        flush();
    }
    for (std::size_t i = 0; i < suffix; ++i)
        edits.push_back({DiffLine::Kind::Common, oldLine++, newLine++});
    // A removed line stands where the new text has come so far, an added one where the old has.
    std::size_t oldAt = 0;
    std::size_t newAt = 0;
    for (Edit &edit : edits) {
        if (edit.kind != DiffLine::Kind::Added)
            edit.newLine = edit.kind == DiffLine::Kind::Removed ? newAt : newAt++;
        if (edit.kind != DiffLine::Kind::Removed)
            edit.oldLine = edit.kind == DiffLine::Kind::Added ? oldAt : oldAt++;
        if (edit.kind == DiffLine::Kind::Removed)
            ++oldAt;
        if (edit.kind == DiffLine::Kind::Added)
            ++newAt;
    }
    return edits;
}

DiffLine lineOf(std::string_view line, DiffLine::Kind kind)
{
    const bool lineEnd = !line.empty() && line.back() == '\n';
    return {kind, lineEnd ? line.substr(0, line.size() - 1) : line, lineEnd};
}

void appendRange(std::string &out, std::int64_t before, std::int64_t count)
{
    // diff -u: "start,count", the count left out when it is 1; an empty range names the line before.
    out += std::to_string(count == 0 ? before : before + 1);
    if (count != 1) {
        out += ',';
        out += std::to_string(count);
    }
}

} // namespace

std::vector<DiffHunk> diffHunks(std::string_view before, std::string_view after, int context)
{
    const std::vector<std::string_view> a = splitLines(before);
    const std::vector<std::string_view> b = splitLines(after);
    const std::vector<Edit> edits = editScript(a, b);
    const auto isChange = [&edits](std::size_t i) { return edits[i].kind != DiffLine::Kind::Common; };
    const auto reach = static_cast<std::size_t>(std::max(context, 0));

    std::vector<DiffHunk> hunks;
    for (std::size_t i = 0; i < edits.size();) {
        if (!isChange(i)) {
            ++i;
            continue;
        }
        // A hunk runs from `reach` lines before its first change to `reach` lines after its last one;
        // a change within twice that distance of the last joins it.
        const std::size_t first = i >= reach ? i - reach : 0;
        std::size_t last = i;
        for (std::size_t j = i + 1; j < edits.size() && j <= last + 2 * reach + 1; ++j)
            if (isChange(j))
                last = j;
        const std::size_t end = std::min(edits.size(), last + 1 + reach);

        DiffHunk hunk;
        hunk.oldBefore = static_cast<std::int64_t>(edits[first].oldLine);
        hunk.newBefore = static_cast<std::int64_t>(edits[first].newLine);
        for (std::size_t j = first; j < end; ++j) {
            const Edit &edit = edits[j];
            if (edit.kind == DiffLine::Kind::Added) {
                hunk.lines.push_back(lineOf(b[edit.newLine], edit.kind));
                ++hunk.newCount;
            } else {
                hunk.lines.push_back(lineOf(a[edit.oldLine], edit.kind));
                ++hunk.oldCount;
                if (edit.kind == DiffLine::Kind::Common)
                    ++hunk.newCount;
            }
        }
        hunks.push_back(std::move(hunk));
        i = end;
    }
    return hunks;
}

void appendUnifiedDiff(std::string &out, std::string_view before, std::string_view after, std::string_view oldLabel,
                       std::string_view newLabel)
{
    const std::vector<DiffHunk> hunks = diffHunks(before, after);
    if (hunks.empty())
        return;
    out.append("--- ").append(oldLabel).append("\n+++ ").append(newLabel).append("\n");
    for (const DiffHunk &hunk : hunks) {
        out += "@@ -";
        appendRange(out, hunk.oldBefore, hunk.oldCount);
        out += " +";
        appendRange(out, hunk.newBefore, hunk.newCount);
        out += " @@\n";
        for (const DiffLine &line : hunk.lines) {
            out += line.kind == DiffLine::Kind::Added ? '+' : line.kind == DiffLine::Kind::Removed ? '-' : ' ';
            out.append(line.text);
            out += '\n';
            if (!line.lineEnd)
                out += "\\ No newline at end of file\n";
        }
    }
}

namespace {

// What GNU diff writes after a backslash for the byte: its letter, 1 for an octal escape, 0 for none.
// NOTE: bytes above 127 count as below 32 there (a signed char), so they are escaped too; DEL is not.
int escapeOf(unsigned char c)
{
    switch (c) {
    case '\a':
        return 'a';
    case '\b':
        return 'b';
    case '\t':
        return 't';
    case '\n':
        return 'n';
    case '\v':
        return 'v';
    case '\f':
        return 'f';
    case '\r':
        return 'r';
    case '"':
        return '"';
    case '\\':
        return '\\';
    default:
        return c < 32 || c > 127 ? 1 : 0;
    }
}

} // namespace

std::string diffLabel(std::string_view name, std::int64_t writtenNs)
{
    std::string label;
    const bool quoted = std::any_of(name.begin(), name.end(),
                                    [](char c) { return c == ' ' || escapeOf(static_cast<unsigned char>(c)) != 0; });
    if (quoted)
        label += '"';
    for (const char c : name) {
        const int escape = escapeOf(static_cast<unsigned char>(c));
        if (escape == 0) {
            label += c;
        } else if (escape == 1) {
            const auto byte = static_cast<unsigned char>(c);
            label += {'\\', char('0' + (byte >> 6)), char('0' + ((byte >> 3) & 7)), char('0' + (byte & 7))};
        } else {
            label += {'\\', char(escape)};
        }
    }
    if (quoted)
        label += '"';

    const std::int64_t seconds = writtenNs >= 0 ? writtenNs / 1000000000 : -((-writtenNs + 999999999) / 1000000000);
    const auto nanoseconds = static_cast<long>(writtenNs - seconds * 1000000000);
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    ::localtime_r(&time, &local);
    char stamp[64];
    const std::size_t date = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char zone[16];
    const std::size_t zoneSize = std::strftime(zone, sizeof zone, "%z", &local);
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, ".%09ld ", nanoseconds);
    label.append("\t").append(stamp, date).append(fraction).append(zone, zoneSize);
    return label;
}

} // namespace tagsmith
