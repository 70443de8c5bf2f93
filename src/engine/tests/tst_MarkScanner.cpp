#include "TestSupport.h"

#include "engine/page/MarkScanner.h"
#include "engine/page/MetaBlock.h"
#include "engine/page/PageSplicer.h"

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
    void marks_data() { test::addTableRows(QFINDTESTDATA("data/marks.txt"), {"page", "cuts", "head"}); }

    void marks()
    {
        QFETCH(QString, page);
        QFETCH(QString, cuts);
        QFETCH(QString, head);
        const QByteArray bytes = test::unescape(page);
        const PageMarks marks = scanMarks(bytes.toStdString(), MetaNames());
        QCOMPARE(::cuts(marks), test::numbers(cuts));
        QCOMPARE(marks.headMark, head == QLatin1String("1"));
        QCOMPARE(marks.endMark(), qint64(bytes.size()));
    }

    void templateNames()
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

    void rewrite_data() { test::addTableRows(QFINDTESTDATA("data/rewrite.txt"), {"page", "expected"}); }

    void rewrite()
    {
        QFETCH(QString, page);
        QFETCH(QString, expected);
        const std::string bytes = test::unescape(page).toStdString();
        QCOMPARE(QByteArray::fromStdString(rewritePage(bytes, scanMarks(bytes, MetaNames()), "[BLOCK]")),
                 test::unescape(expected));
    }
};

QTEST_APPLESS_MAIN(TestMarkScanner)
#include "tst_MarkScanner.moc"
