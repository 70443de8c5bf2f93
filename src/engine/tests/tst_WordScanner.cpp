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

QStringList toList(const std::vector<std::string> &words)
{
    QStringList list;
    for (const std::string &w : words)
        list << QString::fromStdString(w);
    return list;
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
    void scanRules_data();
    void scanRules();
    void wordCharacters_data();
    void wordCharacters();
    void caseOfBytes_data();
    void caseOfBytes();
    void stateCarriesAcrossBlocks();
    void utf8Scan_data();
    void utf8Scan();
    void utf8Characters_data();
    void utf8Characters();
    void utf8StateCarriesAcrossBlocks();
};

void TestWordScanner::scanRules_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("mainPage");
    QTest::addColumn<QStringList>("words");

    auto row = [](const char *name, const std::string &page, bool main, const QStringList &words) {
        QTest::newRow(name) << QByteArray::fromStdString(page) << main << words;
    };
    const QStringList none;
    row("text between tags", "<p>Hello, World!</p>", false, {QStringLiteral("Hello"), QStringLiteral("World")});
    row("lt ends a word", "<p>Hello<br>World </p>", false, {QStringLiteral("Hello"), QStringLiteral("World")});
    row("bare line break joins", "<p>foo\nbar </p>", false, {QStringLiteral("foobar")});
    row("blank before line break", "<p>foo \nbar </p>", false, {QStringLiteral("foo"), QStringLiteral("bar")});
    row("tab joins", "<p>foo\tbar </p>", false, {QStringLiteral("foobar")});
    row("apostrophe skipped", "<p>don't </p>", false, {QStringLiteral("dont")});
    row("accented letters", cp1252("<p>café garçon fête </p>"), false,
        {QStringLiteral("caf\u00E9"), QStringLiteral("garon"), QStringLiteral("fte")});
    row("word open at the end is lost", "<p>one two", false, {QStringLiteral("one")});
    row("empty page", "", false, none);
    row("attributes skipped", "<a href=\"x.htm\" title=\"Skip me\">Link</a>", false, {QStringLiteral("Link")});
    row("nesting brackets", "<a title=\"<b>\">in</a> out ", false, {QStringLiteral("in"), QStringLiteral("out")});
    row("stray gt", "x > y <b>bold</b> z", false, {QStringLiteral("x"), QStringLiteral("b")});
    row("reference on a folder page", "<p>A&amp;B </p>", false,
        {QStringLiteral("A"), QStringLiteral("amp"), QStringLiteral("B")});
    row("reference on the main page", "<p>A&amp;B </p>", true, {QStringLiteral("Aamp"), QStringLiteral("B")});
    row("numeric reference", "<p>&#233; </p>", false, {QStringLiteral("233")});
    row("nbsp joins",
        "<p>a\xA0"
        "b </p>",
        false, {QStringLiteral("ab")});
    row("y diaeresis is a letter", "<p>\xFF\x9F </p>", false, {QStringLiteral("\u00FF\u0178")});
    row("circumflex is no letter", cp1252("<p>hôtel </p>"), false, {QStringLiteral("htel")});
    row("script text is scanned", "<script>var a = b;</script>", false,
        {QStringLiteral("var"), QStringLiteral("a"), QStringLiteral("b")});
    row("every separator", "a b-c.d,e:f;g!h/i\\j&k<", false,
        {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"), QStringLiteral("e"),
         QStringLiteral("f"), QStringLiteral("g"), QStringLiteral("h"), QStringLiteral("i"), QStringLiteral("j"),
         QStringLiteral("k")});
}

void TestWordScanner::scanRules()
{
    QFETCH(QByteArray, page);
    QFETCH(bool, mainPage);
    QFETCH(QStringList, words);
    const auto kind = mainPage ? WordScanner::PageKind::Main : WordScanner::PageKind::Folder;
    const std::string_view bytes(page.constData(), static_cast<std::size_t>(page.size()));
    QCOMPARE(toList(scan(bytes, kind)), words);
}

