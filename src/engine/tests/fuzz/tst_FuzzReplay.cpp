#include "FuzzScanRewrite.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

// The fuzz target's checks on every golden page and on random pages built from the pieces that
// matter to the scans, so that every build exercises them.
class TestFuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void goldenPages();
    void randomPages();
};

namespace {

void feed(QByteArray input)
{
    tagsmith::fuzz::scanAndRewrite(reinterpret_cast<const std::uint8_t *>(input.constData()),
                                   static_cast<std::size_t>(input.size()));
}

} // namespace

void TestFuzzReplay::goldenPages()
{
    const QDir dir(QStringLiteral(TAGSMITH_TEST_DATA "/golden"));
    const QStringList pages = dir.entryList({QStringLiteral("*.htm")}, QDir::Files);
    QVERIFY(!pages.isEmpty());
    for (const QString &name : pages) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray page = file.readAll();
        for (char control = 0; control < 16; ++control)
            feed(control + page);
    }
}

void TestFuzzReplay::randomPages()
{
    const char *pieces[] = {"<",
                            ">",
                            "<meta name=",
                            "< META  NAME",
                            "=",
                            "\"",
                            "'",
                            "keywords",
                            "robots",
                            "viewport",
                            "</head>",
                            "</ HEAD",
                            " ",
                            "\t",
                            "\r\n",
                            "caf\xe9",
                            "A&amp;B",
                            "x",
                            "\xff",
                            "\x9f",
                            "-",
                            ".",
                            "<!--",
                            "-->",
                            "revisit-after",
                            "description",
                            "caf\xc3\xa9",
                            "gar\xc3\xa7on",
                            "\xc3\xbf\xc5\xb8",
                            "\xce\xa9\xce\xbc",
                            "\xd0\x96",
                            "\xe2\x82\xac",
                            "\xe0\xa4\xb9\xe0\xa4\xbf",
                            "\xcc\x81",
                            "\xf0\x90\x90\x80",
                            "\xc3",
                            "\xe2\x82",
                            "\xef\xbb\xbf",
                            "<meta charset=utf-8>",
                            "<meta http-equiv=content-type content='text/html; charset=windows-1252'>"};
    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("seed %u", seed);
    QRandomGenerator random(seed);
    for (int round = 0; round < 3000; ++round) {
        QByteArray input(1, static_cast<char>(random.bounded(256)));
        const int count = random.bounded(60);
        for (int i = 0; i < count; ++i) {
            if (random.bounded(8) == 0)
                input += static_cast<char>(random.bounded(256));
            else
                input += pieces[random.bounded(static_cast<int>(std::size(pieces)))];
        }
        feed(input);
    }
}

QTEST_APPLESS_MAIN(TestFuzzReplay)
#include "tst_FuzzReplay.moc"
