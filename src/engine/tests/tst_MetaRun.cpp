#include "TestSupport.h"

#include "engine/core/Run.h"
#include "engine/run/RunReport.h"
#include "text/StringTable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace tagsmith;
using namespace tagsmith::test;

namespace {

const QByteArray OldPage = "<html><head><title>Sailing boats</title>\r\n<meta name=\"keywords\" content=\"x\">\r\n"
                           "</head><body>Harbour</body></html>";

// Gives the reading ahead the time to read the pages after the first before that one is written.
class PatientObserver : public RecordingObserver
{
public:
    using RecordingObserver::RecordingObserver;
    void pageStarted(const QString &pagePath, std::int64_t index, std::int64_t count) override
    {
        if (index == 0)
            QThread::msleep(30);
        RecordingObserver::pageStarted(pagePath, index, count);
    }
};

} // namespace

static QMap<QString, QByteArray> fileMap(const QString &field)
{
    QMap<QString, QByteArray> map;
    for (const QString &file : field.split(QStringLiteral(" ; "), Qt::SkipEmptyParts))
        map.insert(file.section(QLatin1Char('='), 0, 0), file.section(QLatin1Char('='), 1).toUtf8());
    return map;
}

class TestMetaRun : public QObject
{
    Q_OBJECT

private slots:
    void backups_data() { addTableRows(QFINDTESTDATA("data/backups.txt"), {"page", "backup", "before", "after"}); }

    void backups()
    {
        QFETCH(QString, page);
        QFETCH(QString, backup);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QTemporaryDir dir;
        writeFile(dir.filePath(page), OldPage);
        for (auto [name, bytes] : fileMap(before).asKeyValueRange())
            writeFile(dir.filePath(name), bytes);

        RunOptions options = siteOptions(dir.path());
        options.backup = backup == QLatin1String("1");
        RecordingObserver observer;
        QCOMPARE(runMeta(options, observer), RunResult::Completed);

        // Besides the page, the files after the run; "OLD" stands for the page as it was.
        const QMap<QString, QByteArray> files = fileMap(after);
        QStringList expectedNames = files.keys() << page;
        expectedNames.sort();
        QCOMPARE(filesIn(dir.path()), expectedNames);
        QVERIFY(readFile(dir.filePath(page)).contains("CONTENT=\"sailing, harbour\""));
        for (auto [name, bytes] : files.asKeyValueRange())
            QCOMPARE(readFile(dir.filePath(name)), bytes == "OLD" ? OldPage : bytes);
        const QString chosen = files.key("OLD");
        QCOMPARE(observer.backups, chosen.isEmpty() ? QStringList() : QStringList{dir.filePath(chosen)});
    }

