#include "engine/RunReport.h"

#include "engine/MetaRun.h"
#include "text/StringTable.h"

#include <QDir>
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
    return countPages(*this, [](const PageReport &page) { return page.written(); });
}

std::int64_t RunReport::warnings() const
{
    return countPages(*this, [](const PageReport &page) { return page.isWarning(); });
}

std::int64_t RunReport::errors() const
{
    return countPages(*this, [](const PageReport &page) { return page.isError(); });
}

void RunReportRecorder::pageReported(const PageReport &page)
{
    m_report.pages.push_back(page);
    m_inner.pageReported(page);
}

RunReport runMetaWithReport(const RunOptions &options, RunObserver &observer, const RunLimits &limits)
{
    RunReport report;
    report.dryRun = options.dryRun;
    report.folder = options.folder;
    report.descriptionLine = options.description;
    report.description = options.siteDescription;
    report.descriptionIsPrompt = options.description && options.siteDescriptionIsPrompt;
    RunReportRecorder recorder(observer, report);
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
    case PageOutcome::NotReached:
        break;
    }
    return "not-reached";
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

QByteArray encodingName(const std::optional<PageEncoding> &encoding)
{
    if (!encoding)
        return {};
    return *encoding == PageEncoding::Utf8 ? QByteArrayLiteral("UTF-8") : QByteArrayLiteral("Windows-1252");
}

} // namespace

QByteArray runReportCsv(const RunReport &report, int langOffset)
{
    QByteArray out;
    appendCsvRow(out, {"page", "main_page", "encoding", "outcome", "error", "words_found", "keywords_written", "backup",
                       "bytes_before", "bytes_after"});
    for (const PageReport &page : report.pages) {
        const bool read = page.outcome != PageOutcome::NotReached;
        appendCsvRow(out, {page.relativePath.toUtf8(), page.OnMainPage ? "yes" : "no", encodingName(page.encoding),
                           outcomeName(page.outcome),
                           page.fileError != 0 ? fileErrorText(page.fileError, langOffset).toUtf8() : QByteArray(),
                           read ? QByteArray::number(page.wordsFound) : QByteArray(),
                           page.written() ? QByteArray::number(page.keywordsWritten) : QByteArray(),
                           page.BackupPath.isEmpty() ? QByteArray()
                                                     : QDir(report.folder).relativeFilePath(page.BackupPath).toUtf8(),
                           read ? QByteArray::number(page.bytesBefore) : QByteArray(),
                           page.written() ? QByteArray::number(page.bytesAfter) : QByteArray()});
    }
    return out;
}

} // namespace tagsmith
