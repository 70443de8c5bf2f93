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

        const std::string cafe = "<p>caf\xC3\xA9</p>";
        QTest::newRow("ascii only") << std::string("<html><p>plain</p></html>") << 0;
        QTest::newRow("valid utf-8, no declaration") << cafe << 1;
        QTest::newRow("byte-order mark, ascii") << std::string("\xEF\xBB\xBF<p>x</p>") << 1;
        QTest::newRow("meta charset") << std::string("<META CHARSET=\"UTF-8\"><p>x</p>") << 1;
        QTest::newRow("meta charset unquoted") << std::string("<meta charset=utf8>") << 1;
        QTest::newRow("http-equiv content type")
            << std::string("<meta http-equiv=\"Content-Type\" content=\"text/html; Charset=Utf-8\">") << 1;
        QTest::newRow("declares windows-1252, bytes valid utf-8")
            << std::string("<meta charset=\"windows-1252\">") + cafe << 0;
        QTest::newRow("declares iso-8859-1 by content type")
            << std::string("<meta http-equiv=content-type content='text/html; charset=iso-8859-1'>") + cafe << 0;
        QTest::newRow("windows-1252 accents") << std::string("<p>caf\xE9 gar\xE7on</p>") << 0;
        QTest::newRow("overlong form") << std::string("<p>\xC0\xAF</p>") << 0;
        QTest::newRow("surrogate") << std::string("<p>\xED\xA0\x80</p>") << 0;
        QTest::newRow("above U+10FFFF") << std::string("<p>\xF4\x90\x80\x80</p>") << 0;
        QTest::newRow("cut at the end") << std::string("<p>caf\xC3") << 0;
        QTest::newRow("declaration past 1024 bytes") << std::string(1100, ' ') + "<meta charset=utf-8>" << 0;
        QTest::newRow("word charset in a description")
            << std::string("<meta name=description content=\"charset talk\">") + cafe << 1;
        QTest::newRow("byte-order mark before a windows-1252 declaration")
            << std::string("\xEF\xBB\xBF<meta charset=windows-1252>") << 1;
        QTest::newRow("declared utf-8, bytes not") << std::string("<meta charset=utf-8><p>caf\xE9</p>") << 1;
        QTest::newRow("declared in capitals")
            << std::string("<META HTTP-EQUIV=CONTENT-TYPE CONTENT=\"TEXT/HTML; CHARSET=UTF-8\">") << 1;
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
