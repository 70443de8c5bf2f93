#include "TestSupport.h"

#include "engine/EncodingDetection.h"

#include <QTest>

#include <string>

using namespace tagsmith;

Q_DECLARE_METATYPE(std::string)

namespace {

std::string decodeAll(const std::string &bytes, std::size_t blockSize)
{
    Utf8Decoder decoder;
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += blockSize)
        for (char c : std::string_view(bytes).substr(at, blockSize)) {
            const char32_t cp = decoder.push(static_cast<unsigned char>(c));
            if (cp != Utf8Decoder::None)
                appendUtf8(out, cp);
        }
    return out;
}

} // namespace

class TestEncodingDetection : public QObject
{
    Q_OBJECT

private slots:
    void detection_data()
    {
        QTest::addColumn<std::string>("page");
        QTest::addColumn<int>("expected"); // 0 Windows-1252, 1 UTF-8

        for (const QStringList &row : test::readTable(QFINDTESTDATA("data/encodings.txt")))
            QTest::newRow(qPrintable(row[0]))
                << test::unescape(row[1]).toStdString() << int(row[2] == QLatin1String("utf-8"));
        QTest::newRow("declaration past 1024 bytes") << std::string(1100, ' ') + "<meta charset=utf-8>" << 0;
    }

    void detection()
    {
        QFETCH(std::string, page);
        QFETCH(int, expected);
        // Feeding in small blocks must give the same answer as one block.
        for (std::size_t block : {std::size_t(1), std::size_t(3), std::size_t(7), page.size() + 1}) {
            Utf8Check check;
            for (std::size_t at = 0; at < page.size(); at += block)
                check.feed(std::string_view(page).substr(at, block));
            const PageEncoding got = decideEncoding(declaredEncoding(page), check);
            QCOMPARE(static_cast<int>(got), expected);
        }
    }

    void nextCharacter_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<QList<uint>>("characters");
        QTest::newRow("ascii and sequences")
            << std::string("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80") << QList<uint>{'a', 0xE9, 0x20AC, 0x1F600};
        QTest::newRow("broken sequences one byte each")
            << std::string("\xC3z\xE2\x82\xC0\xAF") << QList<uint>{0xFFFD, 'z', 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD};
        QTest::newRow("cut at the end") << std::string("x\xF0\x9F\x98") << QList<uint>{'x', 0xFFFD, 0xFFFD, 0xFFFD};
    }

    void nextCharacter()
    {
        QFETCH(std::string, text);
        QFETCH(QList<uint>, characters);
        QList<uint> got;
        for (std::size_t i = 0; i < text.size();)
            got << tagsmith::nextCharacter(text, &i);
        QCOMPARE(got, characters);
    }

    void decoding_data()
    {
        QTest::addColumn<std::string>("bytes");
        QTest::addColumn<std::string>("expected");
        QTest::newRow("two, three and four bytes") << std::string("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z")
                                                   << std::string("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
        QTest::newRow("lone continuation skipped") << std::string("a\x80z") << std::string("az");
        QTest::newRow("cut sequence dropped, next byte kept") << std::string("a\xC3z") << std::string("az");
        QTest::newRow("cut sequence before a lead byte") << std::string("\xE2\x82\xC3\xA9") << std::string("\xC3\xA9");
        QTest::newRow("invalid lead bytes") << std::string("\xC0\xC1\xF5\xFFx") << std::string("x");
    }

    void decoding()
    {
        QFETCH(std::string, bytes);
        QFETCH(std::string, expected);
        for (std::size_t block : {std::size_t(1), std::size_t(2), bytes.size()})
            QCOMPARE(decodeAll(bytes, block), expected);
    }
};

QTEST_APPLESS_MAIN(TestEncodingDetection)
#include "tst_EncodingDetection.moc"
