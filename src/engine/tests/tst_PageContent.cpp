#include "engine/PageContent.h"

#include <QTest>

using namespace tagsmith;

namespace {

struct Read
{
    QString words;
    QString description;
};

// The page's words joined by "|" and its description; the page is fed in blocks of blockSize bytes.
Read readPage(const QByteArray &bytes, PageEncoding encoding, int blockSize = 1 << 20)
{
    QStringList words;
    PageContent content;
    qsizetype at = 0;
    const PageContent::NextBlock next = [&]() {
        const std::string_view block(bytes.constData() + at,
                                     std::size_t(std::min<qsizetype>(blockSize, bytes.size() - at)));
        at += qsizetype(block.size());
        return block;
    };
    content.read(
        encoding, next,
        [&words](std::string_view word) { words << QString::fromUtf8(word.data(), qsizetype(word.size())); }, true);
    return {words.join(QLatin1Char('|')), QString::fromStdString(content.description())};
}

QByteArray latin(const char *text)
{
    return QByteArray(text);
}

} // namespace

class TestPageContent : public QObject
{
    Q_OBJECT
private slots:
    void words_data();
    void words();
    void descriptions_data();
    void descriptions();
    void cutting_data();
    void cutting();
};

void TestPageContent::words_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QString>("expected");

    const auto both = [](const char *name, const QByteArray &page, const QString &expected) {
        QTest::addRow("%s 1252", name) << page << false << expected;
        QTest::addRow("%s utf-8", name) << page << true << expected;
    };
    both("line feed", "<p>keepers\nwatched</p>", QStringLiteral("keepers|watched"));
    both("carriage return line feed", "<p>keepers\r\nwatched</p>", QStringLiteral("keepers|watched"));
    both("tab", "<p>keepers\twatched</p>", QStringLiteral("keepers|watched"));
    both("nbsp reference", "<p>keepers&nbsp;watched</p>", QStringLiteral("keepers|watched"));
    both("named references decoded", "<p>caf&eacute; cr&egrave;me &#233;t&#xE9;</p>",
         QStringLiteral("caf\u00e9|cr\u00e8me|\u00e9t\u00e9"));
    both("ampersand reference separates", "<p>Tom&amp;Jerry</p>", QStringLiteral("Tom|Jerry"));
    both("script and style not read",
         "<head><style>.hidden { color: red }</style></head><body><script>var secret = 1;</script>shown</body>",
         QStringLiteral("shown"));
    both("comment not read and ends a word", "<p>one<!-- two -->three</p>", QStringLiteral("one|three"));
    both("separators as in every word mode", "<p>e-mail don't 3.5 Hello, World!</p>",
         QStringLiteral("e|mail|dont|3|5|Hello|World"));
    both("a tag ends a word", "<p>Hello<br>World<b>bold</b>er</p>", QStringLiteral("Hello|World|bold|er"));
    both("words of the title count, attributes do not", "<title>Harbour</title><a href=\"x.htm\" title=\"no\">Quay</a>",
         QStringLiteral("Harbour|Quay"));
    both("last word of the page", "<p>last", QStringLiteral("last"));
    QTest::newRow("nbsp byte 1252") << latin("<p>keepers\xA0watched</p>") << false << QStringLiteral("keepers|watched");
    QTest::newRow("nbsp utf-8") << latin("<p>keepers\xC2\xA0watched</p>") << true << QStringLiteral("keepers|watched");
    QTest::newRow("cedilla skipped 1252")
        << latin("<p>gar\xE7on caf\xE9</p>") << false << QStringLiteral("garon|caf\u00e9");
    QTest::newRow("cedilla skipped utf-8")
        << latin("<p>gar\xC3\xA7on caf\xC3\xA9</p>") << true << QStringLiteral("garon|caf\u00e9");
    QTest::newRow("greek utf-8") << latin("<p>\xCE\xBB\xCF\x8C\xCE\xB3\xCE\xBF\xCF\x82 x</p>") << true
                                 << QStringLiteral("\u03bb\u03cc\u03b3\u03bf\u03c2|x");
    QTest::newRow("charset declaration does not change the encoding")
        << latin("<meta charset=\"utf-8\"><p>caf\xE9 bar</p>") << false << QStringLiteral("caf\u00e9|bar");
    QTest::newRow("broken utf-8 skipped") << latin("<p>ab\xFF\xFE"
                                                   "cd ef</p>")
                                          << true << QStringLiteral("abcd|ef");
}

void TestPageContent::words()
{
    QFETCH(QByteArray, page);
    QFETCH(bool, utf8);
    QFETCH(QString, expected);
    const PageEncoding encoding = utf8 ? PageEncoding::Utf8 : PageEncoding::Windows1252;
    QCOMPARE(readPage(page, encoding).words, expected);
    // Blocks of any size give the same words.
    for (const int blockSize : {64, 7, 3})
        QCOMPARE(readPage(page, encoding, blockSize).words, expected);
}

