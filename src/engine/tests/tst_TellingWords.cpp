#include "TestSupport.h"

#include "engine/TellingWords.h"

#include <QTest>

using namespace tagsmith;

class TestTellingWords : public QObject
{
    Q_OBJECT
private slots:
    void ranking_data();
    void ranking();
};

void TestTellingWords::ranking_data()
{
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("expected");
    for (const QStringList &row : test::readTable(QFINDTESTDATA("data/telling-words.txt")))
        QTest::newRow(qPrintable(row[0]))
            << row[1].split(QStringLiteral(" ; ")) << row[2].toInt() << row[3].split(QStringLiteral(" ; "));
}

void TestTellingWords::ranking()
{
    QFETCH(QStringList, pages);
    QFETCH(int, count);
    QFETCH(QStringList, expected);
    TellingWords telling;
    for (const QString &page : pages) {
        for (const QString &word : page.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            telling.addWord(word.toStdString());
        telling.endPage();
    }
    QStringList got;
    for (qsizetype i = 0; i <= pages.size(); ++i) {
        QStringList words;
        for (const std::string_view word : i < pages.size() ? telling.pageWords(std::size_t(i), std::size_t(count))
                                                            : telling.siteWords(std::size_t(count)))
            words << QString::fromUtf8(word.data(), qsizetype(word.size()));
        got << words.join(QLatin1Char(' '));
    }
    QCOMPARE(got, expected);
}

QTEST_APPLESS_MAIN(TestTellingWords)
#include "tst_TellingWords.moc"
