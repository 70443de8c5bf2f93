// The main options screen: its defaults, the check-box rules, the backup warning, the description
// prompt, the options a run takes from it, and StartMeta's checks and progress.

#include "TestSupport.h"
#include "gui/ScreenControls.h"
#include "gui/tests/ProgramUnderTest.h"
#include "text/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStorageInfo>

#include <memory>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

// The enabled state of the controls the rules govern, in this order, as '1'/'0'.
QString enabledStates(const FrmTsMain &screen)
{
    const QWidget *governed[] = {screen.TxtVeld[2], screen.ChkVeld[2], screen.CmbSel[0],
                                 screen.CmbSel[1],  screen.ChkVeld[5], screen.ChkVeld[6]};
    QString states;
    for (const QWidget *w : governed)
        states += w->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return states;
}

// ChkVeld(0) to ChkVeld(8) as '1'/'0'.
QString tickStates(const FrmTsMain &screen)
{
    QString states;
    for (const QCheckBox *box : screen.ChkVeld)
        states += box->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
    return states;
}

void resetPrompt(FrmTsMain &screen)
{
    controls::setTag(screen.TxtVeld[2], ids::SitePrompt);
    Module1::LangOffset = EnglishOffset;
    Module1::LocaliseAll();
}

} // namespace

class TestFrmTsMain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void checkBoxRules_data();
    void checkBoxRules();
    void backupWarning();
    void descriptionPrompt_data();
    void descriptionPrompt();
    void runOptionsFollowTheBoxes_data();
    void runOptionsFollowTheBoxes();
    void runRefused_data();
    void runRefused();
    void runShowsProgress();
    void runDiscardsInput();
    void pathsFromTheVolumeRoot();

private:
    QTemporaryDir m_program;
    QTemporaryDir m_sites;
};

void TestFrmTsMain::initTestCase()
{
    QVERIFY(startProgram(m_program));
    QVERIFY(m_sites.isValid());
}

void TestFrmTsMain::cleanup()
{
    while (popup())
        closePopup();
    frame()->setEnabled(true);
}

void TestFrmTsMain::checkBoxRules_data()
{
    QTest::addColumn<QList<qint64>>("clicks");
    QTest::addColumn<QString>("ticked");  // ChkVeld 0..8
    QTest::addColumn<QString>("enabled"); // TxtVeld2 ChkVeld2 CmbSel0 CmbSel1 ChkVeld5 ChkVeld6
    for (const QStringList &row : test::readTable(QFINDTESTDATA("data/check-boxes.txt")))
        QTest::newRow(qPrintable(row[0])) << test::numbers(row[1]) << row[2] << row[3];
}

void TestFrmTsMain::checkBoxRules()
{
    QFETCH(QList<qint64>, clicks);
    QFETCH(QString, ticked);
    QFETCH(QString, enabled);

    auto screen = std::make_unique<FrmTsMain>(nullptr);
    screen->show();
    for (qint64 index : clicks)
        click(screen->ChkVeld[static_cast<std::size_t>(index)]);
    QCOMPARE(tickStates(*screen), ticked);
    QCOMPARE(enabledStates(*screen), enabled);
    // Exactly one of upper and lower case is ticked after any click on either.
    if (clicks.contains(5) || clicks.contains(6))
        QVERIFY(screen->ChkVeld[5]->isChecked() != screen->ChkVeld[6]->isChecked());
    QVERIFY(!popup());
}

void TestFrmTsMain::backupWarning()
{
    // Ticked, cleared, ticked, cleared: every clearing warns.
    auto screen = std::make_unique<FrmTsMain>(nullptr);
    screen->show();
    for (int i = 0; i < 4; ++i) {
        click(screen->ChkVeld[7]);
        if (i % 2 == 1) {
            QCOMPARE(popupTitle(), QStringLiteral("Tagsmith Warning !"));
            QCOMPARE(popupText(), QStringLiteral("You selected: DELETE ORIGINAL FILE !"));
            QVERIFY(!frame()->isEnabled());
            QVERIFY(!screen->ChkVeld[7]->isChecked());
            closePopup();
            QVERIFY(frame()->isEnabled());
        } else {
            QVERIFY(!popup());
        }
    }
}

