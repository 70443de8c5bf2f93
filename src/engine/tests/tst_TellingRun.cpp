#include "TestSupport.h"

#include "engine/FileError.h"
#include "engine/FileSystem.h"
#include "engine/Run.h"
#include "engine/RunReport.h"
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
        keywords[name] = page.keywords.join(QStringLiteral(", "));
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

QByteArray utf16(const QString &text, bool bigEndian)
{
    QByteArray bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const QChar c : text) {
        const char high = static_cast<char>(c.unicode() >> 8);
        const char low = static_cast<char>(c.unicode() & 0xFF);
        bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
    }
    return bytes;
}

// "page outcome" for every page of the report, the main page marked with "*".
QStringList outcomes(const RunReport &report)
{
    QStringList list;
    for (const PageReport &page : report.pages)
        list << page.relativePath + (page.OnMainPage ? QStringLiteral("* ") : QStringLiteral(" ")) +
                    QLatin1String(outcomeName(page.outcome));
    return list;
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
    void rerunChangesNothing_data();
    void rerunChangesNothing();
    void siteWords();
    void descriptionsWritten_data();
    void descriptionsWritten();
    void rerunReportsUnchanged_data();
    void rerunReportsUnchanged();
    void decodedPages_data();
    void decodedPages();
    void pageUnreadableBeforeWriting_data();
    void pageUnreadableBeforeWriting();
};

void TestTellingRun::rerunChangesNothing_data()
{
    QTest::addColumn<QByteArray>("shape");
    QTest::addColumn<bool>("pageDescriptions");
    QTest::addColumn<bool>("backup");
    for (const QStringList &row : readTable(QFINDTESTDATA("data/telling-reruns.txt")))
        QTest::newRow(qPrintable(row[0]))
            << unescape(row[1]) << (row[2] == QLatin1String("1")) << (row[3] == QLatin1String("1"));
}

void TestTellingRun::rerunChangesNothing()
{
    QFETCH(QByteArray, shape);
    QFETCH(bool, pageDescriptions);
    QFETCH(bool, backup);

    QTemporaryDir dir;
    const QString folder = dir.path();
    const char *texts[] = {"Sailing boats on the harbour, harbour master watched", "Sailing regatta\r\nwinners",
                           "Club house &amp; sailing school"};
    const char *names[] = {"a.htm", "b.htm", "index.htm"};
    for (int i = 0; i < 3; ++i)
        writeFile(folder + QLatin1Char('/') + QLatin1String(names[i]), QByteArray(shape).replace("%1", texts[i]));

    RunOptions options = tellingOptions(folder, 3);
    options.pageDescriptions = pageDescriptions;
    options.backup = backup;
    WordsObserver first;
    QCOMPARE(runMeta(options, first), RunResult::Completed);
    QVERIFY(first.unchanged.isEmpty());
    const auto before = treeState(folder, true);

    WordsObserver second;
    QCOMPARE(runMeta(options, second), RunResult::Completed);
    QCOMPARE(treeState(folder, true), before);
    QCOMPARE(second.unchanged,
             (QStringList{QStringLiteral("a.htm"), QStringLiteral("b.htm"), QStringLiteral("index.htm")}));
    QCOMPARE(second.keywords, first.keywords);
    QVERIFY(second.backups.isEmpty());
}

void TestTellingRun::siteWords()
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    writeFile(folder + QStringLiteral("/a.htm"), page({}, "<p>sailing harbour boats harbour harbour</p>"));
    writeFile(folder + QStringLiteral("/b.htm"), page({}, "<p>sailing boats regatta</p>"));
    writeFile(folder + QStringLiteral("/index.htm"), page({}, "<p>Sailing regatta wind boats the</p>"));

    WordsObserver observer;
    const RunReport report = runMetaWithReport(tellingOptions(folder, 3), observer);
    QCOMPARE(report.result, RunResult::Completed);
    // The main page of the folder is written once, last, with the site's words; its own words count
    // for the site (regatta is on two pages only through it, and so comes before harbour), and are
    // the words its report says it has.
    QCOMPARE(report.pages.back().wordsFound, 5);
    QCOMPARE(observer.started.size(), 3);
    QVERIFY(observer.started.last().startsWith(folder + QStringLiteral("/index.htm 2/3")));
    QCOMPARE(observer.keywords.value(QStringLiteral("a.htm")), QStringLiteral("harbour, sailing, boats"));
    QCOMPARE(observer.keywords.value(QStringLiteral("b.htm")), QStringLiteral("regatta, sailing, boats"));
    QCOMPARE(observer.keywords.value(QStringLiteral("index.htm")), QStringLiteral("sailing, boats, regatta"));
    QVERIFY(readFile(folder + QStringLiteral("/a.htm"))
                .contains("<META NAME=\"keywords\" CONTENT=\"harbour, sailing, boats\">\r\n"));
    QVERIFY(readFile(folder + QStringLiteral("/index.htm"))
                .contains("<META NAME=\"keywords\" CONTENT=\"sailing, boats, regatta\">\r\n"));
}

