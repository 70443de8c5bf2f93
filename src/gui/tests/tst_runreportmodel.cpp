// The report's table reads each page's keywords from their UTF-8 bytes: a long line shows the same start,
// and the same tooltip, as the whole line cut where a cell ends. Where a page's description came from and
// what to check in it show in words, and the window's filter finds the pages by them. A site file
// (sitemap.xml, robots.txt) shows no words and no description source, and is no main page made.

#include "gui/RunReportModel.h"

#include <QTest>

using namespace tagsmith;

class TestRunReportModel : public QObject
{
    Q_OBJECT

private slots:
    void longKeywordsCutAsTheirText_data();
    void longKeywordsCutAsTheirText();
    void descriptionSourceAndChecks_data();
    void descriptionSourceAndChecks();
    void siteFiles_data();
    void siteFiles();
};

void TestRunReportModel::longKeywordsCutAsTheirText_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<int>("count");
    QTest::newRow("short") << QStringLiteral("přístav") << 3;
    QTest::newRow("ascii, just over") << QStringLiteral("ab") << 251;
    QTest::newRow("three bytes a unit") << QStringLiteral("\u20ac\u20ac\u20ac") << 400;
    QTest::newRow("pairs cut between") << QStringLiteral("a\U0001F600\U0001F600") << 400;
}

void TestRunReportModel::longKeywordsCutAsTheirText()
{
    QFETCH(QString, word);
    QFETCH(int, count);
    QStringList words;
    for (int i = 0; i < count; ++i)
        words << word;
    const QString line = words.join(QStringLiteral(", "));
    RunReport report;
    report.pages.emplace_back();
    report.pages.back().keywords = line.toUtf8();
    const RunReportModel model(report, nullptr);
    const QString shown = line.size() > 1000 ? line.left(1000) + QStringLiteral("…") : line;
    const QModelIndex cell = model.index(0, RunReportModel::KeywordsColumn);
    QCOMPARE(cell.data().toString(), shown);
    QCOMPARE(cell.data(Qt::ToolTipRole).toString(), QStringLiteral("<p>%1</p>").arg(shown.toHtmlEscaped()));
}

void TestRunReportModel::descriptionSourceAndChecks_data()
{
    QTest::addColumn<PageOutcome>("outcome");
    QTest::addColumn<DescriptionSource>("source");
    QTest::addColumn<int>("checks");
    QTest::addColumn<QString>("shown"); // source | checks | filter
    using namespace pagecheck;
    QTest::newRow("nothing to check") << PageOutcome::Replaced << DescriptionSource::Content << 0
                                      << QStringLiteral("page text||-");
    QTest::newRow("two checks") << PageOutcome::Unchanged << DescriptionSource::Given << (NoTitle | DescriptionShort)
                                << QStringLiteral("text given|no title, description under 50 characters|c");
    QTest::newRow("a warning and a check")
        << PageOutcome::Appended << DescriptionSource::OwnTag << int(DescriptionElsewhere)
        << QStringLiteral("own tag|description on other pages too|pc");
    QTest::newRow("failed: no block, no source")
        << PageOutcome::Failed << DescriptionSource::None << 0 << QStringLiteral("||p");
    QTest::newRow("no description line") << PageOutcome::Replaced << DescriptionSource::None
                                         << (TitleElsewhere | DescriptionLong)
                                         << QStringLiteral("none|title on other pages too, description over 160 "
                                                           "characters|c");
}

void TestRunReportModel::descriptionSourceAndChecks()
{
    QFETCH(PageOutcome, outcome);
    QFETCH(DescriptionSource, source);
    QFETCH(int, checks);
    QFETCH(QString, shown);
    RunReport report;
    report.pages.emplace_back();
    report.pages.back().outcome = outcome;
    report.pages.back().descriptionSource = source;
    report.pages.back().checks = std::uint8_t(checks);
    const RunReportModel model(report, nullptr);
    QCOMPARE(QStringList({model.index(0, RunReportModel::SourceColumn).data().toString(),
                          model.index(0, RunReportModel::ChecksColumn).data().toString(),
                          model.index(0, 0).data(RunReportModel::FilterRole).toString()})
                 .join(QLatin1Char('|')),
             shown);
}

void TestRunReportModel::siteFiles_data()
{
    QTest::addColumn<PageOutcome>("outcome");
    QTest::addColumn<QString>("shown"); // outcome | words found | keywords written | bytes after | source
    QTest::newRow("sitemap made") << PageOutcome::Created << QStringLiteral("created|||417|");
    QTest::newRow("robots.txt changed") << PageOutcome::Replaced << QStringLiteral("changed|||417|");
}

void TestRunReportModel::siteFiles()
{
    QFETCH(PageOutcome, outcome);
    QFETCH(QString, shown);
    RunReport report;
    report.pages.emplace_back();
    PageReport &file = report.pages.back();
    file.siteFile = true;
    file.outcome = outcome;
    file.bytesAfter = 417;
    const RunReportModel model(report, nullptr);
    QStringList cells;
    for (const int column : {2, 5, 6, 9, int(RunReportModel::SourceColumn)})
        cells << model.index(0, column).data().toString();
    QCOMPARE(cells.join(QLatin1Char('|')), shown);
}

QTEST_MAIN(TestRunReportModel)
#include "tst_runreportmodel.moc"