void TestFrmTsMain::descriptionPrompt_data()
{
    QTest::addColumn<int>("box");    // the box touched, -1 none
    QTest::addColumn<bool>("typed"); // a key instead of a click
    QTest::addColumn<QString>("dutch");

    const QString prompt = QStringLiteral("Zet hier de site omschrijving.");
    const QString kept = QStringLiteral("Enter your site description here.");
    QTest::newRow("untouched follows the language") << -1 << false << prompt;
    QTest::newRow("click into the folder box") << 0 << false << kept;
    QTest::newRow("key in the main page box") << 1 << true << kept;
    QTest::newRow("click into the description box") << 2 << false << kept;
}

void TestFrmTsMain::descriptionPrompt()
{
    QFETCH(int, box);
    QFETCH(bool, typed);
    QFETCH(QString, dutch);

    FrmTsMain &screen = *screens().main;
    const QString folderText = screen.TxtVeld[0]->text();
    const QString mainText = screen.TxtVeld[1]->text();
    resetPrompt(screen);

    if (box >= 0) {
        if (typed)
            QTest::keyClick(screen.TxtVeld[box], Qt::Key_End);
        else
            QTest::mouseClick(screen.TxtVeld[box], Qt::LeftButton);
    }
    Module1::LangOffset = DutchOffset;
    Module1::LocaliseAll();
    QCOMPARE(screen.TxtVeld[2]->text(), dutch);
    // The description a run takes is what the box shows, prompt or not.
    QCOMPARE(screen.runOptions().siteDescription, dutch);

    resetPrompt(screen);
    screen.TxtVeld[0]->setText(folderText);
    screen.TxtVeld[1]->setText(mainText);
}

void TestFrmTsMain::runOptionsFollowTheBoxes_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("option"); // the option that the cleared box turns off

    QTest::newRow("0 description") << 0 << "description";
    QTest::newRow("1 generator") << 1 << "generator";
    QTest::newRow("2 revisit") << 2 << "revisit";
    QTest::newRow("3 minimum length") << 3 << "minLength";
    QTest::newRow("4 case conversion") << 4 << "caseConversion";
    QTest::newRow("6 lower case") << 6 << "lowerCase";
    QTest::newRow("8 robots") << 8 << "robots";
}

void TestFrmTsMain::runOptionsFollowTheBoxes()
{
    QFETCH(int, box);
    QFETCH(QString, option);

    auto screen = std::make_unique<FrmTsMain>(nullptr);
    const auto flags = [](const RunOptions &o) {
        return QMap<QString, bool>{{QStringLiteral("description"), o.description},
                                   {QStringLiteral("generator"), o.generator},
                                   {QStringLiteral("robots"), o.robots},
                                   {QStringLiteral("revisit"), o.revisit},
                                   {QStringLiteral("minLength"), o.minLength},
                                   {QStringLiteral("caseConversion"), o.caseConversion},
                                   {QStringLiteral("upperCase"), o.upperCase},
                                   {QStringLiteral("lowerCase"), o.lowerCase},
                                   {QStringLiteral("backup"), o.backup}};
    };
    QMap<QString, bool> expected = flags(screen->runOptions());
    QVERIFY(!expected.value(QStringLiteral("upperCase")) && !expected.value(QStringLiteral("backup")));
    screen->ChkVeld[box]->setChecked(false);
    expected[option] = false;
    if (box == 6)
        expected[QStringLiteral("upperCase")] = true;
    QCOMPARE(flags(screen->runOptions()), expected);

    // The lists and boxes are passed as they read; the templates come from the meta tag format screen.
    screen->CmbSel[0]->setCurrentIndex(3);
    screen->CmbSel[1]->setEditText(QStringLiteral("abc"));
    screen->TxtVeld[0]->setText(QStringLiteral("/srv/site"));
    screen->TxtVeld[1]->setText(QStringLiteral("/srv/site/index.htm"));
    const RunOptions options = screen->runOptions();
    QCOMPARE(options.revisitMonths, QStringLiteral(" 4"));
    QCOMPARE(options.minLengthText, QStringLiteral("abc"));
    QCOMPARE(options.folder, QStringLiteral("/srv/site"));
    QCOMPARE(options.mainPage, QStringLiteral("/srv/site/index.htm"));
    QCOMPARE(options.templates, screens().set->templates());
}