void TestTellingRun::descriptionsWritten_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("topKeywords");
    QTest::addColumn<QByteArray>("expected");
    for (const QStringList &row : readTable(QFINDTESTDATA("data/telling-descriptions.txt")))
        for (const bool top : {false, true})
            QTest::addRow("%s, %s", qPrintable(row[0]), top ? "most telling words" : "every word")
                << unescape(row[1]) << top << unescape(row[2]);
}

void TestTellingRun::descriptionsWritten()
{
    QFETCH(QByteArray, source);
    QFETCH(bool, topKeywords);
    QFETCH(QByteArray, expected);

    QTemporaryDir dir;
    const QString folder = dir.path();
    writeFile(folder + QStringLiteral("/a.htm"), source);
    RunOptions options = tellingOptions(folder, 5);
    options.mainPage.clear();
    options.topKeywords = topKeywords;
    options.pageDescriptions = true;
    WordsObserver observer;
    QCOMPARE(runMeta(options, observer), RunResult::Completed);
    const QByteArray written = readFile(folder + QStringLiteral("/a.htm"));
    QVERIFY2(written.contains(expected), written.constData());
}

void TestTellingRun::rerunReportsUnchanged_data()
{
    QTest::addColumn<bool>("dryRun"); // the second run
    QTest::newRow("rerun") << false;
    QTest::newRow("dry rerun") << true;
}

// A rerun on an unchanged site writes no page: the report counts none as written, says "unchanged"
// for each, and still gives the keywords and the description each page has.
void TestTellingRun::rerunReportsUnchanged()
{
    QFETCH(bool, dryRun);
    QTemporaryDir dir;
    RunOptions options = tellingOptions(dir.path(), 3);
    options.pageDescriptions = true;
    makeHarbourSite(dir.path(), options.mainPage);
    RecordingObserver observer;
    const RunReport first = runMetaWithReport(options, observer, RunLimits(), PageTexts::Kept);
    QCOMPARE(first.pagesWritten(), 4);
    options.dryRun = dryRun;
    const RunReport second = runMetaWithReport(options, observer, RunLimits(), PageTexts::Kept);
    QCOMPARE(second.result, RunResult::Completed);
    QCOMPARE(second.pagesWritten(), 0);
    QCOMPARE(second.pagesUnchanged(), 4);
    QCOMPARE(outcomes(second),
             (QStringList{QStringLiteral("a.htm unchanged"), QStringLiteral("b.htm unchanged"),
                          QStringLiteral("c.htm unchanged"), QStringLiteral("index.htm* unchanged")}));
    QCOMPARE(second.pages[0].keywords, QByteArray("harbour, master, boats"));
    QCOMPARE(second.pages[0].description, QStringLiteral("Harbour boats, harbour master"));
    QCOMPARE(second.pages[3].keywords, QByteArray("boats, harbour, master"));
    for (std::size_t i = 0; i < second.pages.size(); ++i) {
        QCOMPARE(second.pages[i].keywords, first.pages[i].keywords);
        QCOMPARE(second.pages[i].description, first.pages[i].description);
    }
}

void TestTellingRun::decodedPages_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("keywords");    // in the report
    QTest::addColumn<QString>("description"); // in the report
    QTest::addColumn<QByteArray>("written");  // the keywords line in the page's bytes
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<qint64>("wordsFound"); // in the report: the page's distinct words, not the keywords

    const QString text = QStringLiteral("<html><head><meta charset=\"%1\"></head><body><nav>Menu</nav>"
                                        "<p>P\u0159\u00edstav &amp; lo\u010fky: p\u0159\u00edstav je u jezera "
                                        "a lo\u010fky jsou nov\u00e9.</p></body></html>");
    // One page: every word as telling as the next, so they come in the page's order.
    const QString keywords = QStringLiteral("menu, p\u0159\u00edstav, lo\u010fky");
    const QString description = QStringLiteral("P\u0159\u00edstav & lo\u010fky: p\u0159\u00edstav je u jezera a "
                                               "lo\u010fky jsou nov\u00e9.");
    const QString line = QStringLiteral("<META NAME=\"keywords\" CONTENT=\"%1\">").arg(keywords);
    QTest::newRow("utf-16le") << utf16(text.arg(QStringLiteral("utf-16")), false) << keywords << description
                              << utf16(line, false).mid(2) << QStringLiteral("UTF-16LE") << qint64(9);
    QTest::newRow("utf-16be") << utf16(text.arg(QStringLiteral("utf-16")), true) << keywords << description
                              << utf16(line, true).mid(2) << QStringLiteral("UTF-16BE") << qint64(9);
    // ř í ď é in ISO-8859-2.
    const auto latin2 = [](QString s) {
        return s.replace(QChar(0x159), QChar(0xF8)).replace(QChar(0x10F), QChar(0xEF)).toLatin1();
    };
    QTest::newRow("iso-8859-2") << latin2(text.arg(QStringLiteral("iso-8859-2"))) << keywords << description
                                << latin2(line) << QStringLiteral("ISO-8859-2") << qint64(9);
    // Bytes that are no Shift_JIS: the page is read as Windows-1252 in both passes.
    QTest::newRow("not the charset it declares")
        << QByteArray("<html><head><meta charset=\"shift_jis\"></head><body><p>Caf\xE9 \x80 menu\xFF\xFF "
                      "harbour sails ropes masts decks keels</p></body></html>")
        << QStringLiteral("caf\u00e9, menu\u00ff\u00ff, harbour")
        << QStringLiteral("Caf\u00e9 \u20ac menu\u00ff\u00ff harbour sails ropes masts decks keels")
        << QByteArray("CONTENT=\"caf\xE9, menu\xFF\xFF, harbour\"") << QStringLiteral("Windows-1252") << qint64(8);
}

