// "Undo last run…" on the main screen, used as a user uses it: a run, the undo window, the confirmation,
// the pages back as they were; without undo data a message says why.

#include "TestSupport.h"
#include "gui/tests/ProgramUnderTest.h"

#include "engine/core/Run.h"
#include "engine/fs/FileSystem.h"
#include "gui/FrmUndo.h"
#include "gui/RunReportWindow.h"
#include "text/StringTable.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

FrmUndo *undoWindow()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *undo = qobject_cast<FrmUndo *>(window); undo && undo->isVisible())
            return undo;
    return nullptr;
}

} // namespace

class TestFrmUndo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(startProgram(m_program)); }
    void undoLastRun_data()
    {
        QTest::addColumn<bool>("keepUndo");
        QTest::addColumn<bool>("edit"); // a page is edited between the run and the undo
        QTest::addColumn<QString>("mainPage");
        QTest::newRow("undo data kept") << true << false << QString();
        QTest::newRow("a page edited since") << true << true << QString();
        QTest::newRow("undo data off") << false << false << QString();
        QTest::newRow("main page in the folder") << true << false << QStringLiteral("a.htm");
    }

    void undoLastRun()
    {
        QFETCH(bool, keepUndo);
        QFETCH(bool, edit);
        QFETCH(QString, mainPage);
        FrmTsMain &main = *screens().main;
        const QString site =
            m_sites.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')));
        test::makeSite(site, {QStringLiteral("a.htm Sailing boats"), QStringLiteral("b.htm Harbour pilots")});
        const auto before = test::treeState(site);
        main.TxtVeld[0]->setText(site);
        main.TxtVeld[1]->setText(mainPage.isEmpty() ? QString() : site + QLatin1Char('/') + mainPage);
        if (main.ChkUndo->isChecked() != keepUndo)
            click(main.ChkUndo);

        click(screens().top->CmdKnop[2]);
        while (popup())
            closePopup();
        QVERIFY(RunReportWindow::current());
        // The report counts each write; the main page among the folder's pages is written twice.
        QSet<QString> written;
        for (const PageReport &page : RunReportWindow::current()->report().pages)
            if (page.written())
                written.insert(page.relativePath);
        RunReportWindow::current()->close();
        QVERIFY(test::treeState(site) != before);
        if (edit)
            QVERIFY(writeFile(site + QStringLiteral("/b.htm"), "<p>by hand</p>"));
        const auto writtenState = test::treeState(site);

        click(main.CmdUndo);
        if (!keepUndo) {
            QVERIFY(!undoWindow());
            QVERIFY(popupText().startsWith(*loadString(ids::NoUndoData + EnglishOffset)));
            closePopup();
            QCOMPARE(test::treeState(site), writtenState);
            QVERIFY(frame()->isEnabled());
            return;
        }
        FrmUndo *window = undoWindow();
        QVERIFY(window);
        const QString plan = window->LblPlan->text();
        QVERIFY2(plan.contains(QStringLiteral("2 pages in the run")), qPrintable(plan));
        QCOMPARE(plan.contains(site + QStringLiteral("/b.htm")), edit);
        QCOMPARE(plan.contains(QStringLiteral("1 changed since the run: it stays as it is:")), edit);
        // The run kept, with as many pages as the run's report says it wrote, is the one undo puts back.
        QCOMPARE(window->Runs->topLevelItemCount(), 1);
        QCOMPARE(window->Runs->topLevelItem(0)->text(1), QString::number(written.size()));
        QCOMPARE(window->Runs->topLevelItem(0)->text(3), *loadString(ids::RunsNext + EnglishOffset));
        QVERIFY(window->LblDropped->isHidden());
        // Cancel changes nothing.
        click(window->CmdCancel);
        QTRY_VERIFY(!undoWindow());
        QCOMPARE(test::treeState(site), writtenState);

        click(main.CmdUndo);
        window = undoWindow();
        QVERIFY(window);
        click(window->CmdUndo);
        QCOMPARE(window->done().count(UndoAction::Restore), edit ? 1 : 2);
        QCOMPARE(window->done().count(UndoAction::ChangedSince), edit ? 1 : 0);
        auto expected = before;
        if (edit)
            expected[QStringLiteral("b.htm")] = writtenState[QStringLiteral("b.htm")];
        QCOMPARE(test::treeState(site), expected);
        click(window->CmdCancel);
        QTRY_VERIFY(!undoWindow());
        QVERIFY(frame()->isEnabled() && main.CmdUndo->isVisible());
    }

    // A site copied from an old machine: a folder and a main page whose names are Latin-1 bytes, run and
    // undone from the screens.
    void byteNamesRunAndUndo()
    {
        FrmTsMain &main = *screens().main;
        const std::string folder = fs::native(m_sites.path()) + "/d\xe9" "f";
        const std::string page = folder + "/caf\xe9.htm";
        QCOMPARE(fs::makeFolder(folder, 0755), 0);
        QCOMPARE(fs::replaceWholeFile(page, "<head></head><p>Harbour lighthouses</p>\n"), 0);
        QCOMPARE(fs::replaceWholeFile(folder + "/plain.htm", "<head></head><p>Plain sailing</p>\n"), 0);
        // The name reaches the shell as bytes (a QProcess argument would be text).
        const auto inSites = [&](const char *script) {
            QProcess shell;
            shell.setWorkingDirectory(m_sites.path());
            shell.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                               QStringLiteral("site=$(printf 'd\\351f'); ") + QLatin1String(script)});
            return shell.waitForFinished() && shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
        };
        QCOMPARE(inSites("cp -a \"$site\" before"), 0);
        main.TxtVeld[0]->setText(fs::fromNative(folder));
        main.TxtVeld[1]->setText(fs::fromNative(page));
        if (!main.ChkUndo->isChecked())
            click(main.ChkUndo);

        click(screens().top->CmdKnop[2]);
        QVERIFY2(!popup(), qPrintable(popupText()));
        std::string bytes(4096, '\0');
        fs::File file;
        std::size_t got = 0;
        QCOMPARE(fs::openForReading(page, fs::Links::Follow, &file), 0);
        QCOMPARE(fs::readAt(file.fd(), bytes.data(), 0, bytes.size(), &got), 0);
        bytes.resize(got);
        QVERIFY2(bytes.find("lighthouses") != std::string::npos && bytes.find("sailing") != std::string::npos,
                 bytes.c_str());

        click(main.CmdUndo);
        FrmUndo *window = undoWindow();
        QVERIFY(window);
        click(window->CmdUndo);
        QCOMPARE(window->done().count(UndoAction::Restore), 2);
        click(window->CmdCancel);
        QTRY_VERIFY(!undoWindow());
        QCOMPARE(inSites("diff -r before \"$site\""), 0);
        QCOMPARE(inSites("rm -r before \"$site\""), 0); // a name Qt cannot spell is not removed by QTemporaryDir
    }

    // Runs of the batch command with a small budget leave only the newest run; the window says why.
    void olderRunsDropped()
    {
        FrmTsMain &main = *screens().main;
        const QString site = m_sites.filePath(QStringLiteral("budget"));
        test::makeSite(site, {QStringLiteral("a.htm Sailing boats")});
        main.TxtVeld[0]->setText(site);
        main.TxtVeld[1]->clear();
        RunOptions options = main.runOptions();
        options.undoBudget = 1;
        for (const bool generator : {true, false, true}) {
            options.generator = generator;
            test::RecordingObserver quiet;
            QCOMPARE(runMeta(options, quiet), RunResult::Completed);
        }
        click(main.CmdUndo);
        FrmUndo *window = undoWindow();
        QVERIFY(window);
        QCOMPARE(window->Runs->topLevelItemCount(), 1);
        QVERIFY(window->LblDropped->isVisible());
        QVERIFY2(window->LblDropped->text().startsWith(QStringLiteral("Older runs of this folder no longer kept: 2. "
                                                                      "The undo data of a folder may take")),
                 qPrintable(window->LblDropped->text()));
        window->close();
    }

private:
    QTemporaryDir m_program;
    QTemporaryDir m_sites;
};

QTEST_MAIN(TestFrmUndo)
#include "tst_frmundo.moc"
