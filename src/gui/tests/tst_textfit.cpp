// Every text of every window shows whole: each caption, check box, button and drop-down entry against
// the room of its control, in Dutch and in English, at the usual font and at a font a quarter larger.
// The controls are found by walking the windows, so a control added later is measured as well. (The screens
// in fixed places keep the small font they were laid out for; the larger font reaches the windows laid out
// by layouts: the message, the report, the preview, the undo window.)

#include "TestSupport.h"
#include "gui/tests/ProgramUnderTest.h"

#include "gui/FrmUndo.h"
#include "gui/Localise.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>

#include <functional>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

QWidget *openWindow(const char *name)
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String(name) && window->isVisible())
            return window;
    return nullptr;
}

// The width a button's text (and picture) needs, with the style's room around it.
int neededWidth(QAbstractButton *button)
{
    const int text = button->fontMetrics().horizontalAdvance(button->text().remove(QLatin1Char('&')));
    QStyleOptionButton option;
    option.initFrom(button);
    if (qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button))
        return button->style()
            ->sizeFromContents(qobject_cast<QCheckBox *>(button) ? QStyle::CT_CheckBox : QStyle::CT_RadioButton,
                               &option, QSize(text, button->fontMetrics().height()), button)
            .width();
    return text + (button->icon().isNull() ? 0 : button->iconSize().width() + 4) +
           button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button) +
           2 * button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
}

// The texts of a control that do not show whole, each with what it needs and what it has.
QStringList cutTexts(QWidget *control)
{
    QStringList cut;
    const auto check = [&](const QString &text, int needed, int room) {
        if (needed > room)
            cut << QStringLiteral("%1 \"%2\": %3 > %4 px").arg(control->objectName(), text).arg(needed).arg(room);
    };
    if (auto *label = qobject_cast<QLabel *>(control)) {
        if (label->text().isEmpty() || label->textFormat() == Qt::RichText)
            return cut;
        const int room = label->contentsRect().width() - 2 * label->margin() - std::max(label->indent(), 0);
        // A label that wraps needs room for its longest word and height for its lines.
        const QString split = label->wordWrap() ? QStringLiteral("\\s+") : QStringLiteral("\n");
        for (const QString &part : label->text().split(QRegularExpression(split), Qt::SkipEmptyParts))
            check(part, label->fontMetrics().horizontalAdvance(part), room);
        if (label->wordWrap())
            check(label->text(), label->heightForWidth(label->width()), label->height());
    } else if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        if (!button->text().isEmpty())
            check(button->text(), neededWidth(button), button->width());
    } else if (auto *list = qobject_cast<QComboBox *>(control)) {
        // An entry of the program's texts shows whole in the closed list, whichever the user picks; any
        // other entry (a volume of the machine) shows whole in the open list.
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.editable = list->isEditable();
        list->showPopup();
        const int openRoom = list->view()->viewport()->width();
        list->hidePopup();
        for (int i = 0; i < list->count(); ++i) {
            const QSize text(list->fontMetrics().horizontalAdvance(list->itemText(i)), list->fontMetrics().height());
            if (list->itemData(i, ItemTagRole).isValid() || list->isEditable())
                check(list->itemText(i),
                      list->style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, list).width(), list->width());
            else
                check(list->itemText(i), text.width(), openRoom);
        }
    } else if (auto *box = qobject_cast<QLineEdit *>(control)) {
        // Only a text the program puts in (it carries the id of its text); what the user types may scroll.
        if (!box->property(TagProperty).toString().isEmpty())
            check(box->text(), box->fontMetrics().horizontalAdvance(box->text()) + 8, box->width());
    }
    return cut;
}

// Every control of the open windows. Beside the controls shown, a screen laid out in fixed places also has
// its controls that show only at times (the progress and Cancel of a run) measured where they stand.
QStringList cutTextsOfOpenWindows()
{
    QStringList cut;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        for (QWidget *control : window->findChildren<QWidget *>()) {
            const QWidget *parent = control->parentWidget();
            const bool placed = parent && parent->isVisible() && !parent->layout() &&
                                parent->objectName().startsWith(QLatin1String("Frm"));
            if (control->isVisible() || placed)
                cut << cutTexts(control);
        }
    }
    return cut;
}

} // namespace

class TestTextFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(startProgram(m_program));
        m_font = QApplication::font();
        const QString site = m_sites.path() + QStringLiteral("/site");
        test::makeSite(site, {QStringLiteral("a.htm Sailing boats"), QStringLiteral("b.htm Harbour pilots")});
        screens().main->TxtVeld[0]->setText(site);
    }

    void textsShowWhole_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QString>("window");
        // In this order: the report's run leaves the undo data the undo window shows.
        for (const int lang : {DutchOffset, EnglishOffset})
            for (const double scale : {1.0, 1.25})
                for (const char *window : {"main", "format", "about", "chooser", "popup", "report", "preview", "undo"})
                    QTest::addRow("%s %.2f %s", lang == DutchOffset ? "nl" : "en", scale, window)
                        << lang << scale << QString::fromLatin1(window);
    }

    void textsShowWhole()
    {
        QFETCH(int, lang);
        QFETCH(double, scale);
        QFETCH(QString, window);
        QFont font = m_font;
        font.setPointSizeF(m_font.pointSizeF() * scale);
        QApplication::setFont(font);
        if (Module1::LangOffset != lang)
            click(screens().top->CmdKnop[3]);
        QCOMPARE(Module1::LangOffset, lang);

        FrmTsMain &main = *screens().main;
        const std::map<QString, std::function<QWidget *()>> openers{
            {QStringLiteral("main"), [] { return Module1::showChildForm(screens().main), screens().main; }},
            {QStringLiteral("format"), [] { return Module1::showChildForm(screens().set), screens().set; }},
            {QStringLiteral("about"), [] { return Module1::showChildForm(screens().info), screens().info; }},
            {QStringLiteral("chooser"), [&] { return click(main.CmdKnop[0]), screens().dir; }},
            {QStringLiteral("popup"),
             [] { return Module1::showMessage(ids::ErrorTitle, ids::NoUndoData, QStringLiteral("/site")), popup(); }},
            {QStringLiteral("report"), [] { return click(screens().top->CmdKnop[2]), openWindow("RunReportWindow"); }},
            {QStringLiteral("preview"), [&] { return click(main.PreviewButton), openWindow("RunReportWindow"); }},
            {QStringLiteral("undo"), [&] { return click(main.CmdUndo), openWindow("FrmUndo"); }},
        };
        QWidget *shown = openers.at(window)();
        QVERIFY2(shown && shown->isVisible(), qPrintable(window));
        const QStringList cut = cutTextsOfOpenWindows();

        // Back to the main screen with no window open over it.
        while (popup())
            closePopup();
        for (const char *name : {"RunReportWindow", "FrmUndo"})
            if (QWidget *open = openWindow(name))
                open->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Module1::showChildForm(screens().main);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    }

    void cleanupTestCase() { QApplication::setFont(m_font); }

private:
    QTemporaryDir m_program;
    QTemporaryDir m_sites;
    QFont m_font;
};

QTEST_MAIN(TestTextFit)
#include "tst_textfit.moc"
