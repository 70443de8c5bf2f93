#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

struct dirent;

// The program's one way to the file system. Every file operation of the engine, the storage, the
// batch command and the screens goes through here, so that a port touches this file only and a test
// can make any operation fail (see FaultInjector).
//
// Operations return the errno of their failure, 0 on success: the file-error messages are made from
// that number (fileErrorFromErrno). Paths are native (QString paths go through native()).
namespace tagsmith::fs {

// A path as the file system spells it, and back. A name is any bytes: its UTF-8 becomes text, and
// each byte that is not UTF-8 is carried as the lone surrogate U+DC00 + byte, so that native() gives
// back every byte that fromNative() was given (a name that is UTF-8 is plain text).
std::string native(const QString &path);
QString fromNative(std::string_view path);
// A path as a message shows it: a byte that is not UTF-8 as an octal escape ("caf\351.html"), as the
// GNU tools show it.
QString shown(const QString &path);
// The same with the replacement character in place of such a byte, where a name is only looked at.
QString withReplacements(const QString &path);
// The folder a native path names a file in: "." for a bare name.
std::string folderOf(const std::string &path);

// An open descriptor, closed when it goes (a failed close is then not reported: call close() where it
// counts).
class File
{
public:
    File() = default;
    explicit File(int fd) : m_fd(fd) {}
    ~File() { close(); }
    File(File &&other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    File &operator=(File &&other) noexcept;
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // Closes the descriptor (once); the errno of a failed close, else 0.
    int close();

private:
    int m_fd = -1;
};

// What a stat call tells.
struct Status
{
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0; // when it was last written, ns since the epoch

