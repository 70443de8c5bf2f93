#include "TestSupport.h"
#include "gui/FrmMdiTs.h"
#include "gui/FrmPopUpOK.h"
#include "gui/Module1.h"
#include "text/StringTable.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

using namespace tagsmith;

namespace {

// Lets the popup that closed go away for good.
void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

FrmMdiTs *frame()
{
    return Module1::screens().mdi;
}

} // namespace

class TestFrmPopUpOK : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void texts_data();
    void texts();
    void detailLine();
    void secondMessageKeepsFirst();
    void everyCloseEnablesFrame_data();
    void everyCloseEnablesFrame();
    void openPopupKeepsItsLanguage();
    void closingFrameTakesPopupAlong();

private:
    QTemporaryDir m_folder;
};

void TestFrmPopUpOK::initTestCase()
{
    QVERIFY(Module1::Main(m_folder.path()));
}

void TestFrmPopUpOK::cleanupTestCase()
{
    Module1::destroyScreens();
}

void TestFrmPopUpOK::cleanup()
{
    if (FrmPopUpOK *open = Module1::popup())
        open->close();
    flushDeletes();
    Module1::LangOffset = EnglishOffset;
    QVERIFY(frame()->isEnabled());
}

void TestFrmPopUpOK::texts_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("titleId");
    QTest::addColumn<int>("textId");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    for (const QStringList &row : test::readTable(QFINDTESTDATA("data/popup-texts.txt")))
        QTest::newRow(qPrintable(row[0]))
            << row[1].toInt() << row[2].toInt() << row[3].toInt() << row[4] << row.value(5);
}

void TestFrmPopUpOK::texts()
{
    QFETCH(int, language);
    QFETCH(int, titleId);
    QFETCH(int, textId);
    QFETCH(QString, title);
    QFETCH(QString, text);

    Module1::LangOffset = language;
    Module1::showMessage(titleId, textId);
    FrmPopUpOK *popup = Module1::popup();
    QVERIFY(popup);
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->windowTitle(), title);
    QCOMPARE(popup->LblVeld->text(), text);
    QCOMPARE(Module1::PopTitleId, titleId);
    QCOMPARE(Module1::PopTextId, textId);
    QVERIFY(!frame()->isEnabled());
}

void TestFrmPopUpOK::detailLine()
{
    Module1::showMessage(1030, 2053, QStringLiteral("/site/index.htm"));
    QCOMPARE(Module1::popup()->LblVeld->text(), QStringLiteral("File not found.\n/site/index.htm"));
    Module1::popup()->close();
    flushDeletes();

    // A page without a text of its own still names the page.
    Module1::showMessage(1030, 2005, QStringLiteral("/site/index.htm"));
    QCOMPARE(Module1::popup()->LblVeld->text(), QStringLiteral("/site/index.htm"));
}

void TestFrmPopUpOK::secondMessageKeepsFirst()
{
    Module1::showMessage(1030, 1032);
    QPointer<FrmPopUpOK> first = Module1::popup();
    Module1::showMessage(1046, 1047, QStringLiteral("/site/a.htm"));
    QCOMPARE(Module1::popup(), first.data());
    QCOMPARE(first->windowTitle(), QStringLiteral("Tagsmith Error:"));
    QCOMPARE(first->LblVeld->text(), QStringLiteral("No directory selected."));
    QCOMPARE(Module1::PopTitleId, 1046);
    QCOMPARE(Module1::PopTextId, 1047);
    int popups = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        popups += qobject_cast<FrmPopUpOK *>(w) && w->isVisible();
    QCOMPARE(popups, 1);
    QVERIFY(!frame()->isEnabled());
}

// clang-format off
void TestFrmPopUpOK::everyCloseEnablesFrame_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("OK") << "ok";
    QTest::newRow("title-bar close") << "window";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("Enter on OK") << "enter";
}
// clang-format on

void TestFrmPopUpOK::everyCloseEnablesFrame()
{
    QFETCH(QString, how);
    Module1::showMessage(1030, 1032);
    QPointer<FrmPopUpOK> popup = Module1::popup();
    QVERIFY(QTest::qWaitForWindowExposed(popup));
    QVERIFY(!frame()->isEnabled());

    if (how == QLatin1String("ok"))
        QTest::mouseClick(popup->OKButton, Qt::LeftButton);
    else if (how == QLatin1String("window"))
        popup->windowHandle()->close();
    else if (how == QLatin1String("escape"))
        QTest::keyClick(popup->OKButton, Qt::Key_Escape);
    else
        QTest::keyClick(popup->OKButton, Qt::Key_Return);

    QVERIFY(frame()->isEnabled());
    QVERIFY(!Module1::popup());
    flushDeletes();
    QVERIFY(!popup);

    // The next message gets a popup of its own with its own text.
    Module1::showMessage(1030, 1033);
    QVERIFY(Module1::popup());
    QCOMPARE(Module1::popup()->LblVeld->text(), QStringLiteral("No file selected."));
}

void TestFrmPopUpOK::openPopupKeepsItsLanguage()
{
    Module1::showMessage(1030, 1032);
    FrmPopUpOK *popup = Module1::popup();
    Module1::LangOffset = DutchOffset;
    Module1::LocaliseAll();
    QCOMPARE(popup->windowTitle(), QStringLiteral("Tagsmith Error:"));
    QCOMPARE(popup->LblVeld->text(), QStringLiteral("No directory selected."));
    popup->OKButton->click();
    flushDeletes();

    Module1::showMessage(1030, 1032);
    QCOMPARE(Module1::popup()->windowTitle(), QStringLiteral("Tagsmith Foutmelding:"));
    QCOMPARE(Module1::popup()->LblVeld->text(), QStringLiteral("Er is geen map geselecteerd"));
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