// A page of UTF-16 or another charset gets its words and its description from its text, and gets them
// written in its own encoding.
void TestTellingRun::decodedPages()
{
    QFETCH(QByteArray, source);
    QFETCH(QString, keywords);
    QFETCH(QString, description);
    QFETCH(QByteArray, written);
    QFETCH(QString, encoding);
    QFETCH(qint64, wordsFound);

    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("a.htm")), source);
    RunOptions options = tellingOptions(dir.path(), 3);
    options.pageDescriptions = true;
    options.mainPage.clear();
    RecordingObserver observer;
    const RunReport report = runMetaWithReport(options, observer, RunLimits(), PageTexts::Kept);
    QCOMPARE(report.result, RunResult::Completed);
    QCOMPARE(encodingName(report.pages.at(0)), encoding);
    QCOMPARE(QString::fromUtf8(report.pages.at(0).keywords), keywords);
    QCOMPARE(report.pages.at(0).description, description);
    QCOMPARE(report.pages.at(0).wordsFound, wordsFound);
    const QByteArray page = readFile(dir.filePath(QStringLiteral("a.htm")));
    QVERIFY2(page.contains(written), page.toHex().constData());
}

void TestTellingRun::pageUnreadableBeforeWriting_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("failures"); // the first reads of the page that fail; 0 every one
    QTest::addColumn<QStringList>("outcomes");

    const auto list = [](const char *text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); };
    QTest::newRow("a page never read")
        << QStringLiteral("b.htm") << 0
        << list("a.htm|before-head b.htm|failed c.htm|not-reached index.htm*|not-reached");
    QTest::newRow("a page read at the second try")
        << QStringLiteral("b.htm") << 1
        << list("a.htm|before-head b.htm|before-head c.htm|before-head index.htm*|before-head");
    QTest::newRow("a page not read twice before writing, readable after")
        << QStringLiteral("b.htm") << 2
        << list("a.htm|before-head b.htm|failed c.htm|not-reached index.htm*|not-reached");
    QTest::newRow("the main page never read")
        << QStringLiteral("index.htm") << 0
        << list("a.htm|before-head b.htm|before-head c.htm|before-head index.htm*|failed");
}

// A page that cannot be read for its words fails the run where it stands in the run, with the page
// named in the file error: the pages before it are written, it and the pages after it stay as they
// were.
void TestTellingRun::pageUnreadableBeforeWriting()
{
    QFETCH(QString, page);
    QFETCH(int, failures);
    QFETCH(QStringList, outcomes);

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
        if (failures == 2)
            faults.fail(fs::Call::OpenForReading, EIO, page.toStdString(), 1);
        faults.fail(fs::Call::Read, EIO, page.toStdString(), failures == 0 ? 0 : 1);
        report = runMetaWithReport(options, observer);
    }
    QStringList got;
    for (const PageReport &p : report.pages)
        got << QFileInfo(p.PagePath).fileName() + (p.OnMainPage ? QStringLiteral("*|") : QStringLiteral("|")) +
                   QLatin1String(outcomeName(p.outcome));
    QCOMPARE(got, outcomes);
    const bool fails = outcomes.join(QLatin1Char(' ')).contains(QStringLiteral("failed"));
    QCOMPARE(report.result, fails ? RunResult::Failed : RunResult::Completed);
    if (!fails)
        return;
    QCOMPARE(observer.messageList().last(),
             QStringLiteral("%1/%2 %3").arg(ids::ErrorTitle).arg(ids::FileErrorBase + fileerr::DeviceIO).arg(path));
    QCOMPARE(readFile(path), before);
    QVERIFY(readFile(folder + QStringLiteral("/a.htm")).contains("<META NAME=\"keywords\""));
}

QTEST_GUILESS_MAIN(TestTellingRun)
#include "tst_TellingRun.moc"
