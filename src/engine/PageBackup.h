#pragma once

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace tagsmith {

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
    // older file: the backups a dry run would have made.
    int choose(const std::string &PagePath, const std::set<std::string> *alsoTaken = nullptr);

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
