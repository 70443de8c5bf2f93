#include "FuzzPageRoad.h"
#include "FuzzScanRewrite.h"
#include "TestSupport.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTest>

// The fuzz targets' checks on every golden page and on random pages built from the pieces that
// matter to the scans, so that every build exercises them.

namespace {

void feed(QByteArray input)
{
    const auto *data = reinterpret_cast<const std::uint8_t *>(input.constData());
    tagsmith::fuzz::scanAndRewrite(data, static_cast<std::size_t>(input.size()));
    tagsmith::fuzz::pageRoad(data, static_cast<std::size_t>(input.size()));
}

} // namespace

class TestFuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void goldenPages()
    {
        for (const QString &folder : {QStringLiteral("/golden/"), QStringLiteral("/encodings/")}) {
            const QString path = QStringLiteral(TAGSMITH_TEST_DATA) + folder;
            for (const QString &name : QDir(path).entryList({QStringLiteral("*.htm")}, QDir::Files))
                for (char control = 0; control < 40; ++control)
                    feed(control + tagsmith::test::readFile(path + name));
        }
    }

    // Inputs the fuzz targets found, each with the first byte it had there.
    void foundInputs()
    {
        const QString path = QStringLiteral(TAGSMITH_TEST_DATA "/fuzz-found/");
        for (const QString &name : QDir(path).entryList(QDir::Files))
            feed(tagsmith::test::readFile(path + name));
    }

    void randomPages()
    {
        QList<QByteArray> pieces;
        for (const QStringList &row : tagsmith::test::readTable(QStringLiteral(TAGSMITH_TEST_DATA "/fuzz-pieces.txt")))
            pieces << tagsmith::test::unescape(row[1]);
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
                    input += pieces[random.bounded(int(pieces.size()))];
            }
            feed(input);
        }
    }
};

QTEST_APPLESS_MAIN(TestFuzzReplay)
#include "tst_FuzzReplay.moc"
