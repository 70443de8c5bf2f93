#include "engine/MarkScanner.h"
#include "engine/MetaBlock.h"
#include "engine/PageSplicer.h"

#include <QRandomGenerator>
#include <QTest>

using namespace tagsmith;

namespace {

using Positions = QList<qint64>;

PageMarks scanMarks(std::string_view page, const MetaNames &names, QRandomGenerator *chunks = nullptr)
{
    MarkScanner scanner(names);
    while (!page.empty()) {
        const std::size_t n = chunks ? std::min<std::size_t>(page.size(), chunks->bounded(1, 6)) : page.size();
        scanner.feed(page.substr(0, n));
        page.remove_prefix(n);
    }
    return scanner.finish();
}

Positions cuts(const PageMarks &marks)
{
    Positions list;
    for (int i = 0; i < marks.MarkCount; ++i)
        list << marks.Marks[static_cast<std::size_t>(i)];
    return list;
}

std::string bytes(const QByteArray &array)
{
    return array.toStdString();
}

} // namespace

class TestMarkScanner : public QObject
{
    Q_OBJECT

private slots:
    void marks_data();
    void marks();
    void templateNames();
    void rewrite_data();
    void rewrite();
    void blocksGiveTheSameMarks();
};

void TestMarkScanner::marks_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<Positions>("cuts");
    QTest::addColumn<bool>("head");

    QTest::newRow("one blank") << QByteArray("ab<META NAME=\"keywords\">") << Positions{2} << false;
    QTest::newRow("no blank") << QByteArray("ab<METANAME=\"keywords\">") << Positions{2} << false;
    QTest::newRow("several blanks") << QByteArray("ab<  meta    name = 'keywords'>") << Positions{2} << false;
    QTest::newRow("tag at the start") << QByteArray("<meta name=keywords>x") << Positions{0} << false;
    QTest::newRow("lower case") << QByteArray("x<meta name=\"Description\">") << Positions{1} << false;
    QTest::newRow("tab between META and NAME") << QByteArray("x<meta\tname=\"keywords\">") << Positions{} << false;
    QTest::newRow("line break between") << QByteArray("x<meta\nname=\"keywords\"></head>") << Positions{23} << true;
    QTest::newRow("http-equiv is no mark") << QByteArray("<meta http-equiv=\"x\"></head>") << Positions{21} << true;
    QTest::newRow("other names stay") << QByteArray("<meta name=\"viewport\"><meta name=\"author\"></head>")
                                      << Positions{42} << true;
    QTest::newRow("name in any case") << QByteArray("<meta name=\"KeyWords\"><meta name=ROBOTS>") << Positions{0, 22}
                                      << false;
    QTest::newRow("white space around =") << QByteArray("<meta name \t\r\n=\f \"robots\">") << Positions{0} << false;
    QTest::newRow("no = is no mark") << QByteArray("<meta name \"robots\"></head>") << Positions{20} << true;
    QTest::newRow("single quotes") << QByteArray("<meta name='revisit-after' content='3'>") << Positions{0} << false;
    QTest::newRow("unquoted ends at gt") << QByteArray("<meta name=generator>") << Positions{0} << false;
    QTest::newRow("unquoted ends at blank") << QByteArray("<meta name=generator content=x>") << Positions{0} << false;
    QTest::newRow("prefix is not the name") << QByteArray("<meta name=\"keywordsx\">") << Positions{} << false;
    QTest::newRow("quote never closes") << QByteArray("x<meta name=\"keywords") << Positions{1} << false;
    QTest::newRow("empty name") << QByteArray("<meta name=\"\"></head>") << Positions{14} << true;
    QTest::newRow("head mark before lt") << QByteArray("<title>t</title>< / head >") << Positions{16} << true;
    QTest::newRow("head after a mark") << QByteArray("<meta name=robots></head>") << Positions{0} << false;
    QTest::newRow("only the first head") << QByteArray("</head></head>") << Positions{0} << true;
    QTest::newRow("meta after head") << QByteArray("</head><meta name=robots>") << Positions{0, 7} << true;
    QTest::newRow("back to back") << QByteArray("<meta name=robots><meta name=keywords>") << Positions{0, 18} << false;
    QTest::newRow("inside a comment") << QByteArray("<!-- <meta name=robots> -->") << Positions{5} << false;
    QTest::newRow("nothing") << QByteArray("<html><body>x</body></html>") << Positions{} << false;
    QTest::newRow("empty page") << QByteArray() << Positions{} << false;
    QTest::newRow("name quote holds the next tag")
        << QByteArray("<meta name=\"<meta name=\"keywords\">") << Positions{12} << false;
    // UTF-8 pages: no byte of a multi-byte sequence is ASCII, so the marks stay at their bytes.
    QTest::newRow("after UTF-8 text") << QByteArray("\xEF\xBB\xBF\xCE\x9A\xCE\xB1<meta name=robots>") << Positions{7}
                                      << false;
    QTest::newRow("UTF-8 inside the tag")
        << QByteArray("<meta name=\"\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87\"><meta name=keywords content=\"\xCE\xA9\">")
        << Positions{22} << false;
    QTest::newRow("UTF-8 before the closing head")
        << QByteArray("<title>\xE6\x97\xA5</title></head>") << Positions{18} << true;
}

