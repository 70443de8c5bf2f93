#include "TestSupport.h"

#include "engine/Windows1252.h"
#include "engine/WordScanner.h"

#include <QTest>

#include <string>

using namespace tagsmith;

namespace {

// The words of the page joined by blanks.
QString scan(std::string_view page, WordScanner::PageKind kind, PageEncoding encoding)
{
    WordScanner scanner(kind);
    scanner.reset(encoding);
    QStringList words;
    scanner.feed(page, [&words](std::string_view w) { words << QString::fromUtf8(w.data(), qsizetype(w.size())); });
    return words.join(QLatin1Char(' '));
}

// A Windows-1252 page from Latin-1 text written in the source as UTF-8.
std::string cp1252(const char *utf8)
{
    std::string out;
    const std::string_view text(utf8);
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = nextCharacter(text, &i);
        out.push_back(static_cast<char>(windows1252::fromUnicode(c)));
    }
    return out;
}

} // namespace

class TestWordScanner : public QObject
{
    Q_OBJECT

private slots:
    void scan_data();
    void scan();
    void wordCharacters_data();
    void wordCharacters();
    void caseOfBytes_data();
    void caseOfBytes();
};

void TestWordScanner::scan_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("words");
    for (const QStringList &row : tagsmith::test::readTable(QFINDTESTDATA("data/scan-words.txt")))
        QTest::newRow(qPrintable(row[0])) << row[1] << tagsmith::test::unescape(row[2]) << row.value(3);
}

void TestWordScanner::scan()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, page);
    QFETCH(QString, words);
    const std::string bytes = kind == QLatin1String("latin") ? cp1252(page.constData()) : page.toStdString();
    const auto pageKind = kind == QLatin1String("main") ? WordScanner::PageKind::Main : WordScanner::PageKind::Folder;
    const auto encoding = kind == QLatin1String("utf8") ? PageEncoding::Utf8 : PageEncoding::Windows1252;
    QCOMPARE(::scan(bytes, pageKind, encoding), words);
}

void TestWordScanner::wordCharacters_data()
{
    QTest::addColumn<uint>("character");
    QTest::addColumn<bool>("word");
    QTest::addColumn<bool>("mark");
    for (const QStringList &row : tagsmith::test::readTable(QFINDTESTDATA("data/word-characters.txt"))) {
        const auto number = static_cast<uint>(row[1].section(QLatin1Char(' '), 1).toUInt(nullptr, 16));
        const bool byte = row[1].startsWith(QLatin1String("byte"));
        QTest::newRow(qPrintable(row[0]))
            << (byte ? uint(windows1252::toUnicode(static_cast<unsigned char>(number))) : number)
            << (row[2] == QLatin1String("1")) << (row[3] == QLatin1String("1"));
    }
}

void TestWordScanner::wordCharacters()
{
    QFETCH(uint, character);
    QFETCH(bool, word);
    QFETCH(bool, mark);
    QCOMPARE(isWordCharacter(character), word);
    QCOMPARE(isCombiningMark(character), mark);
}

void TestWordScanner::caseOfBytes_data()
{
    QTest::addColumn<QList<qint64>>("bytes"); // the byte, its upper case, its lower case
    for (const QStringList &row : tagsmith::test::readTable(QFINDTESTDATA("data/windows-1252-case.txt")))
        QTest::newRow(qPrintable(row[0])) << tagsmith::test::numbers(row.mid(1).join(QLatin1Char(' ')));
}

void TestWordScanner::caseOfBytes()
{
    QFETCH(QList<qint64>, bytes);
    const auto byte = static_cast<unsigned char>(bytes[0]);
    QCOMPARE(qint64(windows1252::toUpper(byte)), bytes[1]);
    QCOMPARE(qint64(windows1252::toLower(byte)), bytes[2]);
    // Every byte has a character and back.
    QCOMPARE(windows1252::fromUnicode(windows1252::toUnicode(byte)), int(byte));
}

QTEST_APPLESS_MAIN(TestWordScanner)
#include "tst_WordScanner.moc"
