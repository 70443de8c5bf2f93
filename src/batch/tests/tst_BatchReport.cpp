#include "TestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tagsmith::test;

// The real tagsmith-batch with the options of its report: --dry-run, --diff, --report, --quiet and
// the summary line.
namespace {

using Site = QMap<QString, QByteArray>;

struct Result
{
    int status = -1;
    QByteArray out;
    QString err;
};

Result run(const QString &program, const QStringList &arguments, const QByteArray &input = {},
           const QString &workingDirectory = {})
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    Result result;
    if (!process.waitForFinished(60000))
        return result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

Result batch(const QStringList &arguments)
{
    return run(QStringLiteral(TAGSMITH_BATCH), arguments);
}

void makeSite(const QString &folder, const Site &site)
{
    QDir().mkpath(folder);
    for (auto it = site.begin(); it != site.end(); ++it)
        writeFile(folder + QLatin1Char('/') + it.key(), it.value());
}

Site contents(const QString &folder)
{
    Site site;
    for (const QString &name : filesIn(folder))
        site.insert(name, readFile(folder + QLatin1Char('/') + name));
    return site;
}

Site goldenSite(const QString &name)
{
    const QString folder = QStringLiteral(TAGSMITH_TEST_DATA "/sites/") + name + QStringLiteral("/src");
    return contents(folder);
}

const QByteArray Harbour = "<html><head><title>Harbour</title>\r\n<meta name=\"keywords\" content=\"old\">\r\n"
                           "</head><body>Harbours and lighthouses</body></html>\r\n";

} // namespace

class TestBatchReport : public QObject
{
    Q_OBJECT

private slots:
    void diffAppliesWithPatch_data();
    void diffAppliesWithPatch();
    void csvParsesWithPython();
    void summary_data();
    void summary();
};

void TestBatchReport::diffAppliesWithPatch_data()
{
    QTest::addColumn<Site>("site");
    QTest::addColumn<QStringList>("options");
    const QStringList index{QStringLiteral("--main"), QStringLiteral("index.htm")};
    QTest::newRow("UTF-8 site, main page among its pages") << goldenSite(QStringLiteral("main-page-utf-8")) << index;
    QTest::newRow("Windows-1252 site") << goldenSite(QStringLiteral("main-page-windows-1252")) << index;
    QTest::newRow("pages without a last line end, without a mark, empty; main page made")
        << Site{{QStringLiteral("a.htm"), "<html><head></head><body>Anchors aweigh</body></html>"},
                {QStringLiteral("b.htm"), "<p>Boats ashore\r\non the beach</p>\r\n"},
                {QStringLiteral("c.htm"), ""},
                {QStringLiteral("d.htm"), Harbour}}
        << QStringList{QStringLiteral("--main"), QStringLiteral("home.htm"), QStringLiteral("--description"),
                       QStringLiteral("Our \"club\", since 1920")};
}

// What the dry run's diff says, applied by patch to a copy of the site, gives what the run writes.
void TestBatchReport::diffAppliesWithPatch()
{
    QFETCH(Site, site);
    QFETCH(QStringList, options);
    QTemporaryDir dir;
    const QString patched = dir.filePath(QStringLiteral("patched"));
    const QString done = dir.filePath(QStringLiteral("done"));
    makeSite(patched, site);
    makeSite(done, site);

    // The main page is named relative to where the command runs: run both from inside the copy.
    const Result diff = run(
        QStringLiteral(TAGSMITH_BATCH),
        QStringList{QStringLiteral("."), QStringLiteral("--dry-run"), QStringLiteral("--diff")} + options, {}, patched);
    QCOMPARE(diff.status, 0);
    QCOMPARE(contents(patched), site);
    // Every hunk where it says, without fuzz.
    const Result patch =
        run(QStringLiteral("patch"), {QStringLiteral("-p1"), QStringLiteral("--fuzz=0")}, diff.out, patched);
    QVERIFY2(patch.status == 0 && !patch.out.contains("offset"), qPrintable(QString::fromUtf8(patch.out) + patch.err));

    QCOMPARE(run(QStringLiteral(TAGSMITH_BATCH), QStringList{QStringLiteral(".")} + options, {}, done).status, 0);
    QCOMPARE(contents(patched), contents(done));
}

