#pragma once

#include <QByteArray>

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

// What undo data needs beyond single operations of the file layer (tagsmith::fs). Failing
// operations return the errno of the failure, 0 on success.
namespace undofiles {

// The identity of the file at path, links not followed; a missing file gives size -1 and 0.
int identity(const std::string &path, FileIdentity *id);
// The identity of an open file.
int identity(int fd, FileIdentity *id);
// Removes a folder with the files in it (no subfolders are expected); one that is gone is no error.
int removeFolder(const std::string &path);
// The names in a folder, without "." and "..".
int listNames(const std::string &path, std::vector<std::string> *names);
// The whole of a small file.
int readWhole(const std::string &path, QByteArray *bytes);
// The size of the files in a folder, together.
std::int64_t folderSize(const std::string &path);

} // namespace undofiles
} // namespace tagsmith
