#include "batch/BatchCommand.h"

#include "Version.h"
#include "engine/fs/FileError.h"
#include "engine/fs/FileSystem.h"
#include "engine/page/PageDiff.h"
#include "engine/page/SiteSharing.h"
#include "engine/run/RunChecks.h"
#include "engine/run/RunReport.h"
#include "engine/undo/Undo.h"
#include "engine/undo/UndoStore.h"
#include "text/ReportTexts.h"
#include "text/StringTable.h"
#include "text/UndoText.h"

#include <QBuffer>
#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <optional>

namespace tagsmith {
namespace {

// Messages of the run, one line each, in the chosen language, naming the page where there is one;
// each page's change as a unified diff when asked; the page under work on a line written over in
// place when standard error is a terminal.
class BatchObserver : public RunObserver
{
public:
    BatchObserver(const BatchArguments &arguments, QIODevice &out, QTextStream &err, bool progress)
        : m_arguments(arguments), m_out(out), m_err(err), m_progress(progress)
    {
    }

    ~BatchObserver() override { clearProgress(); }

    void message(const Message &msg) override
    {
        if (m_arguments.quiet && msg.textId == ids::NoMarkAppending)
            return;
        clearProgress();
        const int lang = m_arguments.langOffset;
        const QString title = loadString(msg.titleId + lang).value_or(QString());
        QString text =
            loadString(msg.textId + lang).value_or(QStringLiteral("%1").arg(msg.textId - ids::FileErrorBase));
        if (!msg.argument.isEmpty())
            text = text.arg(fs::shown(msg.argument));
        else if (msg.count >= 0)
            text = text.arg(msg.count);
        if (!msg.page.isEmpty())
            m_err << fs::shown(msg.page) << QStringLiteral(": ");
        m_err << title << QLatin1Char(' ') << text << Qt::endl;
    }

    void pageStarted(const QString &pagePath, std::int64_t index, std::int64_t count) override
    {
        // A few updates a second are enough to watch, and keep a run of small pages from waiting on
        // the terminal.
        if (!m_progress || (m_sinceShown.isValid() && m_sinceShown.elapsed() < 100 && index + 1 < count))
            return;
        m_sinceShown.start();
        const QLocale locale = localeOf(m_arguments.langOffset);
        m_err << QStringLiteral("\r[%1/%2] %3\x1b[K")
                     .arg(locale.toString(qlonglong(index + 1)), locale.toString(qlonglong(count)),
                          fs::shown(pagePath.section(QLatin1Char('/'), -1)));
        m_err.flush();
        m_progressShown = true;
    }

    bool wantsPageBytes() const override { return m_arguments.diff; }

    void pageBytes(const PageReport &page, std::string_view before, std::string_view after) override
    {
        // The main page among the folder's pages is written twice: one diff from the page as it is to
        // the page as the run leaves it, so that patch --dry-run checks it as well.
        if (!page.OnMainPage &&
            fs::absoluteCleanPath(page.PagePath) == fs::absoluteCleanPath(m_arguments.options.mainPage)) {
            m_mainBefore = std::string(before);
            return;
        }
        if (page.OnMainPage && m_mainBefore)
            before = *m_mainBefore;
        // The time stamps diff would write: the page's own, and now for the page as the run would leave it.
        const std::string name = fs::native(page.relativePath);
        const bool created = page.outcome == PageOutcome::Created;
        fs::Status st;
        if (created || fs::pathStatus(fs::native(page.PagePath), &st) != 0)
            st.mtimeNs = 0;
        const auto now =
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        m_diff.clear();
        appendUnifiedDiff(m_diff, before, after, diffLabel(created ? "/dev/null" : "a/" + name, st.mtimeNs),
                          diffLabel("b/" + name, now));
        m_out.write(m_diff.data(), qint64(m_diff.size()));
    }

private:
    void clearProgress()
    {
        if (!m_progressShown)
            return;
        m_err << QStringLiteral("\r\x1b[K");
        m_err.flush();
        m_progressShown = false;
    }

