#include "TestSupport.h"

#include "engine/words/TellingWords.h"

#include <QTest>

using namespace tagsmith;

class TestTellingWords : public QObject
{
    Q_OBJECT
private slots:
    void ranking_data() { test::addTableRows(QFINDTESTDATA("data/telling-words.txt"), {"site", "count", "expected"}); }

    void ranking()
    {
        QFETCH(QString, site);
        QFETCH(QString, count);
        QFETCH(QString, expected);
        const QStringList pages = site.split(QStringLiteral(" ; "));
        TellingWords telling;
        for (const QString &page : pages) {
            for (const QString &word : page.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                telling.addWord(word.toStdString());
            telling.endPage();
        }
        QStringList got;
        TellingWords::Choices choices;
        for (qsizetype i = 0; i <= pages.size(); ++i) {
            QStringList words;
            const auto n = std::size_t(count.toInt());
            for (const std::string_view word :
                 i < pages.size() ? telling.pageWords(std::size_t(i), n, &choices) : telling.siteWords(n, choices))
                words << QString::fromUtf8(word.data(), qsizetype(word.size()));
            got << words.join(QLatin1Char(' '));
        }
        QCOMPARE(got.join(QStringLiteral(" ; ")), expected);
    }
};

QTEST_APPLESS_MAIN(TestTellingWords)
#include "tst_TellingWords.moc"
