#include "TestSupport.h"

#include "engine/FileSystem.h"
#include "engine/RunReport.h"
#include "text/StringTable.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

using namespace tagsmith;
using namespace tagsmith::test;

namespace {

// Keeps each page's bytes as the run hands them over.
class BytesObserver : public RecordingObserver
{
public:
    bool wantsPageBytes() const override { return true; }
    void pageBytes(const PageReport &page, std::string_view before, std::string_view after) override
    {
        QCOMPARE(page.bytesAfter, qint64(after.size()));
        befores << QByteArray(before.data(), qsizetype(before.size()));
        afters << QByteArray(after.data(), qsizetype(after.size()));
        names << page.relativePath;
    }
    QList<QByteArray> befores;
    QList<QByteArray> afters;
    QStringList names;
};

// Everything a dry run must leave as it was: names, bytes, modes, inodes and every time stamp of the
// files, and the folder's own.
QStringList treeState(const QString &folder)
{
    QStringList state;
    // Read first: the test's own reading may set an access time once.
    QMap<QString, QByteArray> bytes;
    for (const QString &name : filesIn(folder))
        bytes[name] = readFile(folder + QLatin1Char('/') + name);
    for (const QString &name : QStringList{QStringLiteral(".")} + filesIn(folder)) {
        struct stat st;
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
        if (::lstat(path.constData(), &st) != 0)
            return {QStringLiteral("cannot stat ") + name};
        state << QStringLiteral("%1 %2 %3 %4 %5.%6 %7.%8 %9.%10 %11")
                     .arg(name)
                     .arg(st.st_mode, 0, 8)
                     .arg(st.st_ino)
                     .arg(st.st_size)
                     .arg(st.st_mtim.tv_sec)
                     .arg(st.st_mtim.tv_nsec)
                     // Following a link sets its access time, in a run as in any reading.
                     .arg(S_ISLNK(st.st_mode) ? 0 : st.st_atim.tv_sec)
                     .arg(S_ISLNK(st.st_mode) ? 0 : st.st_atim.tv_nsec)
                     .arg(st.st_ctim.tv_sec)
                     .arg(st.st_ctim.tv_nsec)
                     .arg(QString::fromLatin1(bytes.value(name).toHex()));
    }
    return state;
}

// A site from lines "name text" (a page with that text in its body), "name raw bytes" (a file of
// those bytes), "name -> target" (a symbolic link), "name = other" (a hard link).
void makeSite(const QString &folder, const QStringList &lines)
{
    QDir().mkpath(folder);
    for (const QString &line : lines) {
        const QString name = line.section(QLatin1Char(' '), 0, 0);
        const QString rest = line.section(QLatin1Char(' '), 1);
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
        if (rest.startsWith(QLatin1String("-> ")))
            QVERIFY(::symlink(QFile::encodeName(rest.mid(3)).constData(), path.constData()) == 0);
        else if (rest.startsWith(QLatin1String("= ")))
            QVERIFY(::link(QFile::encodeName(folder + QLatin1Char('/') + rest.mid(2)).constData(), path.constData()) ==
                    0);
        else if (rest.startsWith(QLatin1String("raw ")))
            writeFile(QFile::decodeName(path), rest.mid(4).toLatin1());
        else
            writeFile(QFile::decodeName(path), "<html><head>\n<meta name=\"keywords\" content=\"old\">\n</head><body>" +
                                                   rest.toUtf8() + " </body></html>\n");
    }
}

// The rows of a report: "page outcome [error] [main]".
QStringList rowsOf(const RunReport &report)
{
    QStringList rows;
    for (const PageReport &page : report.pages)
        rows << QStringLiteral("%1 %2%3%4")
                    .arg(page.relativePath, QString::fromLatin1(outcomeName(page.outcome)),
                         page.fileError ? QStringLiteral(" %1").arg(page.fileError) : QString(),
                         page.OnMainPage ? QStringLiteral(" main") : QString());
    return rows;
}

RunLimits limitsFor(bool inBlocks, bool readAhead)
{
    RunLimits limits;
    if (inBlocks) {
        limits.wholePageLimit = 0;
        limits.blockSize = 3;
    }
    if (!readAhead)
        limits.readAheadBudget = 0;
    return limits;
}

} // namespace

class TestRunReport : public QObject
{
    Q_OBJECT

private slots:
    void goldenPages_data();
    void goldenPages();
    void goldenSites_data();
    void goldenSites();
    void failureMidRun_data();
    void failureMidRun();
    void dryRunPredictsTheRun_data();
    void dryRunPredictsTheRun();

private:
    QString dataDir() const { return QStringLiteral(TAGSMITH_TEST_DATA); }
};

