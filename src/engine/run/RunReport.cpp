#include "engine/run/RunReport.h"

#include "engine/fs/FileSystem.h"
#include "engine/run/MetaRun.h"
#include "text/StringTable.h"

#include <QElapsedTimer>

namespace tagsmith {

bool PageReport::written() const
{
    switch (outcome) {
    case PageOutcome::Replaced:
    case PageOutcome::BeforeHeadEnd:
    case PageOutcome::Appended:
    case PageOutcome::Created:
        return true;
    case PageOutcome::Failed:
    case PageOutcome::NotReached:
    case PageOutcome::Unchanged:
        break;
    }
    return false;
}

namespace {

template <typename Counts> std::int64_t countPages(const RunReport &report, Counts counts)
{
    std::int64_t n = 0;
    for (const PageReport &page : report.pages)
        n += counts(page) ? 1 : 0;
    return n;
}

} // namespace

std::int64_t RunReport::pagesWritten() const
{
    return countPages(*this, [](const PageReport &page) { return !page.siteFile && page.written(); });
}

std::int64_t RunReport::pagesUnchanged() const
{
    return countPages(*this,
                      [](const PageReport &page) { return !page.siteFile && page.outcome == PageOutcome::Unchanged; });
}

std::int64_t RunReport::warnings() const
{
    return countPages(*this, [](const PageReport &page) { return page.isWarning(); }) + runWarnings;
}

std::int64_t RunReport::errors() const
{
    return countPages(*this, [](const PageReport &page) { return page.isError(); });
}

std::int64_t RunReport::pagesReached() const
{
    return countPages(*this,
                      [](const PageReport &page) { return !page.siteFile && page.outcome != PageOutcome::NotReached; });
}

std::int64_t RunReport::pageCount() const
{
    return countPages(*this, [](const PageReport &page) { return !page.siteFile; });
}

void RunReportRecorder::pageWritten(const PageKeywords &page)
{
    if (m_keepTexts)
        m_texts = page;
    if (m_inner.wantsPageWords())
        m_inner.pageWritten(page);
}

void RunReportRecorder::pageReported(const PageReport &page)
{
    m_report.pages.push_back(page);
    // The page's texts come just before its report, once it is done.
    if (m_keepTexts && !m_texts.page.isEmpty() && m_texts.page == page.PagePath) {
        PageReport &kept = m_report.pages.back();
        if (!m_report.texts)
            m_report.texts = std::make_shared<TextStore>();
        kept.keywords = KeptText(m_report.texts, m_report.texts->keep(m_texts.keywords));
        kept.description = std::move(m_texts.description);
    }
    m_texts = PageKeywords();
    m_inner.pageReported(m_report.pages.back());
}

RunReport runMetaWithReport(const RunOptions &options, RunObserver &observer, const RunLimits &limits, PageTexts texts)
{
    RunReport report;
    report.dryRun = options.dryRun;
    report.folder = options.folder;
    report.descriptionLine = options.description;
    report.description = options.siteDescription;
    report.descriptionIsPrompt = options.description && options.siteDescriptionIsPrompt;
    RunReportRecorder recorder(observer, report, texts == PageTexts::Kept);
    QElapsedTimer timer;
    timer.start();
    MetaRun run(options, recorder, limits);
    report.result = run.run();
    report.elapsedNs = timer.nsecsElapsed();
    return report;
}

QString fileErrorText(int fileError, int langOffset)
{
    return loadString(ids::FileErrorBase + fileError + langOffset).value_or(QStringLiteral("%1").arg(fileError));
}

const char *outcomeName(PageOutcome outcome)
{
    switch (outcome) {
    case PageOutcome::Replaced:
        return "replaced";
    case PageOutcome::BeforeHeadEnd:
        return "before-head";
    case PageOutcome::Appended:
        return "appended";
    case PageOutcome::Created:
        return "created";
    case PageOutcome::Failed:
        return "failed";
    case PageOutcome::Unchanged:
        return "unchanged";
    case PageOutcome::NotReached:
        break;
    }
    return "not-reached";
}

const char *descriptionSourceName(DescriptionSource source)
{
    switch (source) {
    case DescriptionSource::OwnTag:
        return "own-tag";
    case DescriptionSource::Content:
        return "content";
    case DescriptionSource::Given:
        return "given";
    case DescriptionSource::None:
        break;
    }
    return "none";
}

const char *checkName(std::uint8_t check)
{
    switch (check) {
    case pagecheck::NoTitle:
        return "no-title";
    case pagecheck::TitleElsewhere:
        return "title-elsewhere";
    case pagecheck::DescriptionElsewhere:
        return "description-elsewhere";
    case pagecheck::DescriptionShort:
        return "description-short";
    case pagecheck::DescriptionLong:
        return "description-long";
    default:
        return "";
    }
}

namespace {

void appendCsvField(QByteArray &out, const QByteArray &field)
{
    if (field.contains(',') || field.contains('"') || field.contains('\n') || field.contains('\r')) {
        QByteArray quoted = field;
        quoted.replace("\"", "\"\"");
        out += '"' + quoted + '"';
    } else {
        out += field;
    }
}

void appendCsvRow(QByteArray &out, const QList<QByteArray> &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        appendCsvField(out, fields.at(i));
    }
    out += "\r\n";
}

// Why a page that declares a charset was read as Windows-1252: "not-decoded shift_jis" (its bytes are
// no Shift_JIS), "unknown-charset iso-2022-kr" (a charset browsers refuse to decode); empty otherwise.
QByteArray encodingNoteName(const PageReport &page)
{
    switch (page.encodingNote) {
    case EncodingNote::None:
        return {};
    case EncodingNote::NotDecoded:
        return "not-decoded " + page.charset.toUtf8();
    case EncodingNote::UnknownCharset:
        return "unknown-charset " + page.charset.toUtf8();
    }
    return {};
}

// The page's check flags by name, blank between.
QByteArray checkNames(const PageReport &page)
{
    QByteArray names;
    for (int bit = 0; bit < pagecheck::Count; ++bit)
        if (page.checks & (1u << bit)) {
            if (!names.isEmpty())
                names += ' ';
            names += checkName(static_cast<std::uint8_t>(1u << bit));
        }
    return names;
}

} // namespace

