#include "TestSupport.h"

#include "engine/PageText.h"

#include <QTest>

#include <string>

using namespace tagsmith;

Q_DECLARE_METATYPE(std::string)

class TestPageText : public QObject
{
    Q_OBJECT

private slots:
    void writing_data();
    void writing();
};

void TestPageText::writing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("conversion"); // keep, upper or lower
    QTest::addColumn<std::string>("windows1252");
    QTest::addColumn<std::string>("utf8");

    for (const QStringList &row : test::readTable(QFINDTESTDATA("data/page-text.txt")))
        QTest::newRow(qPrintable(row[0]))
            << row[1] << row[2] << test::unescape(row[3]).toStdString() << test::unescape(row[4]).toStdString();
}

void TestPageText::writing()
{
    QFETCH(QString, text);
    QFETCH(QString, conversion);
    QFETCH(std::string, windows1252);
    QFETCH(std::string, utf8);
    const CaseConversion mode = conversion == QLatin1String("upper")   ? CaseConversion::Upper
                                : conversion == QLatin1String("lower") ? CaseConversion::Lower
                                                                       : CaseConversion::Keep;
    const QByteArray source = text.toUtf8();
    const std::string_view view(source.constData(), static_cast<std::size_t>(source.size()));
    for (const auto &[encoding, expected] :
         {std::pair{PageEncoding::Windows1252, windows1252}, std::pair{PageEncoding::Utf8, utf8}}) {
        std::string converted;
        appendCaseConverted(converted, view, mode, encoding);
        std::string written;
        appendEncoded(written, converted, encoding);
        QCOMPARE(written, expected);
    }
}

QTEST_APPLESS_MAIN(TestPageText)
#include "tst_PageText.moc"
