#include "TestSupport.h"

#include "engine/Run.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

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
    QCOMPARE(runMeta(tellingOptions(folder, 3), observer), RunResult::Completed);
    // The main page of the folder is written once, last, with the site's words; its own words count
    // for the site (regatta is on two pages only through it, and so comes before harbour).
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

QTEST_GUILESS_MAIN(TestTellingRun)
#include "tst_TellingRun.moc"