void TestWordScanner::wordCharacters_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<bool>("word");
    // The letters next to those the scan rows show, where a table may be off by one.
    const std::vector<std::pair<int, bool>> cases = {
        {'0', true},  {'9', true},   {0xC3, true},  {0xD1, true},  {0xDD, true},  {0xFD, true},  {0xC5, false},
        {0xC6, false}, {0xD8, false}, {0xDF, false}, {0xB5, false}, {0x8A, false}, {'_', false}, {0xD0, false},
    };
    for (const auto &[byte, word] : cases)
        QTest::addRow("0x%02X", byte) << byte << word;
}

void TestWordScanner::wordCharacters()
{
    QFETCH(int, byte);
    QFETCH(bool, word);
    QCOMPARE(isWordCharacter(windows1252::toUnicode(static_cast<unsigned char>(byte))), word);
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

void TestWordScanner::stateCarriesAcrossBlocks()
{
    const std::string page = cp1252("<html><head><title>Tést page</title></head><body>x > y <b>bold</b> "
                                    "A&amp;B don't 3.5 e-mail café\nfoo <!-- c --> zzz<p>end") +
                             std::string("\xFF\x9F\x81\x8D  <a <b> c> d e>f g");
    for (const auto kind : {WordScanner::PageKind::Folder, WordScanner::PageKind::Main}) {
        const auto whole = scan(page, kind);
        for (int round = 0; round < 50; ++round) {
            QRandomGenerator chunks(static_cast<quint32>(round));
            QVERIFY2(scan(page, kind, &chunks) == whole, qPrintable(QStringLiteral("seed %1").arg(round)));
        }
    }
}

void TestWordScanner::utf8Scan_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QStringList>("words");

    auto row = [](const char *name, const char *page, const QStringList &words) {
        QTest::newRow(name) << QByteArray(page) << words;
    };
    // The page bytes are the UTF-8 of the source text; escapes stand for bytes that are no UTF-8.
    row("accented letters as in Windows-1252", "<p>café garçon fête </p>",
        {QStringLiteral("caf\u00E9"), QStringLiteral("garon"), QStringLiteral("fte")});
    row("y diaeresis pair", "<p>ÿŸ </p>", {QStringLiteral("\u00FF\u0178")});
    row("no-break space joins", "<p>a\u00A0b </p>", {QStringLiteral("ab")});
    row("sharp s and micro sign are no letters", "<p>Straße µm </p>", {QStringLiteral("Strae"), QStringLiteral("m")});
    row("Greek", "<p>Καλημέρα κόσμε, μm</p>",
        {QStringLiteral("\u039A\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1"),
         QStringLiteral("\u03BA\u03CC\u03C3\u03BC\u03B5"), QStringLiteral("\u03BCm")});
    row("Cyrillic", "<p>Привет, Мир!</p>",
        {QStringLiteral("\u041F\u0440\u0438\u0432\u0435\u0442"), QStringLiteral("\u041C\u0438\u0440")});
    row("letters beyond the Basic Plane", "<p>x\U00010400y </p>", {QStringLiteral("x\U00010400y")});
    row("other digits", "<p>٣٤ </p>", {QStringLiteral("\u0663\u0664")});
    row("punctuation is neither", "<p>a—b€c™d“e” f</p>", {QStringLiteral("abcde"), QStringLiteral("f")});
    row("CJK punctuation is neither", "<p>日本、語。 x</p>",
        {QStringLiteral("\u65E5\u672C\u8A9E"), QStringLiteral("x")});
    row("emoji is neither", "<p>a\U0001F600b </p>", {QStringLiteral("ab")});
    row("byte-order mark is neither",
        "\xEF\xBB\xBF"
        "ab <p>",
        {QStringLiteral("ab")});
    row("invalid bytes end nothing",
        "<p>ab\xFF\x80"
        "c\xC0\xAF"
        "d </p>",
        {QStringLiteral("abcd")});
    row("sequence cut by a letter", "<p>ab\xC3z </p>", {QStringLiteral("abz")});
    row("sequence cut by a lead byte", "<p>\xE2\x82é </p>", {QStringLiteral("\u00E9")});
    row("sequence cut by lt", "<p>caf\xC3<b>x </b>", {QStringLiteral("caf"), QStringLiteral("x")});
    row("surrogate skipped",
        "<p>a\xED\xA0\x80"
        "b </p>",
        {QStringLiteral("ab")});
    row("letters inside tags skipped", "<a title=\"Ωμέγα\">Ω</a> ", {QStringLiteral("\u03A9")});
    row("vowel signs stay with their letter", "<p>हिन्दी </p>",
        {QStringLiteral("\u0939\u093F\u0928\u094D\u0926\u0940")});
    row("a mark after a Latin letter is neither", "<p>cafe\u0301 </p>", {QStringLiteral("cafe")});
    row("a mark starts no word", "<p>\u0301 x</p>", {QStringLiteral("x")});
}