void TestRunReport::goldenPages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<bool>("dryRun");
    QTest::addColumn<bool>("inBlocks");
    // Each golden page with the outcome its report row must name.
    const QList<QByteArray> lines = readFile(dataDir() + QStringLiteral("/report/golden-outcomes.tsv")).split('\n');
    QVERIFY(lines.size() >= 20);
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        const QString name = QString::fromUtf8(line.split('\t').at(0));
        const QString outcome = QString::fromUtf8(line.split('\t').at(1));
        for (const bool dryRun : {false, true})
            for (const bool inBlocks : {false, true})
                QTest::addRow("%s%s%s", qPrintable(name), dryRun ? " dry" : "", inBlocks ? " in blocks" : "")
                    << name << outcome << dryRun << inBlocks;
    }
}

// A run and a dry run of each golden page report the same row, and the bytes the dry run reports are
// those the run writes.
void TestRunReport::goldenPages()
{
    QFETCH(QString, name);
    QFETCH(QString, outcome);
    QFETCH(bool, dryRun);
    QFETCH(bool, inBlocks);
    const QString golden = dataDir() + QStringLiteral("/golden/") + name;
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("page.htm"));
    const QByteArray source = readFile(golden + QStringLiteral(".src.htm"));
    const QByteArray expected = readFile(golden + QStringLiteral(".expected.htm"));
    writeFile(page, source);
    RunOptions options = optionsFromJson(QJsonDocument::fromJson(readFile(golden + QStringLiteral(".json"))).object());
    options.folder = dir.path();
    options.dryRun = dryRun;
    const QStringList before = treeState(dir.path());

    BytesObserver observer;
    const RunReport report = runMetaWithReport(options, observer, limitsFor(inBlocks, true));
    QCOMPARE(report.result, RunResult::Completed);
    QCOMPARE(rowsOf(report), QStringList{QStringLiteral("page.htm ") + outcome});
    const PageReport &row = report.pages.front();
    QCOMPARE(row.bytesBefore, source.size());
    QCOMPARE(row.bytesAfter, expected.size());
    QCOMPARE(observer.befores, QList<QByteArray>{source});
    QCOMPARE(observer.afters, QList<QByteArray>{expected});
    QCOMPARE(report.pagesWritten(), 1);
    QCOMPARE(report.warnings(), outcome == QLatin1String("appended") ? 1 : 0);
    if (dryRun)
        QCOMPARE(treeState(dir.path()), before);
    else
        QCOMPARE(readFile(page), expected);
}

void TestRunReport::goldenSites_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("dryRun");
    const QStringList sites =
        QDir(dataDir() + QStringLiteral("/sites")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QVERIFY(!sites.isEmpty());
    for (const QString &site : sites) {
        QTest::addRow("%s", qPrintable(site)) << site << false;
        QTest::addRow("%s dry", qPrintable(site)) << site << true;
    }
}

// A whole site with its main page among the folder's pages, backups on: the report (as CSV) is the
// golden one, the same for the run and the dry run, and the dry run reads the main page the second
// time as the run leaves it the first time.
void TestRunReport::goldenSites()
{
    QFETCH(QString, name);
    QFETCH(bool, dryRun);
    const QDir site(dataDir() + QStringLiteral("/sites/") + name);
    QTemporaryDir dir;
    QStringList pages;
    RunOptions options = goldenSiteIn(site.path(), dir.path(), &pages);
    options.backup = true;
    options.dryRun = dryRun;
    const QStringList before = treeState(dir.path());

    BytesObserver observer;
    const RunReport report = runMetaWithReport(options, observer, RunLimits(), PageTexts::Kept);
    QCOMPARE(report.result, RunResult::Completed);
    QCOMPARE(QString::fromUtf8(runReportCsv(report, EnglishOffset)),
             QString::fromUtf8(readFile(dataDir() + QStringLiteral("/report/") + name + QStringLiteral(".csv"))));
    for (const QString &page : pages)
        QCOMPARE(observer.afters.at(observer.names.lastIndexOf(page)),
                 readFile(site.filePath(QStringLiteral("expected/") + page)));
    if (dryRun)
        QCOMPARE(treeState(dir.path()), before);
}

void TestRunReport::failureMidRun_data()
{
    QTest::addColumn<bool>("readAhead");
    QTest::addColumn<bool>("dryRun");
    QTest::addColumn<QStringList>("rows");
    const QStringList failed{QStringLiteral("a.htm replaced"), QStringLiteral("b.htm failed 61"),
                             QStringLiteral("c.htm not-reached"), QStringLiteral("index.htm not-reached main")};
    QTest::newRow("read ahead") << true << false << failed;
    QTest::newRow("page by page") << false << false << failed;
    // Nothing is written, so the full disk is not met.
    QTest::newRow("dry run") << true << true
                             << QStringList{QStringLiteral("a.htm replaced"), QStringLiteral("b.htm replaced"),
                                            QStringLiteral("c.htm replaced"), QStringLiteral("index.htm created main")};
}

