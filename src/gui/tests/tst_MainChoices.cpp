// The main options screen's choices of keywords and description: what a run takes from them, and
// their entries in the language of the program.

#include "gui/tests/ProgramUnderTest.h"
#include "text/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>

using namespace tagsmith;
using namespace tagsmith::testing;

class TestMainChoices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(startProgram(m_program)); }
    void runOptions_data();
    void runOptions();
    void entriesFollowTheLanguage_data();
    void entriesFollowTheLanguage();

private:
    QTemporaryDir m_program;
};

void TestMainChoices::runOptions_data()
{
    QTest::addColumn<int>("keywords");
    QTest::addColumn<int>("count"); // typed into the spin box
    QTest::addColumn<int>("description");
    QTest::addColumn<bool>("descriptionLine");
    QTest::addColumn<QString>("expected"); // topKeywords count pageDescriptions, descriptions choice enabled

    QTest::newRow("defaults") << 0 << 15 << 0 << true << QStringLiteral("0 15 0 1");
    QTest::newRow("most telling words") << 1 << 7 << 0 << true << QStringLiteral("1 7 0 1");
    QTest::newRow("count kept within 1 to 50") << 1 << 80 << 0 << true << QStringLiteral("1 50 0 1");
    QTest::newRow("each page's own description") << 0 << 15 << 1 << true << QStringLiteral("0 15 1 1");
    QTest::newRow("description line off disables the choice") << 0 << 15 << 1 << false << QStringLiteral("0 15 1 0");
}

void TestMainChoices::runOptions()
{
    QFETCH(int, keywords);
    QFETCH(int, count);
    QFETCH(int, description);
    QFETCH(bool, descriptionLine);
    QFETCH(QString, expected);

    FrmTsMain &screen = *screens().main;
    screen.CmbSel[2]->setCurrentIndex(keywords);
    screen.SpnVeld[0]->setValue(count);
    screen.CmbSel[3]->setCurrentIndex(description);
    if (screen.ChkVeld[0]->isChecked() != descriptionLine)
        QTest::mouseClick(screen.ChkVeld[0], Qt::LeftButton);
    const RunOptions options = screen.runOptions();
    QCOMPARE(QStringLiteral("%1 %2 %3 %4")
                 .arg(int(options.topKeywords))
                 .arg(options.topKeywordCount)
                 .arg(int(options.pageDescriptions))
                 .arg(int(screen.CmbSel[3]->isEnabled())),
             expected);
    if (!descriptionLine)
        QTest::mouseClick(screen.ChkVeld[0], Qt::LeftButton);
}

void TestMainChoices::entriesFollowTheLanguage_data()
{
    QTest::addColumn<int>("langOffset");
    QTest::newRow("Dutch") << DutchOffset;
    QTest::newRow("English") << EnglishOffset;
}

void TestMainChoices::entriesFollowTheLanguage()
{
    QFETCH(int, langOffset);
    Module1::LangOffset = langOffset;
    Module1::LocaliseAll();
    const FrmTsMain &screen = *screens().main;
    const int ids[2][2] = {{ids::EveryWord, ids::TellingWords}, {ids::SameDescription, ids::OwnDescription}};
    for (int list = 0; list < 2; ++list) {
        for (int entry = 0; entry < 2; ++entry)
            QCOMPARE(screen.CmbSel[2 + list]->itemText(entry), loadString(ids[list][entry] + langOffset).value());
    }
    QCOMPARE(screen.SpnVeld[0]->toolTip(), loadString(ids::KeywordCountTip + langOffset).value());
}

QTEST_MAIN(TestMainChoices)
#include "tst_MainChoices.moc"
