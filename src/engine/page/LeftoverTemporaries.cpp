#include "engine/page/LeftoverTemporaries.h"

#include "engine/encoding/AsciiText.h"
#include "engine/fs/FileSystem.h"

#include <cstdio>
#include <vector>

namespace tagsmith {
namespace {

constexpr std::string_view Suffix = ".tmp";
constexpr std::size_t NonceDigits = 8;

bool isLowerHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

} // namespace

std::string temporaryName(std::string_view pageName, pid_t process, std::uint32_t nonce)
{
    char tail[40];
    std::snprintf(tail, sizeof tail, ".%d-%08x", static_cast<int>(process), static_cast<unsigned>(nonce));
    std::string name;
    name.reserve(1 + pageName.size() + 20);
    name += '.';
    name += pageName;
    name += tail;
    name += Suffix;
    return name;
}

std::optional<pid_t> temporaryOwner(std::string_view name)
{
    // From the end: ".tmp", eight hex digits, "-", the process number, ".", the page name, ".".
    if (name.size() < 1 + 1 + 1 + 1 + 1 + NonceDigits + Suffix.size() || name.front() != '.' ||
        name.substr(name.size() - Suffix.size()) != Suffix)
        return std::nullopt;
    name.remove_suffix(Suffix.size());
    for (std::size_t i = name.size() - NonceDigits; i < name.size(); ++i)
        if (!isLowerHex(name[i]))
            return std::nullopt;
    name.remove_suffix(NonceDigits);
    if (name.back() != '-')
        return std::nullopt;
    name.remove_suffix(1);
    std::size_t digits = 0;
    while (digits < name.size() && digits < 10 && name[name.size() - 1 - digits] >= '0' &&
           name[name.size() - 1 - digits] <= '9')
        ++digits;
    const std::size_t dot = name.size() - digits - 1;
    if (digits == 0 || digits >= name.size() || name[dot] != '.' || name[dot + 1] == '0' || dot < 2)
        return std::nullopt;
    long long process = 0;
    for (std::size_t i = dot + 1; i < name.size(); ++i)
        process = process * 10 + (name[i] - '0');
    if (process > 0x7FFFFFFF)
        return std::nullopt;
    return static_cast<pid_t>(process);
}

int removeLeftoverTemporaries(const std::string &folder)
{
    std::vector<std::string> hidden;
    fs::listFolder(folder, [&hidden](const fs::FolderEntry &entry) {
        if (entry.name().front() == '.')
            hidden.emplace_back(entry.name());
    });
    return removeLeftoverTemporaries(folder, hidden);
}

int removeLeftoverTemporaries(const std::string &folder, const std::vector<std::string> &hidden)
{
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    int removed = 0;
    for (const std::string &name : hidden) {
        const std::optional<pid_t> owner = temporaryOwner(name);
        if (!owner || fs::processRuns(*owner))
            continue;
        // The page it was to replace: a page by its name, or a file that is there (a linked page's
        // file may have any name). A look-alike of something else stays.
        const std::string_view rest = std::string_view(name).substr(1);
        const std::string_view page = rest.substr(0, rest.rfind('.', rest.rfind('-')));
        const bool forPage = ascii::endsWithIgnoringCase(page, ".htm") || ascii::endsWithIgnoringCase(page, ".html") ||
                             fs::existsFollowingLinks(prefix + std::string(page));
        const std::string path = prefix + name;
        fs::Status st;
        if (forPage && fs::linkStatus(path, &st) == 0 && st.isRegular() && fs::unlink(path) == 0)
            ++removed;
    }
    return removed;
}

} // namespace tagsmith
