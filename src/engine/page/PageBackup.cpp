#include "engine/page/PageBackup.h"

#include "engine/fs/FileSystem.h"
#include "engine/page/PageReader.h"

#include <cerrno>
#include <limits>
#include <string_view>
#include <vector>

namespace tagsmith {

bool ListedBackups::looksLikeBackup(std::string_view name)
{
    while (!name.empty() && name.back() >= '0' && name.back() <= '9')
        name.remove_suffix(1);
    return name.ends_with("bak");
}

void ListedBackups::listed(const std::string &prefix, std::unordered_set<std::string> names)
{
    m_folders[prefix] = std::move(names);
}

bool ListedBackups::mayExist(std::string_view path) const
{
    const std::size_t slash = path.rfind('/');
    const std::size_t nameAt = slash == std::string_view::npos ? 0 : slash + 1;
    const auto folder = m_folders.find(path.substr(0, nameAt));
    return folder == m_folders.end() || folder->second.count(std::string(path.substr(nameAt))) != 0;
}

std::string PageBackup::nameFor(std::string_view PagePath, std::uint64_t counter)
{
    // Only the file name gives up characters, so the backup always stands beside the page.
    const std::size_t slash = PagePath.rfind('/');
    const std::size_t nameLength = slash == std::string_view::npos ? PagePath.size() : PagePath.size() - slash - 1;
    std::string name(PagePath.substr(0, PagePath.size() - std::min<std::size_t>(3, nameLength)));
    name += "bak";
    if (counter > 0)
        name += std::to_string(counter);
    return name;
}

int PageBackup::choose(const std::string &PagePath, const std::set<std::string> *alsoTaken,
                       const ListedBackups *listed)
{
    m_made = false;
    for (std::uint64_t counter = 0;; ++counter) {
        m_BackupPath = nameFor(PagePath, counter);
        if (alsoTaken && alsoTaken->count(m_BackupPath) != 0)
            continue;
        if (listed && !listed->mayExist(m_BackupPath)) {
            m_takenOver = false;
            return 0;
        }
        fs::Status st;
        if (const int err = fs::linkStatus(m_BackupPath, &st); err != 0) {
            if (err != ENOENT)
                return err;
            m_takenOver = false;
            return 0;
        }
        if (st.isRegular() && st.size == 0) {
            m_takenOver = true;
            return 0;
        }
    }
}

int PageBackup::make(const std::string &targetPath, int pageFd, const std::string_view *wholePage, bool pageExists,
                     mode_t mode)
{
    if (m_takenOver) {
        if (!pageExists)
            return 0; // the empty file is the backup of a page that was not there
        if (const int err = fs::unlink(m_BackupPath); err != 0)
            return err;
    }
    if (!pageExists) {
        fs::File file;
        if (const int err = fs::createNew(m_BackupPath, mode, &file); err != 0)
            return err;
        m_made = true;
        return 0;
    }
    const int err = fs::link(targetPath, m_BackupPath);
    if (err == 0) {
        m_made = true;
        return 0;
    }
    // Folders on another file system, file systems without hard links, or links refused for a
    // file of someone else: a copy does the same.
    if (err != EXDEV && err != EPERM && err != EMLINK && err != ENOTSUP && err != EOPNOTSUPP)
        return err;
    return copy(pageFd, wholePage, mode);
}

int PageBackup::copy(int pageFd, const std::string_view *wholePage, mode_t mode)
{
    fs::File file;
    if (const int err = fs::createNew(m_BackupPath, 0600, &file); err != 0)
        return err;
    m_made = true;
    const int fd = file.fd();
    int err = 0;
    if (wholePage) {
        err = fs::writeAll(fd, *wholePage);
    } else {
        std::vector<char> buffer;
        const int readErr = PageReader::forEachBlock(pageFd, std::numeric_limits<std::int64_t>::max(), 1 << 20, buffer,
                                                     [fd, &err](std::string_view bytes) {
                                                         err = fs::writeAll(fd, bytes);
                                                         return err == 0;
                                                     });
        if (err == 0)
            err = readErr;
    }
    if (err == 0)
        err = fs::changeMode(fd, mode);
    if (const int closeErr = file.close(); closeErr != 0 && err == 0)
        err = closeErr;
    if (err != 0)
        undo();
    return err;
}

void PageBackup::undo()
{
    if (m_made)
        fs::unlink(m_BackupPath);
    m_made = false;
    if (m_takenOver) {
        fs::Status st;
        if (fs::linkStatus(m_BackupPath, &st) != 0) {
            fs::File file;
            fs::createNew(m_BackupPath, 0666, &file);
        }
    }
}

int PageBackup::releaseTakenOver()
{
    if (!m_takenOver)
        return 0;
    fs::Status st;
    // Only the empty file that was there; anything put there since stays.
    if (fs::linkStatus(m_BackupPath, &st) != 0 || !st.isRegular() || st.size != 0)
        return 0;
    return fs::unlink(m_BackupPath);
}

} // namespace tagsmith