    const BatchArguments &m_arguments;
    QIODevice &m_out;
    QTextStream &m_err;
    bool m_progress;
    bool m_progressShown = false;
    QElapsedTimer m_sinceShown;
    std::string m_diff;
    std::optional<std::string> m_mainBefore;
};

QString programName()
{
    return QStringLiteral("tagsmith-batch");
}

// Undo data lives beside the database, in the program's data folder.
QString dataFolderOf(const QString &database)
{
    const QString absolute = fs::absoluteCleanPath(database);
    return absolute.left(std::max<qsizetype>(absolute.lastIndexOf(QLatin1Char('/')), 1));
}

// A database the file layer cannot open is told with the file-error texts, not the database
// library's own ("disk I/O error" for a folder).
std::optional<Refusal> refuseDatabase(const QString &database)
{
    const std::string path = fs::native(database);
    fs::Status st;
    if (fs::pathStatus(path, &st) == 0 && st.isFolder())
        return Refusal{ids::IsFolder, database, {}, true};
    fs::File file;
    if (const int err = fs::openForReading(path, fs::Links::Follow, &file); err != 0)
        return Refusal{ids::FileErrorBase + fileErrorFromErrno(err), database, {}, false};
    return std::nullopt;
}

// Which database a run would read its template texts from, whether it is there, and where undo data
// is kept.
QString versionLines(const BatchArguments &parsed, const QString &defaultDatabase)
{
    const QString database = parsed.database.isEmpty() ? defaultDatabase : parsed.database;
    fs::Status st;
    const bool there = fs::pathStatus(fs::native(database), &st) == 0 && st.isRegular();
    const auto text = [&parsed](int id, const QString &argument) {
        return loadString(id + parsed.langOffset).value_or(QString()).arg(argument);
    };
    const QString shown =
        there ? database : text(parsed.database.isEmpty() ? ids::DatabaseMissing : ids::DatabaseNotThere, database);
    return text(ids::DatabaseLine, shown) + QLatin1Char('\n') +
           text(ids::UndoDataLine, fs::fromNative(UndoStore(dataFolderOf(database)).storeFolder())) + QLatin1Char('\n');
}

} // namespace

QString batchUsage()
{
    return QStringLiteral(
        "Usage: tagsmith-batch [OPTIONS] FOLDER\n"
        "Writes a block of META lines into every .htm and .html page of FOLDER, each with its own\n"
        "words as keywords, and then into the main page with the words of the whole site.\n"
        "\n"
        "Options (before or after FOLDER):\n"
        "  --main PAGE            the main page (made when it does not exist)\n"
        "  --description TEXT     write the description line with TEXT (none without it)\n"
        "  --no-generator         no generator line\n"
        "  --no-robots            no robots line\n"
        "  --no-revisit           no revisit-after line\n"
        "  --revisit-months TEXT  the months of the revisit-after line (default \"3\")\n"
        "  --min-length TEXT      words shorter than this number are left out (default \"6\")\n"
        "  --no-min-length        keep words of every length\n"
        "  --case lower|upper|keep  the case of the keywords (default lower)\n"
        "  --backup               keep each page as it was under its backup name (index.bak ...)\n"
        "  --no-undo              keep no undo data for this run (and drop the folder's old undo data)\n"
        "  --undo                 undo the last run of FOLDER instead: every page it wrote that is\n"
        "                         unchanged since gets its content from before back; each undo\n"
        "                         steps back one run (the last 10 runs of a folder are kept)\n"
        "  --undo --list [FOLDER] list the undo data kept: folders and their runs\n"
        "  --forget               remove the undo data of FOLDER (also when it no longer exists)\n"
        "  --undo-budget SIZE     the room the undo data of FOLDER's runs may take (default 1G;\n"
        "                         K, M, G for kibi-, mebi-, gibibytes); the oldest runs go first\n"
        "  --top-keywords N       keywords: the N (1 to 50) most telling words of each page, and\n"
        "                         the N words on the most pages for the main page; every page is\n"
        "                         read first, and a page that would not change is not written\n"
        "  --page-descriptions    description: each page's own (its description tag, else its\n"
        "                         first paragraph); --description TEXT for a page without one\n"
        "  --site-url URL         the site's address (http or https): every page's block also\n"
        "                         gets its canonical link and sharing tags, and the folder a\n"
        "                         sitemap.xml and a Sitemap line in robots.txt\n"
        "  --share-image PATH     with --site-url: the picture of every shared page (a file of\n"
        "                         the site or an address; default each page's first large one)\n"
        "  --language en|nl       the language of the messages (default en)\n"
        "  --database PATH        the database whose Settings rows are the template texts\n"
        "                         (default: the program's own Tagsmith.mdb, else the built-in texts)\n"
        "  --dry-run              write nothing; report what the run (or with --undo the undo) would do\n"
        "  --diff                 with --dry-run: each page's change as a unified diff on\n"
        "                         standard output (patch -p1 applies it in FOLDER)\n"
        "  --report FILE          the run report as CSV (UTF-8, header row); - for standard output\n"
        "  --quiet                no line for each page without a META NAME tag or closing head tag\n"
        "  --help                 show this text\n"
        "  --version              show the version, the database a run would read and where\n"
        "                         undo data is kept\n"
        "\n"
        "Exit status: 0 the run completed (warnings allowed), 1 it did not start or a file\n"
        "operation failed, 2 bad usage.\n");
}

BatchArguments parseBatchArguments(const QStringList &arguments)
{
    BatchArguments result;
    RunOptions &options = result.options;
    // A batch run writes the description line only when a description is given.
    options.description = false;

    // --help and --version answer whatever else the line holds, but the options beside them
    // (--database, --language) still count, before or after them.
    std::optional<BatchArguments::Action> asked;
    bool forget = false;
    auto bad = [&result, &asked](const QString &error) {
        result.action = asked.value_or(BatchArguments::Action::BadUsage);
        result.error = asked ? QString() : error;
        return result;
    };

    const std::map<QString, std::function<void()>> flags = {
        {QStringLiteral("--no-generator"), [&] { options.generator = false; }},
        {QStringLiteral("--no-robots"), [&] { options.robots = false; }},
        {QStringLiteral("--no-revisit"), [&] { options.revisit = false; }},
        {QStringLiteral("--no-min-length"), [&] { options.minLength = false; }},
        {QStringLiteral("--backup"), [&] { options.backup = true; }},
        {QStringLiteral("--dry-run"), [&] { options.dryRun = true; }},
        {QStringLiteral("--no-undo"), [&] { options.keepUndo = false; }},
        {QStringLiteral("--undo"), [&] { result.action = BatchArguments::Action::Undo; }},
        {QStringLiteral("--forget"), [&] { forget = true; }},
        {QStringLiteral("--list"), [&] { result.list = true; }},
        {QStringLiteral("--diff"), [&] { result.diff = true; }},
        {QStringLiteral("--quiet"), [&] { result.quiet = true; }},
        {QStringLiteral("--page-descriptions"),
         [&] {
             options.description = true;
             options.pageDescriptions = true;
         }},
    };

    const QStringList valueOptions = {
        QStringLiteral("--main"),       QStringLiteral("--description"), QStringLiteral("--revisit-months"),
        QStringLiteral("--min-length"), QStringLiteral("--case"),        QStringLiteral("--language"),
        QStringLiteral("--database"),   QStringLiteral("--report"),      QStringLiteral("--top-keywords"),
        QStringLiteral("--site-url"),   QStringLiteral("--share-image"), QStringLiteral("--undo-budget"),
    };

    QString folder;
    bool folderGiven = false;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments.at(i);
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            if (folderGiven)
                return bad(QStringLiteral("only one FOLDER may be given (%1 and %2)").arg(folder, arg));
            folder = arg;
            folderGiven = true;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("--version")) {
            if (!asked) // the first one asked is answered
                asked = arg == QLatin1String("--help") ? BatchArguments::Action::Help : BatchArguments::Action::Version;
            continue;
        }
        if (const auto flag = flags.find(arg); flag != flags.end()) {
            flag->second();
            continue;
        }
        // Options with a value: "--main PAGE" or "--main=PAGE".
        QString value;
        const qsizetype equals = arg.indexOf(QLatin1Char('='));
        if (equals > 0) {
            value = arg.mid(equals + 1);
            arg.truncate(equals);
        }
        if (!valueOptions.contains(arg))
            return bad(QStringLiteral("unknown option %1").arg(arguments.at(i)));
        if (equals <= 0) {
            if (i + 1 >= arguments.size())
                return bad(QStringLiteral("%1 needs a value").arg(arg));
            value = arguments.at(++i);
        }
        if (arg == QLatin1String("--main")) {
            options.mainPage = value;
        } else if (arg == QLatin1String("--description")) {
            options.description = true;
            options.siteDescription = value;
        } else if (arg == QLatin1String("--revisit-months")) {
            options.revisitMonths = value;
        } else if (arg == QLatin1String("--min-length")) {
            options.minLength = true;
            options.minLengthText = value;
        } else if (arg == QLatin1String("--case")) {
            if (value == QLatin1String("lower")) {
                options.caseConversion = true;
                options.upperCase = false;
                options.lowerCase = true;
            } else if (value == QLatin1String("upper")) {
                options.caseConversion = true;
                options.upperCase = true;
                options.lowerCase = false;
            } else if (value == QLatin1String("keep")) {
                options.caseConversion = false;
            } else {
                return bad(QStringLiteral("--case takes lower, upper or keep, not %1").arg(value));
            }
        } else if (arg == QLatin1String("--top-keywords")) {
            bool ok = false;
            const int count = value.toInt(&ok);
            if (!ok || count < 1 || count > 50)
                return bad(QStringLiteral("--top-keywords takes a number from 1 to 50, not %1").arg(value));
            options.topKeywords = true;
            options.topKeywordCount = count;
        } else if (arg == QLatin1String("--undo-budget")) {
            // A number of bytes, or of kibi-, mebi- or gibibytes.
            const QString unit = value.right(1).toUpper();
            const int shift = unit == QLatin1String("K")   ? 10
                              : unit == QLatin1String("M") ? 20
                              : unit == QLatin1String("G") ? 30
                                                           : 0;
            bool ok = false;
            const qint64 number = (shift > 0 ? value.chopped(1) : value).toLongLong(&ok);
            if (!ok || number <= 0 || number > (std::int64_t(1) << (62 - shift)))
                return bad(QStringLiteral("--undo-budget takes a size such as 500M or 2G, not %1").arg(value));
            options.undoBudget = number << shift;
        } else if (arg == QLatin1String("--language")) {
            if (value == QLatin1String("en"))
                result.langOffset = EnglishOffset;
            else if (value == QLatin1String("nl"))
                result.langOffset = DutchOffset;
            else
                return bad(QStringLiteral("--language takes en or nl, not %1").arg(value));
        } else if (arg == QLatin1String("--site-url")) {
            if (!SiteSharing::validSiteUrl(value))
                return bad(QStringLiteral("--site-url takes an absolute http or https address, not %1").arg(value));
            options.siteUrl = value.trimmed();
        } else if (arg == QLatin1String("--share-image")) {
            if (value.trimmed().isEmpty())
                return bad(QStringLiteral("--share-image needs a file of the site or an address"));
            options.shareImage = value;
        } else if (arg == QLatin1String("--report")) {
            if (value.isEmpty())
                return bad(QStringLiteral("--report needs a file name, or - for standard output"));
            result.reportFile = value;
        } else {
            result.database = value;
        }
    }
    if (asked)
        return result.action = *asked, result;
    if (forget) {
        if (result.action == BatchArguments::Action::Undo || result.list)
            return bad(QStringLiteral("--forget goes with neither --undo nor --list"));
        result.action = BatchArguments::Action::Forget;
    }
    if (result.list && result.action != BatchArguments::Action::Undo)
        return bad(QStringLiteral("--list goes with --undo"));
    if (!folderGiven && !result.list)
        return bad(QStringLiteral("no FOLDER given"));
    if (result.diff && !options.dryRun)
        return bad(QStringLiteral("--diff goes with --dry-run"));
    if (!options.shareImage.isEmpty() && options.siteUrl.isEmpty())
        return bad(QStringLiteral("--share-image goes with --site-url"));
    options.folder = folder;
    return result;
}

