// The run report after a run and the preview before one, as a user meets them: the window opens by
// itself after the run, lists every page that got a warning, follows the language button; the
// preview writes nothing and shows the change of the page selected. With the most telling words each
// page's keywords and description have columns of their own, and a rerun that leaves every page as it
// was says so.

#include "TestSupport.h"
#include "gui/tests/ProgramUnderTest.h"

#include "gui/RunReportWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTextEdit>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

// The rows the table shows, in the order it shows them: the fields of the columns given, "|" between.
QStringList shownRows(RunReportWindow *window, std::initializer_list<int> columns = {0})
{
    QStringList rows;
    const QAbstractItemModel *model = window->findChild<QTableView *>(QStringLiteral("Pages"))->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList fields;
        for (const int column : columns)
            fields << model->index(row, column).data().toString();
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

QString heading(RunReportWindow *window, int column)
{
    return window->findChild<QTableView *>(QStringLiteral("Pages"))
        ->model()
        ->headerData(column, Qt::Horizontal)
        .toString();
}

QString summary(RunReportWindow *window)
{
    return window->findChild<QLabel *>(QStringLiteral("Summary"))->text();
}

RunReportWindow *runFromTheScreen()
{
    click(screens().top->CmdKnop[2]);
    while (popup())
        closePopup();
    return RunReportWindow::current();
}

} // namespace

class TestRunReportWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(startProgram(m_program));
        m_site = copySite(m_sites);
        FrmTsMain &main = *screens().main;
        main.TxtVeld[0]->setText(m_site);
        main.TxtVeld[1]->setText(page("index.htm"));
    }

    void previewWritesNothing()
    {
        FrmTsMain &main = *screens().main;
        const auto before = test::treeState(m_site, true);
        click(main.PreviewButton);
        QVERIFY(!popup());
        QCOMPARE(test::treeState(m_site, true), before);

        RunReportWindow *preview = RunReportWindow::current();
        QVERIFY(preview && preview->isVisible());
        QVERIFY(preview->report().dryRun);
        QCOMPARE(shownRows(preview).size(), 6);
        // The description box still holds its prompt: the preview says so.
        QVERIFY(summary(preview).contains(QStringLiteral("\"Enter your site description here.\"")));

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

    void reportListsEveryWarningPage()
    {
        RunReportWindow *report = runFromTheScreen();
        QVERIFY(report && report->isVisible());
        QVERIFY(!report->report().dryRun);
        QCOMPARE(shownRows(report).size(), 6);
        QVERIFY(summary(report).startsWith(QStringLiteral("6 pages written, 3 warnings, 0 errors in ")));
        auto *only = report->findChild<QCheckBox *>(QStringLiteral("OnlyProblems"));
        QTest::mouseClick(only, Qt::LeftButton, {}, QPoint(6, only->height() / 2));
        QCOMPARE(shownRows(report),
                 (QStringList{QStringLiteral("plain.htm"), QStringLiteral("quiet.htm"), QStringLiteral("zebra.htm")}));
        // Both filters show the pages with either; every word is read page by page, with nothing to check.
        auto *toCheck = report->findChild<QCheckBox *>(QStringLiteral("OnlyToCheck"));
        QTest::mouseClick(toCheck, Qt::LeftButton, {}, QPoint(6, toCheck->height() / 2));
        QCOMPARE(shownRows(report).size(), 3);
        QTest::mouseClick(only, Qt::LeftButton, {}, QPoint(6, only->height() / 2));
        QCOMPARE(shownRows(report).size(), 0);
        QTest::mouseClick(toCheck, Qt::LeftButton, {}, QPoint(6, toCheck->height() / 2));
        QTest::mouseClick(only, Qt::LeftButton, {}, QPoint(6, only->height() / 2));
        QVERIFY(readFile(page("zebra.htm"))
                    .endsWith("\r\n<META NAME=\"robots\" CONTENT=\"index, follow\">\r\n"
                              "<META NAME=\"revisit-after\" CONTENT=\"3 months\">"));
    }

    void followsTheLanguage()
    {
        RunReportWindow *report = RunReportWindow::current();
        QVERIFY(report);
        click(screens().top->CmdKnop[3]);
        QCOMPARE(report->windowTitle(), QStringLiteral("Verslag van de run"));
        QVERIFY(summary(report).startsWith(QStringLiteral("6 pagina's geschreven, 3 waarschuwingen, 0 fouten in ")));
        QCOMPARE(shownRows(report).size(), 3);
        click(screens().top->CmdKnop[3]);
        QCOMPARE(report->windowTitle(), QStringLiteral("Run report"));
    }

    void keywordsAndDescriptionsShown()
    {
        const QString site = m_sites.filePath(QStringLiteral("telling"));
        QVERIFY(writeFile(site + QStringLiteral("/harbour.htm"),
                          "<html><head><title>Harbour</title></head><body><p>Moorings, moorings and keelboats "
                          "behind the dyke, with sixty moorings.</p></body></html>\n"));
        QVERIFY(writeFile(site + QStringLiteral("/lessons.htm"),
                          "<html><head><title>Lessons</title></head><body><p>Sailing lessons for dinghies "
                          "every saturday morning in summer.</p></body></html>\n"));
        FrmTsMain &main = *screens().main;
        main.TxtVeld[0]->setText(site);
        main.TxtVeld[1]->clear();
        main.CmbSel[2]->setCurrentIndex(1); // the most telling words
        main.SpnVeld[0]->setValue(2);
        main.CmbSel[3]->setCurrentIndex(1); // each page's own description

        RunReportWindow *report = runFromTheScreen();
        QVERIFY(report);
        QCOMPARE(shownRows(report, {0, 2, 3, 4}),
                 (QStringList{
                     QStringLiteral("harbour.htm|block before </head>|moorings, harbour|Moorings, moorings and "
                                    "keelboats behind the dyke, with sixty moorings."),
                     QStringLiteral("lessons.htm|block before </head>|lessons, sailing|Sailing lessons for dinghies "
                                    "every saturday morning in summer.")}));
        report->close();

        // Again, on the site as the run left it: nothing to write.
        report = runFromTheScreen();
        QVERIFY(report);
        QVERIFY(summary(report).startsWith(QStringLiteral("0 pages written, 2 unchanged, 0 warnings, 0 errors in ")));
        QCOMPARE(shownRows(report, {0, 2, 3, 4}).at(0),
                 QStringLiteral("harbour.htm|unchanged|moorings, harbour|Moorings, moorings and keelboats behind the "
                                "dyke, with sixty moorings."));
        QCOMPARE(heading(report, 3), QStringLiteral("Keywords"));

        click(screens().top->CmdKnop[3]); // Dutch
        QCOMPARE(heading(report, 3), QStringLiteral("Trefwoorden"));
        QCOMPARE(heading(report, 4), QStringLiteral("Omschrijving"));
        QVERIFY(shownRows(report, {0, 2, 3, 4})
                    .at(1)
                    .startsWith(QStringLiteral("lessons.htm|ongewijzigd|lessons, sailing|")));
        QVERIFY(summary(report).startsWith(
            QStringLiteral("0 pagina's geschreven, 2 ongewijzigd, 0 waarschuwingen, 0 fouten in ")));
        click(screens().top->CmdKnop[3]);
    }

private:
    QString page(const char *name) const { return m_site + QLatin1Char('/') + QLatin1String(name); }

    QTemporaryDir m_program;
    QTemporaryDir m_sites;
    QString m_site;
};

QTEST_MAIN(TestRunReportWindow)
#include "tst_runreportwindow.moc"
