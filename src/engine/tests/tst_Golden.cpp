#include "TestSupport.h"

#include "engine/run/RunReport.h"
#include "text/StringTable.h"

#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace tagsmith;
using namespace tagsmith::test;

// The golden pages and sites: a run and a dry run, reading each page whole or in blocks of three bytes,
// give the expected bytes and the expected report, and the dry run changes nothing on the disk.

static const QString Data = QStringLiteral(TAGSMITH_TEST_DATA);

class TestGolden : public QObject
{
    Q_OBJECT

private slots:
    void pages_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("csvRow");
        QTest::addColumn<bool>("dryRun");
        QTest::addColumn<bool>("inBlocks");
        for (const QStringList &row : readTable(Data + QStringLiteral("/report/golden-pages.tsv")))
            for (const bool dryRun : {false, true})
                for (const bool inBlocks : {false, true})
                    QTest::addRow("%s%s%s", qPrintable(row[0]), dryRun ? " dry" : "", inBlocks ? " in blocks" : "")
                        << row[0] << row.value(1) << dryRun << inBlocks;
    }

    void pages()
    {
        QFETCH(QString, name);
        QFETCH(QString, csvRow);
        QFETCH(bool, dryRun);
        QFETCH(bool, inBlocks);
        const QString golden = Data + QLatin1Char('/') + name;
        QTemporaryDir dir;
        const QString page = dir.filePath(QStringLiteral("page.htm"));
        const QByteArray source = readFile(golden + QStringLiteral(".src.htm"));
        const QByteArray expected = readFile(golden + QStringLiteral(".expected.htm"));
        writeFile(page, source);
        RunOptions options =
            optionsFromJson(QJsonDocument::fromJson(readFile(golden + QStringLiteral(".json"))).object());
        options.folder = dir.path();
        options.dryRun = dryRun;
        const auto before = treeState(dir.path(), true);

        RecordingObserver observer(true);
        const RunReport report = runMetaWithReport(options, observer, runLimits(inBlocks), PageTexts::Kept);
        QCOMPARE(report.result, RunResult::Completed);
        const QString row =
            QString::fromUtf8(runReportCsv(report, EnglishOffset)).split(QStringLiteral("\r\n")).value(1);
        QCOMPARE(row, csvRow);
        QCOMPARE(observer.befores, QList<QByteArray>{source});
        QCOMPARE(observer.afters, QList<QByteArray>{expected});
        // Only a page without a mark is told about.
        QCOMPARE(report.warnings(), row.contains(QLatin1String(",appended,")) ? 1 : 0);
        QCOMPARE(observer.messages.size(), std::size_t(report.warnings()));
        if (dryRun)
            QCOMPARE(treeState(dir.path(), true), before);
        else
            QCOMPARE(filesIn(dir.path()), QStringList{QStringLiteral("page.htm")});
        QCOMPARE(readFile(page), dryRun ? source : expected);
    }

    void sites_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("dryRun");
        QTest::addColumn<bool>("inBlocks");
        for (const QString &site : QDir(Data + QStringLiteral("/sites")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            for (const bool dryRun : {false, true})
                for (const bool inBlocks : {false, true})
                    QTest::addRow("%s%s%s", qPrintable(site), dryRun ? " dry" : "", inBlocks ? " in blocks" : "")
                        << site << dryRun << inBlocks;
    }

    // A whole site with its main page among the folder's pages, backups on: the pages of src/ become those of
    // expected/, the main page last with the words of every page, and the report is the golden one (a dry run
    // reads the main page the second time as the run leaves it the first time).
    void sites()
    {
        QFETCH(QString, name);
        QFETCH(bool, dryRun);
        QFETCH(bool, inBlocks);
        const QDir site(Data + QStringLiteral("/sites/") + name);
        QTemporaryDir dir;
        QStringList pages;
        RunOptions options = goldenSiteIn(site.path(), dir.path(), &pages);
        options.backup = true;
        options.dryRun = dryRun;
        const auto before = treeState(dir.path(), true);

        RecordingObserver observer(true);
        const RunReport report = runMetaWithReport(options, observer, runLimits(inBlocks), PageTexts::Kept);
        QCOMPARE(report.result, RunResult::Completed);
        QCOMPARE(QString::fromUtf8(runReportCsv(report, EnglishOffset)),
                 QString::fromUtf8(readFile(Data + QStringLiteral("/report/") + name + QStringLiteral(".csv"))));
        for (const QString &page : pages) {
            const QByteArray expected = readFile(site.filePath(QStringLiteral("expected/") + page));
            QCOMPARE(observer.afters.at(observer.names.lastIndexOf(page)), expected);
            if (!dryRun)
                QCOMPARE(readFile(dir.filePath(page)), expected);
        }
        if (dryRun)
            QCOMPARE(treeState(dir.path(), true), before);
    }
};

QTEST_GUILESS_MAIN(TestGolden)
#include "tst_Golden.moc"