// The report as CSV reads back with Python's csv module, names with commas, quotes and accents
// included, from a file and from standard output.
void TestBatchReport::csvParsesWithPython()
{
    QTemporaryDir dir;
    const QString site = dir.filePath(QStringLiteral("site"));
    const QStringList names{QStringLiteral("a, b.htm"), QStringLiteral("caf\u00e9 \"best\".htm"),
                            QStringLiteral("plain.htm")};
    makeSite(site, {{names[0], Harbour}, {names[1], "<p>no head at all</p>"}, {names[2], Harbour}});
    const QString csv = dir.filePath(QStringLiteral("report.csv"));
    const QString parse = QStringLiteral("import csv, json, sys\n"
                                         "print(json.dumps(list(csv.reader(open(sys.argv[1], newline='', "
                                         "encoding='utf-8', errors='strict')))))\n");
    const Result toOut = batch({site, QStringLiteral("--dry-run"), QStringLiteral("--quiet"),
                                QStringLiteral("--report"), QStringLiteral("-")});
    QCOMPARE(toOut.status, 0);
    const Result toFile = batch({site, QStringLiteral("--backup"), QStringLiteral("--report"), csv});
    QCOMPARE(toFile.status, 0);
    writeFile(dir.filePath(QStringLiteral("dry.csv")), toOut.out);

    for (const QString &file : {csv, dir.filePath(QStringLiteral("dry.csv"))}) {
        const Result parsed = run(QStringLiteral("python3"), {QStringLiteral("-c"), parse, file});
        QCOMPARE(parsed.status, 0);
        const QJsonArray rows = QJsonDocument::fromJson(parsed.out).array();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(0).toArray().at(0).toString(), QStringLiteral("page"));
        for (int i = 0; i < 3; ++i) {
            const QJsonArray row = rows.at(i + 1).toArray();
            QCOMPARE(row.size(), rows.at(0).toArray().size());
            QCOMPARE(row.at(0).toString(), names[i]);
            QCOMPARE(row.at(3).toString(), i == 1 ? QStringLiteral("appended") : QStringLiteral("replaced"));
        }
    }
}

void TestBatchReport::summary_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("lines"); // standard error, line by line, as a pattern
    QTest::newRow("English") << QStringList{} << 0
                             << QStringLiteral("SITE/b.htm: Tagsmith Error: No <Meta Name or </Head tag found, "
                                               "appending to end of file. \n"
                                               "3 pages written, 1 warning, 0 errors in \\d+\\.\\d s\n");
    QTest::newRow("quiet, Dutch") << QStringList{QStringLiteral("--quiet"), QStringLiteral("--language"),
                                                 QStringLiteral("nl")}
                                  << 0
                                  << QStringLiteral("3 pagina's geschreven, 1 waarschuwing, 0 fouten in \\d+,\\d s\n");
    QTest::newRow("dry run") << QStringList{QStringLiteral("--dry-run"), QStringLiteral("--quiet")} << 0
                             << QStringLiteral("3 pages would be written, 1 warning, 0 errors in \\d+\\.\\d s\n");
    QTest::newRow("main page that cannot be made")
        << QStringList{QStringLiteral("--quiet"), QStringLiteral("--main"), QStringLiteral("/nonexistent/index.htm")}
        << 1
        << QStringLiteral("/nonexistent: Tagsmith Error: File not found.\n"
                          "3 pages written, 1 warning, 1 error in \\d+\\.\\d s\n");
    QTest::newRow("diff without dry run") << QStringList{QStringLiteral("--diff")} << 2
                                          << QStringLiteral("tagsmith-batch: --diff goes with --dry-run\n"
                                                            "Try 'tagsmith-batch --help'.\n");
}

// One line of totals at the end, in the chosen language; no progress line when standard error is
// no terminal.
void TestBatchReport::summary()
{
    QFETCH(QStringList, options);
    QFETCH(int, status);
    QFETCH(QString, lines);
    QTemporaryDir dir;
    const QString site = dir.filePath(QStringLiteral("site"));
    makeSite(site, {{QStringLiteral("a.htm"), Harbour},
                    {QStringLiteral("b.htm"), "<p>x</p>"},
                    {QStringLiteral("c.htm"), Harbour}});
    const Result result = batch(QStringList{site} + options);
    QCOMPARE(result.status, status);
    QString err = result.err;
    err.replace(site, QStringLiteral("SITE"));
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(lines)).match(err).hasMatch(), qPrintable(err));
}

QTEST_GUILESS_MAIN(TestBatchReport)
#include "tst_BatchReport.moc"
