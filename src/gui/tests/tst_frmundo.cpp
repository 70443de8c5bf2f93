// "Undo last run…" on the main screen, used as a user uses it: a run, the undo window, the confirmation,
// the pages back as they were; without undo data a message says why.

#include "TestSupport.h"
#include "gui/tests/ProgramUnderTest.h"

#include "gui/FrmUndo.h"
#include "text/StringTable.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

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
        QTest::newRow("undo data kept") << true << false;
        QTest::newRow("a page edited since") << true << true;
        QTest::newRow("undo data off") << false << false;
    }

    void undoLastRun()
    {
        QFETCH(bool, keepUndo);
        QFETCH(bool, edit);
        FrmTsMain &main = *screens().main;
        const QString site =
            m_sites.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('-')));
        test::makeSite(site, {QStringLiteral("a.htm Sailing boats"), QStringLiteral("b.htm Harbour pilots")});
        const auto before = test::treeState(site);
        main.TxtVeld[0]->setText(site);
        main.TxtVeld[1]->clear();
        if (main.ChkUndo->isChecked() != keepUndo)
            click(main.ChkUndo);

        click(screens().top->CmdKnop[2]);
        while (popup())
            closePopup();
        QVERIFY(test::treeState(site) != before);
        if (edit)
            QVERIFY(writeFile(site + QStringLiteral("/b.htm"), "<p>by hand</p>"));
        const auto written = test::treeState(site);

        click(main.CmdUndo);
        if (!keepUndo) {
            QVERIFY(!undoWindow());
            QVERIFY(popupText().startsWith(*loadString(ids::NoUndoData + EnglishOffset)));
            closePopup();
            QCOMPARE(test::treeState(site), written);
            QVERIFY(frame()->isEnabled());
            return;
        }
        FrmUndo *window = undoWindow();
        QVERIFY(window);
        const QString plan = window->LblPlan->text();
        QVERIFY2(plan.contains(QStringLiteral("2 pages in the run")), qPrintable(plan));
        QCOMPARE(plan.contains(site + QStringLiteral("/b.htm")), edit);
        // Cancel changes nothing.
        click(window->CmdCancel);
        QTRY_VERIFY(!undoWindow());
        QCOMPARE(test::treeState(site), written);

        click(main.CmdUndo);
        window = undoWindow();
        QVERIFY(window);
        click(window->CmdUndo);
        QCOMPARE(window->done().count(UndoAction::Restore), edit ? 1 : 2);
        QCOMPARE(window->done().count(UndoAction::ChangedSince), edit ? 1 : 0);
        auto expected = before;
        if (edit)
            expected[QStringLiteral("b.htm")] = written[QStringLiteral("b.htm")];
        QCOMPARE(test::treeState(site), expected);
        click(window->CmdCancel);
        QTRY_VERIFY(!undoWindow());
        QVERIFY(frame()->isEnabled() && main.CmdUndo->isVisible());
    }

private:
    QTemporaryDir m_program;
    QTemporaryDir m_sites;
};

QTEST_MAIN(TestFrmUndo)
#include "tst_frmundo.moc"