    void backupsAccumulate()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath(QStringLiteral("index.htm"));
        writeFile(page, OldPage);
        RunOptions options = siteOptions(dir.path());
        options.backup = true;
        QList<QByteArray> versions{OldPage};
        for (int run = 0; run < 3; ++run) {
            RecordingObserver observer;
            QCOMPARE(runMeta(options, observer), RunResult::Completed);
            versions << readFile(page);
        }
        // A rerun finds the block's own lines again: still one keywords line.
        QCOMPARE(versions.last().count("NAME=\"keywords\""), 1);
        QCOMPARE(readFile(dir.filePath(QStringLiteral("index.bak"))), versions[0]);
        QCOMPARE(readFile(dir.filePath(QStringLiteral("index.bak1"))), versions[1]);
        QCOMPARE(readFile(dir.filePath(QStringLiteral("index.bak2"))), versions[2]);
    }

    void notStarted_data()
    {
        QTest::addColumn<QString>("folder"); // "@" stands for the temporary folder
        QTest::addColumn<QString>("message");
        QTest::newRow("no folder") << "" << "1030/1032";
        QTest::newRow("folder does not exist") << "@/missing" << "1030/2076 @/missing";
        QTest::newRow("a file, not a folder") << "@/notes.txt" << "1030/2076 @/notes.txt";
        QTest::newRow("no pages") << "@" << "1030/1050 @";
    }

    void notStarted()
    {
        QFETCH(QString, folder);
        QFETCH(QString, message);
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("notes.txt")), "x");
        QDir(dir.path()).mkdir(QStringLiteral("sub.htm"));
        folder.replace(QLatin1Char('@'), dir.path());
        message.replace(QLatin1Char('@'), dir.path());
        RunOptions options = siteOptions(folder);
        options.mainPage = dir.filePath(QStringLiteral("index.htm"));
        RecordingObserver observer;
        QCOMPARE(runMeta(options, observer), RunResult::NotStarted);
        QCOMPARE(observer.messageList(), QStringList{message});
        QVERIFY(observer.started.isEmpty());
        QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("notes.txt")});
    }

    void mainPageAfterTheFolderAndTwice()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("a.htm")), "<head><meta name=keywords></head><body>Anchors</body>");
        writeFile(dir.filePath(QStringLiteral("index.htm")), OldPage);
        writeFile(dir.filePath(QStringLiteral("z.htm")), "<head></head><body>Zeppelin anchors</body>");
        RunOptions options = siteOptions(dir.path());
        options.mainPage = dir.filePath(QStringLiteral("index.htm"));
        options.backup = true;
        options.generator = options.robots = options.revisit = false;
        RecordingObserver observer;
        QCOMPARE(runMeta(options, observer), RunResult::Completed);
        QVERIFY(observer.messages.empty());
        QCOMPARE(observer.started.last(), options.mainPage + QStringLiteral(" 3/4"));

        // First as a page of the folder with its own words, then as the main page with all words.
        const QByteArray once = readFile(dir.filePath(QStringLiteral("index.bak1")));
        QCOMPARE(readFile(dir.filePath(QStringLiteral("index.bak"))), OldPage);
        QVERIFY(once.contains("CONTENT=\"sailing, harbour\""));
        const QByteArray twice = readFile(options.mainPage);
        QVERIFY(twice.contains("<html><head><title>Sailing boats</title>\r\n<META NAME=\"keywords\" "
                               "CONTENT=\"anchors, sailing, harbour, zeppelin\">\r\n\r\n\r\n</head>"));
        QCOMPARE(twice.count("<META"), 1);
    }

    void mainPageThatDoesNotExist()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("site"));
        const QString folder = dir.filePath(QStringLiteral("site"));
        writeFile(folder + QStringLiteral("/a.htm"), "<head></head><body>Lanterns</body>");
        RunOptions options = siteOptions(folder);
        options.generator = options.robots = options.revisit = false;
        options.mainPage = dir.filePath(QStringLiteral("home.htm"));
        options.backup = true;
        RecordingObserver observer;
        QCOMPARE(runMeta(options, observer), RunResult::Completed);
        // Made, not appended to: nothing to warn about.
        QVERIFY(observer.messages.empty());
        QCOMPARE(readFile(options.mainPage), QByteArray("<META NAME=\"keywords\" CONTENT=\"lanterns\">\r\n"));
        QCOMPARE(readFile(dir.filePath(QStringLiteral("home.bak"))), QByteArray());
        QCOMPARE(filesIn(dir.path()), (QStringList{QStringLiteral("home.bak"), QStringLiteral("home.htm")}));
    }

    // With backups off an empty file under the main page's backup name goes, a dot-file's too.
    void hiddenMainPageLeavesNoEmptyBackup()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("a.htm")), "<head></head><body>Lanterns</body>");
        writeFile(dir.filePath(QStringLiteral(".index.htm")), OldPage);
        writeFile(dir.filePath(QStringLiteral(".index.bak")), "");
        RunOptions options = siteOptions(dir.path());
        options.mainPage = dir.filePath(QStringLiteral(".index.htm"));
        RecordingObserver observer;
        QCOMPARE(runMeta(options, observer), RunResult::Completed);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral(".index.bak"))));
    }

    void permissionBitsStay()
    {
        for (const int mode : {0640, 0775}) {
            QTemporaryDir dir;
            makeSite(dir.path(),
                     {QStringLiteral("index.htm harbour"), QStringLiteral("index.htm mode %1").arg(mode, 0, 8)});
            const QString before = treeState(dir.path()).value(QStringLiteral("index.htm"));
            RecordingObserver observer;
            QCOMPARE(runMeta(siteOptions(dir.path()), observer), RunResult::Completed);
            const QString after = treeState(dir.path()).value(QStringLiteral("index.htm"));
            QCOMPARE(after.section(QLatin1Char(' '), 0, 0), QString::number(mode, 8));
            QVERIFY(after != before);
        }
    }

    void linkedPageIsRewrittenWhereItPoints()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("site"));
        QDir(dir.path()).mkdir(QStringLiteral("shared"));
        const QString target = dir.filePath(QStringLiteral("shared/real.htm"));
        const QString link = dir.filePath(QStringLiteral("site/index.htm"));
        writeFile(target, OldPage);
        QVERIFY(QFile::link(QStringLiteral("../shared/real.htm"), link));
        RunOptions options = siteOptions(dir.filePath(QStringLiteral("site")));
        options.backup = true;
        RecordingObserver observer;
        QCOMPARE(runMeta(options, observer), RunResult::Completed);
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(link).symLinkTarget(), QFileInfo(target).absoluteFilePath());
        QVERIFY(readFile(target).contains("CONTENT=\"sailing, harbour\""));
        QCOMPARE(readFile(dir.filePath(QStringLiteral("site/index.bak"))), OldPage);
        QCOMPARE(filesIn(dir.filePath(QStringLiteral("shared"))), QStringList{QStringLiteral("real.htm")});
    }

    void runsAlike_data() { addTableRows(QFINDTESTDATA("data/read-ahead.txt"), {"backup", "mainPage", "site"}); }

    // Page by page, reading far ahead and one page ahead at a time, a run does the same, and so does a
    // run that reads every page in blocks (a page read whole is written from its pieces); a dry run
    // reports what the run then does, page for page and byte for byte, and leaves the tree and its time
    // stamps.
    void runsAlike()
    {
        QFETCH(QString, backup);
        QFETCH(QString, mainPage);
        QFETCH(QString, site);
        QTemporaryDir dir;
        QStringList first;
        // (budget, reading threads, largest page read whole): page by page; far ahead; one page ahead;
        // three threads, far and near; every page in blocks.
        constexpr std::int64_t Whole = RunLimits().wholePageLimit;
        const std::tuple<std::size_t, std::size_t, std::int64_t> readings[] = {
            {0, 1, Whole}, {8 << 20, 1, Whole}, {1, 1, Whole}, {8 << 20, 3, Whole}, {1, 3, Whole}, {8 << 20, 1, 0}};
        for (const auto &[budget, threads, whole] : readings) {
            const QString folder = dir.filePath(QStringLiteral("site%1-%2-%3").arg(budget).arg(threads).arg(whole));
            makeSite(folder, site.split(QStringLiteral(" ; ")));
            RunOptions options = siteOptions(folder);
            options.backup = backup == QLatin1String("1");
            if (!mainPage.isEmpty())
                options.mainPage = folder + QLatin1Char('/') + mainPage;
            RunLimits limits;
            limits.readAheadBudget = budget;
            limits.readingThreads = threads;
            limits.wholePageLimit = whole;
            const auto before = treeState(folder, true);
            options.dryRun = true;
            PatientObserver dry(true);
            const QByteArray predicted = runReportCsv(runMetaWithReport(options, dry, limits), EnglishOffset);
            QCOMPARE(treeState(folder, true), before);

            options.dryRun = false;
            PatientObserver wet(true);
            const RunReport done = runMetaWithReport(options, wet, limits);
            QCOMPARE(predicted, runReportCsv(done, EnglishOffset));
            QCOMPARE(dry.afters, wet.afters);
            QCOMPARE(dry.befores, wet.befores);
            QCOMPARE(dry.messageList(), wet.messageList());
            QStringList outcome{QString::number(int(done.result)),
                                QString::fromUtf8(runReportCsv(done, EnglishOffset))};
            outcome << wet.messageList().replaceInStrings(folder, QStringLiteral("SITE"));
            for (auto [name, state] : treeState(folder).asKeyValueRange())
                outcome << name + QLatin1Char(' ') + state;
            if (first.isEmpty())
                first = outcome;
            QCOMPARE(outcome, first);
        }
    }
};

QTEST_GUILESS_MAIN(TestMetaRun)
#include "tst_MetaRun.moc"
