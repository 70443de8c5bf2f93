#include "TestSupport.h"

#include "engine/page/PageContent.h"

#include <QTest>

using namespace tagsmith;

namespace {

struct Read
{
    QString words;
    QString description;
};

// Reads the page into content, fed in blocks of blockSize bytes; returns its words joined by "|".
QString readInto(PageContent &content, const QByteArray &bytes, PageEncoding encoding, int blockSize)
{
    QStringList words;
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
    return words.join(QLatin1Char('|'));
}

// The page's words joined by "|" and its description.
Read readPage(const QByteArray &bytes, PageEncoding encoding, int blockSize = 1 << 20)
{
    PageContent content;
    const QString words = readInto(content, bytes, encoding, blockSize);
    return {words, QString::fromStdString(content.description())};
}

} // namespace

// Rows of a table: the page, read in the encoding named, or in both Windows-1252 and UTF-8.
static void pageTable(const char *file)
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QString>("expected");
    for (const QStringList &row : test::readTable(QFINDTESTDATA(QStringLiteral("data/") + QLatin1String(file))))
        for (const QString &encoding : {QStringLiteral("windows-1252"), QStringLiteral("utf-8")})
            if (row[1] == encoding || row[1] == QLatin1String("both"))
                QTest::addRow("%s, %s", qPrintable(row[0]), qPrintable(encoding))
                    << test::unescape(row[2]) << (encoding == QLatin1String("utf-8")) << row.value(3);
}

class TestPageContent : public QObject
{
    Q_OBJECT
private slots:
    void words_data() { pageTable("page-content-words.txt"); }

    void words()
    {
        QFETCH(QByteArray, page);
        QFETCH(bool, utf8);
        QFETCH(QString, expected);
        // Blocks of any size give the same words.
        for (const int blockSize : {1 << 20, 64, 7, 3})
            QCOMPARE(readPage(page, utf8 ? PageEncoding::Utf8 : PageEncoding::Windows1252, blockSize).words, expected);
    }

    void descriptions_data() { pageTable("page-content-descriptions.txt"); }

    void descriptions()
    {
        QFETCH(QByteArray, page);
        QFETCH(bool, utf8);
        QFETCH(QString, expected);
        QCOMPARE(readPage(page, utf8 ? PageEncoding::Utf8 : PageEncoding::Windows1252).description, expected);
    }

    void siteReading_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<bool>("utf8");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("paragraphs");
        QTest::addColumn<QString>("title");
        for (const QStringList &row : test::readTable(QFINDTESTDATA("data/page-content-site-reading.txt")))
            for (const QString &encoding : {QStringLiteral("windows-1252"), QStringLiteral("utf-8")})
                if (row[1] == encoding || row[1] == QLatin1String("both"))
                    QTest::addRow("%s, %s", qPrintable(row[0]), qPrintable(encoding))
                        << test::unescape(row[2]) << (encoding == QLatin1String("utf-8")) << row.value(3)
                        << row.value(4) << row.value(5);
    }

    void siteReading()
    {
        QFETCH(QByteArray, page);
        QFETCH(bool, utf8);
        QFETCH(QString, words);
        QFETCH(QString, paragraphs);
        QFETCH(QString, title);
        for (const int blockSize : {1 << 20, 5}) {
            PageContent content;
            content.setSiteReading(true);
            QCOMPARE(readInto(content, page, utf8 ? PageEncoding::Utf8 : PageEncoding::Windows1252, blockSize), words);
            QStringList texts;
            for (const PageContent::Paragraph &paragraph : content.paragraphs())
                texts << (paragraph.text.empty() ? QStringLiteral("~") : QString::fromStdString(paragraph.text));
            QCOMPARE(texts.join(QStringLiteral(" / ")), paragraphs);
            QCOMPARE(content.title() ? QString::fromStdString(*content.title()) : QStringLiteral("-"), title);
        }
    }

    void cutting_data() { test::addTableRows(QFINDTESTDATA("data/description-cuts.txt"), {"text", "expected"}); }

    void cutting()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const QByteArray utf8 = text.toUtf8();
        const std::string cut = cutAtWord(std::string_view(utf8.constData(), std::size_t(utf8.size())), 155);
        QCOMPARE(QString::fromStdString(cut), expected);
        QVERIFY(QString::fromStdString(cut).size() <= 155);
    }
};

QTEST_APPLESS_MAIN(TestPageContent)
#include "tst_PageContent.moc"
