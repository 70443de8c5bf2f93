#include "engine/page/PageReader.h"

#include "engine/encoding/EncodingDetection.h"
#include "engine/encoding/TextCodec.h"
#include "engine/fs/FileSystem.h"
#include "engine/page/PageHead.h"
#include "engine/page/PageSplicer.h"

#include <cerrno>
#include <optional>

namespace tagsmith {

PageReader::PageReader(const MetaBlock &block, const MetaNames &names, const MinimumWordLength &minimumLength,
                       const RunLimits &limits)
    : m_block(block), m_names(names), m_minimumLength(minimumLength), m_limits(limits),
      m_folderScanner(WordScanner::PageKind::Folder), m_mainScanner(WordScanner::PageKind::Main), m_markScanner(names)
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
    page.nativePath = fs::native(page.PagePath);
    page.target = page.nativePath;
    page.throughLink = false;
    page.exists = true;
    int err = fs::openForReading(page.target, fs::Links::Refuse, &page.file);
    if (err == ELOOP) {
        // A linked page is rewritten where the link points; the link stays.
        page.throughLink = true;
        if (const int resolveErr = fs::realPath(page.nativePath, &page.target); resolveErr != 0)
            return resolveErr;
        err = fs::openForReading(page.target, fs::Links::Follow, &page.file);
    }
    if (err != 0) {
        fs::Status st;
        // A main page that does not exist is made: it gets the block alone.
        if (err == ENOENT && page.OnMainPage && fs::linkStatus(page.nativePath, &st) != 0) {
            page.exists = false;
            page.mode = 0666 & ~fs::creationMask();
            page.owner = fs::effectiveUser();
            page.group = fs::effectiveGroup();
            page.device = 0;
            page.inode = 0;
            page.size = 0;
            return 0;
        }
        return err;
    }
    fs::Status st;
    if (const int statErr = fs::status(page.file.fd(), &st); statErr != 0)
        return statErr;
    if (!st.isRegular())
        return st.isFolder() ? EISDIR : EINVAL;
    // A page that may not be changed is refused before anything is written, although the new page
    // goes in by renaming. (Not by opening it for writing: on some file systems that makes
    // replacing the file wait for the journal.)
    if (const int accessErr = fs::mayWrite(page.file, page.target); accessErr != 0)
        return accessErr;
    page.mode = st.mode;
    page.owner = st.owner;
    page.group = st.group;
    page.device = st.device;
    page.inode = st.inode;
    page.size = st.size;
    page.mtimeNs = st.mtimeNs;
    return 0;
}

int PageReader::scan(ScannedPage &page)
{
    return scanPage(page, false);
}

int PageReader::scanInstead(ScannedPage &page, std::string_view bytes)
{
    page.bytes.assign(bytes.begin(), bytes.end());
    page.size = static_cast<std::int64_t>(bytes.size());
    page.error = scanPage(page, true);
    return page.error;
}

int PageReader::scanPage(ScannedPage &page, bool preloaded)
{
    page.blockBuilt = false;
    page.whole = preloaded || page.size <= m_limits.wholePageLimit;
    std::vector<char> &buffer = page.whole ? page.bytes : m_blocks;
    const std::size_t blockSize = page.whole ? static_cast<std::size_t>(page.size) : m_limits.blockSize;
    if (buffer.size() < blockSize)
        buffer.resize(blockSize);
    if (const int err = readEncoding(page, preloaded); err != 0)
        return err;
    WordScanner &scanner = page.OnMainPage ? m_mainScanner : m_folderScanner;
    scanner.reset(page.encoding);
    m_markScanner.reset();
    page.PageWords.ClearWordTable();
    // A page holds a distinct word in about every 16 of its bytes (less where it is mostly markup).
    page.PageWords.reserve(static_cast<std::size_t>(std::min<std::int64_t>(page.size / 16, 4096)));
    page.ownDescription = false;
    page.descriptionFromTag = false;
    page.checks = 0;
    page.description.clear();
    page.share.reset();
    m_head.clear();
    // With a plan the page's words and description are known already.
    const PagePlan *plan = nullptr;
    if (m_plan)
        if (const auto found = m_plan->constFind(page.PagePath); found != m_plan->constEnd())
            plan = &found.value();
    page.plannedWordsFound = plan ? std::optional(plan->wordsFound) : std::nullopt;
    if (plan && plan->error != 0)
        return plan->error; // its words are not known: it fails here as it failed to be read for them

    auto addWord = wordAdder(page);

    bool decoded = false;
    if (isDecoded(page.encoding)) {
        // UTF-16 or another charset: scanned as the text it decodes to, else as Windows-1252 bytes.
        TextCodec codec(page.encoding, page.charset);
        if (codec.known())
            if (const int err = scanDecoded(page, codec, &decoded); err != 0)
                return err;
        if (!decoded) {
            page.encodingNote = codec.known() ? EncodingNote::NotDecoded : EncodingNote::UnknownCharset;
            page.encoding = PageEncoding::Windows1252;
            scanner.reset(page.encoding);
            m_markScanner.reset();
            page.PageWords.ClearWordTable();
        }
    }
    if (!decoded) {
        // The bytes the page had when it was opened are the page; what is appended meanwhile is not.
        std::int64_t ReadPos = 0;
        while (ReadPos < page.size) {
            const auto length =
                static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(blockSize), page.size - ReadPos));
            std::size_t got = length;
            if (!page.whole) // a whole page is in page.bytes already
                if (const int err = fs::readAt(page.file.fd(), buffer.data(), ReadPos, length, &got); err != 0)
                    return err;
            const std::string_view bytes(buffer.data(), got);
            if (m_sharing && !page.whole)
                keepHead(bytes);
            if (!m_plan)
                scanner.feed(bytes, addWord);
            m_markScanner.feed(bytes);
            ReadPos += static_cast<std::int64_t>(got);
            if (got < length)
                break; // the page became shorter
        }
        page.size = ReadPos;
        page.marks = m_markScanner.finish();
        if (m_sharing)
            readShare(page,
                      page.whole ? std::string_view(page.bytes.data(), static_cast<std::size_t>(page.size))
                                 : std::string_view(m_head),
                      page.encoding == PageEncoding::Windows1252);
    }
    if (m_sharing && !page.share)
        readShare(page, {}, false); // an empty page, or one made by the run
    if (plan) {
        plan->keywordsInto(page.PageWords);
        page.description = plan->description;
        page.ownDescription = plan->ownDescription;
        page.descriptionFromTag = plan->descriptionFromTag;
        page.checks = plan->checks;
    } else if (m_pageDescriptions) {
        if (const int err = readContent(page, m_content, {}, true); err != 0)
            return err;
        page.description = m_content.description();
        page.ownDescription = !page.description.empty();
        page.descriptionFromTag = m_content.descriptionFromTag();
    }
    // A page read whole needs its file no more (and a page waiting to be written keeps no file open).
    if (page.whole)
        page.close();
    return 0;
}

