#include "TestSupport.h"

#include "engine/MetaBlock.h"
#include "engine/PageReader.h"
#include "engine/Run.h"
#include "engine/RunReport.h"

#include <QDir>
#include <QJsonDocument>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using namespace tagsmith;
using namespace tagsmith::test;

namespace {

QString dataDir()
{
    return QStringLiteral(TAGSMITH_TEST_DATA "/encodings");
}

// The page after a run with the options, read whole or in blocks of three bytes.
QByteArray runOn(const QByteArray &page, RunOptions options, bool inBlocks, RecordingObserver &observer)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("page.htm")), page);
    options.folder = dir.path();
    RunLimits limits;
    if (inBlocks) {
        limits.wholePageLimit = 0;
        limits.blockSize = 3;
    }
    if (runMeta(options, observer, limits) != RunResult::Completed)
        return "run failed";
    return readFile(dir.filePath(QStringLiteral("page.htm")));
}

// The page as the reading of a run leaves it.
struct Read
{
    RunOptions options;
    MetaBlock block{options};
    MetaNames names{block.metaNames()};
    MinimumWordLength minimum{false, "0"};
    ScannedPage page;

    explicit Read(const QByteArray &bytes)
    {
        QTemporaryDir dir;
        page.PagePath = dir.filePath(QStringLiteral("page.htm"));
        writeFile(page.PagePath, bytes);
        PageReader reader(block, names, minimum, RunLimits());
        reader.read(page);
    }

    QStringList words() const
    {
        QStringList list;
        for (std::size_t i = 0; i < page.PageWords.size(); ++i)
            list << QString::fromUtf8(page.PageWords.row(i));
        return list;
    }
};

QByteArray utf16(const QString &text, bool bigEndian)
{
    QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
    for (const QChar c : text) {
        const char high = static_cast<char>(c.unicode() >> 8);
        const char low = static_cast<char>(c.unicode() & 0xFF);
        bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
    }
    return bytes;
}

} // namespace

