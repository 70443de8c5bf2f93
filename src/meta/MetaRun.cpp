#include "meta/MetaRun.h"

#include "chooser/PageList.h"
#include "frame/FileError.h"
#include "meta/EncodingDetection.h"
#include "meta/PageBackup.h"
#include "meta/PageReplacement.h"
#include "meta/PageSplicer.h"
#include "text/StringTable.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tagsmith {
namespace {

std::string nativePath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

MetaRun::MetaRun(const RunOptions &options, RunObserver &observer, const RunLimits &limits)
    : m_options(options), m_observer(observer), m_limits(limits), m_block(options), m_names(m_block.metaNames()),
      m_minLengthOn(options.minLength), m_minimumLength(leadingNumber(options.minLengthText.toStdString())),
      m_folderScanner(WordScanner::PageKind::Folder), m_mainScanner(WordScanner::PageKind::Main), m_markScanner(m_names)
{
    m_limits.blockSize = std::max<std::size_t>(m_limits.blockSize, 1);
}

void MetaRun::AddWord(std::string_view CurrentWord)
{
    // A word has at most as many characters as bytes, so most short words need no count.
    if (m_minLengthOn && (m_minimumLength > static_cast<double>(CurrentWord.size()) ||
                          m_minimumLength > static_cast<double>(characterCount(CurrentWord))))
        return;
    m_key.clear();
    appendCaseFolded(m_key, CurrentWord);
    PageWords.insert(CurrentWord, m_key, WordTable::hashOf(m_key));
    // SiteWords takes the page's new words when its scan ends, in the order they were found (see
    // scanPage): a word PageWords holds already is in SiteWords then too.
}

RunResult MetaRun::run()
{
    PageWords.ClearWordTable();
    SiteWords.ClearWordTable();
    if (m_options.folder.isEmpty()) {
        m_observer.message({ids::ErrorTitle, ids::NoDirectory, {}});
        return RunResult::NotStarted;
    }
    int error = 0;
    const QStringList pages = listPages(m_options.folder, &error);
    if (error != 0) {
        m_observer.message({ids::ErrorTitle, ids::FileErrorBase + error, m_options.folder});
        return RunResult::NotStarted;
    }
    if (pages.isEmpty()) {
        m_observer.message({ids::ErrorTitle, ids::NoPages, {}});
        return RunResult::NotStarted;
    }

    const bool hasMainPage = !m_options.mainPage.isEmpty();
    const auto count = static_cast<std::int64_t>(pages.size()) + (hasMainPage ? 1 : 0);
    QString folder = m_options.folder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');

    std::int64_t index = 0;
    OnMainPage = false;
    for (const QString &page : pages) {
        PagePath = folder + page;
        m_observer.pageStarted(PagePath, index++, count);
        if (const int err = processPage(m_folderScanner); err != 0) {
            m_observer.message({ids::ErrorTitle, ids::FileErrorBase + err, PagePath});
            return RunResult::Failed;
        }
        PageWords.ClearWordTable();
    }
    // NOTE: the main page comes after all pages of the folder, also when it is one of them; it is
    // then rewritten a second time, now with the words of the whole site.
    if (hasMainPage) {
        OnMainPage = true;
        PagePath = m_options.mainPage;
        m_observer.pageStarted(PagePath, index++, count);
        if (const int err = processPage(m_mainScanner); err != 0) {
            m_observer.message({ids::ErrorTitle, ids::FileErrorBase + err, PagePath});
            return RunResult::Failed;
        }
        PageWords.ClearWordTable();
    }
    SiteWords.ClearWordTable();
    return RunResult::Completed;
}

int MetaRun::processPage(WordScanner &scanner)
{
    m_nativePath = nativePath(PagePath);
    int err = openPage();
    if (err == 0)
        err = scanPage(scanner);
    if (err == 0)
        err = RewritePage();
    closePage();
    return err == 0 ? 0 : fileErrorFromErrno(err);
}

int MetaRun::openPage()
{
    m_target = m_nativePath;
    m_pageExists = true;
    m_fd = ::open(m_target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0 && errno == ELOOP) {
        // A linked page is rewritten where the link points; the link stays.
        char resolved[PATH_MAX];
        if (!::realpath(m_nativePath.c_str(), resolved))
            return errno;
        m_target = resolved;
        m_fd = ::open(m_target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    if (m_fd < 0) {
        const int err = errno;
        struct stat st;
        // A main page that does not exist is made: it gets the block alone.
        if (err == ENOENT && OnMainPage && ::lstat(m_nativePath.c_str(), &st) != 0) {
            m_pageExists = false;
            m_mode = 0666 & ~creationMask();
            m_owner = ::geteuid();
            m_group = ::getegid();
            m_size = 0;
            return 0;
        }
        return err;
    }
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    // A page that may not be changed is refused before anything is written, although the new page
    // goes in by renaming. (Not by opening it for writing: on some file systems that makes
    // replacing the file wait for the journal.)
    if (::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0)
        return errno;
    m_mode = st.st_mode;
    m_owner = st.st_uid;
    m_group = st.st_gid;
    m_size = st.st_size;
    return 0;
}

int MetaRun::readAt(std::int64_t offset, std::size_t length, std::size_t *got)
{
    *got = 0;
    while (*got < length) {
        const ssize_t n =
            ::pread(m_fd, m_buffer.data() + *got, length - *got, static_cast<off_t>(offset) + static_cast<off_t>(*got));
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

int MetaRun::scanPage(WordScanner &scanner)
{
    m_wholePage = m_size <= m_limits.wholePageLimit;
    const std::size_t blockSize = m_wholePage ? static_cast<std::size_t>(m_size) : m_limits.blockSize;
    if (m_buffer.size() < blockSize)
        m_buffer.resize(blockSize);
    if (const int err = readEncoding(); err != 0)
        return err;
    scanner.reset(m_encoding);
    m_markScanner.reset();
    auto addWord = [this](std::string_view word) { AddWord(word); };

    // The bytes the page had when it was opened are the page; what is appended meanwhile is not.
    std::int64_t ReadPos = 0;
    while (ReadPos < m_size) {
        const auto length =
            static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(blockSize), m_size - ReadPos));
        std::size_t got = length;
        if (!m_wholePage) // a whole page is in m_buffer already
            if (const int err = readAt(ReadPos, length, &got); err != 0)
                return err;
        const std::string_view bytes(m_buffer.data(), got);
        scanner.feed(bytes, addWord);
        m_markScanner.feed(bytes);
        ReadPos += static_cast<std::int64_t>(got);
        if (got < length)
            break; // the page became shorter
    }
    m_size = ReadPos;
    m_marks = m_markScanner.finish();
    SiteWords.insertAll(PageWords);
    return 0;
}

int MetaRun::readEncoding()
{
    std::optional<PageEncoding> declared;
    Utf8Check check;
    if (m_wholePage) {
        // The page is read whole here, once, for the scan and the rewrite as well.
        std::size_t got = 0;
        if (const int err = readAt(0, static_cast<std::size_t>(m_size), &got); err != 0)
            return err;
        m_size = static_cast<std::int64_t>(got);
        const std::string_view page(m_buffer.data(), got);
        declared = declaredEncoding(page);
        if (!declared)
            check.feed(page);
    } else {
        // A large page: its start for a declaration, and without one a pass of its own for the check,
        // which stops at the first byte that is not UTF-8.
        const auto window = static_cast<std::size_t>(std::min<std::int64_t>(DeclarationWindow, m_size));
        if (m_buffer.size() < window)
            m_buffer.resize(window);
        std::size_t got = 0;
        if (const int err = readAt(0, window, &got); err != 0)
            return err;
        declared = declaredEncoding(std::string_view(m_buffer.data(), got));
        for (std::int64_t offset = 0; !declared && check.stillValid() && offset < m_size;) {
            const auto length = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(m_limits.blockSize), m_size - offset));
            if (const int err = readAt(offset, length, &got); err != 0)
                return err;
            if (got == 0)
                break;
            check.feed(std::string_view(m_buffer.data(), got));
            offset += static_cast<std::int64_t>(got);
        }
    }
    m_encoding = decideEncoding(declared, check);
    return 0;
}

int MetaRun::RewritePage()
{
    PageBackup backup;
    if (const int err = backup.choose(m_nativePath); err != 0)
        return err;
    if (m_options.backup)
        m_observer.backupChosen(QFile::decodeName(QByteArray::fromStdString(backup.BackupPath())));

    m_block.build(OnMainPage ? SiteWords : PageWords, m_encoding, m_blockBytes);
    if (m_marks.MarkCount == 0)
        m_observer.message({ids::ErrorTitle, ids::NoMarkAppending, PagePath});

    PageReplacement replacement(m_target);
    if (const int err = replacement.create(m_mode, m_owner, m_group, m_limits.blockSize); err != 0)
        return err;
    PageSplicer splicer(m_marks, m_blockBytes, replacement.sink());
    if (m_wholePage) {
        splicer.feed(std::string_view(m_buffer.data(), static_cast<std::size_t>(m_size)));
    } else {
        for (std::int64_t offset = 0; offset < m_size;) {
            const auto length = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(m_limits.blockSize), m_size - offset));
            std::size_t got = 0;
            if (const int err = readAt(offset, length, &got); err != 0)
                return err;
            if (got == 0)
                break;
            splicer.feed(std::string_view(m_buffer.data(), got));
            offset += static_cast<std::int64_t>(got);
        }
    }
    if (!splicer.finish())
        return EIO; // the page became shorter between the scan and the rewrite
    if (const int err = replacement.close(); err != 0)
        return err;

    if (m_options.backup) {
        if (const int err = backup.make(m_target, m_fd, m_pageExists, m_mode); err != 0)
            return err;
    }
    if (const int err = replacement.commit(); err != 0) {
        if (m_options.backup)
            backup.undo();
        return err;
    }
    if (!m_options.backup)
        return backup.releaseTakenOver();
    return 0;
}

void MetaRun::closePage()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace tagsmith
