#include "engine/PageBackup.h"

#include "engine/PageReader.h"

#include <cerrno>
#include <limits>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tagsmith {

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

int PageBackup::choose(const std::string &PagePath, const std::set<std::string> *alsoTaken)
{
    m_made = false;
    for (std::uint64_t counter = 0;; ++counter) {
        m_BackupPath = nameFor(PagePath, counter);
        if (alsoTaken && alsoTaken->count(m_BackupPath) != 0)
            continue;
        struct stat st;
        if (::lstat(m_BackupPath.c_str(), &st) != 0) {
            if (errno != ENOENT)
                return errno;
            m_takenOver = false;
            return 0;
        }
        if (S_ISREG(st.st_mode) && st.st_size == 0) {
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
        if (::unlink(m_BackupPath.c_str()) != 0)
            return errno;
    }
    if (!pageExists) {
        const int fd = ::open(m_BackupPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
        if (fd < 0)
            return errno;
        ::close(fd);
        m_made = true;
        return 0;
    }
    if (::link(targetPath.c_str(), m_BackupPath.c_str()) == 0) {
        m_made = true;
        return 0;
    }
    const int err = errno;
    // Folders on another file system, file systems without hard links, or links refused for a
    // file of someone else: a copy does the same.
    if (err != EXDEV && err != EPERM && err != EMLINK && err != ENOTSUP && err != EOPNOTSUPP)
        return err;
    return copy(pageFd, wholePage, mode);
}

namespace {

int writeAll(int fd, const char *bytes, std::size_t length)
{
    for (std::size_t done = 0; done < length;) {
        const ssize_t n = ::write(fd, bytes + done, length - done);
        if (n < 0) {
            if (errno != EINTR)
                return errno;
            continue;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

} // namespace

int PageBackup::copy(int pageFd, const std::string_view *wholePage, mode_t mode)
{
    const int fd = ::open(m_BackupPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    m_made = true;
    int err = 0;
    if (wholePage) {
        err = writeAll(fd, wholePage->data(), wholePage->size());
    } else {
        std::vector<char> buffer;
        const int readErr = PageReader::forEachBlock(pageFd, std::numeric_limits<std::int64_t>::max(), 1 << 20, buffer,
                                                     [fd, &err](std::string_view bytes) {
                                                         err = writeAll(fd, bytes.data(), bytes.size());
                                                         return err == 0;
                                                     });
        if (err == 0)
            err = readErr;
    }
    if (err == 0 && ::fchmod(fd, mode & 07777) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err != 0)
        undo();
    return err;
}

void PageBackup::undo()
{
    if (m_made)
        ::unlink(m_BackupPath.c_str());
    m_made = false;
    if (m_takenOver) {
        struct stat st;
        if (::lstat(m_BackupPath.c_str(), &st) != 0) {
            const int fd = ::open(m_BackupPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0)
                ::close(fd);
        }
    }
}

int PageBackup::releaseTakenOver()
{
    if (!m_takenOver)
        return 0;
    struct stat st;
    // Only the empty file that was there; anything put there since stays.
    if (::lstat(m_BackupPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0)
        return 0;
    if (::unlink(m_BackupPath.c_str()) != 0)
        return errno;
    return 0;
}

} // namespace tagsmith