class TestPageEncodings : public QObject
{
    Q_OBJECT

private slots:
    // Pages in UTF-16 and other charsets: the bytes outside the META block stay as they were, the
    // block is in the page's encoding.
    void golden_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("inBlocks");
        const QStringList sources = QDir(dataDir()).entryList({QStringLiteral("*.src.htm")}, QDir::Files, QDir::Name);
        QVERIFY(sources.size() >= 9);
        for (const QString &source : sources) {
            const QString name = source.chopped(8);
            QTest::newRow(qPrintable(name)) << name << false;
            QTest::newRow(qPrintable(name + QStringLiteral(" in blocks"))) << name << true;
        }
    }

    void golden()
    {
        QFETCH(QString, name);
        QFETCH(bool, inBlocks);
        const QString base = dataDir() + QLatin1Char('/') + name;
        const QJsonObject json = QJsonDocument::fromJson(readFile(base + QStringLiteral(".json"))).object();
        RecordingObserver observer;
        QCOMPARE(runOn(readFile(base + QStringLiteral(".src.htm")), optionsFromJson(json), inBlocks, observer),
                 readFile(base + QStringLiteral(".expected.htm")));
        // Only a page without a head and without META NAME tags is told about.
        QCOMPARE(observer.messages.size(), name.endsWith(QLatin1String("no-head")) ? std::size_t(1) : std::size_t(0));
    }

    // The run report names the encoding each page was read in, and why a page was read as
    // Windows-1252 against its declaration.
    void report_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<int>("note");
        QTest::addColumn<QByteArray>("csvNote"); // the last field of the page's CSV row
        QTest::newRow("koi8-r") << QStringLiteral("koi8-r") << QStringLiteral("KOI8-R") << int(EncodingNote::None)
                                << QByteArray();
        QTest::newRow("utf-16be") << QStringLiteral("utf-16be-head") << QStringLiteral("UTF-16BE")
                                  << int(EncodingNote::None) << QByteArray();
        QTest::newRow("not shift_jis") << QStringLiteral("not-shift_jis") << QStringLiteral("Windows-1252")
                                       << int(EncodingNote::NotDecoded) << QByteArray("not-decoded shift_jis");
        QTest::newRow("unknown charset") << QStringLiteral("unknown-charset") << QStringLiteral("Windows-1252")
                                         << int(EncodingNote::UnknownCharset)
                                         << QByteArray("unknown-charset replacement");
    }

    void report()
    {
        QFETCH(QString, name);
        QFETCH(QString, encoding);
        QFETCH(int, note);
        QFETCH(QByteArray, csvNote);
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("page.htm")),
                  readFile(dataDir() + QLatin1Char('/') + name + QStringLiteral(".src.htm")));
        RunOptions options;
        options.templates = goldenTemplates();
        options.folder = dir.path();
        RecordingObserver observer;
        const RunReport report = runMetaWithReport(options, observer);
        QCOMPARE(report.pages.size(), std::size_t(1));
        QCOMPARE(encodingName(report.pages[0]), encoding);
        QCOMPARE(int(report.pages[0].encodingNote), note);
        // The note, then the keywords and the description, which this report does not keep.
        QVERIFY(runReportCsv(report, 100).split('\n').value(1).trimmed().endsWith("," + csvNote + ",,"));
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QString>("charset");
        QTest::addColumn<int>("note");
        QTest::addColumn<QStringList>("words");

        const auto legacy = static_cast<int>(PageEncoding::Legacy);
        const auto w1252 = static_cast<int>(PageEncoding::Windows1252);
        const auto none = static_cast<int>(EncodingNote::None);
        QTest::newRow("koi8-r") << QByteArray("<meta charset=koi8-r><p>\xF6\xD5\xCB \xD6\xD5\xD6\xD6\xC9\xD4</p>")
                                << legacy << QStringLiteral("koi8-r") << none
                                << QStringList{QStringLiteral("Жук"), QStringLiteral("жужжит")};
        QTest::newRow("iso-8859-2")
            << QByteArray("<meta http-equiv=content-type content='text/html; charset=latin2'><p>\xA3\xF3\x64\xBC, "
                          "g\xEA\xB6l\xB1</p>")
            << legacy << QStringLiteral("iso-8859-2") << none
            << QStringList{QStringLiteral("Łódź"), QStringLiteral("gęślą")};
        QTest::newRow("utf-16be") << utf16(QStringLiteral("<p>λόγος ΛΌΓΟΣ</p>"), true)
                                  << static_cast<int>(PageEncoding::Utf16BE) << QStringLiteral("utf-16be") << none
                                  << QStringList{QStringLiteral("λόγος")};
        QTest::newRow("bytes not in the charset")
            << QByteArray("<meta charset=shift_jis><p>caf\xE9 \x81 x</p>") << w1252 << QStringLiteral("shift_jis")
            << static_cast<int>(EncodingNote::NotDecoded) << QStringList{QStringLiteral("café"), QStringLiteral("x")};
        QTest::newRow("refused charset") << QByteArray("<meta charset=csiso2022kr><p>caf\xE9</p>") << w1252
                                         << QStringLiteral("replacement")
                                         << static_cast<int>(EncodingNote::UnknownCharset)
                                         << QStringList{QStringLiteral("café")};
    }

    void reading()
    {
        QFETCH(QByteArray, page);
        QFETCH(int, encoding);
        QFETCH(QString, charset);
        QFETCH(int, note);
        QFETCH(QStringList, words);
        const Read read(page);
        QCOMPARE(read.page.error, 0);
        QCOMPARE(static_cast<int>(read.page.encoding), encoding);
        QCOMPARE(QString::fromStdString(read.page.charset), charset);
        QCOMPARE(static_cast<int>(read.page.encodingNote), note);
        QCOMPARE(read.words(), words);
    }

    // A UTF-16 page stays UTF-16 whatever it holds: the old tags go whole (a byte ">" of another
    // character ends none), the block goes in as UTF-16, the byte-order mark stays in front.
    void utf16NeverCorrupted_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // {block} stands for the block
        const QString block = QStringLiteral("{block}");
        QTest::newRow("tag with bytes 0x3E inside")
            << QStringLiteral("<head><meta name=keywords content=\"㸾㸾\">\r\n</head><body>Σ</body>")
            << QStringLiteral("<head>{block}\r\n</head><body>Σ</body>");
        QTest::newRow("head only") << QStringLiteral("<head></head>x") << QStringLiteral("<head>{block}</head>x");
        QTest::newRow("no head") << QStringLiteral("<p>λόγος</p>") << QStringLiteral("<p>λόγος</p>{block}");
        QTest::newRow("empty but the mark") << QString() << block;
    }

    void utf16NeverCorrupted()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        for (const bool bigEndian : {false, true}) {
            RunOptions options;
            options.templates = goldenTemplates();
            options.description = true;
            options.siteDescription = QStringLiteral("Ελλάδα 😀");
            options.minLengthText = QStringLiteral("0");
            RecordingObserver observer;
            const QByteArray after = runOn(utf16(text, bigEndian), options, false, observer);
            QCOMPARE(after.left(2), utf16(QString(), bigEndian));
            QStringDecoder decoder(bigEndian ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE,
                                   QStringDecoder::Flag::Stateless);
            const QString decoded = decoder.decode(after.mid(2));
            QVERIFY(!decoder.hasError());
            QCOMPARE(after.size() % 2, 0);
            const qsizetype at = expected.indexOf(QLatin1String("{block}"));
            QVERIFY(decoded.startsWith(expected.left(at)));
            QVERIFY(decoded.endsWith(expected.mid(at + 7)));
            const QString inserted = decoded.mid(at, decoded.size() - (expected.size() - 7));
            QVERIFY2(inserted.contains(QStringLiteral("Ελλάδα 😀")), qPrintable(inserted));
            QVERIFY(!inserted.contains(QLatin1Char('\0')));
        }
    }
};

QTEST_APPLESS_MAIN(TestPageEncodings)
#include "tst_PageEncodings.moc"
