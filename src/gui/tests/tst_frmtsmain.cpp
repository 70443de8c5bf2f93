// The main options screen: the check-box rules and the options a run takes from the boxes and lists, the
// backup warning, the description prompt, and StartMeta's checks, progress and paths.

#include "TestSupport.h"
#include "engine/undo/Undo.h"
#include "gui/RunReportWindow.h"
#include "gui/ScreenControls.h"
#include "gui/tests/ProgramUnderTest.h"
#include "text/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStorageInfo>

#include <functional>
#include <memory>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

QString bits(std::initializer_list<bool> flags)
{
    QString text;
    for (bool on : flags)
        text += on ? QLatin1Char('1') : QLatin1Char('0');
    return text;
}

void resetPrompt(FrmTsMain &screen)
{
    controls::setTag(screen.TxtVeld[2], ids::SitePrompt);
    Module1::LangOffset = EnglishOffset;
    Module1::LocaliseAll();
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

// What the user does while a run is under way, done once, when the progress is painted and ready()
// holds.
class InputDuringRun : public QObject
{
public:
    InputDuringRun(std::function<bool()> ready, std::function<void()> act)
        : m_ready(std::move(ready)), m_act(std::move(act))
    {
    }
    bool tried = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !tried && m_ready()) {
            tried = true;
            // Not inside a paint: the run lets events through right after.
            QMetaObject::invokeMethod(this, m_act, Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<bool()> m_ready;
    std::function<void()> m_act;
};

} // namespace

class TestFrmTsMain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(startProgram(m_program));
        QVERIFY(m_sites.isValid());
    }

    void cleanup()
    {
        while (popup())
            closePopup();
        frame()->setEnabled(true);
        screens().main->TxtVeld[0]->clear();
        screens().main->TxtVeld[1]->clear();
    }

    void checkBoxRules_data()
    {
        test::addTableRows(QFINDTESTDATA("data/check-boxes.txt"), {"clicks", "ticked", "enabled"});
    }

    void checkBoxRules()
    {
        QFETCH(QString, clicks);
        QFETCH(QString, ticked);
        QFETCH(QString, enabled);
        auto screen = std::make_unique<FrmTsMain>(nullptr);
        screen->show();
        for (qint64 index : test::numbers(clicks))
            click(screen->ChkVeld[static_cast<std::size_t>(index)]);
        QString tickStates;
        for (const QCheckBox *box : screen->ChkVeld)
            tickStates += box->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(tickStates, ticked);
        const RunOptions o = screen->runOptions();
        QCOMPARE(bits({o.description, o.generator, o.revisit, o.minLength, o.caseConversion, o.upperCase, o.lowerCase,
                       o.backup, o.robots}),
                 ticked);
        QCOMPARE(bits({screen->TxtVeld[2]->isEnabled(), screen->ChkVeld[2]->isEnabled(), screen->CmbSel[0]->isEnabled(),
                       screen->CmbSel[1]->isEnabled(), screen->ChkVeld[5]->isEnabled(), screen->ChkVeld[6]->isEnabled(),
                       screen->CmbSel[3]->isEnabled()}),
                 enabled);
        QVERIFY(!popup());
    }

    // The lists and boxes are passed as they read; the templates come from the meta tag format screen.
    void runOptionsFromTheLists()
    {
        for (const int entry : {0, 1}) { // every word and the site's description, or the most telling and the page's
            auto screen = std::make_unique<FrmTsMain>(nullptr);
            screen->CmbSel[2]->setCurrentIndex(entry);
            screen->SpnVeld[0]->setValue(7);
            screen->CmbSel[3]->setCurrentIndex(entry);
            screen->CmbSel[0]->setCurrentIndex(3);
            screen->CmbSel[1]->setEditText(QStringLiteral("abc"));
            QVERIFY(screen->runOptions().siteUrl.isEmpty()); // no site address unless one is typed
            screen->TxtSiteUrl->setText(QStringLiteral(" https://example.org/ "));
            const RunOptions o = screen->runOptions();
            QCOMPARE(o.siteUrl, QStringLiteral("https://example.org/"));
            QCOMPARE(bits({o.topKeywords, o.pageDescriptions}), bits({entry == 1, entry == 1}));
            QCOMPARE(o.topKeywordCount, 7);
            QCOMPARE(o.revisitMonths, QStringLiteral(" 4"));
            QCOMPARE(o.minLengthText, QStringLiteral("abc"));
            QCOMPARE(o.templates, screens().set->templates());
        }
    }

    // Ticked, cleared, ticked, cleared: every clearing warns, and the frame waits for OK.
    void backupWarning()
    {
        auto screen = std::make_unique<FrmTsMain>(nullptr);
        screen->show();
        for (int i = 0; i < 4; ++i) {
            click(screen->ChkVeld[7]);
            QCOMPARE(popupText(), i % 2 ? QStringLiteral("You selected: DELETE ORIGINAL FILE !") : QString());
            QCOMPARE(frame()->isEnabled(), i % 2 == 0);
            QCOMPARE(screen->ChkVeld[7]->isChecked(), i % 2 == 0);
            closePopup();
        }
    }

    void descriptionPrompt_data()
    {
        test::addTableRows(QFINDTESTDATA("data/description-prompt.txt"), {"box", "touch", "dutch"});
    }

    void descriptionPrompt()
    {
        QFETCH(QString, box);
        QFETCH(QString, touch);
        QFETCH(QString, dutch);
        FrmTsMain &screen = *screens().main;
        resetPrompt(screen);
        if (touch == QLatin1String("key"))
            QTest::keyClick(screen.TxtVeld[box.toInt()], Qt::Key_End);
        else if (touch == QLatin1String("click"))
            QTest::mouseClick(screen.TxtVeld[box.toInt()], Qt::LeftButton);
        Module1::LangOffset = DutchOffset;
        Module1::LocaliseAll();
        QCOMPARE(screen.TxtVeld[2]->text(), dutch);
        // The description a run takes is what the box shows, prompt or not.
        QCOMPARE(screen.runOptions().siteDescription, dutch);
        // The entries of the lists follow the language too.
        QCOMPARE(screen.CmbSel[2]->itemText(1), loadString(ids::TellingWords + DutchOffset).value());
        QCOMPARE(screen.CmbSel[3]->itemText(1), loadString(ids::OwnDescription + DutchOffset).value());
        resetPrompt(screen);
    }

    void runRefused_data() { test::addTableRows(QFINDTESTDATA("data/run-refused.txt"), {"folder", "text", "main"}); }

    // The frame waits for OK; nothing was written.
    void runRefused()
    {
        QFETCH(QString, folder);
        QFETCH(QString, text);
        QFETCH(QString, main);
        const QString root = m_sites.filePath(QStringLiteral("refused"));
        test::makeSite(root, {QStringLiteral("nopages/notes.txt words"), QStringLiteral("main.htm main")});
        const auto before = test::treeState(root);
        FrmTsMain &screen = *screens().main;
        screen.TxtVeld[0]->setText(root + QLatin1Char('/') + folder);
        screen.TxtVeld[1]->setText(root + QLatin1Char('/') + (main.isEmpty() ? QStringLiteral("main.htm") : main));
        screen.StartMeta();
        QCOMPARE(popupTitle(), QStringLiteral("Tagsmith Error:"));
        QCOMPARE(popupText().section(QLatin1Char('\n'), 0, 0), text);
        QVERIFY(!frame()->isEnabled());
        QCOMPARE(test::treeState(root), before);
    }

    void runFromTypedPaths_data()
    {
        QTest::addColumn<QString>("folder"); // as typed: %1 the site, %2 the site from the root of the program's volume
        QTest::addColumn<QString>("mainPage");
        QTest::addColumn<QString>("outcome"); // of the main page in the report
        QTest::newRow("a detour and a trailing separator") << "%1/../site/"
                                                           << "" << "";
        QTest::newRow("from the root of the volume") << "%2"
                                                     << "%2/index.htm" << "replaced";
        // A main page the run makes is reported as made, without the warning of a page that has no tag.
        QTest::newRow("a main page the run makes") << "%1"
                                                   << "%1/home.htm" << "created";
    }

    void runFromTypedPaths()
    {
        QFETCH(QString, folder);
        QFETCH(QString, mainPage);
        QFETCH(QString, outcome);
        QTemporaryDir sites;
        const QString site = sites.filePath(QStringLiteral("site"));
        test::makeSite(site, {QStringLiteral("a.htm Keyboard Monitor"), QStringLiteral("b.html Printer Scanner"),
                              QStringLiteral("index.htm Home")});
        const QString rooted = QDir(QStorageInfo(m_program.path()).rootPath()).relativeFilePath(site);

        FrmTsMain &screen = *screens().main;
        screen.TxtVeld[0]->setText(folder.arg(site, rooted));
        screen.TxtVeld[1]->setText(mainPage.arg(site, rooted));
        PaintRecorder recorder(screen);
        screen.LblVeld[11]->installEventFilter(&recorder);
        screen.StartMeta();
        screen.LblVeld[11]->removeEventFilter(&recorder);

        QVERIFY2(!popup(), qPrintable(popupText()));
        // The page by its path, named plainly, shortened in the middle where the label is too narrow. Later
        // pages of a quick run may go by unpainted; the first is always shown.
        QVERIFY(!recorder.pages.isEmpty());
        QVERIFY(recorder.pages.first().endsWith(QStringLiteral("site/a.htm")));
        QVERIFY(!recorder.pages.first().contains(QStringLiteral("..")));
        QVERIFY(recorder.progressShown);
        QVERIFY(recorder.busy);
        // Afterwards: labels cleared and hidden, cursor and frame back.
        for (int i = 11; i <= 14; ++i)
            QVERIFY(!screen.LblVeld[i]->isVisible() && (i > 12 || screen.LblVeld[i]->text().isEmpty()));
        QVERIFY(!screen.Progress->isVisible());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(frame()->isEnabled());
        QVERIFY(readFile(site + QStringLiteral("/a.htm")).contains("CONTENT=\"keyboard, monitor\""));
        if (!mainPage.isEmpty())
            QVERIFY(readFile(site + mainPage.mid(2)).contains("CONTENT=\"keyboard, monitor, printer"));
        const RunReport &report = RunReportWindow::current()->report();
        QCOMPARE(report.pages.back().OnMainPage ? QString::fromLatin1(outcomeName(report.pages.back().outcome)) : QString(),
                 outcome);
    }

    void runDiscardsInput()
    {
        const QString site = m_sites.filePath(QStringLiteral("input"));
        // The first page has no head end tag: its message opens while the run goes on.
        test::makeSite(site, {QStringLiteral("a.htm raw Keyboard Monitor"), QStringLiteral("b.htm Printer Scanner")});

        FrmTsMain &screen = *screens().main;
        screen.TxtVeld[0]->setText(site);
        bool boxesEnabled = true;
        InputDuringRun user([] { return popup() != nullptr; },
                            [&] {
                                QWidget *open = popup();
                                click(open->findChild<QPushButton *>(QStringLiteral("OKButton")));
                                QTest::keyClick(open, Qt::Key_Escape);
                                QTest::keyClicks(screen.TxtVeld[0], QStringLiteral("typed"));
                                click(screen.ChkVeld[7]);
                                boxesEnabled = screen.TxtVeld[0]->isEnabled() || screens().top->CmdKnop[2]->isEnabled();
                            });
        screen.LblVeld[11]->installEventFilter(&user);
        screen.StartMeta();
        screen.LblVeld[11]->removeEventFilter(&user);

        // Nothing the user does during a run reaches the program: the message stays open, the screens take
        // no input until the run is over, no box changes.
        QVERIFY(user.tried);
        QVERIFY(!boxesEnabled);
        QCOMPARE(popupText().section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("No <Meta Name or </Head tag found, appending to end of file. "));
        QCOMPARE(screen.TxtVeld[0]->text(), site);
        QVERIFY(!screen.ChkVeld[7]->isChecked());
        QVERIFY(readFile(site + QStringLiteral("/b.htm")).contains("CONTENT=\"printer, scanner\""));
        closePopup();
        QVERIFY(frame()->isEnabled());
    }

    // Cancel stops the run after the page under work: the pages after it stay as they were, the report
    // says how far it came, and the run can be undone.
    void cancelStopsRun()
    {
        const QString site = m_sites.filePath(QStringLiteral("cancel"));
        test::makeSite(
            site, {QStringLiteral("a.htm Keyboard"), QStringLiteral("b.htm Printer"), QStringLiteral("c.htm Scanner")});
        const auto before = test::treeState(site);
        FrmTsMain &screen = *screens().main;
        screen.TxtVeld[0]->setText(site);
        InputDuringRun user([] { return true; }, [&] { click(screen.CmdCancel); });
        screen.LblVeld[11]->installEventFilter(&user);
        screen.StartMeta();
        screen.LblVeld[11]->removeEventFilter(&user);

        const RunReportWindow *window = RunReportWindow::current();
        QVERIFY(window);
        QCOMPARE(window->report().result, RunResult::Cancelled);
        QCOMPARE(window->report().pagesReached(), 1);
        QVERIFY(window->findChild<QLabel *>(QStringLiteral("Summary"))
                    ->text()
                    .contains(QStringLiteral("Cancelled after 1 of 3 pages.")));
        const auto after = test::treeState(site);
        QVERIFY(after.value(QStringLiteral("a.htm")) != before.value(QStringLiteral("a.htm")));
        for (const char *name : {"b.htm", "c.htm"})
            QCOMPARE(after.value(QLatin1String(name)), before.value(QLatin1String(name)));
        QVERIFY(planUndo(FrmTsMain::undoDataFolder(), site).ready());
        QVERIFY(!screen.CmdCancel->isVisible());
        QVERIFY(screen.TxtVeld[0]->isEnabled());
    }

    void promptAskedBeforeRun_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("goOn");
        QTest::addColumn<bool>("asked");
        QTest::newRow("English prompt, declined")
            << loadString(ids::SitePrompt + EnglishOffset).value() << false << true;
        QTest::newRow("Dutch prompt typed, accepted")
            << QStringLiteral(" ") + loadString(ids::SitePrompt + DutchOffset).value() << true << true;
        QTest::newRow("a description of its own") << QStringLiteral("Our harbour and sailing club") << false << false;
    }

    // The box's text decides, not how it got there; a declined run writes nothing.
    void promptAskedBeforeRun()
    {
        QFETCH(QString, description);
        QFETCH(bool, goOn);
        QFETCH(bool, asked);
        QTemporaryDir sites;
        const QString site = sites.filePath(QStringLiteral("site"));
        test::makeSite(site, {QStringLiteral("a.htm Keyboard")});
        const auto before = test::treeState(site);
        FrmTsMain &screen = *screens().main;
        screen.TxtVeld[0]->setText(site);
        screen.TxtVeld[2]->setText(description);
        int questions = 0;
        const auto answer = Module1::askToGoOn;
        Module1::askToGoOn = [&](int, int textId, const QString &argument, int) {
            ++questions;
            return textId == ids::PromptQuestion && argument == description && goOn;
        };
        screen.Preview();
        QCOMPARE(RunReportWindow::current()->report().descriptionIsPrompt, asked);
        screen.StartMeta();
        Module1::askToGoOn = answer;
        QCOMPARE(questions, asked ? 1 : 0);
        QCOMPARE(test::treeState(site) == before, asked && !goOn);
        resetPrompt(screen);
    }

private:
    QTemporaryDir m_program;
    QTemporaryDir m_sites;
};

QTEST_MAIN(TestFrmTsMain)
#include "tst_frmtsmain.moc"