void TestPageContent::descriptions_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QString>("expected");

    const QByteArray paragraph = "<p>Our club sails small boats on the lake every summer.</p>";
    QTest::newRow("existing tag kept") << QByteArray("<head><meta name=\"Description\" content=\"Boats &amp; more\">"
                                                     "</head><body>" +
                                                     paragraph + "</body>")
                                       << true << QStringLiteral("Boats & more");
    QTest::newRow("blank tag does not count")
        << QByteArray("<head><meta name=\"description\" content=\"  \"></head><body>" + paragraph + "</body>") << true
        << QStringLiteral("Our club sails small boats on the lake every summer.");
    QTest::newRow("first paragraph of eight words over navigation")
        << QByteArray("<body><nav><a href=\"/\">Home</a> <a href=\"/a\">About us</a></nav><p>Welcome aboard!</p>" +
                      paragraph + "<p>Another paragraph that is long enough to count here.</p></body>")
        << true << QStringLiteral("Our club sails small boats on the lake every summer.");
    QTest::newRow("paragraph with markup and white space")
        << QByteArray("<body><p>Our  <b>club</b>\r\n sails&nbsp;small boats\ton the lake every summer.</p></body>")
        << true << QStringLiteral("Our club sails small boats on the lake every summer.");
    QTest::newRow("no such paragraph: the first text of the body")
        << QByteArray("<body><script>var x;</script><div>Welcome</div><div>to  the\nclub</div><p>Short.</p></body>")
        << true << QStringLiteral("Welcome to the club Short.");
    QTest::newRow("quotes and less-than kept as text")
        << QByteArray("<body><p>He said \"five &lt; six\" and it's true, believe me now.</p></body>") << true
        << QStringLiteral("He said \"five < six\" and it's true, believe me now.");
    QTest::newRow("utf-8 page")
        << latin("<body><p>\xC3\x89\xC3\xA9n zeilboot is \xC3\xA9\xC3\xA9n van de mooiste dingen.</p></body>") << true
        << QStringLiteral("\u00c9\u00e9n zeilboot is \u00e9\u00e9n van de mooiste dingen.");
    QTest::newRow("windows-1252 page")
        << latin("<body><p>\xC9\xE9n zeilboot is \xE9\xE9n van de mooiste dingen \x85</p></body>") << false
        << QStringLiteral("\u00c9\u00e9n zeilboot is \u00e9\u00e9n van de mooiste dingen \u2026");
    QTest::newRow("page without text") << QByteArray(
                                              "<html><head><title>Only a title</title></head><body> </body></html>")
                                       << true << QString();
    QTest::newRow("empty page") << QByteArray() << false << QString();
}

void TestPageContent::descriptions()
{
    QFETCH(QByteArray, page);
    QFETCH(bool, utf8);
    QFETCH(QString, expected);
    QCOMPARE(readPage(page, utf8 ? PageEncoding::Utf8 : PageEncoding::Windows1252).description, expected);
}

void TestPageContent::cutting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString tenWords = QStringLiteral("abcdefghi ").repeated(15);
    QTest::newRow("short text stays") << QStringLiteral("Small boats.") << QStringLiteral("Small boats.");
    QTest::newRow("exactly the limit stays") << QStringLiteral("x").repeated(155) << QStringLiteral("x").repeated(155);
    QTest::newRow("cut at the last blank that fits")
        << tenWords + tenWords << tenWords.chopped(1) + QStringLiteral("\u2026");
    QTest::newRow("a blank right after the last character that fits")
        << QStringLiteral("a").repeated(154) + QStringLiteral(" tail")
        << QStringLiteral("a").repeated(154) + QStringLiteral("\u2026");
    QTest::newRow("one long word is cut inside")
        << QStringLiteral("z").repeated(200) << QStringLiteral("z").repeated(154) + QStringLiteral("\u2026");
    QTest::newRow("characters, not bytes") << QStringLiteral("\u00e9").repeated(150) + QStringLiteral(" ok")
                                           << QStringLiteral("\u00e9").repeated(150) + QStringLiteral(" ok");
}

void TestPageContent::cutting()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QByteArray utf8 = text.toUtf8();
    const std::string cut = cutAtWord(std::string_view(utf8.constData(), std::size_t(utf8.size())), 155);
    QCOMPARE(QString::fromStdString(cut), expected);
    QVERIFY(QString::fromStdString(cut).size() <= 155);
}

QTEST_APPLESS_MAIN(TestPageContent)
#include "tst_PageContent.moc"
