#include "engine/TellingWords.h"

#include <QTest>

using namespace tagsmith;

namespace {

QString joined(const std::vector<std::string_view> &words)
{
    QStringList list;
    for (const std::string_view word : words)
        list << QString::fromUtf8(word.data(), qsizetype(word.size()));
    return list.join(QLatin1Char(' '));
}

} // namespace

class TestTellingWords : public QObject
{
    Q_OBJECT
private slots:
    void ranking_data();
    void ranking();
};

void TestTellingWords::ranking_data()
{
    QTest::addColumn<QStringList>("pages"); // each page's words in page order, blank-separated
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("expected"); // each page's words, then the site's

    const QStringList harbour = {QStringLiteral("sailing harbour boats harbour harbour"),
                                 QStringLiteral("sailing boats regatta"), QStringLiteral("Sailing regatta wind boats")};
    QTest::newRow("a word on every page ranks below a word frequent on one page")
        << harbour << 2
        << QStringList{QStringLiteral("harbour sailing"), QStringLiteral("regatta sailing"),
                       QStringLiteral("wind regatta"), QStringLiteral("sailing boats")};
    // A word is written in the form the site first met it ("Sailing" on the third page).
    QTest::newRow("more words wanted than found: every word, best first")
        << harbour << 50
        << QStringList{QStringLiteral("harbour sailing boats"), QStringLiteral("regatta sailing boats"),
                       QStringLiteral("wind regatta sailing boats"),
                       QStringLiteral("sailing boats regatta harbour wind")};
    QTest::newRow("frequency on the page counts against rarity on the site")
        << QStringList{QStringLiteral("mast mast mast mast keel"), QStringLiteral("mast"), QStringLiteral("rope")} << 2
        << QStringList{QStringLiteral("mast keel"), QStringLiteral("mast"), QStringLiteral("rope"),
                       QStringLiteral("mast keel")};
    QTest::newRow("equal scores keep the page's first-seen order")
        << QStringList{QStringLiteral("zeta alpha Zeta ALPHA"), QStringLiteral("regatta")} << 5
        << QStringList{QStringLiteral("zeta alpha"), QStringLiteral("regatta"), QStringLiteral("zeta alpha regatta")};
    QTest::newRow("stop words of either language never count")
        << QStringList{QStringLiteral("The harbour and het haven THE"), QStringLiteral("een boot")} << 5
        << QStringList{QStringLiteral("harbour haven"), QStringLiteral("boot"), QStringLiteral("harbour haven boot")};
    QTest::newRow("a page without words") << QStringList{QString(), QStringLiteral("boat")} << 3
                                          << QStringList{QString(), QStringLiteral("boat"), QStringLiteral("boat")};
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
    for (qsizetype i = 0; i < pages.size(); ++i)
        got << joined(telling.pageWords(std::size_t(i), std::size_t(count)));
    got << joined(telling.siteWords(std::size_t(count)));
    QCOMPARE(got, expected);
}

QTEST_APPLESS_MAIN(TestTellingWords)
#include "tst_TellingWords.moc"
