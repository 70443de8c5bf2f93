// The report's table reads each page's keywords from their UTF-8 bytes: a long line shows the same start,
// and the same tooltip, as the whole line cut where a cell ends.

#include "gui/RunReportModel.h"

#include <QTest>

using namespace tagsmith;

class TestRunReportModel : public QObject
{
    Q_OBJECT

private slots:
    void longKeywordsCutAsTheirText_data();
    void longKeywordsCutAsTheirText();
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

QTEST_MAIN(TestRunReportModel)
#include "tst_runreportmodel.moc"