QString encodingName(const PageReport &page)
{
    if (!page.encoding)
        return {};
    switch (*page.encoding) {
    case PageEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case PageEncoding::Windows1252:
        return QStringLiteral("Windows-1252");
    case PageEncoding::Utf16LE:
        return QStringLiteral("UTF-16LE");
    case PageEncoding::Utf16BE:
        return QStringLiteral("UTF-16BE");
    case PageEncoding::Legacy:
        return page.charset.toUpper();
    }
    return {};
}

int writeRunReportCsv(const RunReport &report, int langOffset, const std::function<int(std::string_view)> &write)
{
    // Handed on a piece at a time: the CSV of a large site is as large as its report.
    constexpr qsizetype Piece = 1 << 20;
    QByteArray out;
    appendCsvRow(out, {"page", "main_page", "encoding", "outcome", "error", "words_found", "keywords_written", "backup",
                       "bytes_before", "bytes_after", "encoding_note", "keywords", "description", "description_source",
                       "checks"});
    for (const PageReport &page : report.pages) {
        // A site file has no words, no block and no description.
        const bool read = page.outcome != PageOutcome::NotReached && !page.siteFile;
        // Read where the report keeps it, not copied: the row is made at once.
        const QByteArrayView keywords = page.keywords.view();
        appendCsvRow(out,
                     {QByteArray::fromStdString(fs::native(page.relativePath)), page.OnMainPage ? "yes" : "no",
                      encodingName(page).toUtf8(), outcomeName(page.outcome),
                      page.fileError != 0 ? fileErrorText(page.fileError, langOffset).toUtf8() : QByteArray(),
                      read ? QByteArray::number(page.wordsFound) : QByteArray(),
                      page.hasBlock() ? QByteArray::number(page.keywordsWritten) : QByteArray(),
                      page.BackupPath.isEmpty()
                          ? QByteArray()
                          : QByteArray::fromStdString(fs::native(fs::relativePath(report.folder, page.BackupPath))),
                      page.outcome != PageOutcome::NotReached ? QByteArray::number(page.bytesBefore) : QByteArray(),
                      page.hasBytesAfter() ? QByteArray::number(page.bytesAfter) : QByteArray(), encodingNoteName(page),
                      QByteArray::fromRawData(keywords.data(), keywords.size()), page.description.toUtf8(),
                      page.hasBlock() ? QByteArray(descriptionSourceName(page.descriptionSource)) : QByteArray(),
                      checkNames(page)});
        if (out.size() >= Piece) {
            if (const int err = write(std::string_view(out.constData(), std::size_t(out.size()))); err != 0)
                return err;
            out.resize(0); // its room kept for the next piece
        }
    }
    return write(std::string_view(out.constData(), std::size_t(out.size())));
}

int saveRunReportCsv(const RunReport &report, int langOffset, const QString &path)
{
    return fs::saveFile(fs::native(path), [&](int fd) {
        return writeRunReportCsv(report, langOffset, [fd](std::string_view piece) { return fs::writeAll(fd, piece); });
    });
}

QByteArray runReportCsv(const RunReport &report, int langOffset)
{
    QByteArray csv;
    writeRunReportCsv(report, langOffset, [&csv](std::string_view piece) {
        csv.append(piece.data(), qsizetype(piece.size()));
        return 0;
    });
    return csv;
}

} // namespace tagsmith