void TestMarkScanner::marks()
{
    QFETCH(QByteArray, page);
    QFETCH(Positions, cuts);
    QFETCH(bool, head);
    const MetaNames names;
    const PageMarks marks = scanMarks(bytes(page), names);
    QCOMPARE(::cuts(marks), cuts);
    QCOMPARE(marks.headMark, head);
    QCOMPARE(marks.endMark(), qint64(page.size()));
}

void TestMarkScanner::templateNames()
{
    RunOptions options;
    options.templates[4] =
        QStringLiteral("<meta name=\"Robots\" content=\"all\"><META NAME = 'theme-color' content=x>");
    options.templates[7] = QStringLiteral("<meta name=\"my-generator\" content=\"me\">");
    options.templates[6] = QStringLiteral("\"><meta name=\"fr\u00E9quence\" content=\"x\">");
    const MetaNames names = MetaBlock(options).metaNames();
    // A name beyond ASCII is found again in pages of either encoding.
    QVERIFY(names.contains("FR\xE9QUENCE"));
    QVERIFY(names.contains("fr\xC3\xA9quence"));
    QVERIFY(names.contains("THEME-COLOR"));
    QVERIFY(names.contains("my-generator"));
    QVERIFY(names.contains("keywords"));
    QVERIFY(!names.contains("viewport"));
    const PageMarks marks = scanMarks("<meta name=viewport><meta name=\"theme-color\">", names);
    QCOMPARE(cuts(marks), Positions{20});
}

void TestMarkScanner::rewrite_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("tags go, what is between stays")
        << QByteArray("<title>t</title>\r\n<META NAME=\"keywords\" CONTENT=\"a\">\r\n"
                      "<META NAME=\"description\" CONTENT=\"b\">\r\n</head>x")
        << QByteArray("<title>t</title>\r\n[BLOCK]\r\n\r\n</head>x");
    QTest::newRow("head mark: the rest unchanged") << QByteArray("<head><title>t</title></head><body>x</body>")
                                                   << QByteArray("<head><title>t</title>[BLOCK]</head><body>x</body>");
    QTest::newRow("no mark: block at the end") << QByteArray("<p>x</p>") << QByteArray("<p>x</p>[BLOCK]");
    QTest::newRow("empty page") << QByteArray() << QByteArray("[BLOCK]");
    QTest::newRow("page starts with a tag") << QByteArray("<meta name=robots>x") << QByteArray("[BLOCK]x");
    QTest::newRow("back to back") << QByteArray("<meta name=robots><meta name=keywords>x") << QByteArray("[BLOCK]x");
    QTest::newRow("no gt: the segment goes") << QByteArray("a<meta name=robots") << QByteArray("a[BLOCK]");
    QTest::newRow("blanks before NAME keep no lt") << QByteArray("a<meta   name=robots>b") << QByteArray("a[BLOCK]b");
    QTest::newRow("other metas stay") << QByteArray("<meta name=viewport content=w><meta name=robots>\n</head>")
                                      << QByteArray("<meta name=viewport content=w>[BLOCK]\n</head>");
    QTest::newRow("meta after the head mark goes")
        << QByteArray("<p></head><meta name=robots>b") << QByteArray("<p>[BLOCK]</head>b");

    QByteArray many;
    QByteArray kept;
    for (int i = 1; i <= 25; ++i) {
        const QByteArray tag = "<meta name=keywords content=\"" + QByteArray::number(i) + "\">\n";
        many += tag;
        kept += i == 1 ? "[BLOCK]\n" : i <= 19 ? "\n" : tag.constData();
    }
    QTest::newRow("25 tags: 19 go") << many << kept;
}

void TestMarkScanner::rewrite()
{
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, expected);
    const MetaNames names;
    const std::string bytesOfPage = bytes(page);
    const PageMarks marks = scanMarks(bytesOfPage, names);
    QCOMPARE(QByteArray::fromStdString(rewritePage(bytesOfPage, marks, "[BLOCK]")), expected);
}

void TestMarkScanner::blocksGiveTheSameMarks()
{
    std::string page = "<html><head>< meta  name = 'keywords' content=x>\n<meta\tname=robots><META NAME=\"desc";
    page += "ription\"><meta name=viewport></head><meta name=robots><meta name=\"<meta name=\"keywords\">";
    for (int i = 0; i < 25; ++i)
        page += "<meta name=robots>" + std::to_string(i);
    page += "<meta name='generator";
    const MetaNames names;
    const PageMarks whole = scanMarks(page, names);
    const std::string rewritten = rewritePage(page, whole, "[B]");
    for (quint32 seed = 0; seed < 100; ++seed) {
        QRandomGenerator chunks(seed);
        const PageMarks marks = scanMarks(page, names, &chunks);
        QVERIFY2(cuts(marks) == cuts(whole) && marks.headMark == whole.headMark,
                 qPrintable(QStringLiteral("seed %1").arg(seed)));
    }
    QCOMPARE(whole.MarkCount, PageMarks::MaxMarks);
    QVERIFY(rewritten.find("[B]") != std::string::npos);
}

QTEST_APPLESS_MAIN(TestMarkScanner)
#include "tst_MarkScanner.moc"
