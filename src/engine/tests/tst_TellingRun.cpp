#include "TestSupport.h"

#include "engine/fs/FileError.h"
#include "engine/fs/FileSystem.h"
#include "engine/core/Run.h"
#include "engine/run/RunReport.h"
#include "text/StringTable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

using namespace tagsmith;
using namespace tagsmith::test;

namespace {

// What a run wrote into each page, besides the rest of what it told.
class WordsObserver : public RecordingObserver
{
public:
    bool wantsPageWords() const override { return true; }
    void pageWritten(const PageKeywords &page) override
    {
        const QString name = QFileInfo(page.page).fileName();
        keywords[name] = QString::fromUtf8(page.keywords);
        descriptions[name] = page.description;
        if (page.unchanged)
            unchanged << name;
    }
    QMap<QString, QString> keywords;
    QMap<QString, QString> descriptions;
    QStringList unchanged;
};

RunOptions tellingOptions(const QString &folder, int count)
{
    RunOptions options = siteOptions(folder);
    options.description = true;
    options.mainPage = folder + QStringLiteral("/index.htm");
    options.siteDescription = QStringLiteral("Fallback text");
    options.minLength = false;
    options.topKeywords = true;
    options.topKeywordCount = count;
    return options;
}

QByteArray page(const QByteArray &head, const QByteArray &body)
{
    return "<html><head>" + head + "</head><body>" + body + "</body></html>\r\n";
}

const QByteArray Harbour = "<html><head><title>T</title></head><body><p>%1</p></body></html>\n";

void makeHarbourSite(const QString &folder, const QString &mainPage)
{
    writeFile(folder + QStringLiteral("/a.htm"), QByteArray(Harbour).replace("%1", "Harbour boats, harbour master"));
    writeFile(folder + QStringLiteral("/b.htm"), QByteArray(Harbour).replace("%1", "Regatta boats wind"));
    writeFile(folder + QStringLiteral("/c.htm"), QByteArray(Harbour).replace("%1", "Sailing school, boats"));
    writeFile(mainPage, QByteArray(Harbour).replace("%1", "Our club"));
}

} // namespace

class TestTellingRun : public QObject
{
    Q_OBJECT
private slots:
    void rerunChangesNothing_data()
    {
        addTableRows(QFINDTESTDATA("data/telling-reruns.txt"), {"shape", "pageDescriptions", "backup"});
    }

    void rerunChangesNothing()
    {
        QFETCH(QString, shape);
        QFETCH(QString, pageDescriptions);
        QFETCH(QString, backup);

        QTemporaryDir dir;
        const QString folder = dir.path();
        const char *texts[] = {"Sailing boats on the harbour, harbour master watched", "Sailing regatta\r\nwinners",
                               "Club house &amp; sailing school"};
        const char *names[] = {"a.htm", "b.htm", "index.htm"};
        for (int i = 0; i < 3; ++i)
            writeFile(folder + QLatin1Char('/') + QLatin1String(names[i]), unescape(shape).replace("%1", texts[i]));

        RunOptions options = tellingOptions(folder, 3);
        options.pageDescriptions = pageDescriptions == QLatin1String("1");
        options.backup = backup == QLatin1String("1");
        WordsObserver first;
        const RunReport written = runMetaWithReport(options, first, RunLimits(), PageTexts::Kept);
        QVERIFY(first.unchanged.isEmpty());
        QCOMPARE(written.pagesWritten(), 3);
        const auto before = treeState(folder, true);

        // A rerun, dry or not, writes no page and reports each as unchanged, with the keywords and the
        // description it has.
        for (const bool dryRun : {true, false}) {
            options.dryRun = dryRun;
            WordsObserver second;
            const RunReport again = runMetaWithReport(options, second, RunLimits(), PageTexts::Kept);
            QCOMPARE(treeState(folder, true), before);
            QCOMPARE(reportRows(again).join(QLatin1Char(',')),
                     QStringLiteral("a.htm unchanged,b.htm unchanged,index.htm unchanged main"));
            for (std::size_t i = 0; i < again.pages.size(); ++i) {
                QCOMPARE(again.pages[i].keywords.toByteArray(), written.pages[i].keywords.toByteArray());
                QCOMPARE(again.pages[i].description, written.pages[i].description);
            }
            QVERIFY(second.backups.isEmpty());
            if (!dryRun) {
                QCOMPARE(second.unchanged.join(QLatin1Char(',')), QStringLiteral("a.htm,b.htm,index.htm"));
                QCOMPARE(second.keywords, first.keywords);
            }
        }
    }

