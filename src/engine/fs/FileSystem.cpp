#include "engine/fs/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tagsmith::fs {

// ---- Fault injection --------------------------------------------------------------------------

struct FaultInjector::State
{
    struct Fault
    {
        Call call;
        int error;
        std::string pathPart;
        int nth; // 0: every matching call
        int seen = 0;
    };

    mutable std::mutex mutex;
    std::vector<Fault> faults;
    std::array<int, static_cast<std::size_t>(Call::SetTime) + 1> counts{};
    std::map<int, std::string> openPaths; // descriptors opened while the injector lives

    int check(Call call, std::string_view path)
    {
        std::lock_guard lock(mutex);
        ++counts[static_cast<std::size_t>(call)];
        for (Fault &fault : faults) {
            if (fault.call != call || path.find(fault.pathPart) == std::string_view::npos)
                continue;
            ++fault.seen;
            if (fault.nth == 0 || fault.seen == fault.nth)
                return fault.error;
        }
        return 0;
    }

    int check(Call call, int fd)
    {
        std::string path;
        {
            std::lock_guard lock(mutex);
            if (const auto it = openPaths.find(fd); it != openPaths.end())
                path = it->second;
        }
        return check(call, path);
    }
};

namespace {

// Null unless a test injects faults: outside tests every operation pays one load for it.
std::atomic<FaultInjector::State *> g_faults{nullptr};

FaultInjector::State *faults()
{
    return g_faults.load(std::memory_order_acquire);
}

int injected(Call call, std::string_view path)
{
    FaultInjector::State *state = faults();
    return state ? state->check(call, path) : 0;
}

int injected(Call call, int fd)
{
    FaultInjector::State *state = faults();
    return state ? state->check(call, fd) : 0;
}

void opened(int fd, const std::string &path)
{
    if (FaultInjector::State *state = faults()) {
        std::lock_guard lock(state->mutex);
        state->openPaths[fd] = path;
    }
}

void closed(int fd)
{
    if (FaultInjector::State *state = faults()) {
        std::lock_guard lock(state->mutex);
        state->openPaths.erase(fd);
    }
}

int failed(int result)
{
    return result == 0 ? 0 : errno;
}

void fill(const struct stat &from, Status *to)
{
    to->mode = from.st_mode;
    to->owner = from.st_uid;
    to->group = from.st_gid;
    to->device = from.st_dev;
    to->inode = from.st_ino;
    to->size = from.st_size;
    to->mtimeNs = static_cast<std::int64_t>(from.st_mtim.tv_sec) * 1000000000 + from.st_mtim.tv_nsec;
}

int openFile(Call call, const std::string &path, int flags, mode_t mode, File *file)
{
    *file = File();
    if (const int err = injected(call, path); err != 0)
        return err;
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    if (fd < 0)
        return errno;
    opened(fd, path);
    *file = File(fd);
    return 0;
}

} // namespace

FaultInjector::FaultInjector() : m_state(std::make_unique<State>())
{
    g_faults.store(m_state.get(), std::memory_order_release);
}

FaultInjector::~FaultInjector()
{
    g_faults.store(nullptr, std::memory_order_release);
}

void FaultInjector::fail(Call call, int error, std::string pathPart, int nth)
{
    std::lock_guard lock(m_state->mutex);
    m_state->faults.push_back(State::Fault{call, error, std::move(pathPart), nth});
}

int FaultInjector::count(Call call) const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->counts[static_cast<std::size_t>(call)];
}

// ---- Paths ------------------------------------------------------------------------------------

namespace {

// A byte of a name that is not UTF-8, as fromNative() carries it.
bool isEscapedByte(const QString &text, qsizetype i)
{
    const char16_t unit = text.at(i).unicode();
    return unit >= 0xDC80 && unit <= 0xDCFF && (i == 0 || !text.at(i - 1).isHighSurrogate());
}

// The length of the UTF-8 sequence at bytes[i]; 0 when the bytes there are none (overlong forms,
// surrogates and code points past U+10FFFF are none).
std::size_t utf8SequenceAt(std::string_view bytes, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    return code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ? 0 : length;
}

// The path with each byte that is not UTF-8 made text by shownByte.
template <typename Shown> QString showingBytes(const QString &path, Shown shownByte)
{
    QString result;
    result.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (isEscapedByte(path, i))
            shownByte(result, static_cast<unsigned char>(path.at(i).unicode() - 0xDC00));
        else
            result += path.at(i);
    }
    return result;
}

} // namespace

