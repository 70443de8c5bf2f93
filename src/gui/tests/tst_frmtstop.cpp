// The frame and its navigation bar: switching screens, the language button, a run started from another
// screen, how the screens hold their controls (the Tab key's way, texts shown whole in both languages, a
// frame that cannot be made too small), and the end of the program.

#include "gui/ScreenControls.h"
#include "gui/tests/ProgramUnderTest.h"
#include "text/StringTable.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

QList<QWidget *> contentScreens()
{
    return {screens().main, screens().dir, screens().set, screens().info};
}

// The one content screen shown, nullptr for none or more than one.
QWidget *visibleContentScreen()
{
    QWidgetList shown = contentScreens();
    shown.removeIf([](QWidget *screen) { return !screen->isVisible(); });
    return shown.size() == 1 ? shown.front() : nullptr;
}

// Every text of the screens that the language may change: captions, texts and tooltips.
QMap<QString, QString> allTexts()
{
    QMap<QString, QString> texts;
    for (QWidget *screen : contentScreens() + QWidgetList{screens().top}) {
        for (QWidget *w : screen->findChildren<QWidget *>()) {
            const QString key = screen->objectName() + QLatin1Char('.') + w->objectName();
            const QVariant text = w->property("text");
            if (text.isValid())
                texts[key] = text.toString();
            if (!w->toolTip().isEmpty())
                texts[key + QStringLiteral(".tip")] = w->toolTip();
        }
    }
    return texts;
}

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

