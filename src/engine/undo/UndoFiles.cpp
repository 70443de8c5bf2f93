#include "engine/undo/UndoFiles.h"

#include "engine/fs/FileSystem.h"

#include <cerrno>

namespace tagsmith::undofiles {
namespace {

FileIdentity fromStatus(const fs::Status &st)
{
    return FileIdentity{static_cast<std::uint64_t>(st.device), static_cast<std::uint64_t>(st.inode), st.size,
                        st.mtimeNs};
}

} // namespace

int identity(const std::string &path, FileIdentity *id)
{
    *id = FileIdentity();
    fs::Status st;
    if (const int err = fs::linkStatus(path, &st); err != 0)
        return err == ENOENT ? 0 : err;
    *id = fromStatus(st);
    return 0;
}

int identity(int fd, FileIdentity *id)
{
    fs::Status st;
    if (const int err = fs::status(fd, &st); err != 0)
        return err;
    *id = fromStatus(st);
    return 0;
}

int listNames(const std::string &path, std::vector<std::string> *names)
{
    return fs::listFolder(path, [names](const fs::FolderEntry &entry) {
        if (entry.name() != "." && entry.name() != "..")
            names->emplace_back(entry.name());
    });
}

int removeFolder(const std::string &path)
{
    std::vector<std::string> names;
    if (const int err = listNames(path, &names); err != 0)
        return err == ENOENT ? 0 : err;
    for (const std::string &name : names)
        if (const int err = fs::remove(path + '/' + name); err != 0)
            return err;
    return fs::remove(path);
}

int readWhole(const std::string &path, QByteArray *bytes)
{
    fs::File file;
    if (const int err = fs::openForReading(path, fs::Links::Follow, &file); err != 0)
        return err;
    bytes->clear();
    std::int64_t offset = 0;
    for (;;) {
        char buffer[65536];
        std::size_t got = 0;
        if (const int err = fs::readAt(file.fd(), buffer, offset, sizeof buffer, &got); err != 0)
            return err;
        if (got == 0)
            return file.close();
        bytes->append(buffer, static_cast<qsizetype>(got));
        offset += static_cast<std::int64_t>(got);
    }
}

std::int64_t folderSize(const std::string &path)
{
    std::vector<std::string> names;
    if (listNames(path, &names) != 0)
        return 0;
    std::int64_t total = 0;
    for (const std::string &name : names) {
        FileIdentity id;
        if (identity(path + '/' + name, &id) == 0 && id.exists())
            total += id.size;
    }
    return total;
}

} // namespace tagsmith::undofiles
