#pragma once

#include "engine/core/PageMarks.h"
#include "engine/encoding/PageText.h"
#include "engine/fs/FileSystem.h"
#include "engine/page/SiteSharing.h"
#include "engine/words/WordTable.h"

#include <QString>

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tagsmith {

// One page as reading leaves it for writing: opened, read (whole when it is small enough), its words
// and marks found and its META block built (by the reading or the writing thread).
struct ScannedPage
{
    QString PagePath;
    bool OnMainPage = false;

    std::string nativePath; // PagePath as the file system spells it
    std::string target;     // the file the page is: PagePath, or where a link points to
    bool throughLink = false;
    fs::File file;      // the page, open for reading until it is read whole
    bool exists = true; // false for a main page that is made by the run
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0; // when it was last written, ns since the epoch

    PageEncoding encoding = PageEncoding::Windows1252; // how its bytes stand for characters
    std::string charset;                               // the encoding it declares ("koi8-r"), if any
    EncodingNote encodingNote = EncodingNote::None;    // why it is read otherwise than it declares
    bool whole = false;                                // all of the page's bytes are in bytes
    std::vector<char> bytes;                           // may be longer than the page
    PageMarks marks;
    WordTable PageWords;
    // With a plan PageWords holds the keywords chosen: these are the distinct words found on the page.
    std::optional<std::int64_t> plannedWordsFound;
    // The page's own description (UTF-8), written in place of the site description when
    // ownDescription is set.
    std::string description;
    bool ownDescription = false;
    bool descriptionFromTag = false; // the own description is the page's description tag
    std::uint8_t checks = 0;         // pagecheck flags, from a plan
    // With a site address: what its block says of it when it is shared.
    std::optional<PageShare> share;
    std::string block;
    bool blockBuilt = false; // block is this page's, built after its scan
    // Where block holds the keywords, when those bytes are their UTF-8 as well.
    std::optional<std::pair<std::size_t, std::size_t>> utf8Keywords;
    int error = 0; // errno of the file operation that failed, 0 when none did

    // Kept by PageReadAhead: the number of pages replaced when this one was opened, and the memory
    // the page holds.
    std::uint64_t replacedBefore = 0;
    std::size_t memory = 0;

    ScannedPage() = default;
    ScannedPage(const ScannedPage &) = delete;
    ScannedPage &operator=(const ScannedPage &) = delete;

    void close() { file.close(); }
    // The memory its buffers and its word table take.
    std::size_t memoryUse() const
    {
        return bytes.capacity() + block.capacity() + PageWords.memoryUse();
    }
};

} // namespace tagsmith
