#include "engine/UndoFiles.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tagsmith::undofiles {
namespace {

FileIdentity fromStat(const struct stat &st)
{
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                        static_cast<std::int64_t>(st.st_size),
                        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

int result(int rc)
{
    return rc == 0 ? 0 : errno;
}

int g_failAfter = 0;
int g_failure = 0;

// The failure a test asked for, when this operation is the one to fail.
int injected()
{
    if (g_failure == 0)
        return 0;
    if (g_failAfter-- > 0)
        return 0;
    const int err = g_failure;
    g_failure = 0;
    return err;
}

} // namespace

int identity(const std::string &path, FileIdentity *id)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
        *id = FileIdentity();
        return errno == ENOENT ? 0 : errno;
    }
    *id = fromStat(st);
    return 0;
}

int identity(int fd, FileIdentity *id)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return errno;
    *id = fromStat(st);
    return 0;
}

int canonicalPath(const std::string &path, std::string *resolved)
{
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer))
        return errno;
    *resolved = buffer;
    return 0;
}

int makeLink(const std::string &from, const std::string &to)
{
    return result(::link(from.c_str(), to.c_str()));
}

void injectFailure(int after, int err)
{
    g_failAfter = after;
    g_failure = err;
}

int renameFile(const std::string &from, const std::string &to)
{
    if (const int err = injected(); err != 0)
        return err;
    return result(::rename(from.c_str(), to.c_str()));
}

int removeFile(const std::string &path)
{
    if (const int err = injected(); err != 0)
        return err;
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return errno;
    return 0;
}

int makeFolder(const std::string &path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

int listFolder(const std::string &path, std::vector<std::string> *names)
{
    DIR *dir = ::opendir(path.c_str());
    if (!dir)
        return errno;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names->push_back(name);
    }
    ::closedir(dir);
    return 0;
}

int removeFolder(const std::string &path)
{
    std::vector<std::string> names;
    if (const int err = listFolder(path, &names); err != 0)
        return err == ENOENT ? 0 : err;
    for (const std::string &name : names)
        if (const int err = removeFile(path + '/' + name); err != 0)
            return err;
    if (::rmdir(path.c_str()) != 0 && errno != ENOENT)
        return errno;
    return 0;
}

int createNew(const std::string &path, mode_t mode)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    return fd >= 0 ? fd : -errno;
}

int openRead(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
}

int openAppend(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
}

int readSome(int fd, char *to, std::size_t length, std::size_t *got)
{
    for (;;) {
        const ssize_t n = ::read(fd, to, length);
        if (n >= 0) {
            *got = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno != EINTR)
            return errno;
    }
}

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

int syncFile(int fd)
{
    return result(::fsync(fd));
}

int syncFolder(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int err = result(::fsync(fd));
    ::close(fd);
    return err;
}

int closeFile(int fd)
{
    return result(::close(fd));
}

int readAll(const std::string &path, QByteArray *bytes)
{
    const int fd = openRead(path);
    if (fd < 0)
        return -fd;
    bytes->clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            return err;
        }
        if (n == 0)
            break;
        bytes->append(buffer, n);
    }
    ::close(fd);
    return 0;
}

std::int64_t folderSize(const std::string &path)
{
    std::vector<std::string> names;
    if (listFolder(path, &names) != 0)
        return 0;
    std::int64_t total = 0;
    for (const std::string &name : names) {
        struct stat st;
        if (::lstat((path + '/' + name).c_str(), &st) == 0)
            total += st.st_size;
    }
    return total;
}

} // namespace tagsmith::undofiles