void TestFrmTsMain::runRefused_data()
{
    QTest::addColumn<QString>("folder"); // relative to the sites folder
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    QTest::newRow("folder without pages") << "nopages"
                                          << "Tagsmith Error:"
                                          << "Selected dir contains no htm / html files.";
    QTest::newRow("folder that does not exist") << "missing"
                                                << "Tagsmith Error:"
                                                << "Selected drive or directory is invalid.";
}

void TestFrmTsMain::runRefused()
{
    QFETCH(QString, folder);
    QFETCH(QString, title);
    QFETCH(QString, text);

    const QString root = m_sites.filePath(QStringLiteral("refused"));
    QVERIFY(writeFile(root + QStringLiteral("/nopages/notes.txt"), "<p>words words</p>"));
    QVERIFY(writeFile(root + QStringLiteral("/main.htm"), "<html><head></head><body>main</body></html>"));

    FrmTsMain &screen = *screens().main;
    screen.TxtVeld[0]->setText(root + QLatin1Char('/') + folder);
    screen.TxtVeld[1]->setText(root + QStringLiteral("/main.htm"));
    screen.StartMeta();

    QCOMPARE(popupTitle(), title);
    QCOMPARE(popupText().section(QLatin1Char('\n'), 0, 0), text);
    // The frame waits for OK; nothing was written.
    QVERIFY(!frame()->isEnabled());
    QCOMPARE(readFile(root + QStringLiteral("/main.htm")), QByteArray("<html><head></head><body>main</body></html>"));
    QCOMPARE(readFile(root + QStringLiteral("/nopages/notes.txt")), QByteArray("<p>words words</p>"));
    closePopup();
    QVERIFY(frame()->isEnabled());
    screen.TxtVeld[0]->clear();
    screen.TxtVeld[1]->clear();
}

// Records what the progress labels show whenever they are painted.
class PaintRecorder : public QObject
{
public:
    explicit PaintRecorder(const FrmTsMain &screen) : m_screen(screen) {}
    QStringList pages;
    bool progressShown = false;
    bool busy = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_screen.LblVeld[11]->isVisible()) {
            if (pages.isEmpty() || pages.last() != m_screen.LblVeld[11]->text())
                pages << m_screen.LblVeld[11]->text();
            progressShown = progressShown || m_screen.Progress->isVisible();
            busy =
                busy || (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        }
        return false;
    }

private:
    const FrmTsMain &m_screen;
};

void TestFrmTsMain::runShowsProgress()
{
    const QString site = m_sites.filePath(QStringLiteral("progress"));
    QVERIFY(writeFile(site + QStringLiteral("/a.htm"), "<html><head></head><body>Keyboard Monitor</body></html>"));
    QVERIFY(writeFile(site + QStringLiteral("/b.html"), "<html><head></head><body>Printer Scanner</body></html>"));

    FrmTsMain &screen = *screens().main;
    // Typed with a trailing separator and a detour: the pages are still named plainly.
    screen.TxtVeld[0]->setText(site + QStringLiteral("/../progress/"));
    screen.TxtVeld[1]->clear();
    PaintRecorder recorder(screen);
    screen.LblVeld[11]->installEventFilter(&recorder);
    screen.StartMeta();
    screen.LblVeld[11]->removeEventFilter(&recorder);

    QVERIFY(!popup());
    // The page by its path, shortened in the middle where the label is too narrow. Later pages of a quick
    // run may go by unpainted; the first is always shown.
    QVERIFY(!recorder.pages.isEmpty());
    QVERIFY(recorder.pages.first().endsWith(QStringLiteral("progress/a.htm")));
    QVERIFY(!recorder.pages.first().contains(QStringLiteral("..")));
    QVERIFY(recorder.progressShown);
    QVERIFY(recorder.busy);
    // Afterwards: labels cleared and hidden, cursor and frame back.
    QVERIFY(screen.LblVeld[11]->text().isEmpty());
    QVERIFY(screen.LblVeld[12]->text().isEmpty());
    for (int i = 11; i <= 14; ++i)
        QVERIFY(!screen.LblVeld[i]->isVisible());
    QVERIFY(!screen.Progress->isVisible());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(frame()->isEnabled());
    QVERIFY(readFile(site + QStringLiteral("/a.htm")).contains("CONTENT=\"keyboard, monitor\""));
    screen.TxtVeld[0]->clear();
}

