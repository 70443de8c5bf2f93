#include "TestSupport.h"

#include "engine/encoding/EncodingDetection.h"
#include "engine/encoding/PageText.h"
#include "engine/encoding/TextCodec.h"

#include <QTest>

#include <string>

using namespace tagsmith;
using namespace tagsmith::test;

Q_DECLARE_METATYPE(std::string)

namespace {

std::string bytesOf(const QString &field)
{
    return unescape(field).toStdString();
}

// The rows of a table under data/ with their first field as the row's name, every other field a column
// of bytes.
void bytesTable(const char *file, std::initializer_list<const char *> columns)
{
    for (const char *column : columns)
        QTest::addColumn<std::string>(column);
    for (const QStringList &row : readTable(QFINDTESTDATA(QStringLiteral("data/") + QLatin1String(file)))) {
        QTestData &data = QTest::newRow(qPrintable(row[0]));
        for (qsizetype i = 1; i <= qsizetype(columns.size()); ++i)
            data << bytesOf(row.value(i));
    }
}

template <typename Feed> void inBlocks(const std::string &bytes, std::size_t block, Feed feed)
{
    for (std::size_t at = 0; at < bytes.size(); at += block)
        feed(std::string_view(bytes).substr(at, block));
}

} // namespace

// How the bytes of a page become text and back: the encoding it declares and the one it is read in, UTF-8,
// the other charsets, and the case of the words written into it.
class TestEncodings : public QObject
{
    Q_OBJECT

private slots:
    // The encoding a page declares, as a browser finds it in a file without transport information.
    void declared_data() { bytesTable("declared-encodings.txt", {"page", "label"}); }
    void declared()
    {
        QFETCH(std::string, page);
        QFETCH(std::string, label);
        QCOMPARE(std::string(declaredEncoding(page)), label);
    }

    // The whole decision: a declaration, else UTF-8 for valid UTF-8 with a character of several bytes,
    // else Windows-1252; fed in blocks of any size.
    void decision_data() { bytesTable("page-encodings.txt", {"page", "encoding"}); }
    void decision()
    {
        QFETCH(std::string, page);
        QFETCH(std::string, encoding);
        for (const std::size_t block : {std::size_t(1), std::size_t(3), std::size_t(7), page.size() + 1}) {
            Utf8Check check;
            inBlocks(page, block, [&](std::string_view part) { check.feed(part); });
            QCOMPARE(decideEncoding(declaredEncoding(page), check), encodingNamed(QString::fromStdString(encoding)));
        }
    }

    // UTF-8 read a character at a time, and decoded byte by byte leaving out what is broken.
    void utf8_data() { bytesTable("utf8.txt", {"bytes", "characters", "decoded"}); }
    void utf8()
    {
        QFETCH(std::string, bytes);
        QFETCH(std::string, characters);
        QFETCH(std::string, decoded);
        QList<qint64> got;
        for (std::size_t i = 0; i < bytes.size();)
            got << nextCharacter(bytes, &i);
        QCOMPARE(got, numbers(QString::fromStdString(characters)));
        for (const std::size_t block : {std::size_t(1), std::size_t(2), bytes.size()}) {
            Utf8Decoder decoder;
            std::string out;
            inBlocks(bytes, block, [&](std::string_view part) {
                for (const char c : part)
                    if (const char32_t cp = decoder.push(static_cast<unsigned char>(c)); cp != Utf8Decoder::None)
                        appendUtf8(out, cp);
            });
            QCOMPARE(out, decoded);
        }
    }

    // Pages in UTF-16 and other charsets decoded in blocks of any size, with the page offsets of each
    // tag's "<" and of the byte after its ">"; "refused" for bytes the charset does not have.
    void decode_data() { bytesTable("decode.txt", {"encoding", "charset", "bytes", "text", "opens", "closeEnds"}); }
    void decode()
    {
        QFETCH(std::string, encoding);
        QFETCH(std::string, charset);
        QFETCH(std::string, bytes);
        QFETCH(std::string, text);
        QFETCH(std::string, opens);
        QFETCH(std::string, closeEnds);
        for (const std::size_t block : {std::size_t(1), std::size_t(2), std::size_t(3), bytes.size()}) {
            TextCodec codec(encodingNamed(QString::fromStdString(encoding)), charset);
            std::string out;
            TagPositions positions;
            bool ok = true;
            inBlocks(bytes, block, [&](std::string_view part) { ok = ok && codec.decode(part, out, positions); });
            ok = ok && codec.finishDecoding(out);
            QCOMPARE(ok ? out : std::string("refused"), text);
            if (!ok)
                continue;
            QList<qint64> got;
            for (const auto &open : positions.opens)
                got << open.second;
            QCOMPARE(got, numbers(QString::fromStdString(opens)));
            got = QList<qint64>(positions.closeEnds.begin(), positions.closeEnds.end());
            QCOMPARE(got, numbers(QString::fromStdString(closeEnds)));
        }
    }

    void encode_data() { bytesTable("encode.txt", {"encoding", "charset", "text", "bytes"}); }
    void encode()
    {
        QFETCH(std::string, encoding);
        QFETCH(std::string, charset);
        QFETCH(std::string, text);
        QFETCH(std::string, bytes);
        std::string out;
        TextCodec(encodingNamed(QString::fromStdString(encoding)), charset).encode(text, out);
        QCOMPARE(out, bytes);
    }

    // Keywords take Unicode's simple case mappings; only Windows-1252 keeps a character whose mapping
    // it cannot write. Written into a Windows-1252 and a UTF-8 page.
    void caseMapping_data() { bytesTable("case-mapping.txt", {"word", "conversion", "encoding", "expected"}); }
    void caseMapping()
    {
        QFETCH(std::string, word);
        QFETCH(std::string, conversion);
        QFETCH(std::string, encoding);
        QFETCH(std::string, expected);
        std::string out;
        appendCaseConverted(out, word, conversion == "upper" ? CaseConversion::Upper : CaseConversion::Lower,
                            encodingNamed(QString::fromStdString(encoding)));
        QCOMPARE(out, expected);
    }

    void writing_data() { bytesTable("page-text.txt", {"text", "conversion", "windows1252", "utf8"}); }
    void writing()
    {
        QFETCH(std::string, text);
        QFETCH(std::string, conversion);
        QFETCH(std::string, windows1252);
        QFETCH(std::string, utf8);
        const CaseConversion mode = conversion == "upper"   ? CaseConversion::Upper
                                    : conversion == "lower" ? CaseConversion::Lower
                                                            : CaseConversion::Keep;
        for (const auto &[encoding, expected] :
             {std::pair{PageEncoding::Windows1252, windows1252}, std::pair{PageEncoding::Utf8, utf8}}) {
            std::string converted;
            appendCaseConverted(converted, text, mode, encoding);
            std::string written;
            appendEncoded(written, converted, encoding);
            QCOMPARE(written, expected);
        }
    }
};

QTEST_APPLESS_MAIN(TestEncodings)
#include "tst_Encodings.moc"