    bool isRegular() const;
    bool isFolder() const;
};

enum class Links { Follow, Refuse };

// Opens a file for reading without waiting on it (a fifo does not block); with Links::Refuse a link
// fails with ELOOP.
int openForReading(const std::string &path, Links links, File *file);
// Creates a file that does not exist yet (never one that does), for writing.
int createNew(const std::string &path, mode_t mode, File *file);
// Opens a file that exists for writing at its end.
int openForAppending(const std::string &path, File *file);
// Makes a folder; one that is there already is no error.
int makeFolder(const std::string &path, mode_t mode);

// Reads up to length bytes at offset; fewer only at the end of the file.
int readAt(int fd, char *to, std::int64_t offset, std::size_t length, std::size_t *got);
// Writes all of bytes.
int writeAll(int fd, std::string_view bytes);
// Writes all of the pieces, in order, in as few calls as the system allows.
int writeAll(int fd, std::span<const std::string_view> pieces);
// Puts bytes under path in one step: written to a fresh file beside it, then renamed over it, so the
// name never holds half of them.
int replaceWholeFile(const std::string &path, std::string_view bytes);
// The same with bytes that write() writes to the fresh file's descriptor, in as many pieces as it likes;
// its error number (0 for none) keeps the name as it was.
int replaceWholeFile(const std::string &path, const std::function<int(int fd)> &write);
// Puts bytes under a name the user gave for an output: a regular file, or a name not taken yet, is
// replaced whole as replaceWholeFile() does; anything else (a device such as /dev/null, a pipe, a link
// such as /dev/stdout) is opened and written as a shell's '>' writes it, never replaced by a file.
int saveFile(const std::string &path, const std::function<int(int fd)> &write);
// Puts what was written to fd on the disk.
int sync(int fd);
// Asks for the bytes of fd from offset on (length of them) to go to the disk now, without waiting for
// them, so that a sync later has less to wait for. Only a hint: nothing is reported.
void startWriteback(int fd, std::int64_t offset, std::int64_t length);
// Opens path (a file, or a folder), puts it on the disk and closes it again.
int syncPath(const std::string &path, bool folder);
// Puts everything written to the file system that holds the folder on the disk (one call, however
// many files were written).
int syncFileSystem(const std::string &folder);

int status(int fd, Status *st);
// The status of path itself, a link not followed.
int linkStatus(const std::string &path, Status *st);
// The status of what path names, links followed.
int pathStatus(const std::string &path, Status *st);
// Whether path names anything (a link not followed); a folder that cannot be searched is an error.
int exists(const std::string &path, bool *found);
// Whether path names a file or folder, links followed; errors count as "no".
bool existsFollowingLinks(const std::string &path);

int changeOwner(int fd, uid_t owner, gid_t group);
int changeMode(int fd, mode_t mode);
// Gives the file the modification time mtimeNs (ns since the epoch), a link not followed; its access
// time stays.
int setModificationTime(const std::string &path, std::int64_t mtimeNs);

int rename(const std::string &from, const std::string &to);
int link(const std::string &existing, const std::string &newName);
int unlink(const std::string &path);
// Removes a file (or an empty folder); one that is not there is no error.
int remove(const std::string &path);
// Makes the folder and every missing folder above it; a folder that is there already is no error.
int makeFolders(const std::string &path);
// The path with every link and "." / ".." resolved.
int realPath(const std::string &path, std::string *resolved);

// Whether the process (with its effective ids) may change the file open as file, named path: asked
// of the open file, without looking up its path again, where the system can.
int mayWrite(const File &file, const std::string &path);
// Whether the process may create and remove files in the folder.
int mayWriteIn(const std::string &folder);

// The process's file-creation mask, read once.
mode_t creationMask();
uid_t effectiveUser();
gid_t effectiveGroup();
// Whether a process of this number runs (one of another user counts as running).
bool processRuns(pid_t process);

// Who holds a folder's lock: the process, its program's name and when it started (0 when unknown).
struct LockHolder
{
    pid_t process = 0;
    QString program;
    std::int64_t startedMs = 0;
};

// Takes the folder's exclusive lock for this process, without waiting. The kernel holds it on the open
// folder, lock->fd(), until lock closes or the process ends in any way, so a process that died never
// blocks the next one; any user who may read the folder sees it. EWOULDBLOCK: another holds it, and
// holder (when given) says who where the system tells.
int lockFolder(const std::string &folder, File *lock, LockHolder *holder);

// One entry of a folder while it is listed.
class FolderEntry
{
public:
    std::string_view name() const;
    // A regular file, links followed.
    bool isRegularFile() const;

private:
    friend int listFolder(const std::string &, const std::function<void(const FolderEntry &)> &);
    FolderEntry(void *dir, const dirent *entry) : m_dir(dir), m_entry(entry) {}
    void *m_dir;
    const dirent *m_entry;
};

// Hands every entry of the folder ("." and ".." included) to take, in the order the file system keeps.
int listFolder(const std::string &folder, const std::function<void(const FolderEntry &)> &take);

// For the chooser: paths as the user types them, relative ones found from the current folder.
QString absoluteCleanPath(const QString &path);
// Paths as text only, nothing looked up: path as seen from folder ("../a.htm"), name inside folder,
// and the path with "." and ".." and doubled slashes taken out.
QString relativePath(const QString &folder, const QString &path);
QString pathIn(const QString &folder, const QString &name);
QString cleanPath(const QString &path);
// Whether two paths name the same file, links followed; paths that do not exist are compared as
// absolute paths.
bool sameFile(const QString &a, const QString &b);
bool isFolder(const QString &path);
bool isFile(const QString &path);
// The subfolders of folder, hidden ones left out, in name order ignoring case.
QStringList subfolders(const QString &folder);
bool setCurrentFolder(const QString &folder);
// The root folders of the mounted volumes that are ready (files mounted on their own left out).
QStringList volumeRoots();

// The operations a FaultInjector can make fail.
enum class Call {
    OpenForReading,
    CreateNew,
    Read,
    Write,
    Close,
    Sync,
    Status,
    LinkStatus,
    ChangeOwner,
    ChangeMode,
    Rename,
    Link,
    Unlink,
    Remove,
    RealPath,
    MayWrite,
    MakeFolder,
    ListFolder,
    Lock,
    SetTime,
};

// For tests: while it lives, chosen operations of this process fail with a chosen errno before they
// reach the system (the disk is not touched). A descriptor opened while it lives keeps its path, so
// that reads, writes and closes can be picked by path as well. One at a time.
class FaultInjector
{
public:
    FaultInjector();
    ~FaultInjector();
    FaultInjector(const FaultInjector &) = delete;
    FaultInjector &operator=(const FaultInjector &) = delete;

    // The nth call of `call` from now (1 = the next one) whose path contains pathPart (any path when
    // empty; for a rename or a link, the new name) fails with error; with nth 0 every such call fails.
    void fail(Call call, int error, std::string pathPart = {}, int nth = 1);
    // How many calls of `call` were made (failed ones included) since the injector was made.
    int count(Call call) const;

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace tagsmith::fs
