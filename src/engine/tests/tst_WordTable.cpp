#include "TestSupport.h"

#include "engine/MetaRun.h"
#include "engine/WordTable.h"

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
    void matching_data();
    void matching();
    void manyWordsKeepOrder();
    void clearAndReuse();
    void insertAllKeepsOrder();
    void leadingNumber_data();
    void leadingNumber();
    void minimumLength_data();
    void minimumLength();
};

void TestWordTable::matching_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("stored");
    for (const QStringList &row : test::readTable(QFINDTESTDATA("data/word-matching.txt")))
        QTest::newRow(qPrintable(row[0])) << row[1].split(QLatin1Char(' ')) << row[2].split(QLatin1Char(' '));
}

void TestWordTable::matching()
{
    QFETCH(QStringList, added);
    QFETCH(QStringList, stored);
    WordTable table;
    for (const QString &word : added)
        table.insert(word.toStdString());
    QCOMPARE(rows(table), stored);
    for (const QString &word : added)
        QVERIFY(table.contains(word.toUpper().toStdString()));
}

void TestWordTable::manyWordsKeepOrder()
{
    WordTable table;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 20000; ++i)
            QCOMPARE(table.insert((round ? "W" : "w") + std::to_string(i)), round == 0);
    QCOMPARE(table.size(), std::size_t(20000));
    for (int i = 0; i < 20000; i += 997)
        QCOMPARE(table.row(static_cast<std::size_t>(i)), "w" + std::to_string(i));
}

void TestWordTable::clearAndReuse()
{
    WordTable table;
    table.ClearWordTable(); // an empty table stays empty
    QVERIFY(table.empty());
    for (int i = 0; i < 5000; ++i)
        table.insert("big" + std::to_string(i));
    table.ClearWordTable();
    QVERIFY(table.empty());
    QVERIFY(!table.contains("big1"));
    QVERIFY(table.insert("Big1"));
    QVERIFY(!table.insert("BIG1"));
    QCOMPARE(rows(table), QStringList{QStringLiteral("Big1")});
}

void TestWordTable::insertAllKeepsOrder()
{
    WordTable site;
    WordTable page;
    QStringList expected;
    for (int p = 0; p < 50; ++p) {
        page.ClearWordTable();
        for (int i = 0; i < 300; ++i) {
            const std::string word = (i % 2 ? "Word" : "WORD") + std::to_string((p * 131 + i * 7) % 4000);
            page.insert(word);
            if (!site.contains(word) && !expected.contains(QString::fromStdString(word), Qt::CaseInsensitive))
                expected << QString::fromStdString(word);
        }
        site.insertAll(page);
    }
    QCOMPARE(rows(site), expected);
}

void TestWordTable::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    for (const QStringList &row : test::readTable(QFINDTESTDATA("data/leading-numbers.txt")))
        QTest::newRow(qPrintable(row[0])) << row[1] << row[2].toDouble();
}

void TestWordTable::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(tagsmith::leadingNumber(text.toStdString()), value);
}

void TestWordTable::minimumLength_data()
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

void TestWordTable::minimumLength()
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

QTEST_APPLESS_MAIN(TestWordTable)
#include "tst_WordTable.moc"
