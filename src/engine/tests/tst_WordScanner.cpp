#include "TestSupport.h"

#include "engine/Windows1252.h"
#include "engine/WordScanner.h"

#include <QRandomGenerator>
#include <QTest>

#include <string>
#include <vector>

using namespace tagsmith;

namespace {

std::vector<std::string> scan(std::string_view page, WordScanner::PageKind kind, QRandomGenerator *chunks = nullptr,
                              PageEncoding encoding = PageEncoding::Windows1252)
{
    WordScanner scanner(kind);
    scanner.reset(encoding);
    std::vector<std::string> words;
    auto add = [&words](std::string_view w) { words.emplace_back(w); };
    while (!page.empty()) {
        const std::size_t n = chunks ? std::min<std::size_t>(page.size(), chunks->bounded(1, 8)) : page.size();
        scanner.feed(page.substr(0, n), add);
        page.remove_prefix(n);
    }
    return words;
}

QString joined(const std::vector<std::string> &words)
{
    QStringList list;
    for (const std::string &w : words)
        list << QString::fromStdString(w);
    return list.join(QLatin1Char(' '));
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
    void stateCarriesAcrossBlocks_data();
    void stateCarriesAcrossBlocks();
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
    QCOMPARE(joined(::scan(bytes, pageKind, nullptr, encoding)), words);
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
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("lower");
    QTest::newRow("E acute") << 0xC9 << 0xC9 << 0xE9;
    QTest::newRow("y diaeresis") << 0xFF << 0x9F << 0xFF;
    QTest::newRow("s caron") << 0x9A << 0x8A << 0x9A;
    QTest::newRow("oe") << 0x9C << 0x8C << 0x9C;
    QTest::newRow("micro sign stays") << 0xB5 << 0xB5 << 0xB5;
    QTest::newRow("sharp s stays") << 0xDF << 0xDF << 0xDF;
    QTest::newRow("undefined byte") << 0x81 << 0x81 << 0x81;
}

void TestWordScanner::caseOfBytes()
{
    QFETCH(int, byte);
    QFETCH(int, upper);
    QFETCH(int, lower);
    QCOMPARE(int(windows1252::toUpper(static_cast<unsigned char>(byte))), upper);
    QCOMPARE(int(windows1252::toLower(static_cast<unsigned char>(byte))), lower);
    // Every byte has a character and back.
    QCOMPARE(windows1252::fromUnicode(windows1252::toUnicode(static_cast<unsigned char>(byte))), byte);
}

void TestWordScanner::stateCarriesAcrossBlocks_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("Windows-1252") << QByteArray::fromStdString(
                                         cp1252("<html><head><title>Tést page</title></head><body>x > y <b>bold</b> "
                                                "A&amp;B don't 3.5 e-mail café\nfoo <!-- c --> zzz<p>end") +
                                         std::string("\xFF\x9F\x81\x8D  <a <b> c> d e>f g"))
                                  << false;
    QTest::newRow("UTF-8") << QByteArray("<html><head><title>Tést</title></head><body>Καλημέρα κόσμε <b>Привет</b> "
                                         "हिन्दी caf\xC3<i>é\xFF\xE2\x82\xACz \xF0\x90\x90\x80 end <p>日本語。")
                           << true;
}

void TestWordScanner::stateCarriesAcrossBlocks()
{
    QFETCH(QByteArray, page);
    QFETCH(bool, utf8);
    const auto encoding = utf8 ? PageEncoding::Utf8 : PageEncoding::Windows1252;
    const std::string bytes = page.toStdString();
    for (const auto kind : {WordScanner::PageKind::Folder, WordScanner::PageKind::Main}) {
        const auto whole = ::scan(bytes, kind, nullptr, encoding);
        QVERIFY(!whole.empty());
        for (int round = 0; round < 50; ++round) {
            QRandomGenerator chunks(static_cast<quint32>(round));
            QVERIFY2(::scan(bytes, kind, &chunks, encoding) == whole, qPrintable(QStringLiteral("seed %1").arg(round)));
        }
    }
}

QTEST_APPLESS_MAIN(TestWordScanner)
#include "tst_WordScanner.moc"
