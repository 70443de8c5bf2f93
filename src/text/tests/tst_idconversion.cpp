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

void TestIdConversion::localString_data()
{
    QTest::addColumn<int>("baseId");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("text"); // "-": none
    for (const QStringList &row : test::readTable(QFINDTESTDATA("data/strings.txt")))
        QTest::newRow(qPrintable(row[0])) << row[1].toInt() << row[2].toInt() << row[3];
}

void TestIdConversion::localString()
{
    QFETCH(int, baseId);
    QFETCH(int, offset);
    QFETCH(QString, text);
    QCOMPARE(tagsmith::localString(baseId, offset).value_or(QStringLiteral("-")), text);
}

QTEST_APPLESS_MAIN(TestIdConversion)
#include "tst_idconversion.moc"
