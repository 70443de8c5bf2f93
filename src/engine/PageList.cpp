#include "engine/PageList.h"

#include "engine/FileError.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tagsmith {
namespace {

bool isPageName(const QString &name)
{
    return !name.startsWith(QLatin1Char('.')) && (name.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
                                                  name.endsWith(QLatin1String(".html"), Qt::CaseInsensitive));
}

// Listing the folder leaves its access time alone where the system lets us (a dry run changes no
// time stamp at all).
DIR *openFolder(const char *path)
{
    int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        const int err = errno;
        ::close(fd);
        errno = err;
    }
    return dir;
}

} // namespace

QStringList listPages(const QString &folder, int *error)
{
    if (error)
        *error = 0;
    DIR *dir = folder.isEmpty() ? nullptr : openFolder(QFile::encodeName(folder).constData());
    if (!dir) {
        const int err = folder.isEmpty() ? ENOENT : errno;
        if (error)
            *error = (err == ENOENT || err == ENOTDIR) ? fileerr::PathNotFound : fileErrorFromErrno(err);
        return {};
    }
    // (case-folded name, name): the order ignores case, and names that differ only in case keep a
    // fixed order among themselves.
    std::vector<std::pair<QString, QString>> pages;
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!isPageName(name))
            continue;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st;
            regular = ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (regular)
            pages.emplace_back(name.toCaseFolded(), name);
    }
    ::closedir(dir);
    std::sort(pages.begin(), pages.end());
    QStringList result;
    result.reserve(static_cast<qsizetype>(pages.size()));
    for (auto &page : pages)
        result.append(std::move(page.second));
    return result;
}

} // namespace tagsmith
