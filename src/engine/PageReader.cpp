#include "engine/PageReader.h"

#include "engine/EncodingDetection.h"
#include "engine/PageReplacement.h"
#include "engine/TextCodec.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tagsmith {
namespace {

} // namespace

void ScannedPage::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

PageReader::PageReader(const MetaBlock &block, const MetaNames &names, const MinimumWordLength &minimumLength,
                       const RunLimits &limits)
    : m_block(block), m_minimumLength(minimumLength), m_limits(limits), m_folderScanner(WordScanner::PageKind::Folder),
      m_mainScanner(WordScanner::PageKind::Main), m_markScanner(names)
{
    m_limits.blockSize = std::max<std::size_t>(m_limits.blockSize, 1);
}

int PageReader::read(ScannedPage &page)
{
    page.error = open(page);
    if (page.error == 0)
        page.error = scan(page);
    return page.error;
}

int PageReader::open(ScannedPage &page)
{
    page.close();
    page.nativePath = QFile::encodeName(page.PagePath).toStdString();
    page.target = page.nativePath;
    page.throughLink = false;
    page.exists = true;
    page.fd = ::open(page.target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (page.fd < 0 && errno == ELOOP) {
        // A linked page is rewritten where the link points; the link stays.
        page.throughLink = true;
        char resolved[PATH_MAX];
        if (!::realpath(page.nativePath.c_str(), resolved))
            return errno;
        page.target = resolved;
        page.fd = ::open(page.target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    if (page.fd < 0) {
        const int err = errno;
        struct stat st;
        // A main page that does not exist is made: it gets the block alone.
        if (err == ENOENT && page.OnMainPage && ::lstat(page.nativePath.c_str(), &st) != 0) {
            page.exists = false;
            page.mode = 0666 & ~creationMask();
            page.owner = ::geteuid();
            page.group = ::getegid();
            page.device = 0;
            page.inode = 0;
            page.size = 0;
            return 0;
        }
        return err;
    }
    struct stat st;
    if (::fstat(page.fd, &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    // A page that may not be changed is refused before anything is written, although the new page
    // goes in by renaming. (Not by opening it for writing: on some file systems that makes
    // replacing the file wait for the journal.)
    if (::faccessat(AT_FDCWD, page.target.c_str(), W_OK, AT_EACCESS) != 0)
        return errno;
    page.mode = st.st_mode;
    page.owner = st.st_uid;
    page.group = st.st_gid;
    page.device = st.st_dev;
    page.inode = st.st_ino;
    page.size = st.st_size;
    return 0;
}

int PageReader::readAt(int fd, char *to, std::int64_t offset, std::size_t length, std::size_t *got)
{
    *got = 0;
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

int PageReader::scan(ScannedPage &page)
{
    page.whole = page.size <= m_limits.wholePageLimit;
    if (page.whole && page.bytes.size() < static_cast<std::size_t>(page.size))
        page.bytes.resize(static_cast<std::size_t>(page.size));
    if (const int err = readEncoding(page); err != 0)
        return err;
    WordScanner &scanner = page.OnMainPage ? m_mainScanner : m_folderScanner;
    auto addWord = [this, &page](std::string_view CurrentWord) {
        if (m_minimumLength.admits(CurrentWord))
            page.PageWords.insert(CurrentWord);
    };

    std::optional<TextCodec> codec;
    if (isDecoded(page.encoding)) {
        codec.emplace(page.encoding, page.charset);
        bool decoded = false;
        if (codec->known())
            if (const int err = scanDecoded(page, *codec, &decoded); err != 0)
                return err;
        if (!decoded) {
            // Read as it would have been read before: as Windows-1252 bytes.
            page.encodingNote = codec->known() ? EncodingNote::NotDecoded : EncodingNote::UnknownCharset;
            page.encoding = PageEncoding::Windows1252;
            codec.reset();
        }
    }
    if (!codec) {
        scanner.reset(page.encoding);
        m_markScanner.reset();
        page.PageWords.ClearWordTable();
        if (const int err = feedPage(page,
                                     [&](std::string_view bytes) {
                                         scanner.feed(bytes, addWord);
                                         m_markScanner.feed(bytes);
                                         return true;
                                     });
            err != 0)
            return err;
        page.marks = m_markScanner.finish();
    }
    // A page read whole needs its file no more (and a page waiting to be written keeps no file open).
    if (page.whole)
        page.close();
    // The main page's block has the words of the whole site, known only when it is written.
    if (!page.OnMainPage)
        m_block.build(page.PageWords, page.encoding, page.charset, page.block);
    return 0;
}

int PageReader::scanDecoded(ScannedPage &page, TextCodec &codec, bool *decoded)
{
    WordScanner &scanner = page.OnMainPage ? m_mainScanner : m_folderScanner;
    auto addWord = [this, &page](std::string_view CurrentWord) {
        if (m_minimumLength.admits(CurrentWord))
            page.PageWords.insert(CurrentWord);
    };
    // The text is scanned as a UTF-8 page is.
    scanner.reset(PageEncoding::Utf8);
    m_markScanner.reset();
    page.PageWords.ClearWordTable();
    m_positions.clear();
    bool ok = true;
    const auto scanText = [&] {
        scanner.feed(m_text, addWord);
        m_markScanner.feed(m_text);
    };
    if (const int err = feedPage(page,
                                 [&](std::string_view bytes) {
                                     m_text.clear();
                                     ok = codec.decode(bytes, m_text, m_positions);
                                     if (ok)
                                         scanText();
                                     return ok;
                                 });
        err != 0)
        return err;
    m_text.clear();
    ok = ok && codec.finishDecoding(m_text);
    if (ok) {
        scanText();
        page.marks = m_positions.pageMarks(m_markScanner.finish(), page.size);
    }
    *decoded = ok;
    return 0;
}

int PageReader::readEncoding(ScannedPage &page)
{
    std::string_view declared;
    Utf8Check check;
    page.encodingNote = EncodingNote::None;
    if (page.whole) {
        // The page is read whole here, once, for the scan and the rewrite as well.
        std::size_t got = 0;
        if (const int err = readAt(page.fd, page.bytes.data(), 0, static_cast<std::size_t>(page.size), &got); err != 0)
            return err;
        page.size = static_cast<std::int64_t>(got);
        const std::string_view bytes(page.bytes.data(), got);
        declared = declaredEncoding(bytes);
        if (declared.empty())
            check.feed(bytes);
    } else {
        // A large page: its start for a declaration, and without one a pass of its own for the check,
        // which stops at the first byte that is not UTF-8.
        const auto window = static_cast<std::size_t>(std::min<std::int64_t>(DeclarationWindow, page.size));
        if (m_blocks.size() < window)
            m_blocks.resize(window);
        std::size_t got = 0;
        if (const int err = readAt(page.fd, m_blocks.data(), 0, window, &got); err != 0)
            return err;
        declared = declaredEncoding(std::string_view(m_blocks.data(), got));
        if (declared.empty())
            if (const int err = forEachBlock(page.fd, page.size, m_limits.blockSize, m_blocks,
                                             [&check](std::string_view bytes) {
                                                 check.feed(bytes);
                                                 return check.stillValid();
                                             });
                err != 0)
                return err;
    }
    page.charset = declared;
    page.encoding = decideEncoding(declared, check);
    return 0;
}

} // namespace tagsmith