    void siteWords()
    {
        QTemporaryDir dir;
        const QString folder = dir.path();
        writeFile(folder + QStringLiteral("/a.htm"), page({}, "<p>sailing harbour boats harbour harbour</p>"));
        writeFile(folder + QStringLiteral("/b.htm"), page({}, "<p>sailing boats regatta</p>"));
        writeFile(folder + QStringLiteral("/index.htm"), page({}, "<p>Sailing regatta wind boats the</p>"));

        WordsObserver observer;
        const RunReport report = runMetaWithReport(tellingOptions(folder, 3), observer);
        QCOMPARE(report.result, RunResult::Completed);
        // The main page of the folder is written once, last, with the words chosen most often for the
        // other pages (sailing and boats twice, then harbour, which scored more than regatta); its own
        // words count for the pages' ranking, and are the words its report says it has.
        QCOMPARE(report.pages.back().wordsFound, 5);
        QVERIFY(observer.started.last().startsWith(folder + QStringLiteral("/index.htm 2/3")));
        QCOMPARE(observer.keywords.value(QStringLiteral("a.htm")), QStringLiteral("harbour, sailing, boats"));
        QCOMPARE(observer.keywords.value(QStringLiteral("b.htm")), QStringLiteral("regatta, sailing, boats"));
        QVERIFY(readFile(folder + QStringLiteral("/index.htm"))
                    .contains("<META NAME=\"keywords\" CONTENT=\"sailing, boats, harbour\">\r\n"));
    }

    void pageUnreadableBeforeWriting_data()
    {
        addTableRows(QFINDTESTDATA("data/telling-unreadable.txt"), {"page", "failures", "outcomes"});
    }

    void pageUnreadableBeforeWriting()
    {
        QFETCH(QString, page);
        QFETCH(QString, failures);
        QFETCH(QString, outcomes);

        QTemporaryDir dir;
        const QString folder = dir.path();
        // The main page apart from the folder, so that it has a place of its own at the end of the run.
        RunOptions options = tellingOptions(folder, 3);
        options.pageDescriptions = true;
        options.mainPage = folder + QStringLiteral("/main/index.htm");
        makeHarbourSite(folder, options.mainPage);
        const QString path = page == QStringLiteral("index.htm") ? options.mainPage : folder + QLatin1Char('/') + page;
        const QByteArray before = readFile(path);
        RecordingObserver observer;
        RunReport report;
        {
            fs::FaultInjector faults;
            if (failures == QLatin1String("2"))
                faults.fail(fs::Call::OpenForReading, EIO, page.toStdString(), 1);
            faults.fail(fs::Call::Read, EIO, page.toStdString(), failures == QLatin1String("0") ? 0 : 1);
            report = runMetaWithReport(options, observer);
        }
        QStringList got;
        for (const PageReport &p : report.pages)
            got << QFileInfo(p.PagePath).fileName() + (p.OnMainPage ? QStringLiteral("*") : QString());
        QCOMPARE(got.join(QLatin1Char(' ')), QStringLiteral("a.htm b.htm c.htm index.htm*"));
        got.clear();
        for (const PageReport &p : report.pages)
            got << QLatin1String(outcomeName(p.outcome));
        QCOMPARE(got.join(QLatin1Char(' ')), outcomes);
        const bool fails = outcomes.contains(QStringLiteral("failed"));
        QCOMPARE(report.result, fails ? RunResult::Failed : RunResult::Completed);
        if (!fails)
            return;
        QCOMPARE(observer.messageList().last(),
                 QStringLiteral("%1/%2 %3").arg(ids::ErrorTitle).arg(ids::FileErrorBase + fileerr::DeviceIO).arg(path));
        QCOMPARE(readFile(path), before);
        QVERIFY(readFile(folder + QStringLiteral("/a.htm")).contains("<META NAME=\"keywords\""));
    }
};

QTEST_GUILESS_MAIN(TestTellingRun)
#include "tst_TellingRun.moc"