class TestFrmTsTop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(startProgram(m_program)); }
    void cleanup()
    {
        if (!screens().top)
            return; // the program has ended
        while (popup())
            closePopup();
        if (Module1::LangOffset != EnglishOffset)
            click(screens().top->CmdKnop[3]);
        frame()->setEnabled(true);
    }

    void screensKeepTheirContents()
    {
        FrmTsMain &main = *screens().main;
        FrmTsSet &format = *screens().set;
        const auto bar = screens().top->CmdKnop;
        const QString generator = QStringLiteral("<META NAME=\"generator\" CONTENT=\"mine\">");
        click(bar[0]);
        QTest::keyClicks(main.TxtVeld[1], QStringLiteral("/srv/www/index.htm"));
        click(main.ChkVeld[1]);
        click(bar[1]);
        click(format.CmdKnop[1]);
        format.TxtVeld[7]->setText(generator);
        // The chooser, left by the bar instead of its OK: it keeps its target.
        click(bar[0]);
        click(main.CmdKnop[1]);
        QCOMPARE(visibleContentScreen(), screens().dir);
        click(bar[4]);
        QCOMPARE(Module1::BrowseTarget, 1);
        QCOMPARE(visibleContentScreen(), screens().info);
        click(bar[0]);
        QCOMPARE(visibleContentScreen(), screens().main);
        QCOMPARE(main.TxtVeld[1]->text(), QStringLiteral("/srv/www/index.htm"));
        QVERIFY(!main.ChkVeld[1]->isChecked());
        click(bar[1]);
        QCOMPARE(visibleContentScreen(), screens().set);
        QCOMPARE(format.TxtVeld[7]->text(), generator);
        QVERIFY(format.TxtVeld[7]->isEnabled());

        click(format.CmdKnop[0]);
        click(bar[0]);
        click(main.ChkVeld[1]);
        main.TxtVeld[1]->clear();
        Module1::BrowseTarget = 0;
    }

    // The face and pressed pictures change places at every switch; the disabled one follows the face. Every
    // screen with words of its own changes language, the hidden ones too, and changes back.
    void languageButton()
    {
        PictureButton &button = *screens().top->CmdKnop[3];
        const qint64 face = button.facePicture().cacheKey();
        const qint64 pressed = button.pressedPicture().cacheKey();
        // The description box as nobody has touched it yet (an earlier test typed into the main screen).
        controls::setTag(screens().main->TxtVeld[2], ids::SitePrompt);
        Module1::LocaliseAll();
        const QMap<QString, QString> english = allTexts();

        click(&button);
        QCOMPARE(Module1::LangOffset, int(DutchOffset));
        QCOMPARE((QList<qint64>{button.facePicture().cacheKey(), button.pressedPicture().cacheKey(),
                                button.disabledPicture().cacheKey()}),
                 (QList<qint64>{pressed, face, pressed}));
        const QMap<QString, QString> dutch = allTexts();
        for (QWidget *screen : QWidgetList{screens().main, screens().set, screens().info}) {
            const QString prefix = screen->objectName() + QLatin1Char('.');
            QVERIFY2(std::any_of(english.keyBegin(), english.keyEnd(),
                                 [&](const QString &key) {
                                     return key.startsWith(prefix) && english.value(key) != dutch.value(key);
                                 }),
                     qPrintable(prefix));
        }

        click(&button);
        QCOMPARE(Module1::LangOffset, int(EnglishOffset));
        QCOMPARE(allTexts(), english);
        QCOMPARE(button.facePicture().cacheKey(), face);
        QCOMPARE(button.disabledPicture().cacheKey(), face);
    }

    void runFromAnotherScreen()
    {
        click(screens().top->CmdKnop[4]);
        screens().main->TxtVeld[0]->clear();
        click(screens().top->CmdKnop[2]);
        // The main screen comes to the front first, then the run answers.
        QCOMPARE(visibleContentScreen(), screens().main);
        QCOMPARE(popupText(), QStringLiteral("No directory selected."));
        // When its action is over the bar takes input again, even with the message still open.
        QVERIFY(frame()->isEnabled());
    }

    void tabFollowsTheFocusOrder()
    {
        click(screens().top->CmdKnop[0]);
        frame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame()));
        QStringList expected;
        for (QWidget *w : screens().main->focusOrder())
            if (w->isVisibleTo(frame()) && w->isEnabled())
                expected << w->objectName();
        screens().main->TxtVeld[0]->setFocus();
        QStringList visited;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QWidget *focused = QApplication::focusWidget();
            QVERIFY(focused);
            // An editable list has the focus in its line edit.
            visited << (qobject_cast<QComboBox *>(focused->parentWidget()) ? focused->parentWidget() : focused)
                           ->objectName();
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QCOMPARE(visited, expected);
    }

    void textsShowWhole()
    {
        for (const int language : {EnglishOffset, DutchOffset}) {
            if (Module1::LangOffset != language)
                click(screens().top->CmdKnop[3]);
            QStringList cut;
            for (QWidget *screen : contentScreens())
                for (QWidget *control : screen->findChildren<QWidget *>())
                    if (overflow(control) > 0)
                        cut << control->property("text").toString();
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(" | "))));
        }
    }

    // What a screen reader says for every control a user can reach, in the language shown.
    void everyControlHasAName()
    {
        Module1::showMessage(ids::ErrorTitle, ids::NoDirectory);
        for (const int language : {EnglishOffset, DutchOffset}) {
            Module1::LangOffset = language;
            Module1::LocaliseAll();
            QStringList unnamed;
            QStringList named;
            for (QWidget *screen : contentScreens() + QWidgetList{screens().top, popup()}) {
                const bool shown = screen->isVisible();
                screen->show();
                for (QWidget *control : screen->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                    if (!control->isVisible() || control->focusPolicy() == Qt::NoFocus)
                        continue;
                    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(control);
                    const QString name = face ? face->text(QAccessible::Name) : QString();
                    (name.trimmed().isEmpty() ? unnamed : named) << control->objectName() + QLatin1Char('=') + name;
                }
                screen->setVisible(shown);
            }
            QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(" | "))));
            // The names follow the language: the exit button's tooltip.
            QVERIFY(named.contains(QStringLiteral("CmdKnop_5=") + loadString(1051 + language).value()));
        }
        Module1::LangOffset = EnglishOffset;
        Module1::LocaliseAll();
    }

    void smallestFrameShowsEveryControl()
    {
        frame()->resize(1, 1);
        for (QWidget *screen : contentScreens() + QWidgetList{screens().top}) {
            for (QWidget *control : screen->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                QVERIFY2(frame()->rect().contains(QRect(control->mapTo(frame(), QPoint()), control->size())),
                         qPrintable(control->objectName()));
        }
    }

    void exitEndsTheProgram()
    {
        QTimer::singleShot(0, [] { click(screens().top->CmdKnop[5]); });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!screens().top);
        QVERIFY(!screens().mdi);
    }

private:
    QTemporaryDir m_program;
};

QTEST_MAIN(TestFrmTsTop)
#include "tst_frmtstop.moc"
