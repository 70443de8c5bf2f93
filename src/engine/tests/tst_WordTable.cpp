#include "TestSupport.h"

#include "engine/run/MetaRun.h"
#include "engine/words/WordTable.h"

#include <QSet>
#include <QTest>

using namespace tagsmith;

namespace {

class NullObserver : public RunObserver
{
public:
    void message(const Message &) override {}
};

QStringList rows(const WordTable &table)
{
    QStringList list;
    for (std::size_t i = 0; i < table.size(); ++i)
        list << QString::fromStdString(std::string(table.row(i)));
    return list;
}

} // namespace

class TestWordTable : public QObject
{
    Q_OBJECT

private slots:
    void matching_data() { test::addTableRows(QFINDTESTDATA("data/word-matching.txt"), {"added", "stored"}); }

    void matching()
    {
        QFETCH(QString, added);
        QFETCH(QString, stored);
        WordTable table;
        for (const QString &word : added.split(QLatin1Char(' ')))
            table.insert(word.toStdString());
        QCOMPARE(rows(table).join(QLatin1Char(' ')), stored);
        for (const QString &word : added.split(QLatin1Char(' ')))
            QVERIFY(table.contains(word.toUpper().toStdString()));
    }

    // Each word once, in the form first met, in order, however many; a cleared table starts again.
    void manyWordsKeepOrder()
    {
        WordTable site;
        WordTable page;
        QStringList expected;
        for (int p = 0; p < 50; ++p) {
            page.ClearWordTable();
            QSet<QString> onPage;
            for (int i = 0; i < 300; ++i) {
                const std::string word = (i % 2 ? "Word" : "WORD") + std::to_string((p * 131 + i * 7) % 4000);
                const QString text = QString::fromStdString(word);
                QCOMPARE(page.insert(word), !onPage.contains(text.toLower()));
                onPage.insert(text.toLower());
                if (!site.contains(word) && !expected.contains(text, Qt::CaseInsensitive))
                    expected << text;
            }
            QCOMPARE(page.size(), std::size_t(onPage.size()));
            site.insertAll(page);
        }
        QCOMPARE(rows(site), expected);
    }

    // A table that held a very large page gives its room back once the pages after it are small.
    void roomOfALargePageGoesBack()
    {
        WordTable page;
        const auto fill = [&page](int words) {
            page.ClearWordTable();
            for (int i = 0; i < words; ++i)
                page.insert(std::string(1, 'w').append(std::to_string(i)));
        };
        fill(500);
        const std::size_t usual = page.memoryUse();
        fill(200000);
        const std::size_t large = page.memoryUse();
        for (int p = 0; p < 60; ++p)
            fill(500);
        QVERIFY2(page.memoryUse() - usual < (large - usual) / 4,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(usual).arg(large).arg(page.memoryUse())));
    }

    void leadingNumber_data() { test::addTableRows(QFINDTESTDATA("data/leading-numbers.txt"), {"text", "value"}); }

    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(QString, value);
        QCOMPARE(tagsmith::leadingNumber(text.toStdString()), value.toDouble());
    }

    void minimumLength_data()
    {
        test::addTableRows(QFINDTESTDATA("data/minimum-lengths.txt"), {"on", "limit", "stored"});
    }

    void minimumLength()
    {
        QFETCH(QString, on);
        QFETCH(QString, limit);
        QFETCH(QString, stored);
        RunOptions options;
        options.minLength = on == QLatin1String("1");
        options.minLengthText = limit;
        NullObserver observer;
        MetaRun run(options, observer, RunLimits());
        for (const char *word : {"website", "pages", "four", "\xC3\xA9t\xC3\xA9s", "\xD0\x9C\xD0\xB8\xD1\x80"})
            run.AddWord(word);
        QCOMPARE(rows(run.PageWords).join(QLatin1Char(' ')), stored);
        run.SiteWords.insertAll(run.PageWords);
        QCOMPARE(rows(run.SiteWords).join(QLatin1Char(' ')), stored);
    }
};

QTEST_APPLESS_MAIN(TestWordTable)
#include "tst_WordTable.moc"
