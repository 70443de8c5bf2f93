#include "TestSupport.h"

#include "engine/MetaRun.h"
#include "engine/WordTable.h"

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

    void leadingNumber_data() { test::addTableRows(QFINDTESTDATA("data/leading-numbers.txt"), {"text", "value"}); }

    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(QString, value);
        QCOMPARE(tagsmith::leadingNumber(text.toStdString()), value.toDouble());
    }

    void minimumLength_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QStringList>("stored");
        const QStringList words{QStringLiteral("website"), QStringLiteral("pages"), QStringLiteral("four"),
                                QStringLiteral("\u00E9t\u00E9s"), QStringLiteral("\u041C\u0438\u0440")};
        QTest::newRow("default 6") << true << QStringLiteral("6") << QStringList{QStringLiteral("website")};
        QTest::newRow("off") << false << QStringLiteral("6") << words;
        QTest::newRow("4.5 rejects four letters")
            << true << QStringLiteral("4.5") << QStringList{QStringLiteral("website"), QStringLiteral("pages")};
        QTest::newRow("characters, not bytes") << true << QStringLiteral(" 4") << words.mid(0, 4);
        QTest::newRow("three Cyrillic letters") << true << QStringLiteral("3") << words;
    }

    void minimumLength()
    {
        QFETCH(bool, on);
        QFETCH(QString, limit);
        QFETCH(QStringList, stored);
        RunOptions options;
        options.minLength = on;
        options.minLengthText = limit;
        NullObserver observer;
        MetaRun run(options, observer, RunLimits());
        for (const char *word : {"website", "pages", "four", "\xC3\xA9t\xC3\xA9s", "\xD0\x9C\xD0\xB8\xD1\x80"})
            run.AddWord(word);
        QCOMPARE(rows(run.PageWords), stored);
        run.SiteWords.insertAll(run.PageWords);
        QCOMPARE(rows(run.SiteWords), stored);
    }
};

QTEST_APPLESS_MAIN(TestWordTable)
#include "tst_WordTable.moc"