// --undo: with --dry-run what the undo would do, one line per page on standard output (what would be
// done, a tab, the page) and the summary on standard error; else the undo itself.
static int undoBatch(const BatchArguments &parsed, QIODevice &outDevice, QTextStream &err)
{
    const RunOptions &options = parsed.options;
    BatchObserver observer(parsed, outDevice, err, false);
    if (options.dryRun) {
        const UndoPlan plan = planUndo(options.dataFolder, options.folder);
        if (!plan.ready() || !plan.usable()) {
            observer.message(whyNoUndo(plan));
            if (plan.status == UndoStore::Status::Missing)
                err << localText(ids::NoUndoDataHint, parsed.langOffset) << Qt::endl;
            err.flush();
            return batchexit::Failed;
        }
        static const char *const actions[] = {"restore", "remove", "as-before", "changed-since", "copy-lost"};
        QTextStream out(&outDevice);
        for (const UndoPage &page : plan.pages)
            out << QLatin1String(actions[int(page.action)]) << QLatin1Char('\t') << fs::shown(page.page) << Qt::endl;
        for (const QString &line : undoPlanLines(plan, parsed.langOffset))
            err << line << Qt::endl;
        return batchexit::Completed;
    }
    UndoPlan done;
    const RunResult result = undoLastRun(options.dataFolder, options.folder, observer, &done);
    if (result != RunResult::NotStarted)
        err << undoDoneLine(done, parsed.langOffset) << Qt::endl;
    else if (done.status == UndoStore::Status::Missing)
        err << localText(ids::NoUndoDataHint, parsed.langOffset) << Qt::endl;
    err.flush();
    return result == RunResult::Completed ? batchexit::Completed : batchexit::Failed;
}