int PageReader::scanDecoded(ScannedPage &page, TextCodec &codec, bool *decoded)
{
    WordScanner &scanner = page.OnMainPage ? m_mainScanner : m_folderScanner;
    auto addWord = wordAdder(page);
    // The text is scanned as a UTF-8 page is.
    scanner.reset(PageEncoding::Utf8);
    m_markScanner.reset();
    page.PageWords.ClearWordTable();
    m_positions.clear();
    m_head.clear();
    bool ok = true;
    const auto scanText = [&] {
        if (m_sharing)
            keepHead(m_text);
        if (!m_plan)
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
        if (m_sharing)
            readShare(page, m_head, false);
    }
    *decoded = ok;
    return 0;
}

void PageReader::keepHead(std::string_view text)
{
    if (m_head.size() < HeadWindow)
        m_head.append(text.substr(0, HeadWindow - m_head.size()));
}

void PageReader::readShare(ScannedPage &page, std::string_view text, bool windows1252) const
{
    page.share = m_sharing->forPage(page.PagePath, page.OnMainPage, readPageHead(text, windows1252, m_names));
}

void PageReader::buildBlock(ScannedPage &page) const
{
    // The main page's block has the words of the whole site, known only when it is written.
    if (!page.blockBuilt && !page.OnMainPage)
        buildBlock(page, page.PageWords);
}

void PageReader::buildBlock(ScannedPage &page, const WordTable &words) const
{
    page.blockBuilt = true;
    page.utf8Keywords.reset();
    const PageShare *share = page.share ? &*page.share : nullptr;
    if (isDecoded(page.encoding)) {
        // Made as UTF-8, then written in the page's own encoding.
        std::string text;
        if (page.ownDescription)
            m_block.build(words, page.encoding, text, escapeAttribute(page.description), share);
        else
            m_block.build(words, page.encoding, text, share);
        page.block.clear();
        TextCodec(page.encoding, page.charset).encode(text, page.block);
        return;
    }
    const MetaBlock::KeywordsPlace keywords =
        page.ownDescription ? m_block.build(words, page.encoding, page.block, escapeAttribute(page.description), share)
                            : m_block.build(words, page.encoding, page.block, share);
    if (keywords.asUtf8)
        page.utf8Keywords.emplace(keywords.at, keywords.size);
}

int PageReader::readPage(ScannedPage &page, PageContent &content, const PageContent::WordSink &words, bool description)
{
    page.whole = page.size <= m_limits.wholePageLimit;
    if (page.whole && page.bytes.size() < static_cast<std::size_t>(page.size))
        page.bytes.resize(static_cast<std::size_t>(page.size));
    if (const int err = readEncoding(page, false); err != 0)
        return err;
    if (const int err = readContent(page, content, words, description); err != 0)
        return err;
    page.close();
    return 0;
}

int PageReader::readContent(ScannedPage &page, PageContent &content, const PageContent::WordSink &words,
                            bool description)
{
    content.setMinimumLength(&m_minimumLength);
    return content.readPage(page, m_limits.blockSize, m_blocks, words, description);
}

int PageReader::readEncoding(ScannedPage &page, bool preloaded)
{
    std::string_view declared;
    Utf8Check check;
    page.encodingNote = EncodingNote::None;
    if (page.whole) {
        // The page is read whole here, once, for the scan and the rewrite as well.
        std::size_t got = static_cast<std::size_t>(page.size);
        if (!preloaded)
            if (const int err =
                    fs::readAt(page.file.fd(), page.bytes.data(), 0, static_cast<std::size_t>(page.size), &got);
                err != 0)
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
        if (const int err = fs::readAt(page.file.fd(), m_blocks.data(), 0, window, &got); err != 0)
            return err;
        declared = declaredEncoding(std::string_view(m_blocks.data(), got));
        if (declared.empty())
            if (const int err = forEachBlock(page.file.fd(), page.size, m_limits.blockSize, m_blocks,
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