// A page that cannot be written stops the run: the report names its file error, and the pages after
// it, the main page included, as not reached.
void TestRunReport::failureMidRun()
{
    QFETCH(bool, readAhead);
    QFETCH(bool, dryRun);
    QFETCH(QStringList, rows);
    QTemporaryDir dir;
    makeSite(dir.path(),
             {QStringLiteral("a.htm anchors"), QStringLiteral("b.htm boats"), QStringLiteral("c.htm charts")});
    RunOptions options;
    options.folder = dir.path();
    options.mainPage = dir.filePath(QStringLiteral("index.htm"));
    options.dryRun = dryRun;
    RecordingObserver observer;
    RunReport report;
    {
        fs::FaultInjector faults;
        faults.fail(fs::Call::Rename, ENOSPC, "/b.htm");
        report = runMetaWithReport(options, observer, limitsFor(false, readAhead));
    }
    QCOMPARE(rowsOf(report), rows);
    QCOMPARE(report.result, dryRun ? RunResult::Completed : RunResult::Failed);
    QCOMPARE(report.errors(), dryRun ? 0 : 1);
    QCOMPARE(report.pagesWritten(), dryRun ? 4 : 1);
    if (!dryRun) {
        QCOMPARE(report.pages[1].bytesBefore, QFileInfo(dir.filePath(QStringLiteral("b.htm"))).size());
        QVERIFY(!QFileInfo::exists(options.mainPage));
    }
}

void TestRunReport::dryRunPredictsTheRun_data()
{
    QTest::addColumn<QStringList>("site");
    QTest::addColumn<bool>("backup");
    QTest::addColumn<QString>("mainPage");
    const QByteArray utf8 = "<html><head><meta charset=\"utf-8\"><meta name=\"keywords\" content=\"x\"></head>"
                            "<body>Größere Häfen und Leuchttürme</body></html>";
    const QByteArray cp1252 = "<html><head></head><body>Gr\xf6\xdf"
                              "ere H\xe4"
                              "fen</body></html>";
    QTest::newRow("UTF-8 and Windows-1252 pages, main page among them")
        << QStringList{QStringLiteral("a.htm raw ") + QString::fromLatin1(utf8), QStringLiteral("b.htm harbours"),
                       QStringLiteral("c.htm raw ") + QString::fromLatin1(cp1252), QStringLiteral("index.bak older"),
                       QStringLiteral("index.htm welcome aboard")}
        << true << QStringLiteral("index.htm");
    QTest::newRow("main page made by the run")
        << QStringList{QStringLiteral("a.htm anchors aweigh")} << true << QStringLiteral("home.htm");
    QTest::newRow("link to a later page")
        << QStringList{QStringLiteral("a.htm -> c.htm"), QStringLiteral("b.htm boats ashore"),
                       QStringLiteral("c.htm coastal charts")}
        << false << QStringLiteral("b.htm");
    QTest::newRow("link to an earlier page")
        << QStringList{QStringLiteral("a.htm anchors aweigh"), QStringLiteral("b.htm boats ashore"),
                       QStringLiteral("c.htm -> a.htm")}
        << true << QStringLiteral("a.htm");
    QTest::newRow("hard links") << QStringList{QStringLiteral("a.htm anchors aweigh"), QStringLiteral("b.htm = a.htm"),
                                               QStringLiteral("c.htm coastal charts")}
                                << true << QStringLiteral("c.htm");
    QTest::newRow("a page without a mark")
        << QStringList{QStringLiteral("a.htm raw <p>lighthouses</p>")} << false << QString();
}

// A dry run reports what the run then does, page for page and byte for byte, and leaves the tree and
// every time stamp as they were, with the pages read ahead or page by page.
void TestRunReport::dryRunPredictsTheRun()
{
    QFETCH(QStringList, site);
    QFETCH(bool, backup);
    QFETCH(QString, mainPage);
    for (const bool readAhead : {true, false}) {
        QTemporaryDir dir;
        makeSite(dir.path(), site);
        RunOptions options;
        options.folder = dir.path();
        options.backup = backup;
        if (!mainPage.isEmpty())
            options.mainPage = dir.filePath(mainPage);
        const QStringList before = treeState(dir.path());

        options.dryRun = true;
        BytesObserver dry;
        const RunReport predicted = runMetaWithReport(options, dry, limitsFor(false, readAhead));
        QCOMPARE(treeState(dir.path()), before);

        options.dryRun = false;
        BytesObserver wet;
        const RunReport done = runMetaWithReport(options, wet, limitsFor(false, readAhead));
        QCOMPARE(predicted.result, done.result);
        QCOMPARE(runReportCsv(predicted, EnglishOffset), runReportCsv(done, EnglishOffset));
        QCOMPARE(dry.afters, wet.afters);
        QCOMPARE(dry.befores, wet.befores);
        QCOMPARE(dry.messageList(), wet.messageList());
    }
}

QTEST_GUILESS_MAIN(TestRunReport)
#include "tst_RunReport.moc"