// --undo --list: the folders with undo data (or the one given), each with its runs, the oldest first.
static int listUndoData(const BatchArguments &parsed, QIODevice &outDevice)
{
    const int lang = parsed.langOffset;
    const QLocale locale = localeOf(lang);
    QTextStream out(&outDevice);
    const std::vector<KeptFolder> folders = keptUndoData(parsed.options.dataFolder, parsed.options.folder);
    if (folders.empty())
        out << localText(ids::UndoListNone, lang) << Qt::endl;
    for (const KeptFolder &folder : folders) {
        out << folder.folder;
        if (!folder.exists)
            out << QLatin1Char(' ') << localText(ids::UndoListGone, lang);
        out << Qt::endl;
        for (const KeptFolder::Run &run : folder.runs) {
            out << QStringLiteral("  ")
                << QDateTime::fromMSecsSinceEpoch(run.startedMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                << QStringLiteral("  ") << localText(ids::UndoListPages, lang).arg(locale.toString(run.pages))
                << QStringLiteral("  ") << locale.formattedDataSize(run.space);
            if (!run.finished)
                out << QStringLiteral("  ") << localText(ids::UndoRunUnfinished, lang);
            out << Qt::endl;
        }
        const std::int64_t budget =
            parsed.options.undoBudget > 0 ? parsed.options.undoBudget : UndoStore::DefaultBudget;
        if (const QString dropped = undoDroppedLine(folder, budget, lang); !dropped.isEmpty())
            out << QStringLiteral("  ") << dropped << Qt::endl;
    }
    return batchexit::Completed;
}

// --forget: the folder's undo data goes, unless a run or undo is at work on it.
static int forgetBatch(const BatchArguments &parsed, QIODevice &out, QTextStream &err)
{
    BatchObserver observer(parsed, out, err, false);
    const QString folder = parsed.options.folder;
    fs::File lock;
    if (const std::optional<Message> busy = takeFolderLock(fs::absoluteCleanPath(folder), &lock)) {
        observer.message(*busy);
        return batchexit::Failed;
    }
    int runs = 0;
    if (const int error = forgetUndoData(parsed.options.dataFolder, folder, &runs); error != 0) {
        observer.message({ids::ErrorTitle, ids::FileErrorBase + fileErrorFromErrno(error), folder});
        return batchexit::Failed;
    }
    err << UndoStore::canonicalFolder(folder) << QStringLiteral(": ")
        << (runs > 0 ? localText(ids::UndoForgotten, parsed.langOffset).arg(runs)
                     : localText(ids::UndoListNone, parsed.langOffset))
        << Qt::endl;
    return batchexit::Completed;
}

int runBatch(const QStringList &arguments, const QString &defaultDatabase, QIODevice &out, QTextStream &err,
             bool errIsTerminal)
{
    BatchArguments parsed = parseBatchArguments(arguments);
    switch (parsed.action) {
    case BatchArguments::Action::Help:
        out.write(batchUsage().toUtf8());
        return batchexit::Completed;
    case BatchArguments::Action::Version:
        out.write((programName() +
                   QStringLiteral(" %1.%2.%3\n").arg(version::Major).arg(version::Minor).arg(version::Revision) +
                   versionLines(parsed, defaultDatabase))
                      .toUtf8());
        return batchexit::Completed;
    case BatchArguments::Action::BadUsage:
        err << programName() << QStringLiteral(": ") << parsed.error << Qt::endl
            << QStringLiteral("Try 'tagsmith-batch --help'.") << Qt::endl;
        return batchexit::BadUsage;
    case BatchArguments::Action::Run:
    case BatchArguments::Action::Undo:
    case BatchArguments::Action::Forget:
        break;
    }

    const QString database = parsed.database.isEmpty() ? defaultDatabase : parsed.database;
    parsed.options.dataFolder = dataFolderOf(database);
    if (parsed.action == BatchArguments::Action::Undo && parsed.list)
        return listUndoData(parsed, out);
    if (parsed.action == BatchArguments::Action::Undo)
        return undoBatch(parsed, out, err);
    if (parsed.action == BatchArguments::Action::Forget) {
        const int status = forgetBatch(parsed, out, err);
        err.flush();
        return status;
    }

    // Every argument is looked at before the first page is touched.
    const auto refuse = [&](const QString &option, const Refusal &refused) {
        QString text = loadString(refused.textId + parsed.langOffset)
                           .value_or(QString::number(refused.textId - ids::FileErrorBase));
        if (!refused.argument.isEmpty())
            text = text.arg(fs::shown(refused.argument));
        err << programName() << QStringLiteral(": ") << option << QLatin1Char(' ') << fs::shown(refused.path)
            << QStringLiteral(": ") << text << Qt::endl;
        return refused.badUsage ? batchexit::BadUsage : batchexit::Failed;
    };
    const bool readDatabase = !parsed.database.isEmpty() || fs::existsFollowingLinks(fs::native(database));
    if (readDatabase)
        if (const std::optional<Refusal> refused = refuseDatabase(database))
            return refuse(QStringLiteral("--database"), *refused);
    if (!parsed.reportFile.isEmpty() && parsed.reportFile != QLatin1String("-"))
        for (const auto &refused :
             {refuseOutputFile(parsed.reportFile), refuseReportOverPage(parsed.reportFile, parsed.options)})
            if (refused)
                return refuse(QStringLiteral("--report"), *refused);
    if (const std::optional<Refusal> refused = refuseMainPage(parsed.options))
        return refuse(QStringLiteral("--main"), *refused);
    if (const std::optional<Refusal> refused = refuseShareImage(parsed.options))
        return refuse(QStringLiteral("--share-image"), *refused);

    // The template texts: the Settings rows of the database, or the texts a new database gets when
    // there is no database beside the program.
    if (readDatabase) {
        QString error;
        const auto rows = readSettingsRows(database, &error);
        if (!rows) {
            err << programName() << QStringLiteral(": cannot read the template texts from ") << fs::shown(database)
                << QStringLiteral(": ") << error << Qt::endl;
            return batchexit::Failed;
        }
        // A short table would write a block of empty lines that no later run finds again.
        if (rows->size() < std::size_t(TemplateCount)) {
            err << programName() << QStringLiteral(": cannot read the template texts from ") << fs::shown(database)
                << QStringLiteral(": table Settings holds %1 of its %2 rows").arg(rows->size()).arg(TemplateCount)
                << Qt::endl;
            return batchexit::Failed;
        }
        parsed.options.templates = templatesFromRows(*rows);
    } else {
        parsed.options.templates = defaultTemplates();
    }

    RunReport report;
    {
        BatchObserver observer(parsed, out, err, errIsTerminal);
        report = runMetaWithReport(parsed.options, observer, RunLimits(),
                                   parsed.reportFile.isEmpty() ? PageTexts::Left : PageTexts::Kept);
    }
    if (report.started())
        err << runSummary(report.pagesWritten(), report.pagesUnchanged(), report.warnings(), report.errors(),
                          report.elapsedNs, report.dryRun, parsed.langOffset)
            << Qt::endl;
    int status = report.result == RunResult::Completed ? batchexit::Completed : batchexit::Failed;
    if (!parsed.reportFile.isEmpty() && report.started()) {
        if (parsed.reportFile == QLatin1String("-")) {
            writeRunReportCsv(report, parsed.langOffset, [&out](std::string_view piece) {
                out.write(piece.data(), qint64(piece.size()));
                return 0;
            });
        } else {
            if (const int error = saveRunReportCsv(report, parsed.langOffset, parsed.reportFile); error != 0) {
                err << programName() << QStringLiteral(": cannot write the report to ") << fs::shown(parsed.reportFile)
                    << QStringLiteral(": ") << QString::fromLocal8Bit(std::strerror(error)) << Qt::endl;
                status = batchexit::Failed;
            }
        }
    }
    err.flush();
    return status;
}

int runBatch(const QStringList &arguments, const QString &defaultDatabase, QTextStream &out, QTextStream &err)
{
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    const int status = runBatch(arguments, defaultDatabase, bytes, err, false);
    out << QString::fromUtf8(bytes.data());
    out.flush();
    return status;
}

} // namespace tagsmith
