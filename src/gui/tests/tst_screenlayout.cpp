// How the screens hold their controls: the Tab key's way through the options, every text shown whole
// in both languages, and a frame that cannot be made too small for its controls.

#include "gui/FrmMdiTs.h"
#include "gui/tests/ProgramUnderTest.h"
#include "text/StringTable.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

// What of a control's text does not fit its box, in pixels (0 when it fits).
int overflow(QWidget *control)
{
    if (auto *label = qobject_cast<QLabel *>(control)) {
        if (label->text().isEmpty() || !label->pixmap().isNull())
            return 0;
        const QRect box = label->contentsRect();
        if (label->wordWrap())
            return qMax(0, label->heightForWidth(label->width()) - label->height());
        return qMax(0, label->fontMetrics().horizontalAdvance(label->text()) - box.width());
    }
    if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        // The room a line edit gives its text: its box less the frame and text margins of its style.
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
        const QRect room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit)
                               .marginsRemoved(edit->textMargins()).adjusted(2, 0, -2, 0);
        return qMax(0, edit->fontMetrics().horizontalAdvance(edit->text()) - room.width());
    }
    if (auto *button = qobject_cast<QPushButton *>(control); button && !button->text().isEmpty())
        return qMax(0, button->sizeHint().width() - button->width());
    return 0;
}

} // namespace

class TestScreenLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void focusOrder();
    void textsShowWhole_data();
    void textsShowWhole();
    void smallestFrameShowsEveryControl();

private:
    QTemporaryDir m_program;
};

void TestScreenLayout::initTestCase()
{
    QVERIFY(startProgram(m_program));
}

void TestScreenLayout::focusOrder()
{
    FrmTsMain &main = *screens().main;
    click(screens().top->CmdKnop[0]);
    frame()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame()));
    main.TxtVeld[0]->setFocus();
    const QStringList expected = {
        QStringLiteral("TxtVeld_0"), QStringLiteral("TxtVeld_1"), QStringLiteral("CmdKnop_0"), QStringLiteral("ChkVeld_0"),
        QStringLiteral("ChkVeld_1"), QStringLiteral("ChkVeld_2"), QStringLiteral("TxtVeld_2"), QStringLiteral("CmbSel_0"),
        QStringLiteral("CmdKnop_1"), QStringLiteral("ChkVeld_3"), QStringLiteral("ChkVeld_4"), QStringLiteral("ChkVeld_5"),
        QStringLiteral("ChkVeld_6"), QStringLiteral("ChkVeld_7"), QStringLiteral("CmbSel_1"), QStringLiteral("ChkVeld_8")};
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QWidget *focused = QApplication::focusWidget();
        QVERIFY(focused);
        // An editable list takes the focus in its line edit.
        QWidget *control = qobject_cast<QComboBox *>(focused->parentWidget()) ? focused->parentWidget() : focused;
        visited << control->objectName();
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    QCOMPARE(visited, expected);
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
            if (const int missing = overflow(control))
                cut << QStringLiteral("%1.%2 \"%3\" (%4 px)")
                           .arg(screen->objectName(), control->objectName(),
                                control->property("text").toString())
                           .arg(missing);
        }
    }
    // Every message of the popup, with the longest file-error text and a path under it.
    for (const int textId : {1032, 1033, 1047, 1048, 1050, 2075}) {
        Module1::showMessage(1030, textId, QStringLiteral("/home/webmaster/sites/example.org/index.htm"));
        if (const int missing = overflow(popup()->findChild<QLabel *>(QStringLiteral("LblVeld"))))
            cut << QStringLiteral("message %1 (%2 px)").arg(textId).arg(missing);
        closePopup();
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
}

void TestScreenLayout::smallestFrameShowsEveryControl()
{
    QWidget *mdi = frame();
    mdi->resize(1, 1);
    const QRect inside = mdi->rect();
    const Module1::Screens &s = screens();
    for (QWidget *screen : std::initializer_list<QWidget *>{s.top, s.main, s.dir, s.set, s.info}) {
        for (QWidget *control : screen->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const QRect place(control->mapTo(mdi, QPoint(0, 0)), control->size());
            QVERIFY2(inside.contains(place), qPrintable(screen->objectName() + QLatin1Char('.') + control->objectName()));
        }
    }
}

QTEST_MAIN(TestScreenLayout)
#include "tst_screenlayout.moc"
