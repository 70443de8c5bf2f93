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
