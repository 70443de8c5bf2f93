#include "engine/run/PageList.h"

#include "engine/encoding/AsciiText.h"
#include "engine/fs/FileError.h"
#include "engine/fs/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>
#include <vector>

namespace tagsmith {

bool isPageName(std::string_view name)
{
    return !name.empty() && name.front() != '.' &&
           (ascii::endsWithIgnoringCase(name, ".htm") || ascii::endsWithIgnoringCase(name, ".html"));
}

QStringList listPages(const QString &folder, int *error, const std::function<void(const fs::FolderEntry &)> &alsoEach)
{
    if (error)
        *error = 0;
    // (case-folded name, name): the order ignores case, and names that differ only in case keep a
    // fixed order among themselves.
    std::vector<std::pair<QString, QString>> pages;
    const int err =
        folder.isEmpty() ? ENOENT : fs::listFolder(fs::native(folder), [&](const fs::FolderEntry &entry) {
            if (alsoEach)
                alsoEach(entry);
            if (isPageName(entry.name()) && entry.isRegularFile()) {
                QString name = fs::fromNative(entry.name());
                pages.emplace_back(name.toCaseFolded(), std::move(name));
            }
        });
    if (err != 0) {
        if (error)
            *error = (err == ENOENT || err == ENOTDIR) ? fileerr::PathNotFound : fileErrorFromErrno(err);
        return {};
    }
    // One comparison a step where the pair's own order makes two.
    std::sort(pages.begin(), pages.end(), [](const auto &a, const auto &b) {
        const int folded = a.first.compare(b.first);
        return folded != 0 ? folded < 0 : a.second < b.second;
    });
    QStringList result;
    result.reserve(static_cast<qsizetype>(pages.size()));
    for (auto &page : pages)
        result.append(std::move(page.second));
    return result;
}

} // namespace tagsmith
