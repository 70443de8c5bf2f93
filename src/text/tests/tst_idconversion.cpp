#include "text/IdConversion.h"
#include "text/StringTable.h"

#include <QTest>

using namespace tagsmith;

class TestIdConversion : public QObject
{
    Q_OBJECT
private slots:
    void strict_data();
    void strict();
    void lenient_data();
    void lenient();
    void localString_data();
    void localString();
};

// clang-format off
void TestIdConversion::strict_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("converts");
    QTest::addColumn<int>("id");

    QTest::newRow("plain") << "1045" << true << 1045;
    QTest::newRow("trailing blank") << "1045 " << true << 1045;
    QTest::newRow("trailing letter") << "1045x" << false << 0;
    QTest::newRow("leading letter") << "x1045" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("blank inside") << "10 45" << false << 0;
    QTest::newRow("line feed after") << "1045\n" << false << 0;
    QTest::newRow("zero") << "0" << true << 0;
    QTest::newRow("negative") << "-12" << true << -12;
    QTest::newRow("plus sign") << "+12" << true << 12;
    QTest::newRow("sign alone") << "-" << false << 0;
    QTest::newRow("decimal rounds down") << " 12.4" << true << 12;
    QTest::newRow("half to even, down") << " 12.5" << true << 12;
    QTest::newRow("half to even, up") << "13.5" << true << 14;
    QTest::newRow("just over half") << "12.5000001" << true << 13;
    QTest::newRow("fraction only") << ".6" << true << 1;
    QTest::newRow("top of range") << "32767" << true << 32767;
    QTest::newRow("bottom of range") << "-32768" << true << -32768;
    QTest::newRow("past the top") << "32768" << false << 0;
    QTest::newRow("rounds past the top") << "32767.5" << false << 0;
    QTest::newRow("very long") << "123456789012345678901234567890" << false << 0;
    QTest::newRow("two points") << "1.2.3" << false << 0;
}
// clang-format on

void TestIdConversion::strict()
{
    QFETCH(QString, text);
    QFETCH(bool, converts);
    QFETCH(int, id);
    const std::optional<int> result = strictId(text);
    QCOMPARE(result.has_value(), converts);
    if (converts)
        QCOMPARE(*result, id);
}

// clang-format off
void TestIdConversion::lenient_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("id");

    QTest::newRow("trailing letter") << "1045x" << 1045;
    QTest::newRow("leading letter") << "x1045" << 0;
    QTest::newRow("blanks inside") << "1 0 4 5" << 1045;
    QTest::newRow("tabs and line feeds") << "\t10\n4\t5\n" << 1045;
    QTest::newRow("carriage return stops") << "10\r45" << 10;
    QTest::newRow("text after number") << "1018 Browse" << 1018;
    QTest::newRow("decimal") << " 12.5" << 12;
    QTest::newRow("half up to even") << "13.5" << 14;
    QTest::newRow("above half") << "13.51" << 14;
    QTest::newRow("stops at second point") << "12.6.9" << 13;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("negative half") << "-2.5" << -2;
    QTest::newRow("top of range") << "32767" << 32767;
    QTest::newRow("past the top") << "32768" << 0;
    QTest::newRow("bottom of range") << "-32768" << -32768;
    QTest::newRow("past the bottom") << "-32769" << 0;
    QTest::newRow("very long") << "123456789012345678901234567890" << 0;
    QTest::newRow("sign then blank") << "- 7" << -7;
}
// clang-format on

void TestIdConversion::lenient()
{
    QFETCH(QString, text);
    QFETCH(int, id);
    QCOMPARE(lenientId(text), id);
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
