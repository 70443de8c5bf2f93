#include "batch/BatchCommand.h"

#include "Version.h"
#include "engine/FileSystem.h"
#include "engine/Run.h"
#include "text/StringTable.h"

#include <functional>
#include <map>

namespace tagsmith {
namespace {

// Messages of the run, one line each, in the chosen language, naming the page where there is one.
class BatchObserver : public RunObserver
{
public:
    BatchObserver(QTextStream &err, int langOffset) : m_err(err), m_langOffset(langOffset) {}

    void message(const Message &msg) override
    {
        const QString title = loadString(msg.titleId + m_langOffset).value_or(QString());
        const QString text =
            loadString(msg.textId + m_langOffset).value_or(QStringLiteral("%1").arg(msg.textId - ids::FileErrorBase));
        if (!msg.page.isEmpty())
            m_err << msg.page << QStringLiteral(": ");
        m_err << title << QLatin1Char(' ') << text << Qt::endl;
    }

private:
    QTextStream &m_err;
    int m_langOffset;
};

QString programName()
{
    return QStringLiteral("tagsmith-batch");
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
        "  --language en|nl       the language of the messages (default en)\n"
        "  --database PATH        the database whose Settings rows are the template texts\n"
        "                         (default: the program's own Tagsmith.mdb, else the built-in texts)\n"
        "  --help                 show this text\n"
        "  --version              show the version and the database a run would read\n"
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

    auto bad = [&result](const QString &error) {
        result.action = BatchArguments::Action::BadUsage;
        result.error = error;
        return result;
    };

    const std::map<QString, std::function<void()>> flags = {
        {QStringLiteral("--no-generator"), [&] { options.generator = false; }},
        {QStringLiteral("--no-robots"), [&] { options.robots = false; }},
        {QStringLiteral("--no-revisit"), [&] { options.revisit = false; }},
        {QStringLiteral("--no-min-length"), [&] { options.minLength = false; }},
        {QStringLiteral("--backup"), [&] { options.backup = true; }},
    };

    const QStringList valueOptions = {
        QStringLiteral("--main"),       QStringLiteral("--description"), QStringLiteral("--revisit-months"),
        QStringLiteral("--min-length"), QStringLiteral("--case"),        QStringLiteral("--language"),
        QStringLiteral("--database"),
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
        if (arg == QLatin1String("--help"))
            return result.action = BatchArguments::Action::Help, result;
        if (arg == QLatin1String("--version"))
            return result.action = BatchArguments::Action::Version, result;
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
        } else if (arg == QLatin1String("--language")) {
            if (value == QLatin1String("en"))
                result.langOffset = EnglishOffset;
            else if (value == QLatin1String("nl"))
                result.langOffset = DutchOffset;
            else
                return bad(QStringLiteral("--language takes en or nl, not %1").arg(value));
        } else {
            result.database = value;
        }
    }
    if (!folderGiven)
        return bad(QStringLiteral("no FOLDER given"));
    options.folder = folder;
    return result;
}

int runBatch(const QStringList &arguments, const QString &defaultDatabase, QTextStream &out, QTextStream &err)
{
    BatchArguments parsed = parseBatchArguments(arguments);
    switch (parsed.action) {
    case BatchArguments::Action::Help:
        out << batchUsage();
        out.flush();
        return batchexit::Completed;
    case BatchArguments::Action::Version:
        out << programName() << QLatin1Char(' ') << version::Major << QLatin1Char('.') << version::Minor
            << QLatin1Char('.') << version::Revision << Qt::endl;
        // Which database a run would read its template texts from.
        out << loadString(ids::DatabaseLine + parsed.langOffset)
                   .value_or(QString())
                   .arg(parsed.database.isEmpty() ? defaultDatabase : parsed.database)
            << Qt::endl;
        return batchexit::Completed;
    case BatchArguments::Action::BadUsage:
        err << programName() << QStringLiteral(": ") << parsed.error << Qt::endl
            << QStringLiteral("Try 'tagsmith-batch --help'.") << Qt::endl;
        return batchexit::BadUsage;
    case BatchArguments::Action::Run:
        break;
    }

    // The template texts: the Settings rows of the database, or the texts a new database gets when
    // there is no database beside the program.
    const QString database = parsed.database.isEmpty() ? defaultDatabase : parsed.database;
    if (!parsed.database.isEmpty() || fs::existsFollowingLinks(fs::native(database))) {
        QString error;
        const auto rows = readSettingsRows(database, &error);
        if (!rows) {
            err << programName() << QStringLiteral(": cannot read the template texts from ") << database
                << QStringLiteral(": ") << error << Qt::endl;
            return batchexit::Failed;
        }
        parsed.options.templates = templatesFromRows(*rows);
    } else {
        parsed.options.templates = defaultTemplates();
    }

    BatchObserver observer(err, parsed.langOffset);
    const RunResult result = runMeta(parsed.options, observer);
    err.flush();
    return result == RunResult::Completed ? batchexit::Completed : batchexit::Failed;
}

} // namespace tagsmith
