// The program driven as a user drives it: choose the folder and the main page through the chooser,
// untick a line, type a description, start the run with the navigation bar, read the message, run again.

#include "gui/tests/ProgramUnderTest.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using namespace tagsmith;
using namespace tagsmith::testing;

class TestUserRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(startProgram(m_program));
        m_site = copySite(m_sites);
    }

    void chooseFolderAndMainPage()
    {
        FrmTsMain &main = *screens().main;
        FrmTsDir &chooser = *screens().dir;

        click(main.CmdKnop[0]);
        QVERIFY(chooser.isVisible());
        // Up to the root by the path's first line, then down, one double click per folder.
        QVERIFY(clickEntry(chooser.Dir, QStringLiteral("/"), true));
        QTRY_COMPARE(chooser.path(), QStringLiteral("/"));
        QString walked = chooser.path();
        for (const QString &part : m_site.mid(walked.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            walked = walked.endsWith(QLatin1Char('/')) ? walked + part : walked + QLatin1Char('/') + part;
            QVERIFY2(clickEntry(chooser.Dir, walked, true), qPrintable(walked));
            QTRY_COMPARE(chooser.path(), walked);
        }
        QCOMPARE(chooser.fileList(),
                 (QStringList{QStringLiteral("about.htm"), QStringLiteral("index.htm"), QStringLiteral("plain.htm"),
                              QStringLiteral("quiet.htm"), QStringLiteral("zebra.htm")}));
        click(chooser.CmdKnop[0]);
        QVERIFY(main.isVisible());
        QCOMPARE(main.TxtVeld[0]->text(), m_site);

        click(main.CmdKnop[1]);
        QVERIFY(clickEntry(chooser.File, QStringLiteral("index.htm")));
        QCOMPARE(chooser.TxtVeld[0]->text(), page("index.htm"));
        click(chooser.CmdKnop[0]);
        QVERIFY(main.isVisible());
        QCOMPARE(main.TxtVeld[1]->text(), page("index.htm"));
        QVERIFY(!popup());
    }

    void setOptions()
    {
        FrmTsMain &main = *screens().main;
        click(main.ChkVeld[1]); // no generator line
        QTest::mouseClick(main.TxtVeld[2], Qt::LeftButton);
        main.TxtVeld[2]->selectAll();
        QTest::keyClicks(main.TxtVeld[2], QStringLiteral("Handmade oak furniture"));
    }

    void run()
    {
        click(screens().top->CmdKnop[2]);

        const QByteArray about = readFile(page("about.htm"));
        QVERIFY2(about.contains("<META NAME=\"description\" CONTENT=\"Handmade oak furniture\">"), about.constData());
        QVERIFY(about.contains("<META NAME=\"keywords\" CONTENT=\"carpenters, building, furniture\">"));
        QVERIFY(!about.contains("NAME=\"generator\""));

        // The main page holds the words of the whole site, in place of its old keywords.
        const QByteArray index = readFile(page("index.htm"));
        QCOMPARE(index.count("NAME=\"keywords\""), 1);
        QVERIFY(!index.contains("old words"));
        for (const char *word : {"carpenters", "welcome", "visitors", "handmade", "everywhere"})
            QVERIFY2(index.contains(word), word);

        // The page without a head got its lines at its end, and said so; the run went on. The popup shows
        // the latest such page.
        const QByteArray plain = readFile(page("plain.htm"));
        QVERIFY(plain.startsWith("Handmade tables <b>everywhere</b> "));
        QVERIFY(plain.contains("NAME=\"keywords\""));
        QVERIFY(popupText().startsWith(QStringLiteral("No <Meta Name or </Head tag found, appending to end of file.")));
        QVERIFY2(popupText().endsWith(QStringLiteral("/zebra.htm")), qPrintable(popupText()));
        QVERIFY(frame()->isEnabled());
        closePopup();

        // No backups asked for, none left; nothing half-written either.
        QCOMPARE(QDir(m_site).entryList(QDir::Files, QDir::Name),
                 (QStringList{QStringLiteral("about.htm"), QStringLiteral("index.htm"), QStringLiteral("plain.htm"),
                              QStringLiteral("quiet.htm"), QStringLiteral("style.css"), QStringLiteral("zebra.htm")}));
        QVERIFY(screens().main->isVisible() && !screens().main->LblVeld[11]->isVisible());
    }

    void runAgain()
    {
        const QByteArray before = readFile(page("about.htm"));
        click(screens().main->ChkVeld[7]); // keep the pages as they were this time
        click(screens().top->CmdKnop[2]);
        QVERIFY(!popup());
        // The lines are replaced, not added again.
        const QByteArray about = readFile(page("about.htm"));
        QCOMPARE(about.count("NAME=\"keywords\""), 1);
        QCOMPARE(about.count("NAME=\"description\""), 1);
        QCOMPARE(readFile(page("about.bak")), before);
        QCOMPARE(readFile(page("plain.htm")).count("NAME=\"keywords\""), 1);
    }

private:
    QString page(const char *name) const { return m_site + QLatin1Char('/') + QLatin1String(name); }

    QTemporaryDir m_program;
    QTemporaryDir m_sites;
    QString m_site;
};

QTEST_MAIN(TestUserRun)
#include "tst_userrun.moc"
