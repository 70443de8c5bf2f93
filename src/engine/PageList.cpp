#include "engine/PageList.h"

#include "engine/FileError.h"
#include "engine/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace tagsmith {
namespace {

bool isPageName(const QString &name)
{
    return !name.startsWith(QLatin1Char('.')) && (name.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
                                                  name.endsWith(QLatin1String(".html"), Qt::CaseInsensitive));
}

} // namespace

QStringList listPages(const QString &folder, int *error)
{
    if (error)
        *error = 0;
    // (case-folded name, name): the order ignores case, and names that differ only in case keep a
    // fixed order among themselves.
    std::vector<std::pair<QString, QString>> pages;
    const int err =
        folder.isEmpty() ? ENOENT : fs::listFolder(fs::native(folder), [&pages](const fs::FolderEntry &entry) {
            const QString name = fs::fromNative(entry.name());
            if (isPageName(name) && entry.isRegularFile())
                pages.emplace_back(name.toCaseFolded(), name);
        });
    if (err != 0) {
        if (error)
            *error = (err == ENOENT || err == ENOTDIR) ? fileerr::PathNotFound : fileErrorFromErrno(err);
        return {};
    }
    std::sort(pages.begin(), pages.end());
    QStringList result;
    result.reserve(static_cast<qsizetype>(pages.size()));
    for (auto &page : pages)
        result.append(std::move(page.second));
    return result;
}

} // namespace tagsmith