void TestWordScanner::utf8Scan()
{
    QFETCH(QByteArray, page);
    QFETCH(QStringList, words);
    const std::string_view bytes(page.constData(), static_cast<std::size_t>(page.size()));
    QCOMPARE(toList(scan(bytes, WordScanner::PageKind::Folder, nullptr, PageEncoding::Utf8)), words);
}

void TestWordScanner::utf8Characters_data()
{
    QTest::addColumn<uint>("character");
    QTest::addColumn<bool>("word");
    QTest::addColumn<bool>("mark");
    QTest::newRow("Latin s caron (Windows-1252)") << 0x161u << false << false;
    QTest::newRow("Latin c caron (not Windows-1252)") << 0x10Du << true << false;
    QTest::newRow("modifier letter") << 0x2B0u << true << false;
    QTest::newRow("titlecase letter") << 0x1C5u << true << false;
    QTest::newRow("Hangul syllable") << 0xAC00u << true << false;
    QTest::newRow("Devanagari digit") << 0x967u << true << false;
    QTest::newRow("roman numeral (letter number)") << 0x2160u << false << false;
    QTest::newRow("euro sign") << 0x20ACu << false << false;
    QTest::newRow("combining acute") << 0x301u << false << true;
    QTest::newRow("Devanagari vowel sign i") << 0x93Fu << false << true;
    QTest::newRow("C1 control") << 0x80u << false << false;
}

void TestWordScanner::utf8Characters()
{
    QFETCH(uint, character);
    QFETCH(bool, word);
    QFETCH(bool, mark);
    QCOMPARE(isWordCharacter(character), word);
    QCOMPARE(isCombiningMark(character), mark);
}

void TestWordScanner::utf8StateCarriesAcrossBlocks()
{
    const std::string page = "<html><head><title>Tést</title></head><body>Καλημέρα κόσμε <b>Привет</b> "
                             "हिन्दी caf\xC3<i>é\xFF\xE2\x82\xACz \xF0\x90\x90\x80 end <p>日本語。";
    for (const auto kind : {WordScanner::PageKind::Folder, WordScanner::PageKind::Main}) {
        const auto whole = scan(page, kind, nullptr, PageEncoding::Utf8);
        QCOMPARE(toList(whole).join(QLatin1Char(' ')),
                 QStringLiteral("T\u00E9st \u039A\u03B1\u03BB\u03B7\u03BC\u03AD\u03C1\u03B1 "
                                "\u03BA\u03CC\u03C3\u03BC\u03B5 \u041F\u0440\u0438\u0432\u0435\u0442 "
                                "\u0939\u093F\u0928\u094D\u0926\u0940 caf \u00E9z \U00010400 end"));
        for (int round = 0; round < 50; ++round) {
            QRandomGenerator chunks(static_cast<quint32>(round));
            QVERIFY2(scan(page, kind, &chunks, PageEncoding::Utf8) == whole,
                     qPrintable(QStringLiteral("seed %1").arg(round)));
        }
    }
}

QTEST_APPLESS_MAIN(TestWordScanner)
#include "tst_WordScanner.moc"