std::string native(const QString &path)
{
    // NOTE: names are UTF-8 whatever the locale says, as the file layer's text is.
    std::string bytes;
    qsizetype from = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isEscapedByte(path, i))
            continue;
        bytes += QStringView(path).sliced(from, i - from).toUtf8().toStdString();
        bytes += static_cast<char>(path.at(i).unicode() - 0xDC00);
        from = i + 1;
    }
    if (from == 0)
        return path.toStdString();
    bytes += QStringView(path).sliced(from).toUtf8().toStdString();
    return bytes;
}

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

QString fromNative(std::string_view path)
{
    // (QFile::decodeName() makes every such byte U+FFFD: the name is then lost.)
    QString text;
    std::size_t from = 0;
    for (std::size_t i = 0; i < path.size();) {
        if (const std::size_t length = utf8SequenceAt(path, i); length > 0) {
            i += length;
            continue;
        }
        text += QString::fromUtf8(path.data() + from, static_cast<qsizetype>(i - from));
        text += QChar(char16_t(0xDC00 + static_cast<unsigned char>(path[i])));
        from = ++i;
    }
    if (from == 0)
        return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
    text += QString::fromUtf8(path.data() + from, static_cast<qsizetype>(path.size() - from));
    return text;
}

QString shown(const QString &path)
{
    return showingBytes(path, [](QString &to, unsigned char byte) {
        to += QLatin1Char('\\');
        for (const int shift : {6, 3, 0})
            to += QLatin1Char(char('0' + ((byte >> shift) & 7)));
    });
}

QString withReplacements(const QString &path)
{
    return showingBytes(path, [](QString &to, unsigned char) { to += QChar::ReplacementCharacter; });
}

// ---- Descriptors ------------------------------------------------------------------------------

