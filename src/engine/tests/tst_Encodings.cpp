#include "TestSupport.h"

#include "engine/encoding/EncodingDetection.h"
#include "engine/encoding/PageText.h"
#include "engine/encoding/TextCodec.h"
#include "engine/encoding/Windows1252.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

// The encoding standard's index tables from the file that Debian's libjs-text-encoding ships, with
// gb18030's update for GB18030-2022: read here apart from the tables the build generates from them.
const QJsonObject &standardIndexes()
{
    static const QJsonObject indexes = [] {
        QFile file(QStringLiteral(TAGSMITH_ENCODING_INDEXES));
        if (!file.open(QIODevice::ReadOnly))
            return QJsonObject();
        const QByteArray text = file.readAll();
        const qsizetype start = text.indexOf('{', text.indexOf("encoding-indexes\"]"));
        const qsizetype end = text.lastIndexOf('}', text.lastIndexOf("}(") - 1);
        QJsonObject all = QJsonDocument::fromJson(text.mid(start, end - start + 1)).object();
        QJsonArray gb18030 = all.value(QStringLiteral("gb18030")).toArray();
        for (const QStringList &row : readTable(QStringLiteral(TAGSMITH_GB18030_2022))) {
            const int lead = row[0].left(2).toInt(nullptr, 16);
            const int trail = row[0].mid(2).toInt(nullptr, 16);
            gb18030[(lead - 0x81) * 190 + trail - (trail < 0x7F ? 0x40 : 0x41)] = row[2].toInt(nullptr, 16);
        }
        all[QStringLiteral("gb18030")] = gb18030;
        return all;
    }();
    return indexes;
}

std::string utf8Of(char32_t c)
{
    std::string text;
    appendUtf8(text, c);
    return text;
}

// How a pointer of an index is written in a multi-byte charset.
enum class Pointers { EucJp, ShiftJis, EucKr, Gbk, Big5, Gb18030Ranges };

std::string bytesOfPointer(Pointers kind, std::uint32_t p)
{
    const auto bytes = [](std::initializer_list<std::uint32_t> values) {
        std::string out;
        for (const std::uint32_t value : values)
            out.push_back(static_cast<char>(value));
        return out;
    };
    switch (kind) {
    case Pointers::EucJp:
        return bytes({p / 94 + 0xA1, p % 94 + 0xA1});
    case Pointers::ShiftJis:
        return bytes({p / 188 + (p / 188 < 0x1F ? 0x81 : 0xC1), p % 188 + (p % 188 < 0x3F ? 0x40 : 0x41)});
    case Pointers::EucKr:
        return bytes({p / 190 + 0x81, p % 190 + 0x41});
    case Pointers::Gbk:
        return bytes({p / 190 + 0x81, p % 190 + (p % 190 < 0x3F ? 0x40 : 0x41)});
    case Pointers::Big5:
        return bytes({p / 157 + 0x81, p % 157 + (p % 157 < 0x3F ? 0x40 : 0x62)});
    case Pointers::Gb18030Ranges:
        return bytes({p / 12600 + 0x81, p % 12600 / 1260 + 0x30, p % 1260 / 10 + 0x81, p % 10 + 0x30});
    }
    return {};
}

} // namespace

