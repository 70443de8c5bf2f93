#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>

namespace tagsmith {

// The names a page's backup could find taken in the run's folders, as each folder was listed when
// the run began: its files whose name ends in "bak" and digits. With backups off the run makes no
// such file itself, so a backup name that was not there is free without being looked up again.
class ListedBackups
{
public:
    static bool looksLikeBackup(std::string_view name);

    // The folder whose pages' paths start with prefix (its path up to and with its last "/", empty
    // for the current folder) was listed, and these are its names that look like backups.
    void listed(const std::string &prefix, std::unordered_set<std::string> names);
    // False only for a path in a listed folder whose name was not there.
    bool mayExist(std::string_view path) const;

private:
    std::map<std::string, std::unordered_set<std::string>, std::less<>> m_folders;
};

// The backup name of a page and the backup itself. The name is the page's path without its last
// three characters, followed by "bak" and, when that name holds an older file, a counter:
// index.htm gives index.bak, index.bak1, index.bak2 ...; index.html gives index.hbak. A name that
// holds an empty file is taken over.
//
// Failing operations return the errno of the failure, 0 on success.
class PageBackup
{
public:
    static std::string nameFor(std::string_view PagePath, std::uint64_t counter);

    // Picks the first free name for the page (native path). Names in alsoTaken count as holding an
    // older file: the backups a dry run would have made. Names that listed says were not there
    // are free.
    int choose(const std::string &PagePath, const std::set<std::string> *alsoTaken = nullptr,
               const ListedBackups *listed = nullptr);

    // Keeps the page as it is now under BackupPath: a hard link to targetPath (the file the page
    // is), or where no link can be made a copy of wholePage (the page's bytes, when they were read
    // whole) or else read from pageFd. A page that does not exist yet leaves an empty backup.
    int make(const std::string &targetPath, int pageFd, const std::string_view *wholePage, bool pageExists,
             mode_t mode);
    // The page could not be replaced after make(): the backup goes again, the taken-over empty file
    // comes back.
    void undo();
    // With the backup option off: the page is replaced, and an empty file that stood under the
    // backup name goes as well, so that no file remains there.
    int releaseTakenOver();

    const std::string &BackupPath() const { return m_BackupPath; }
    bool takenOver() const { return m_takenOver; }

private:
    int copy(int pageFd, const std::string_view *wholePage, mode_t mode);

    std::string m_BackupPath;
    bool m_takenOver = false;
    bool m_made = false;
};

} // namespace tagsmith
