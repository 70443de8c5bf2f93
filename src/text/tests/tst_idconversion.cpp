#include "TestSupport.h"

#include "text/IdConversion.h"
#include "text/StringTable.h"

#include <QTest>

using namespace tagsmith;

class TestIdConversion : public QObject
{
    Q_OBJECT
private slots:
    void conversions_data() { test::addTableRows(QFINDTESTDATA("data/ids.txt"), {"field", "strict", "lenient"}); }

    void conversions()
    {
        QFETCH(QString, field);
        QFETCH(QString, strict);
        QFETCH(QString, lenient);
        const QString text = QString::fromUtf8(test::unescape(field));
        if (!strict.isEmpty()) {
            const std::optional<int> result = strictId(text);
            QCOMPARE(result ? QString::number(*result) : QStringLiteral("no"), strict);
        }
        if (!lenient.isEmpty())
            QCOMPARE(QString::number(lenientId(text)), lenient);
    }

    void localString_data()
    {
        test::addTableRows(QFINDTESTDATA("data/strings.txt"), {"baseId", "offset", "text"}); // text "-": none
    }

    void localString()
    {
        QFETCH(QString, baseId);
        QFETCH(QString, offset);
        QFETCH(QString, text);
        QCOMPARE(tagsmith::localString(baseId.toInt(), offset.toInt()).value_or(QStringLiteral("-")), text);
    }
};

QTEST_APPLESS_MAIN(TestIdConversion)
#include "tst_idconversion.moc"