Q_DECLARE_METATYPE(Pointers)

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

    // Every byte of each single-byte charset decoded as the standard's table has it (a byte the table
    // leaves out refuses the page, where a browser shows U+FFFD), and each character written back as
    // its byte.
    void singleByteCharsets_data()
    {
        QTest::addColumn<QString>("charset");
        for (const char *name : {"ibm866",       "iso-8859-2",     "iso-8859-3",   "iso-8859-4",   "iso-8859-5",
                                 "iso-8859-6",   "iso-8859-7",     "iso-8859-8",   "iso-8859-10",  "iso-8859-13",
                                 "iso-8859-14",  "iso-8859-15",    "iso-8859-16",  "koi8-r",       "koi8-u",
                                 "macintosh",    "windows-874",    "windows-1250", "windows-1251", "windows-1252",
                                 "windows-1253", "windows-1254",   "windows-1255", "windows-1256", "windows-1257",
                                 "windows-1258", "x-mac-cyrillic"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void singleByteCharsets()
    {
        QFETCH(QString, charset);
        const QJsonArray table = standardIndexes().value(charset).toArray();
        QCOMPARE(table.size(), 128);
        const std::string name = charset.toStdString();
        const bool windows1252 = name == "windows-1252"; // read as bytes, by its own table
        for (int b = 0; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            const QJsonValue expected = b < 0x80 ? QJsonValue(b) : table[b - 0x80];
            std::string text;
            const bool decoded = windows1252 ? (appendUtf8(text, windows1252::toUnicode(static_cast<unsigned char>(b))), true)
                                             : decodeText(PageEncoding::Legacy, name, byte, text);
            if (expected.isNull()) {
                QVERIFY2(!decoded, qPrintable(QStringLiteral("byte %1 is no character").arg(b, 0, 16)));
                continue;
            }
            QVERIFY2(decoded, qPrintable(QStringLiteral("byte %1 refused").arg(b, 0, 16)));
            QCOMPARE(text, utf8Of(static_cast<char32_t>(expected.toInt())));
            std::string written;
            if (windows1252)
                appendEncoded(written, text, PageEncoding::Windows1252);
            else
                TextCodec(PageEncoding::Legacy, name).encode(text, written);
            QCOMPARE(written, byte);
        }
    }

    // Every pointer of the multi-byte charsets' index tables decoded as the standard's table has it, and
    // each character written as bytes that decode back to it (or, where none do, as a reference).
    void multiByteCharsets_data()
    {
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("charset");
        QTest::addColumn<Pointers>("pointers");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("euc-jp jis0208") << "jis0208" << "euc-jp" << Pointers::EucJp << "";
        QTest::newRow("euc-jp jis0212") << "jis0212" << "euc-jp" << Pointers::EucJp << "\\x8F";
        QTest::newRow("shift_jis jis0208") << "jis0208" << "shift_jis" << Pointers::ShiftJis << "";
        QTest::newRow("euc-kr") << "euc-kr" << "euc-kr" << Pointers::EucKr << "";
        QTest::newRow("gbk") << "gb18030" << "gbk" << Pointers::Gbk << "";
        QTest::newRow("gb18030") << "gb18030" << "gb18030" << Pointers::Gbk << "";
        QTest::newRow("gb18030 ranges") << "gb18030-ranges" << "gb18030" << Pointers::Gb18030Ranges << "";
        QTest::newRow("big5") << "big5" << "big5" << Pointers::Big5 << "";
    }
    void multiByteCharsets()
    {
        QFETCH(QString, index);
        QFETCH(QString, charset);
        QFETCH(Pointers, pointers);
        QFETCH(QString, prefix);
        const QJsonArray table = standardIndexes().value(index).toArray();
        QVERIFY(!table.isEmpty());
        const std::string name = charset.toStdString();
        const std::string lead = bytesOf(prefix);
        // EUC-JP reaches the first 94 by 94 pointers only.
        const qsizetype count = pointers == Pointers::EucJp ? std::min<qsizetype>(table.size(), 94 * 94) : table.size();
        for (qsizetype i = 0; i < count; ++i) {
            std::uint32_t pointer = static_cast<std::uint32_t>(i);
            QJsonValue expected = table[i];
            if (pointers == Pointers::Gb18030Ranges) {
                pointer = static_cast<std::uint32_t>(expected[0].toInt());
                expected = expected[1];
            }
            const std::string bytes = lead + bytesOfPointer(pointers, pointer);
            std::string text;
            const bool decoded = decodeText(PageEncoding::Legacy, name, bytes, text);
            if (expected.isNull()) {
                // Shift_JIS's user-defined area, and Big5's letters with a combining mark.
                const bool elsewhere = (pointers == Pointers::ShiftJis && pointer >= 8836 && pointer <= 10715) ||
                                       (pointers == Pointers::Big5 && (pointer == 1133 || pointer == 1135 ||
                                                                       pointer == 1164 || pointer == 1166));
                QVERIFY2(decoded == elsewhere, qPrintable(QStringLiteral("pointer %1").arg(pointer)));
                continue;
            }
            const auto c = static_cast<char32_t>(expected.toInteger());
            QCOMPARE(text, utf8Of(c));
            std::string written;
            TextCodec(PageEncoding::Legacy, name).encode(text, written);
            std::string back;
            if (written != "&#" + std::to_string(c) + ";")
                QVERIFY2(decodeText(PageEncoding::Legacy, name, written, back) && back == text,
                         qPrintable(QStringLiteral("pointer %1").arg(pointer)));
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
