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

    auto row = [](const char *name, const QString &text, const char *conversion, const std::string &cp1252,
                  const std::string &utf8) {
        QTest::newRow(name) << text << QString::fromLatin1(conversion) << cp1252 << utf8;
    };
    row("ascii", QStringLiteral("Hello"), "lower", "hello", "hello");
    row("accent", QStringLiteral("Caf\u00E9"), "upper", "CAF\xC9", "CAF\xC3\x89");
    row("Windows-1252 beyond Latin-1", QStringLiteral("\u20AC\u2122\u0161"), "upper", "\x80\x99\x8A",
        "\xE2\x82\xAC\xE2\x84\xA2\xC5\xA0");
    row("y diaeresis", QStringLiteral("\u00FF"), "upper", "\x9F", "\xC5\xB8");
    row("Cyrillic as references", QStringLiteral("\u0416\u0443\u043A"), "keep", "&#1046;&#1091;&#1082;",
        "\xD0\x96\xD1\x83\xD0\xBA");
    row("Cyrillic lower", QStringLiteral("\u0416\u0423\u041A"), "lower", "&#1078;&#1091;&#1082;",
        "\xD0\xB6\xD1\x83\xD0\xBA");
    // The capital of the micro sign is Greek: Windows-1252 cannot write it, UTF-8 can.
    row("micro sign", QStringLiteral("\u00B5m"), "upper", "\xB5M", "\xCE\x9CM");
    row("sharp s has no simple capital", QStringLiteral("gro\u00DF"), "upper", "GRO\xDF", "GRO\xC3\x9F");
    row("titlecase letter", QStringLiteral("\u01C5"), "lower", "&#454;", "\xC7\x86");
    row("beyond the Basic Plane", QStringLiteral("\U0001F600\U00010400"), "lower", "&#128512;&#66600;",
        "\xF0\x9F\x98\x80\xF0\x90\x90\xA8");
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
