// The navigation bar and the about screen: switching screens, the language button with its pictures
// and tooltips, a run started from another screen, the about texts, and the end of the program.

#include "gui/ScreenControls.h"
#include "gui/tests/ProgramUnderTest.h"
#include "text/StringTable.h"

#include <QCheckBox>
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

QWidget *visibleContentScreen()
{
    QWidget *shown = nullptr;
    for (QWidget *screen : contentScreens()) {
        if (screen->isVisible()) {
            if (shown)
                return nullptr; // more than one
            shown = screen;
        }
    }
    return shown;
}

// Every text of the five screens that the language may change: captions, texts and tooltips.
QMap<QString, QString> allTexts()
{
    QMap<QString, QString> texts;
    const QList<QWidget *> all{screens().top, screens().main, screens().dir, screens().set, screens().info};
    for (QWidget *screen : all) {
        for (QWidget *w : screen->findChildren<QWidget *>()) {
            const QString key = screen->objectName() + QLatin1Char('.') + w->objectName();
            if (auto *label = qobject_cast<QLabel *>(w))
                texts[key] = label->text();
            else if (auto *button = qobject_cast<QAbstractButton *>(w))
                texts[key] = button->text();
            else if (auto *edit = qobject_cast<QLineEdit *>(w))
                texts[key] = edit->text();
            if (!w->toolTip().isEmpty())
                texts[key + QStringLiteral(".tip")] = w->toolTip();
        }
    }
    return texts;
}

} // namespace

class TestFrmTsTop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void screensKeepTheirContents();
    void languageButton();
    void twoSwitchesGiveTheStartTexts();
    void runFromAnotherScreen();
    void aboutScreen();
    void exitEndsTheProgram();

private:
    QTemporaryDir m_program;
    qint64 m_face = 0;
    qint64 m_pressed = 0;
};

void TestFrmTsTop::initTestCase()
{
    QVERIFY(startProgram(m_program));
    m_face = screens().top->CmdKnop[3]->facePicture().cacheKey();
    m_pressed = screens().top->CmdKnop[3]->pressedPicture().cacheKey();
    QVERIFY(m_face != m_pressed);
}

void TestFrmTsTop::cleanup()
{
    if (!screens().top)
        return; // the program has ended
    while (popup())
        closePopup();
    if (Module1::LangOffset != EnglishOffset)
        click(screens().top->CmdKnop[3]);
    frame()->setEnabled(true);
}

void TestFrmTsTop::screensKeepTheirContents()
{
    FrmTsMain &main = *screens().main;
    FrmTsSet &format = *screens().set;
    FrmTsTop &bar = *screens().top;
    click(bar.CmdKnop[0]);
    QTest::keyClicks(main.TxtVeld[1], QStringLiteral("/srv/www/index.htm"));
    click(main.ChkVeld[1]);
    click(bar.CmdKnop[1]);
    click(format.CmdKnop[1]);
    format.TxtVeld[7]->setText(QStringLiteral("<META NAME=\"generator\" CONTENT=\"mine\">"));
    // The chooser, left by the bar instead of its OK: it keeps its target.
    click(bar.CmdKnop[0]);
    click(main.CmdKnop[1]);
    QCOMPARE(visibleContentScreen(), screens().dir);
    click(bar.CmdKnop[4]);
    QCOMPARE(Module1::BrowseTarget, 1);

    QCOMPARE(visibleContentScreen(), screens().info);
    click(bar.CmdKnop[0]);
    QCOMPARE(visibleContentScreen(), screens().main);
    QCOMPARE(main.TxtVeld[1]->text(), QStringLiteral("/srv/www/index.htm"));
    QVERIFY(!main.ChkVeld[1]->isChecked());
    click(bar.CmdKnop[1]);
    QCOMPARE(visibleContentScreen(), screens().set);
    QCOMPARE(format.TxtVeld[7]->text(), QStringLiteral("<META NAME=\"generator\" CONTENT=\"mine\">"));
    QVERIFY(format.TxtVeld[7]->isEnabled());

    click(format.CmdKnop[0]);
    click(bar.CmdKnop[0]);
    click(main.ChkVeld[1]);
    main.TxtVeld[1]->clear();
    Module1::BrowseTarget = 0;
}

void TestFrmTsTop::languageButton()
{
    PictureButton &button = *screens().top->CmdKnop[3];
    for (int switches = 1; switches <= 2; ++switches) {
        click(&button);
        const bool odd = switches % 2 == 1;
        QCOMPARE(Module1::LangOffset, odd ? int(DutchOffset) : int(EnglishOffset));
        // The face and pressed pictures change places at every switch; the disabled one follows the face.
        QCOMPARE(button.facePicture().cacheKey(), odd ? m_pressed : m_face);
        QCOMPARE(button.pressedPicture().cacheKey(), odd ? m_face : m_pressed);
        QCOMPARE(button.disabledPicture().cacheKey(), button.facePicture().cacheKey());
        QCOMPARE(screens().main->LblVeld[0]->text(), odd ? QStringLiteral("Html Map:") : QStringLiteral("HTML Dir:"));
        // NOTE: the browse buttons' tooltip is not seeded again and stays as start-up made it.
        QCOMPARE(screens().main->CmdKnop[0]->toolTip(), QStringLiteral("Browse"));
        QVERIFY(frame()->isEnabled());
    }
}

void TestFrmTsTop::twoSwitchesGiveTheStartTexts()
{
    // The description box as nobody has touched it yet (an earlier test typed into the main screen).
    controls::setTag(screens().main->TxtVeld[2], ids::SitePrompt);
    Module1::LocaliseAll();
    const QMap<QString, QString> before = allTexts();
    click(screens().top->CmdKnop[3]);
    const QMap<QString, QString> dutch = allTexts();
    QVERIFY(dutch != before);
    QCOMPARE(dutch.value(QStringLiteral("FrmTsSet.CmdKnop_0")), QStringLiteral("Standaard"));
    QCOMPARE(dutch.value(QStringLiteral("FrmTsMain.TxtVeld_2")), QStringLiteral("Zet hier de site omschrijving."));
    click(screens().top->CmdKnop[3]);
    QCOMPARE(allTexts(), before);
}

void TestFrmTsTop::runFromAnotherScreen()
{
    click(screens().top->CmdKnop[4]);
    screens().main->TxtVeld[0]->clear();
    click(screens().top->CmdKnop[2]);
    // The main screen comes to the front first, then the run answers.
    QCOMPARE(visibleContentScreen(), screens().main);
    QCOMPARE(popupText(), QStringLiteral("No directory selected."));
    // NOTE: when its action is over the bar takes input again, even with the message still open.
    QVERIFY(frame()->isEnabled());
}

void TestFrmTsTop::aboutScreen()
{
    click(screens().top->CmdKnop[4]);
    const FrmTsInfo &info = *screens().info;
    QVERIFY(info.isVisible());
    QCOMPARE(info.LblVeld[0]->text(), frame()->windowTitle());
    const QString english = info.LblVeld[4]->text();
    click(screens().top->CmdKnop[3]);
    QVERIFY(info.LblVeld[4]->text() != english);
    for (const QLabel *image : info.Image)
        QVERIFY(!image->pixmap().isNull());
}

void TestFrmTsTop::exitEndsTheProgram()
{
    QTimer::singleShot(0, [] { click(screens().top->CmdKnop[5]); });
    QTimer safety;
    safety.setSingleShot(true);
    connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    safety.start(5000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!screens().top);
    QVERIFY(!screens().mdi);
}

QTEST_MAIN(TestFrmTsTop)
#include "tst_frmtstop.moc"