File &File::operator=(File &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

int File::close()
{
    if (m_fd < 0)
        return 0;
    const int fd = m_fd;
    m_fd = -1;
    int err = injected(Call::Close, fd);
    closed(fd);
    if (::close(fd) != 0 && err == 0)
        err = errno;
    return err;
}

bool Status::isRegular() const
{
    return S_ISREG(mode);
}

bool Status::isFolder() const
{
    return S_ISDIR(mode);
}

int openForReading(const std::string &path, Links links, File *file)
{
    // Reading leaves the access time alone where the system lets us (the owner's files): a dry run
    // changes no time stamp.
    const int flags = O_RDONLY | O_NONBLOCK | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int err = openFile(Call::OpenForReading, path, flags | O_NOATIME, 0, file);
    return err == EPERM ? openFile(Call::OpenForReading, path, flags, 0, file) : err;
}

int createNew(const std::string &path, mode_t mode, File *file)
{
    return openFile(Call::CreateNew, path, O_WRONLY | O_CREAT | O_EXCL, mode & 07777, file);
}

int openForAppending(const std::string &path, File *file)
{
    return openFile(Call::CreateNew, path, O_WRONLY | O_APPEND, 0, file);
}

int makeFolder(const std::string &path, mode_t mode)
{
    if (const int err = injected(Call::MakeFolder, path); err != 0)
        return err;
    if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

int readAt(int fd, char *to, std::int64_t offset, std::size_t length, std::size_t *got)
{
    *got = 0;
    if (const int err = injected(Call::Read, fd); err != 0)
        return err;
    while (*got < length) {
        const ssize_t n = ::pread(fd, to + *got, length - *got, static_cast<off_t>(offset) + static_cast<off_t>(*got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            break;
        *got += static_cast<std::size_t>(n);
    }
    return 0;
}

int replaceWholeFile(const std::string &path, std::string_view bytes)
{
    return replaceWholeFile(path, [bytes](int fd) { return writeAll(fd, bytes); });
}

int replaceWholeFile(const std::string &path, const std::function<int(int fd)> &write)
{
    File file;
    std::string temporary;
    for (int counter = 0;; ++counter) {
        temporary = path + ".tmp" + std::to_string(counter);
        const int err = createNew(temporary, 0666 & ~creationMask(), &file);
        if (err == 0)
            break;
        if (err != EEXIST)
            return err;
    }
    int err = write(file.fd());
    if (const int closeErr = file.close(); err == 0)
        err = closeErr;
    if (err == 0)
        err = rename(temporary, path);
    if (err != 0)
        remove(temporary);
    return err;
}

int saveFile(const std::string &path, const std::function<int(int fd)> &write)
{
    Status st;
    const int err = linkStatus(path, &st);
    if (err == ENOENT || (err == 0 && st.isRegular()))
        return replaceWholeFile(path, write);
    if (err != 0)
        return err;
    File file;
    if (const int openErr = openFile(Call::CreateNew, path, O_WRONLY | O_CREAT | O_TRUNC, 0666, &file); openErr != 0)
        return openErr;
    const int writeErr = write(file.fd());
    const int closeErr = file.close();
    return writeErr != 0 ? writeErr : closeErr;
}

int writeAll(int fd, std::string_view bytes)
{
    if (bytes.empty())
        return 0;
    if (const int err = injected(Call::Write, fd); err != 0)
        return err;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int writeAll(int fd, std::span<const std::string_view> pieces)
{
    if (const int err = injected(Call::Write, fd); err != 0)
        return err;
    constexpr std::size_t Most = 64; // pieces a call (the system takes at least 1024)
    std::size_t next = 0;
    while (next < pieces.size()) {
        std::array<iovec, Most> vectors;
        std::size_t count = 0;
        for (; next < pieces.size() && count < Most; ++next)
            if (!pieces[next].empty())
                vectors[count++] = {const_cast<char *>(pieces[next].data()), pieces[next].size()};
        iovec *left = vectors.data();
        while (count > 0) {
            const ssize_t n = ::writev(fd, left, static_cast<int>(count));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            // A short write goes on where it stopped.
            auto written = static_cast<std::size_t>(n);
            while (count > 0 && written >= left->iov_len) {
                written -= left->iov_len;
                ++left;
                --count;
            }
            if (count > 0) {
                left->iov_base = static_cast<char *>(left->iov_base) + written;
                left->iov_len -= written;
            }
        }
    }
    return 0;
}

int sync(int fd)
{
    if (const int err = injected(Call::Sync, fd); err != 0)
        return err;
    return failed(::fsync(fd));
}

void startWriteback(int fd, std::int64_t offset, std::int64_t length)
{
    ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
}

int syncPath(const std::string &path, bool folder)
{
    File file;
    if (const int err = openFile(Call::OpenForReading, path, O_RDONLY | (folder ? O_DIRECTORY : 0), 0, &file); err != 0)
        return err;
    const int err = sync(file.fd());
    file.close();
    return err;
}

int syncFileSystem(const std::string &folder)
{
    File file;
    if (const int err = openFile(Call::OpenForReading, folder, O_RDONLY | O_DIRECTORY, 0, &file); err != 0)
        return err;
    if (const int err = injected(Call::Sync, file.fd()); err != 0)
        return err;
    const int err = failed(::syncfs(file.fd()));
    file.close();
    return err;
}

int status(int fd, Status *st)
{
    if (const int err = injected(Call::Status, fd); err != 0)
        return err;
    struct stat s;
    if (::fstat(fd, &s) != 0)
        return errno;
    fill(s, st);
    return 0;
}

int linkStatus(const std::string &path, Status *st)
{
    if (const int err = injected(Call::LinkStatus, path); err != 0)
        return err;
    struct stat s;
    if (::lstat(path.c_str(), &s) != 0)
        return errno;
    fill(s, st);
    return 0;
}

int pathStatus(const std::string &path, Status *st)
{
    if (const int err = injected(Call::Status, path); err != 0)
        return err;
    struct stat s;
    if (::stat(path.c_str(), &s) != 0)
        return errno;
    fill(s, st);
    return 0;
}

int exists(const std::string &path, bool *found)
{
    Status st;
    const int err = linkStatus(path, &st);
    *found = err == 0;
    return err == ENOENT ? 0 : err;
}

bool existsFollowingLinks(const std::string &path)
{
    if (injected(Call::Status, path) != 0)
        return false;
    struct stat s;
    return ::stat(path.c_str(), &s) == 0;
}

int changeOwner(int fd, uid_t owner, gid_t group)
{
    if (const int err = injected(Call::ChangeOwner, fd); err != 0)
        return err;
    return failed(::fchown(fd, owner, group));
}

int changeMode(int fd, mode_t mode)
{
    if (const int err = injected(Call::ChangeMode, fd); err != 0)
        return err;
    return failed(::fchmod(fd, mode & 07777));
}

int setModificationTime(const std::string &path, std::int64_t mtimeNs)
{
    if (const int err = injected(Call::SetTime, path); err != 0)
        return err;
    const timespec times[2] = {{0, UTIME_OMIT}, {mtimeNs / 1000000000, mtimeNs % 1000000000}};
    return failed(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW));
}

int rename(const std::string &from, const std::string &to)
{
    if (const int err = injected(Call::Rename, to); err != 0)
        return err;
    return failed(::rename(from.c_str(), to.c_str()));
}

int link(const std::string &existing, const std::string &newName)
{
    if (const int err = injected(Call::Link, newName); err != 0)
        return err;
    return failed(::link(existing.c_str(), newName.c_str()));
}

int unlink(const std::string &path)
{
    if (const int err = injected(Call::Unlink, path); err != 0)
        return err;
    return failed(::unlink(path.c_str()));
}

int remove(const std::string &path)
{
    if (const int err = injected(Call::Remove, path); err != 0)
        return err;
    if (std::remove(path.c_str()) != 0 && errno != ENOENT)
        return errno;
    return 0;
}

int makeFolders(const std::string &path)
{
    if (const int err = injected(Call::MakeFolder, path); err != 0)
        return err;
    // Each folder from the top down; one that exists must be a folder (or a link to one).
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), 0777) != 0) {
            const int err = errno;
            struct stat st;
            if (err != EEXIST || ::stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
                return err == EEXIST ? ENOTDIR : err;
        }
        if (end == std::string::npos)
            return 0;
    }
}

int realPath(const std::string &path, std::string *resolved)
{
    if (const int err = injected(Call::RealPath, path); err != 0)
        return err;
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer))
        return errno;
    *resolved = buffer;
    return 0;
}

