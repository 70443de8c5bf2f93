// How the screens hold their controls: the Tab key's way through the options, every text shown whole
// in both languages, and a frame that cannot be made too small for its controls.

#include "gui/tests/ProgramUnderTest.h"
#include "text/StringTable.h"

#include <QComboBox>
#include <QLineEdit>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

// How many pixels of a label's or a text box's text do not fit its box.
int overflow(QWidget *control)
{
    if (auto *label = qobject_cast<QLabel *>(control)) {
        if (label->wordWrap())
            return label->heightForWidth(label->width()) - label->height();
        return label->fontMetrics().horizontalAdvance(label->text()) - label->contentsRect().width();
    }
    if (auto *edit = qobject_cast<QLineEdit *>(control)) // less the frame and margins of the style
        return edit->fontMetrics().horizontalAdvance(edit->text()) - (edit->width() - 10);
    return 0;
}

} // namespace

class TestScreenLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(startProgram(m_program)); }
    void focusOrder();
    void textsShowWhole_data();
    void textsShowWhole();
    void smallestFrameShowsEveryControl();

private:
    QTemporaryDir m_program;
};

void TestScreenLayout::focusOrder()
{
    frame()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame()));
    screens().main->TxtVeld[0]->setFocus();
    QStringList visited;
    for (int i = 0; i < 16; ++i) {
        QWidget *focused = QApplication::focusWidget();
        QVERIFY(focused);
        // An editable list has the focus in its line edit.
        visited
            << (qobject_cast<QComboBox *>(focused->parentWidget()) ? focused->parentWidget() : focused)->objectName();
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    QCOMPARE(visited.join(QLatin1Char(' ')),
             QStringLiteral("TxtVeld_0 TxtVeld_1 CmdKnop_0 ChkVeld_0 ChkVeld_1 ChkVeld_2 TxtVeld_2 CmbSel_0 CmdKnop_1 "
                            "ChkVeld_3 ChkVeld_4 ChkVeld_5 ChkVeld_6 ChkVeld_7 CmbSel_1 ChkVeld_8"));
}

void TestScreenLayout::textsShowWhole_data()
{
    QTest::addColumn<int>("langOffset");
    QTest::newRow("English") << int(EnglishOffset);
    QTest::newRow("Dutch") << int(DutchOffset);
}

void TestScreenLayout::textsShowWhole()
{
    QFETCH(int, langOffset);
    if (Module1::LangOffset != langOffset)
        click(screens().top->CmdKnop[3]);
    QStringList cut;
    const Module1::Screens &s = screens();
    for (QWidget *screen : std::initializer_list<QWidget *>{s.main, s.dir, s.set, s.info}) {
        for (QWidget *control : screen->findChildren<QWidget *>()) {
            if (overflow(control) > 0)
                cut << control->property("text").toString();
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(" | "))));
}

void TestScreenLayout::smallestFrameShowsEveryControl()
{
    frame()->resize(1, 1);
    const Module1::Screens &s = screens();
    for (QWidget *screen : std::initializer_list<QWidget *>{s.top, s.main, s.dir, s.set, s.info}) {
        for (QWidget *control : screen->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(frame()->rect().contains(QRect(control->mapTo(frame(), QPoint()), control->size())),
                     qPrintable(control->objectName()));
    }
}

QTEST_MAIN(TestScreenLayout)
#include "tst_screenlayout.moc"
