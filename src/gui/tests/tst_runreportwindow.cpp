// The run report after a run and the preview before one, as a user meets them: the window opens by
// itself after the run, lists every page that got a warning, follows the language button; the
// preview writes nothing and shows the change of the page selected.

#include "TestSupport.h"
#include "gui/tests/ProgramUnderTest.h"

#include "gui/RunReportWindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTextEdit>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

// The first column of the rows the table shows, in the order it shows them.
QStringList shownPages(RunReportWindow *window)
{
    QStringList pages;
    auto *table = window->findChild<QTableView *>(QStringLiteral("Pages"));
    for (int row = 0; row < table->model()->rowCount(); ++row)
        pages << table->model()->index(row, 0).data().toString();
    return pages;
}

} // namespace

class TestRunReportWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void previewWritesNothing();
    void reportListsEveryWarningPage();
    void followsTheLanguage();

private:
    QString page(const char *name) const { return m_site + QLatin1Char('/') + QLatin1String(name); }

    QTemporaryDir m_program;
    QTemporaryDir m_sites;
    QString m_site;
};

void TestRunReportWindow::initTestCase()
{
    QVERIFY(startProgram(m_program));
    m_site = copySite(m_sites);
    FrmTsMain &main = *screens().main;
    main.TxtVeld[0]->setText(m_site);
    main.TxtVeld[1]->setText(page("index.htm"));
}

void TestRunReportWindow::previewWritesNothing()
{
    FrmTsMain &main = *screens().main;
    const auto before = test::treeState(m_site, true);
    click(main.PreviewButton);
    QVERIFY(!popup());
    QCOMPARE(test::treeState(m_site, true), before);

    RunReportWindow *preview = RunReportWindow::current();
    QVERIFY(preview && preview->isVisible());
    QVERIFY(preview->report().dryRun);
    QCOMPARE(shownPages(preview).size(), 6);
    // The description box still holds its prompt: the preview says so.
    QVERIFY(preview->findChild<QLabel *>(QStringLiteral("Summary"))
                ->text()
                .contains(QStringLiteral("\"Enter your site description here.\"")));

    // The main page, last: its old keywords line on the left, the new one on the right.
    auto *table = preview->findChild<QTableView *>(QStringLiteral("Pages"));
    table->selectRow(5);
    const QString left = preview->findChild<QTextEdit *>(QStringLiteral("Before"))->toPlainText();
    const QString right = preview->findChild<QTextEdit *>(QStringLiteral("After"))->toPlainText();
    QVERIFY2(left.contains(QStringLiteral("- <META NAME=\"keywords\" CONTENT=\"old words\">")), qPrintable(left));
    QVERIFY2(right.contains(QStringLiteral("+ <META NAME=\"keywords\" CONTENT=\"")) &&
                 right.contains(QStringLiteral("carpenters")),
             qPrintable(right));
    QVERIFY(left.contains(QStringLiteral("  <html><head><title>Home</title>")));
    preview->close();
}

void TestRunReportWindow::reportListsEveryWarningPage()
{
    click(screens().top->CmdKnop[2]);
    while (popup())
        closePopup();
    RunReportWindow *report = RunReportWindow::current();
    QVERIFY(report && report->isVisible());
    QVERIFY(!report->report().dryRun);
    QCOMPARE(shownPages(report).size(), 6);
    QVERIFY(report->findChild<QLabel *>(QStringLiteral("Summary"))
                ->text()
                .startsWith(QStringLiteral("6 pages written, 3 warnings, 0 errors in ")));
    auto *only = report->findChild<QCheckBox *>(QStringLiteral("OnlyProblems"));
    QTest::mouseClick(only, Qt::LeftButton, {}, QPoint(6, only->height() / 2));
    QCOMPARE(shownPages(report),
             (QStringList{QStringLiteral("plain.htm"), QStringLiteral("quiet.htm"), QStringLiteral("zebra.htm")}));
    QVERIFY(readFile(page("zebra.htm"))
                .endsWith("\r\n<META NAME=\"robots\" CONTENT=\"index, follow\">\r\n"
                          "<META NAME=\"revisit-after\" CONTENT=\"3 months\">"));
}

void TestRunReportWindow::followsTheLanguage()
{
    RunReportWindow *report = RunReportWindow::current();
    QVERIFY(report);
    click(screens().top->CmdKnop[3]);
    QCOMPARE(report->windowTitle(), QStringLiteral("Verslag van de run"));
    QVERIFY(report->findChild<QLabel *>(QStringLiteral("Summary"))
                ->text()
                .startsWith(QStringLiteral("6 pagina's geschreven, 3 waarschuwingen, 0 fouten in ")));
    QCOMPARE(shownPages(report).size(), 3);
    click(screens().top->CmdKnop[3]);
    QCOMPARE(report->windowTitle(), QStringLiteral("Run report"));
}

QTEST_MAIN(TestRunReportWindow)
#include "tst_runreportwindow.moc"