int mayWrite(const File &file, const std::string &path)
{
    if (const int err = injected(Call::MayWrite, path); err != 0)
        return err;
    const int err = failed(::faccessat(file.fd(), "", W_OK, AT_EACCESS | AT_EMPTY_PATH));
    // An open file is there: a system that cannot ask the file itself answers one of these.
    if (err == ENOENT || err == EINVAL || err == ENOSYS || err == EBADF)
        return failed(::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS));
    return err;
}

int mayWriteIn(const std::string &folder)
{
    if (const int err = injected(Call::MayWrite, folder); err != 0)
        return err;
    return failed(::access(folder.c_str(), W_OK | X_OK));
}

mode_t creationMask()
{
    static const mode_t mask = [] {
        const mode_t current = ::umask(0);
        ::umask(current);
        return current;
    }();
    return mask;
}

// The program never changes its user or group: asked once, not for every page.
uid_t effectiveUser()
{
    static const uid_t user = ::geteuid();
    return user;
}

gid_t effectiveGroup()
{
    static const gid_t group = ::getegid();
    return group;
}

bool processRuns(pid_t process)
{
    return process > 0 && (::kill(process, 0) == 0 || errno != ESRCH);
}

namespace {

// The first line of a small file of the system (/proc), whole.
std::string readSystemFile(const char *path)
{
    File file(::open(path, O_RDONLY | O_CLOEXEC));
    if (!file.isOpen())
        return {};
    std::string bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::read(file.fd(), buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(n));
    return bytes;
}

// The process holding the write lock of flock() on the file, as the kernel lists its locks.
pid_t flockHolder(const struct stat &st)
{
    char id[64];
    std::snprintf(id, sizeof id, " %02x:%02x:%llu ", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    const std::string locks = readSystemFile("/proc/locks");
    for (std::size_t at = 0; at < locks.size();) {
        std::size_t end = locks.find('\n', at);
        if (end == std::string::npos)
            end = locks.size();
        const std::string_view line(locks.data() + at, end - at);
        at = end + 1;
        // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; waiting ones start with "->".
        const std::size_t idAt = line.find(id);
        if (idAt == std::string_view::npos || line.find("->") != std::string_view::npos ||
            line.find("FLOCK") == std::string_view::npos)
            continue;
        const std::size_t pidAt = line.find_last_of(' ', idAt - 1);
        if (pidAt != std::string_view::npos)
            return static_cast<pid_t>(std::atoi(std::string(line.substr(pidAt + 1, idAt - pidAt - 1)).c_str()));
    }
    return 0;
}

LockHolder holderOf(const struct stat &st)
{
    LockHolder holder;
    holder.process = flockHolder(st);
    if (holder.process <= 0)
        return holder;
    const std::string proc = "/proc/" + std::to_string(holder.process);
    std::string comm = readSystemFile((proc + "/comm").c_str());
    while (!comm.empty() && comm.back() == '\n')
        comm.pop_back();
    holder.program = fromNative(comm);
    // Its start, in clock ticks after the boot (the 22nd field, counted after the name's closing bracket).
    const std::string stat = readSystemFile((proc + "/stat").c_str());
    const std::size_t nameEnd = stat.rfind(')');
    const std::string bootStat = readSystemFile("/proc/stat");
    const std::size_t btime = bootStat.find("\nbtime ");
    if (nameEnd == std::string::npos || btime == std::string::npos)
        return holder;
    std::size_t field = nameEnd + 1;
    for (int i = 2; i < 22 && field != std::string::npos; ++i)
        field = stat.find(' ', field + 1);
    const long ticks = ::sysconf(_SC_CLK_TCK);
    if (field == std::string::npos || ticks <= 0)
        return holder;
    const long long sinceBoot = std::atoll(stat.c_str() + field + 1);
    const long long boot = std::atoll(bootStat.c_str() + btime + 7);
    holder.startedMs = boot * 1000 + sinceBoot * 1000 / ticks;
    return holder;
}

} // namespace

int lockFolder(const std::string &folder, File *lock, LockHolder *holder)
{
    if (const int err = injected(Call::Lock, folder); err != 0)
        return err;
    File file(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!file.isOpen())
        return errno;
    if (::flock(file.fd(), LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        struct stat st
        {
        };
        if (err == EWOULDBLOCK && holder && ::fstat(file.fd(), &st) == 0)
            *holder = holderOf(st);
        return err;
    }
    *lock = std::move(file);
    return 0;
}

// ---- Folders ----------------------------------------------------------------------------------

std::string_view FolderEntry::name() const
{
    return m_entry->d_name;
}

bool FolderEntry::isRegularFile() const
{
    if (m_entry->d_type != DT_LNK && m_entry->d_type != DT_UNKNOWN)
        return m_entry->d_type == DT_REG;
    struct stat st;
    return ::fstatat(::dirfd(static_cast<DIR *>(m_dir)), m_entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

int listFolder(const std::string &folder, const std::function<void(const FolderEntry &)> &take)
{
    if (const int err = injected(Call::ListFolder, folder); err != 0)
        return err;
    // Listing leaves the folder's access time alone where the system lets us, as reading a page does.
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    while (const dirent *entry = ::readdir(dir))
        take(FolderEntry(dir, entry));
    ::closedir(dir);
    return 0;
}

QString absoluteCleanPath(const QString &path)
{
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    // The current folder's name as bytes (QDir::currentPath() would lose a byte that is not UTF-8).
    std::vector<char> current(PATH_MAX);
    while (::getcwd(current.data(), current.size()) == nullptr) {
        if (errno != ERANGE)
            return QDir::cleanPath(QDir(path).absolutePath());
        current.resize(current.size() * 2);
    }
    return QDir::cleanPath(fromNative(current.data()) + QLatin1Char('/') + path);
}

QString relativePath(const QString &folder, const QString &path)
{
    return QDir(folder).relativeFilePath(path);
}

QString pathIn(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(name);
}

QString cleanPath(const QString &path)
{
    return QDir::cleanPath(path);
}

bool sameFile(const QString &a, const QString &b)
{
    Status first;
    Status second;
    const bool firstFound = pathStatus(native(a), &first) == 0;
    const bool secondFound = pathStatus(native(b), &second) == 0;
    if (firstFound && secondFound)
        return first.device == second.device && first.inode == second.inode;
    return !firstFound && !secondFound && absoluteCleanPath(a) == absoluteCleanPath(b);
}

bool isFolder(const QString &path)
{
    Status st;
    return pathStatus(native(path), &st) == 0 && st.isFolder();
}

bool isFile(const QString &path)
{
    Status st;
    return pathStatus(native(path), &st) == 0 && st.isRegular();
}

QStringList subfolders(const QString &folder)
{
    const std::string path = native(folder);
    QStringList names;
    listFolder(path, [&](const FolderEntry &entry) {
        const std::string_view name = entry.name();
        Status st;
        if (!name.starts_with('.') && pathStatus(path + '/' + std::string(name), &st) == 0 && st.isFolder())
            names << fromNative(name);
    });
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

bool setCurrentFolder(const QString &folder)
{
    return ::chdir(native(folder).c_str()) == 0;
}

QStringList volumeRoots()
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir())
            roots << volume.rootPath();
    }
    return roots;
}

} // namespace tagsmith::fs
