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
    void cleanup()
    {
        closePopup();
        Module1::LangOffset = EnglishOffset;
        QVERIFY(frame()->isEnabled());
    }

    void texts_data()
    {
        test::addTableRows(QFINDTESTDATA("data/popup-texts.txt"),
                           {"language", "titleId", "textId", "detail", "title", "text"});
    }

    void texts()
    {
        QFETCH(QString, language);
        QFETCH(QString, titleId);
        QFETCH(QString, textId);
        QFETCH(QString, detail);
        QFETCH(QString, title);
        QFETCH(QString, text);
        Module1::LangOffset = language.toInt();
        Module1::showMessage(titleId.toInt(), textId.toInt(), detail);
        QVERIFY(popup());
        QCOMPARE(popupTitle(), title);
        QCOMPARE(popupText(), QString::fromUtf8(test::unescape(text)));
        QCOMPARE(QStringLiteral("%1 %2").arg(Module1::PopTitleId).arg(Module1::PopTextId), titleId + u' ' + textId);
        QVERIFY(!frame()->isEnabled());
    }

    // A text of more lines than the popup has room for makes it taller; no line is cut off.
    void longTextFits()
    {
        Module1::showMessage(ids::ErrorTitle, 1032);
        const int shortHeight = Module1::popup()->height();
        closePopup();
        Module1::showMessage(ids::ErrorTitle, ids::NoUndoData, QStringLiteral("/site/of/a/club"));
        const FrmPopUpOK *open = Module1::popup();
        QVERIFY(open->height() > shortHeight);
        QVERIFY(open->LblVeld->height() >= open->LblVeld->heightForWidth(open->LblVeld->width()));
        QVERIFY(open->OKButton->geometry().top() > open->LblVeld->geometry().bottom());
        QVERIFY(open->rect().contains(open->OKButton->geometry()));
    }

    void secondMessageShowsItsText()
    {
        Module1::showMessage(ids::ErrorTitle, ids::NoUndoData, QStringLiteral("/site/of/a/club"));
        QPointer<FrmPopUpOK> first = Module1::popup();
        const int tallHeight = first->height();
        Module1::showMessage(1046, 1047, QStringLiteral("/site/a.htm"));
        QCOMPARE(Module1::popup(), first.data());
        QVERIFY(popupText().startsWith(loadString(1147).value()));
        QVERIFY(popupText().endsWith(QStringLiteral("/site/a.htm")));
        QCOMPARE(popupTitle(), loadString(1146).value());
        QVERIFY(first->height() <= tallHeight);
        // A text the table lacks leaves the message empty, not the one before.
        Module1::showMessage(ids::ErrorTitle, ids::FileErrorBase + 5);
        QCOMPARE(popupText(), QString());
        QCOMPARE(QString::number(Module1::PopTitleId) + QString::number(Module1::PopTextId),
                 QStringLiteral("10302005"));
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.cbegin(), windows.cend(),
                               [](QWidget *w) { return qobject_cast<FrmPopUpOK *>(w) && w->isVisible(); }),
                 1);
    }

    void everyCloseEnablesFrame_data()
    {
        QTest::addColumn<int>("how");
        int how = 0;
        for (const char *name : {"OK", "title-bar close", "Escape", "Enter on OK"})
            QTest::newRow(name) << how++;
    }

    void everyCloseEnablesFrame()
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

        QVERIFY(frame()->isEnabled() && !Module1::popup());
        closePopup(); // lets the closed one go for good
        QVERIFY(!open);
        // The next message gets a popup of its own with its own text.
        Module1::showMessage(1030, 1033);
        QCOMPARE(popupText(), QStringLiteral("No file selected."));
    }

    void openPopupKeepsItsLanguage()
    {
        Module1::showMessage(1030, 1032);
        Module1::LangOffset = DutchOffset;
        Module1::LocaliseAll();
        QCOMPARE(popupTitle(), QStringLiteral("Tagsmith Error:"));
        QCOMPARE(popupText(), QStringLiteral("No directory selected."));
    }

    void closingFrameTakesPopupAlong()
    {
        // Otherwise the popup would keep the program alive with its frame gone.
        Module1::showMessage(1030, 1032);
        frame()->close();
        QVERIFY(!Module1::popup());
        frame()->show();
    }

private:
    QTemporaryDir m_program;
};

QTEST_MAIN(TestFrmPopUpOK)
#include "tst_frmpopupok.moc"
