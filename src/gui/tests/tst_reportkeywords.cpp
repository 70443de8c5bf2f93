// The run report of the most telling words, as a user meets it: each page's keywords and description
// in columns of their own, a rerun that leaves every page as it was says so in either language.

#include "gui/tests/ProgramUnderTest.h"

#include "gui/RunReportWindow.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

// Each shown row: its page, outcome, keywords and description, "|" between.
QStringList shownRows(RunReportWindow *window)
{
    QStringList rows;
    const QAbstractItemModel *model = window->findChild<QTableView *>(QStringLiteral("Pages"))->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList fields;
        for (const int column : {0, 2, 3, 4})
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

RunReportWindow *runFromTheScreen()
{
    click(screens().top->CmdKnop[2]);
    while (popup())
        closePopup();
    return RunReportWindow::current();
}

} // namespace

class TestReportKeywords : public QObject
{
    Q_OBJECT

private slots:
    void keywordsAndDescriptionsShown();

private:
    QTemporaryDir m_program;
    QTemporaryDir m_sites;
};

void TestReportKeywords::keywordsAndDescriptionsShown()
{
    QVERIFY(startProgram(m_program));
    const QString site = m_sites.path();
    QVERIFY(writeFile(site + QStringLiteral("/harbour.htm"),
                      "<html><head><title>Harbour</title></head><body><p>Moorings, moorings and keelboats "
                      "behind the dyke, with sixty moorings.</p></body></html>\n"));
    QVERIFY(writeFile(site + QStringLiteral("/lessons.htm"),
                      "<html><head><title>Lessons</title></head><body><p>Sailing lessons for dinghies "
                      "every saturday morning in summer.</p></body></html>\n"));
    FrmTsMain &main = *screens().main;
    main.TxtVeld[0]->setText(site);
    main.CmbSel[2]->setCurrentIndex(1); // the most telling words
    main.SpnVeld[0]->setValue(2);
    main.CmbSel[3]->setCurrentIndex(1); // each page's own description

    RunReportWindow *report = runFromTheScreen();
    QVERIFY(report);
    QCOMPARE(
        shownRows(report),
        (QStringList{QStringLiteral("harbour.htm|block before </head>|moorings, harbour|Moorings, moorings and "
                                    "keelboats behind the dyke, with sixty moorings."),
                     QStringLiteral("lessons.htm|block before </head>|lessons, sailing|Sailing lessons for dinghies "
                                    "every saturday morning in summer.")}));
    report->close();

    // Again, on the site as the run left it: nothing to write.
    report = runFromTheScreen();
    QVERIFY(report);
    QVERIFY(report->findChild<QLabel *>(QStringLiteral("Summary"))
                ->text()
                .startsWith(QStringLiteral("0 pages written, 2 unchanged, 0 warnings, 0 errors in ")));
    QCOMPARE(shownRows(report).at(0),
             QStringLiteral("harbour.htm|unchanged|moorings, harbour|Moorings, moorings and keelboats behind the "
                            "dyke, with sixty moorings."));
    QCOMPARE(heading(report, 3), QStringLiteral("Keywords"));

    click(screens().top->CmdKnop[3]); // Dutch
    QCOMPARE(heading(report, 3), QStringLiteral("Trefwoorden"));
    QCOMPARE(heading(report, 4), QStringLiteral("Omschrijving"));
    QVERIFY(shownRows(report).at(1).startsWith(QStringLiteral("lessons.htm|ongewijzigd|lessons, sailing|")));
    QVERIFY(report->findChild<QLabel *>(QStringLiteral("Summary"))
                ->text()
                .startsWith(QStringLiteral("0 pagina's geschreven, 2 ongewijzigd, 0 waarschuwingen, 0 fouten in ")));
    click(screens().top->CmdKnop[3]);
}

QTEST_MAIN(TestReportKeywords)
#include "tst_reportkeywords.moc"
