// The folder and index-page chooser: its lists, the selection text in both modes, OK with its
// messages, a drive that cannot be read, and pointing it at a run's folder.

#include "TestSupport.h"
#include "gui/tests/ProgramUnderTest.h"
#include "text/StringTable.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStorageInfo>

using namespace tagsmith;
using namespace tagsmith::testing;

class TestFrmTsDir : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(startProgram(m_program));
        test::makeSite(m_sites.path(),
                       {QStringLiteral("site/a.htm"), QStringLiteral("site/B.HTML"), QStringLiteral("site/notes.txt"),
                        QStringLiteral("site/sub/c.htm"), QStringLiteral("my.site/index.htm")});
        QVERIFY(QDir().mkpath(site(QStringLiteral("empty"))) && QDir().mkpath(site(QStringLiteral("site/.hidden"))));
    }

    void cleanup()
    {
        while (popup())
            closePopup();
        frame()->setEnabled(true);
        Module1::LangOffset = EnglishOffset;
        Module1::BrowseTarget = 0;
        screens().main->TxtVeld[0]->clear();
        screens().main->TxtVeld[1]->clear();
        Module1::HideChildForms();
        screens().main->show();
    }

    void folderLists()
    {
        FrmTsDir &chooser = *screens().dir;
        const QString folder = site(QStringLiteral("site"));
        const QString sub = site(QStringLiteral("site/sub"));
        // At first the root of the program's volume.
        QCOMPARE(chooser.path(), QStorageInfo(m_program.path()).rootPath());
        openFor(0);
        QCOMPARE(chooser.setPath(folder), 0);
        // The pages only, as a run takes them: no other files, no folders.
        QCOMPARE(chooser.fileList(), (QStringList{QStringLiteral("a.htm"), QStringLiteral("B.HTML")}));
        // The path from the root down, then the subfolders (hidden ones left out).
        QStringList folders;
        for (int i = 0; i < chooser.Dir->count(); ++i)
            folders << chooser.Dir->item(i)->data(Qt::UserRole).toString();
        QCOMPARE(folders.first(), QStringLiteral("/"));
        QCOMPARE(folders.mid(folders.size() - 2), (QStringList{folder, sub}));
        QCOMPARE(chooser.Dir->currentItem()->data(Qt::UserRole).toString(), folder);

        // A single click only selects; a double click opens the folder.
        QVERIFY(clickEntry(chooser.Dir, sub));
        QCoreApplication::processEvents();
        QCOMPARE(chooser.path(), folder);
        QVERIFY(clickEntry(chooser.Dir, sub, true));
        QTRY_COMPARE(chooser.path(), sub);
        QCOMPARE(chooser.fileList(), QStringList{QStringLiteral("c.htm")});
        QCOMPARE(chooser.TxtVeld[0]->text(), sub);
        // Up again by the path's own line.
        QVERIFY(clickEntry(chooser.Dir, folder, true));
        QTRY_COMPARE(chooser.path(), folder);
    }

    void okAnswers_data()
    {
        test::addTableRows(QFINDTESTDATA("data/chooser-ok.txt"),
                           {"field", "folder", "clicked", "folderFirst", "selection", "message", "written"});
    }

    void okAnswers()
    {
        QFETCH(QString, field);
        QFETCH(QString, folder);
        QFETCH(QString, clicked);
        QFETCH(QString, folderFirst);
        QFETCH(QString, selection);
        QFETCH(QString, message);
        QFETCH(QString, written);
        const int target = field.toInt();

        FrmTsDir &chooser = *screens().dir;
        FrmTsMain &main = *screens().main;
        if (folderFirst == QLatin1String("1")) {
            openFor(0);
            QCOMPARE(chooser.setPath(site(folder)), 0);
            if (!clicked.isEmpty())
                QVERIFY(clickEntry(chooser.File, clicked));
            click(chooser.CmdKnop[0]);
            QVERIFY(!popup());
        }
        main.TxtVeld[target]->clear();
        openFor(target);
        if (folderFirst != QLatin1String("1"))
            QCOMPARE(chooser.setPath(site(folder)), 0);
        if (!clicked.isEmpty())
            QVERIFY(clickEntry(chooser.File, clicked));
        QCOMPARE(chooser.TxtVeld[0]->text(), selection.replace(QStringLiteral("%1"), m_sites.path()));
        click(chooser.CmdKnop[0]);

        if (!message.isEmpty()) {
            QCOMPARE(popupText(), message);
            QVERIFY(chooser.isVisible());
            QCOMPARE(Module1::BrowseTarget, target);
            QVERIFY(main.TxtVeld[target]->text().isEmpty());
            return;
        }
        QVERIFY(!popup());
        QCOMPARE(main.TxtVeld[target]->text(), written.arg(m_sites.path()));
        QCOMPARE(Module1::BrowseTarget, 0);
        // Back in folder mode: the chooser's own text is the folder again.
        QCOMPARE(chooser.TxtVeld[0]->text(), site(folder));
        QVERIFY(main.isVisible() && !chooser.isVisible());
    }

    void driveThatCannotBeRead()
    {
        FrmTsDir &chooser = *screens().dir;
        openFor(1);
        QCOMPARE(chooser.setPath(site(QStringLiteral("site"))), 0);
        QVERIFY(clickEntry(chooser.File, QStringLiteral("a.htm")));
        const QString selection = chooser.TxtVeld[0]->text();

        // A volume that was unmounted after the list was made.
        const QString gone = m_sites.filePath(QStringLiteral("unmounted"));
        chooser.setDriveList({QStringLiteral("/"), gone});
        chooser.Drive->setCurrentIndex(1);
        QCOMPARE(popupText(), QStringLiteral("Selected drive or directory is invalid."));
        // Back on the drive of the folder the lists show, which they still do.
        QCOMPARE(chooser.drive(), QStringLiteral("/"));
        QCOMPARE(chooser.path(), site(QStringLiteral("site")));
        QCOMPARE(chooser.TxtVeld[0]->text(), selection);
        chooser.setDriveList(FrmTsDir::mountedVolumes());
    }

    void pointAt_data() { test::addTableRows(QFINDTESTDATA("data/point-at.txt"), {"folder", "result", "shown"}); }

    void pointAt()
    {
        QFETCH(QString, folder);
        QFETCH(QString, result);
        QFETCH(QString, shown);

        FrmTsDir &chooser = *screens().dir;
        QCOMPARE(chooser.setPath(site(QStringLiteral("empty"))), 0);
        QCOMPARE(chooser.pointAt(site(folder)), result.toInt());
        QCOMPARE(chooser.path(), site(shown));
        QVERIFY(!popup());
    }

private:
    QString site(const QString &name) const { return m_sites.filePath(name); }
    // Opens the chooser with the main screen's browse button for field target.
    void openFor(int target)
    {
        click(screens().main->CmdKnop[target]);
        QVERIFY(screens().dir->isVisible());
    }

    QTemporaryDir m_program;
    QTemporaryDir m_sites;
};

QTEST_MAIN(TestFrmTsDir)
#include "tst_frmtsdir.moc"
