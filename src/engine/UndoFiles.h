#pragma once

#include <QByteArray>

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tagsmith {

// Who a file is: device, inode, size and modification time. Equal identities mean the same file,
// untouched: a file written in place gets a new time, a file saved anew a new inode.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1; // -1: no such file
    std::int64_t mtimeNs = 0;

    bool exists() const { return size >= 0; }
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// The file operations of undo data and of undoing a run. Failing operations return the errno of
// the failure, 0 on success.
namespace undofiles {

// The identity of the file at path, links not followed; a missing file gives size -1 and 0.
int identity(const std::string &path, FileIdentity *id);
// The identity of an open file.
int identity(int fd, FileIdentity *id);

// The path with every link and "." or ".." resolved.
int canonicalPath(const std::string &path, std::string *resolved);
int makeLink(const std::string &from, const std::string &to);
int renameFile(const std::string &from, const std::string &to);
// Removes a file; one that is already gone is no error.
int removeFile(const std::string &path);
// Makes a folder; one that exists is no error.
int makeFolder(const std::string &path);
// Removes a folder with the files in it (no subfolders are expected).
int removeFolder(const std::string &path);
// The names in a folder, without "." and "..".
int listFolder(const std::string &path, std::vector<std::string> *names);

// Creates a new file that no other file stands under (O_EXCL); returns the descriptor or -errno.
int createNew(const std::string &path, mode_t mode);
int openRead(const std::string &path);
int openAppend(const std::string &path);
// Up to length bytes from the file's position; 0 at its end.
int readSome(int fd, char *to, std::size_t length, std::size_t *got);
int writeAll(int fd, const char *bytes, std::size_t length);
int syncFile(int fd);
int syncFolder(const std::string &path);
int closeFile(int fd);
// The whole of a small file.
int readAll(const std::string &path, QByteArray *bytes);
// The size of the files in a folder, together.
std::int64_t folderSize(const std::string &path);

// For tests: after `after` more renames and removals succeed, the next one fails with err (0: none
// fails).
void injectFailure(int after, int err);

} // namespace undofiles
} // namespace tagsmith