// What the user does while a run is under way, done once, when the run's first message is open.
class InputDuringRun : public QObject
{
public:
    explicit InputDuringRun(FrmTsMain &screen) : m_screen(screen) {}
    bool tried = false;
    bool frameEnabledAfter = true;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !tried && popup()) {
            tried = true;
            // Not inside a paint: the run lets events through right after.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    QWidget *open = popup();
                    click(open->findChild<QPushButton *>(QStringLiteral("OKButton")));
                    QTest::keyClick(open, Qt::Key_Escape);
                    QTest::keyClicks(m_screen.TxtVeld[0], QStringLiteral("typed"));
                    click(m_screen.ChkVeld[7]);
                    frameEnabledAfter = frame()->isEnabled();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    FrmTsMain &m_screen;
};

void TestFrmTsMain::runDiscardsInput()
{
    const QString site = m_sites.filePath(QStringLiteral("input"));
    // The first page has no head end tag: its message opens while the run goes on.
    QVERIFY(writeFile(site + QStringLiteral("/a.htm"), "Keyboard Monitor"));
    QVERIFY(writeFile(site + QStringLiteral("/b.htm"), "<html><head></head><body>Printer Scanner</body></html>"));

    FrmTsMain &screen = *screens().main;
    screen.TxtVeld[0]->setText(site);
    screen.TxtVeld[1]->clear();
    InputDuringRun user(screen);
    screen.LblVeld[11]->installEventFilter(&user);
    screen.StartMeta();
    screen.LblVeld[11]->removeEventFilter(&user);

    // NOTE: nothing the user does during a run reaches the program: the message stays open, the frame
    // stays disabled until the run is over, no box changes.
    QVERIFY(user.tried);
    QVERIFY(!user.frameEnabledAfter);
    QCOMPARE(popupText().section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("No <Meta Name or </Head tag found, appending to end of file. "));
    QCOMPARE(screen.TxtVeld[0]->text(), site);
    QVERIFY(!screen.ChkVeld[7]->isChecked());
    QVERIFY(readFile(site + QStringLiteral("/b.htm")).contains("CONTENT=\"printer, scanner\""));
    closePopup();
    QVERIFY(frame()->isEnabled());
    screen.TxtVeld[0]->clear();
}

void TestFrmTsMain::pathsFromTheVolumeRoot()
{
    const QString site = m_sites.filePath(QStringLiteral("relative"));
    QVERIFY(writeFile(site + QStringLiteral("/a.htm"), "<html><head></head><body>Keyboard Monitor</body></html>"));
    QVERIFY(writeFile(site + QStringLiteral("/index.htm"), "<html><head></head><body>Home</body></html>"));
    // The root of the volume the program lies on.
    const QDir root(QStorageInfo(m_program.path()).rootPath());

    FrmTsMain &screen = *screens().main;
    screen.TxtVeld[0]->setText(root.relativeFilePath(site));
    screen.TxtVeld[1]->setText(root.relativeFilePath(site + QStringLiteral("/index.htm")));
    screen.StartMeta();

    QVERIFY(!popup());
    QVERIFY(readFile(site + QStringLiteral("/a.htm")).contains("CONTENT=\"keyboard, monitor\""));
    QVERIFY(readFile(site + QStringLiteral("/index.htm")).contains("CONTENT=\"keyboard, monitor\""));
    screen.TxtVeld[0]->clear();
    screen.TxtVeld[1]->clear();
}

QTEST_MAIN(TestFrmTsMain)
#include "tst_frmtsmain.moc"
