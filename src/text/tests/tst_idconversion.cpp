#include "TestSupport.h"

#include "text/IdConversion.h"
#include "text/StringTable.h"

#include <QTest>

using namespace tagsmith;

class TestIdConversion : public QObject
{
    Q_OBJECT
private slots:
    void conversions_data();
    void conversions();
    void localString_data();
    void localString();
};

void TestIdConversion::conversions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("strict");
    QTest::addColumn<QString>("lenient");
    for (const QStringList &row : test::readTable(QFINDTESTDATA("data/ids.txt")))
        QTest::newRow(qPrintable(row[0])) << QString::fromUtf8(test::unescape(row[1])) << row[2] << row.value(3);
}

void TestIdConversion::conversions()
{
    QFETCH(QString, text);
    QFETCH(QString, strict);
    QFETCH(QString, lenient);
    if (!strict.isEmpty()) {
        const std::optional<int> result = strictId(text);
        QCOMPARE(result ? QString::number(*result) : QStringLiteral("no"), strict);
    }
    if (!lenient.isEmpty())
        QCOMPARE(QString::number(lenientId(text)), lenient);
}

// clang-format off
void TestIdConversion::localString_data()
{
    QTest::addColumn<int>("baseId");
    QTest::addColumn<int>("offset");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("text");

    QTest::newRow("dutch") << 1009 << DutchOffset << true << "Html Map:";
    QTest::newRow("trailing blank kept") << 1048 << EnglishOffset << true
                                         << "No <Meta Name or </Head tag found, appending to end of file. ";
    QTest::newRow("error number without text") << 2005 << EnglishOffset << false << "";
    QTest::newRow("gap in the ids") << 1027 << EnglishOffset << false << "";
    QTest::newRow("zero") << 0 << EnglishOffset << false << "";
    QTest::newRow("past 16 bits") << 32700 << EnglishOffset << false << "";
}
// clang-format on

void TestIdConversion::localString()
{
    QFETCH(int, baseId);
    QFETCH(int, offset);
    QFETCH(bool, found);
    QFETCH(QString, text);
    const std::optional<QString> result = tagsmith::localString(baseId, offset);
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(*result, text);
}

QTEST_APPLESS_MAIN(TestIdConversion)
#include "tst_idconversion.moc"
