#include "engine/run/TextStore.h"

#include <QTest>

#include <string>
#include <vector>

using namespace tagsmith;

class TestTextStore : public QObject
{
    Q_OBJECT

private slots:
    // Every text kept reads back as it was, whatever came after it: texts that fill a block exactly,
    // that do not fit in the rest of one, and that are larger than any block.
    void keptTextsStay_data()
    {
        QTest::addColumn<std::vector<int>>("sizes");
        QTest::newRow("empty and tiny") << std::vector<int>{0, 1, 0, 2};
        QTest::newRow("a first block filled exactly") << std::vector<int>{65536, 1};
        QTest::newRow("one byte too many") << std::vector<int>{65535, 2, 65536};
        QTest::newRow("larger than a huge page") << std::vector<int>{10, 3 << 20, 10, 5 << 20, 10};
        QTest::newRow("many lines") << std::vector<int>(5000, 1500);
    }
    void keptTextsStay()
    {
        QFETCH(std::vector<int>, sizes);
        TextStore store;
        std::vector<QByteArray> texts;
        std::vector<QByteArrayView> kept;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            texts.push_back(QByteArray(sizes[i], char('a' + i % 26)));
            kept.push_back(store.keep(texts.back()));
        }
        std::size_t bound = (64 << 10) + (2 << 20); // the first block, the rest of the last one
        for (std::size_t i = 0; i < texts.size(); ++i) {
            QCOMPARE(kept[i].toByteArray(), texts[i]);
            // A text larger than a huge page gets huge pages of its own.
            bound += texts[i].size() + (texts[i].size() > (2 << 20) ? 2 << 20 : 0);
        }
        // Texts share blocks.
        QVERIFY(store.memoryUse() <= bound);
    }

    // A copy of a kept text keeps its store: the report it came from may be gone.
    void copiesKeepTheStore()
    {
        auto store = std::make_shared<TextStore>();
        KeptText text(store, store->keep("harbour, sailing"));
        store.reset();
        const KeptText copy = text;
        text = KeptText();
        QCOMPARE(copy.toByteArray(), QByteArray("harbour, sailing"));
        QCOMPARE(KeptText(QByteArray("own")).view(), QByteArrayView("own"));
        QVERIFY(text.view().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTextStore)
#include "tst_TextStore.moc"
