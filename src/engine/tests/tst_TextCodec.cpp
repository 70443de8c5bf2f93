#include "engine/PageText.h"
#include "engine/TextCodec.h"

#include <QTest>

#include <string>

using namespace tagsmith;

Q_DECLARE_METATYPE(std::string)

namespace {

struct Decoded
{
    bool ok = true;
    std::string text;
    QList<qint64> opens; // page offsets of the "<"
    QList<qint64> closeEnds;
};

Decoded decodeInBlocks(PageEncoding encoding, const std::string &charset, const std::string &bytes, std::size_t block)
{
    TextCodec codec(encoding, charset);
    Decoded result;
    TagPositions positions;
    for (std::size_t at = 0; at < bytes.size() && result.ok; at += block)
        result.ok = codec.decode(std::string_view(bytes).substr(at, block), result.text, positions);
    result.ok = result.ok && codec.finishDecoding(result.text);
    for (const auto &open : positions.opens)
        result.opens << open.second;
    for (const std::int64_t end : positions.closeEnds)
        result.closeEnds << end;
    return result;
}

} // namespace

class TestTextCodec : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<int>("encoding");
        QTest::addColumn<std::string>("charset");
        QTest::addColumn<std::string>("bytes");
        QTest::addColumn<std::string>("text");
        QTest::addColumn<QList<qint64>>("opens");
        QTest::addColumn<QList<qint64>>("closeEnds");

        const auto le = static_cast<int>(PageEncoding::Utf16LE);
        const auto be = static_cast<int>(PageEncoding::Utf16BE);
        const auto legacy = static_cast<int>(PageEncoding::Legacy);
        QTest::newRow("utf-16le, mark left out") << le << std::string() << std::string("\xFF\xFE<\0p\0>\0\xE9\0", 10)
                                                 << std::string("<p>\xC3\xA9") << QList<qint64>{2} << QList<qint64>{8};
        QTest::newRow("utf-16be surrogate pair")
            << be << std::string() << std::string("\0<\xD8\x35\xDC\x00\0>", 8) << std::string("<\xF0\x9D\x90\x80>")
            << QList<qint64>{0} << QList<qint64>{8};
        // A byte 0x3E or 0x3C of another character is no bracket.
        QTest::newRow("utf-16le brackets only whole")
            << le << std::string() << std::string("\x3E\x3E\x3C\x3C", 4) << std::string("\xE3\xB8\xBE\xE3\xB0\xBC")
            << QList<qint64>{} << QList<qint64>{};
        QTest::newRow("utf-16le lone surrogates and half a unit")
            << le << std::string() << std::string("\x00\xDCx\0\x00\xD8", 7) << std::string("\xEF\xBF\xBDx\xEF\xBF\xBD")
            << QList<qint64>{} << QList<qint64>{};
        QTest::newRow("koi8-r") << legacy << std::string("koi8-r") << std::string("<b>\xF6\xD5\xCB</b>")
                                << std::string("<b>\xD0\x96\xD1\x83\xD0\xBA</b>") << QList<qint64>{0, 6}
                                << QList<qint64>{3, 10};
        QTest::newRow("shift_jis") << legacy << std::string("shift_jis") << std::string("\x93\xFA<a>\x96{")
                                   << std::string("\xE6\x97\xA5<a>\xE6\x9C\xAC") << QList<qint64>{2}
                                   << QList<qint64>{5};
        // The escape sequence before a "<" stays in front of the tag.
        QTest::newRow("iso-2022-jp") << legacy << std::string("iso-2022-jp") << std::string("\x1B$BF|\x1B(B<a>")
                                     << std::string("\xE6\x97\xA5<a>") << QList<qint64>{8} << QList<qint64>{11};
    }

    void decode()
    {
        QFETCH(int, encoding);
        QFETCH(std::string, charset);
        QFETCH(std::string, bytes);
        QFETCH(std::string, text);
        QFETCH(QList<qint64>, opens);
        QFETCH(QList<qint64>, closeEnds);
        for (const std::size_t block : {std::size_t(1), std::size_t(2), std::size_t(3), bytes.size()}) {
            const Decoded got = decodeInBlocks(static_cast<PageEncoding>(encoding), charset, bytes, block);
            QVERIFY(got.ok);
            QCOMPARE(got.text, text);
            QCOMPARE(got.opens, opens);
            QCOMPARE(got.closeEnds, closeEnds);
        }
    }

    void notDecoded_data()
    {
        QTest::addColumn<std::string>("charset");
        QTest::addColumn<std::string>("bytes");
        QTest::newRow("shift_jis lead byte before a blank") << std::string("shift_jis") << std::string("caf\xE9 x");
        QTest::newRow("shift_jis cut at the end") << std::string("shift_jis") << std::string("ab\x82");
        QTest::newRow("byte windows-1250 leaves out") << std::string("windows-1250") << std::string("a\x81z");
    }

    void notDecoded()
    {
        QFETCH(std::string, charset);
        QFETCH(std::string, bytes);
        for (const std::size_t block : {std::size_t(1), bytes.size()})
            QVERIFY(!decodeInBlocks(PageEncoding::Legacy, charset, bytes, block).ok);
    }

    void unknownCharset()
    {
        QVERIFY(!TextCodec(PageEncoding::Legacy, "replacement").known());
        QVERIFY(!TextCodec(PageEncoding::Legacy, "klingon").known());
        QVERIFY(TextCodec(PageEncoding::Legacy, "koi8-r").known());
    }

    void encode_data()
    {
        QTest::addColumn<int>("encoding");
        QTest::addColumn<std::string>("charset");
        QTest::addColumn<std::string>("text");
        QTest::addColumn<std::string>("bytes");

        const auto legacy = static_cast<int>(PageEncoding::Legacy);
        QTest::newRow("utf-16le") << static_cast<int>(PageEncoding::Utf16LE) << std::string()
                                  << std::string("a\xC3\xA9\xF0\x9D\x90\x80")
                                  << std::string("a\0\xE9\0\x35\xD8\x00\xDC", 8);
        QTest::newRow("utf-16be") << static_cast<int>(PageEncoding::Utf16BE) << std::string()
                                  << std::string("a\xC3\xA9") << std::string("\0a\0\xE9", 4);
        QTest::newRow("koi8-r, euro sign as a reference")
            << legacy << std::string("koi8-r") << std::string("\xD0\x96\xD1\x83\xD0\xBA \xE2\x82\xAC")
            << std::string("\xF6\xD5\xCB &#8364;");
        QTest::newRow("iso-8859-2") << legacy << std::string("iso-8859-2")
                                    << std::string("\xC5\x81\xC3\xB3\x64\xC5\xBA") << std::string("\xA3\xF3\x64\xBC");
        // The reference is ASCII: the charset shifts back first, and at the end.
        QTest::newRow("iso-2022-jp shifts back")
            << legacy << std::string("iso-2022-jp") << std::string("\xE6\x97\xA5\xC3\xA9\xE6\x97\xA5")
            << std::string("\x1B$BF|\x1B(B&#233;\x1B$BF|\x1B(B");
    }

    void encode()
    {
        QFETCH(int, encoding);
        QFETCH(std::string, charset);
        QFETCH(std::string, text);
        QFETCH(std::string, bytes);
        std::string out;
        TextCodec(static_cast<PageEncoding>(encoding), charset).encode(text, out);
        QCOMPARE(out, bytes);
    }

    // Keywords take Unicode's simple case mappings; only Windows-1252 keeps a character whose mapping
    // it cannot write.
    void caseMapping_data()
    {
        QTest::addColumn<std::string>("word");
        QTest::addColumn<bool>("upper");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<std::string>("expected");

        const auto utf8 = static_cast<int>(PageEncoding::Utf8);
        const auto w1252 = static_cast<int>(PageEncoding::Windows1252);
        QTest::newRow("dotted capital I lower")
            << std::string("\xC4\xB0stanbul") << false << utf8 << std::string("istanbul");
        QTest::newRow("alpha with ypogegrammeni upper")
            << std::string("\xE1\xBE\xB3") << true << utf8 << std::string("\xE1\xBE\xBC");
        QTest::newRow("in another charset too")
            << std::string("\xE1\xBE\xB3") << true << static_cast<int>(PageEncoding::Legacy)
            << std::string("\xE1\xBE\xBC");
        QTest::newRow("windows-1252 page, mapping it can write")
            << std::string("\xC4\xB0Z") << false << w1252 << std::string("iz");
        QTest::newRow("windows-1252 keeps the micro sign")
            << std::string("\xC2\xB5m") << true << w1252 << std::string("\xC2\xB5M");
        QTest::newRow("utf-8 page writes its capital")
            << std::string("\xC2\xB5m") << true << utf8 << std::string("\xCE\x9CM");
    }

    void caseMapping()
    {
        QFETCH(std::string, word);
        QFETCH(bool, upper);
        QFETCH(int, encoding);
        QFETCH(std::string, expected);
        std::string out;
        appendCaseConverted(out, word, upper ? CaseConversion::Upper : CaseConversion::Lower,
                            static_cast<PageEncoding>(encoding));
        QCOMPARE(out, expected);
    }
};

QTEST_APPLESS_MAIN(TestTextCodec)
#include "tst_TextCodec.moc"
