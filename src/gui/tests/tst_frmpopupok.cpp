// The message popup: its texts in both languages, one popup at a time, every way of closing it giving
// the frame back, and the frame taking it along when it closes.

#include "TestSupport.h"
#include "gui/FrmMdiTs.h"
#include "gui/FrmPopUpOK.h"
#include "gui/tests/ProgramUnderTest.h"
#include "text/StringTable.h"

#include <QPointer>
#include <QPushButton>
#include <QWindow>

using namespace tagsmith;
using namespace tagsmith::testing;

class TestFrmPopUpOK : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(startProgram(m_program)); }
    void cleanup();
    void texts_data();
    void texts();
    void secondMessageKeepsFirst();
    void everyCloseEnablesFrame_data();
    void everyCloseEnablesFrame();
    void openPopupKeepsItsLanguage();
    void closingFrameTakesPopupAlong();

private:
    QTemporaryDir m_program;
};

void TestFrmPopUpOK::cleanup()
{
    closePopup();
    Module1::LangOffset = EnglishOffset;
    QVERIFY(frame()->isEnabled());
}

void TestFrmPopUpOK::texts_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("titleId");
    QTest::addColumn<int>("textId");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    for (const QStringList &row : test::readTable(QFINDTESTDATA("data/popup-texts.txt")))
        QTest::newRow(qPrintable(row[0])) << row[1].toInt() << row[2].toInt() << row[3].toInt() << row[4] << row[5]
                                          << QString::fromUtf8(test::unescape(row.value(6)));
}

void TestFrmPopUpOK::texts()
{
    QFETCH(int, language);
    QFETCH(int, titleId);
    QFETCH(int, textId);
    QFETCH(QString, detail);
    QFETCH(QString, title);
    QFETCH(QString, text);

    Module1::LangOffset = language;
    Module1::showMessage(titleId, textId, detail);
    QVERIFY(popup());
    QCOMPARE(popupTitle(), title);
    QCOMPARE(popupText(), text);
    QCOMPARE(Module1::PopTitleId, titleId);
    QCOMPARE(Module1::PopTextId, textId);
    QVERIFY(!frame()->isEnabled());
}

void TestFrmPopUpOK::secondMessageKeepsFirst()
{
    Module1::showMessage(1030, 1032);
    QPointer<FrmPopUpOK> first = Module1::popup();
    Module1::showMessage(1046, 1047, QStringLiteral("/site/a.htm"));
    QCOMPARE(Module1::popup(), first.data());
    QCOMPARE(popupText(), QStringLiteral("No directory selected."));
    QCOMPARE(Module1::PopTitleId, 1046);
    QCOMPARE(Module1::PopTextId, 1047);
    int popups = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        popups += qobject_cast<FrmPopUpOK *>(w) && w->isVisible();
    QCOMPARE(popups, 1);
    QVERIFY(!frame()->isEnabled());
}

void TestFrmPopUpOK::everyCloseEnablesFrame_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("OK") << 0;
    QTest::newRow("title-bar close") << 1;
    QTest::newRow("Escape") << 2;
    QTest::newRow("Enter on OK") << 3;
}

void TestFrmPopUpOK::everyCloseEnablesFrame()
{
    QFETCH(int, how);
    Module1::showMessage(1030, 1032);
    QPointer<FrmPopUpOK> open = Module1::popup();
    QVERIFY(QTest::qWaitForWindowExposed(open));
    QVERIFY(!frame()->isEnabled());
    if (how == 0)
        QTest::mouseClick(open->OKButton, Qt::LeftButton);
    else if (how == 1)
        open->windowHandle()->close();
    else
        QTest::keyClick(open->OKButton, how == 2 ? Qt::Key_Escape : Qt::Key_Return);

    QVERIFY(frame()->isEnabled());
    QVERIFY(!Module1::popup());
    closePopup(); // lets the closed one go for good
    QVERIFY(!open);
    // The next message gets a popup of its own with its own text.
    Module1::showMessage(1030, 1033);
    QCOMPARE(popupText(), QStringLiteral("No file selected."));
}

void TestFrmPopUpOK::openPopupKeepsItsLanguage()
{
    Module1::showMessage(1030, 1032);
    Module1::LangOffset = DutchOffset;
    Module1::LocaliseAll();
    QCOMPARE(popupTitle(), QStringLiteral("Tagsmith Error:"));
    QCOMPARE(popupText(), QStringLiteral("No directory selected."));
    closePopup();

    Module1::showMessage(1030, 1032);
    QCOMPARE(popupTitle(), QStringLiteral("Tagsmith Foutmelding:"));
    QCOMPARE(popupText(), QStringLiteral("Er is geen map geselecteerd"));
}

void TestFrmPopUpOK::closingFrameTakesPopupAlong()
{
    // Otherwise the popup would keep the program alive with its frame gone.
    Module1::showMessage(1030, 1032);
    frame()->close();
    QVERIFY(!Module1::popup());
    frame()->show();
}

QTEST_MAIN(TestFrmPopUpOK)
#include "tst_frmpopupok.moc"
