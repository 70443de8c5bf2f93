#include "TestSupport.h"

#include "engine/MarkScanner.h"
#include "engine/MetaBlock.h"
#include "engine/PageSplicer.h"

#include <QTest>

using namespace tagsmith;

namespace {

using Positions = QList<qint64>;

PageMarks scanMarks(std::string_view page, const MetaNames &names)
{
    MarkScanner scanner(names);
    scanner.feed(page);
    return scanner.finish();
}

Positions cuts(const PageMarks &marks)
{
    Positions list;
    for (int i = 0; i < marks.MarkCount; ++i)
        list << marks.Marks[static_cast<std::size_t>(i)];
    return list;
}

} // namespace

class TestMarkScanner : public QObject
{
    Q_OBJECT

private slots:
    void marks_data();
    void marks();
    void templateNames();
    void rewrite_data();
    void rewrite();
};

void TestMarkScanner::marks_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<Positions>("cuts");
    QTest::addColumn<bool>("head");
    for (const QStringList &row : test::readTable(QFINDTESTDATA("data/marks.txt")))
        QTest::newRow(qPrintable(row[0]))
            << test::unescape(row[1]) << test::numbers(row[2]) << (row[3] == QLatin1String("1"));
}

void TestMarkScanner::marks()
{
    QFETCH(QByteArray, page);
    QFETCH(Positions, cuts);
    QFETCH(bool, head);
    const MetaNames names;
    const PageMarks marks = scanMarks(page.toStdString(), names);
    QCOMPARE(::cuts(marks), cuts);
    QCOMPARE(marks.headMark, head);
    QCOMPARE(marks.endMark(), qint64(page.size()));
}

void TestMarkScanner::templateNames()
{
    RunOptions options;
    options.templates[4] =
        QStringLiteral("<meta name=\"Robots\" content=\"all\"><META NAME = 'theme-color' content=x>");
    options.templates[7] = QStringLiteral("<meta name=\"my-generator\" content=\"me\">");
    options.templates[6] = QStringLiteral("\"><meta name=\"fr\u00E9quence\" content=\"x\">");
    const MetaNames names = MetaBlock(options).metaNames();
    // A name beyond ASCII is found again in pages of either encoding.
    QVERIFY(names.contains("FR\xE9QUENCE"));
    QVERIFY(names.contains("fr\xC3\xA9quence"));
    QVERIFY(names.contains("THEME-COLOR"));
    QVERIFY(names.contains("my-generator"));
    QVERIFY(names.contains("keywords"));
    QVERIFY(!names.contains("viewport"));
    const PageMarks marks = scanMarks("<meta name=viewport><meta name=\"theme-color\">", names);
    QCOMPARE(cuts(marks), Positions{20});
}

void TestMarkScanner::rewrite_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("expected");
    for (const QStringList &row : test::readTable(QFINDTESTDATA("data/rewrite.txt")))
        QTest::newRow(qPrintable(row[0])) << test::unescape(row[1]) << test::unescape(row[2]);
}

void TestMarkScanner::rewrite()
{
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, expected);
    const MetaNames names;
    const std::string bytesOfPage = page.toStdString();
    const PageMarks marks = scanMarks(bytesOfPage, names);
    QCOMPARE(QByteArray::fromStdString(rewritePage(bytesOfPage, marks, "[BLOCK]")), expected);
}

QTEST_APPLESS_MAIN(TestMarkScanner)
#include "tst_MarkScanner.moc"
