// The folder and index-page chooser: its lists, where it starts, its keys, the selection text in both
// modes, OK with its messages, a drive that cannot be read, and pointing it at a run's folder.

#include "TestSupport.h"
#include "engine/fs/FileSystem.h"
#include "gui/tests/ProgramUnderTest.h"
#include "text/StringTable.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace tagsmith;
using namespace tagsmith::testing;

class TestFrmTsDir : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(home()));
        qputenv("HOME", QFile::encodeName(home()));
        QVERIFY(startProgram(m_program));
        test::makeSite(m_sites.path(),
                       {QStringLiteral("site/a.htm"), QStringLiteral("site/B.HTML"), QStringLiteral("site/notes.txt"),
                        QStringLiteral("site/sub/c.htm"), QStringLiteral("my.site/index.htm")});
        QVERIFY(QDir().mkpath(site(QStringLiteral("empty"))) && QDir().mkpath(site(QStringLiteral("site/.hidden"))));
        // A folder and a page whose names are not UTF-8.
        fs::File page;
        QCOMPARE(fs::makeFolder(oddFolder(), 0755), 0);
        QCOMPARE(fs::createNew(oddFolder() + "/men\xfc.htm", 0644, &page), 0);
    }

    // QTemporaryDir cannot name them.
    void cleanupTestCase()
    {
        QCOMPARE(fs::remove(oddFolder() + "/men\xfc.htm"), 0);
        QCOMPARE(fs::remove(oddFolder()), 0);
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
        // At first the user's home folder.
        QCOMPARE(chooser.path(), home());
        openFor(0);
        QCOMPARE(chooser.setPath(folder), 0);
        // The pages only, as a run takes them: no other files, no folders.
        QCOMPARE(chooser.fileList(), (QStringList{QStringLiteral("a.htm"), QStringLiteral("B.HTML")}));
        // The path from the root down, then the subfolders (hidden ones left out).
        QStringList folders;
        for (int i = 0; i < chooser.Dir->count(); ++i)
            folders << chooser.Dir->item(i)->data(Qt::UserRole).toString();
        QCOMPARE(folders.first(), QStringLiteral("/"));
        QCOMPARE(folders.mid(folders.size() - 3), (QStringList{folder, named(QStringLiteral("site/caf\\xe9")), sub}));
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

    // It opens on the folder of the HTML Dir box; without one where it was, at first the home folder.
    void startFolder_data()
    {
        QTest::addColumn<QString>("htmlDir");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << QString() << home();
        QTest::newRow("folder") << site(QStringLiteral("site")) << site(QStringLiteral("site"));
        QTest::newRow("not clean") << site(QStringLiteral("site/sub/../")) << site(QStringLiteral("site"));
        QTest::newRow("missing") << site(QStringLiteral("missing")) << home();
    }

    void startFolder()
    {
        QFETCH(QString, htmlDir);
        QFETCH(QString, shown);
        QCOMPARE(screens().dir->setPath(home()), 0);
        screens().main->TxtVeld[0]->setText(htmlDir);
        openFor(0);
        QCOMPARE(screens().dir->path(), shown);
    }

    void keys_data()
    {
        test::addTableRows(QFINDTESTDATA("data/chooser-keys.txt"),
                           {"field", "folder", "list", "letters", "key", "shown", "written"});
    }

    void keys()
    {
        QFETCH(QString, field);
        QFETCH(QString, folder);
        QFETCH(QString, list);
        QFETCH(QString, letters);
        QFETCH(QString, key);
        QFETCH(QString, shown);
        QFETCH(QString, written);
        const int target = field.toInt();
        FrmTsDir &chooser = *screens().dir;
        FrmTsMain &main = *screens().main;
        frame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame()));
        main.TxtVeld[0]->setText(named(folder));
        openFor(target);
        QListWidget *typedInto = list == QLatin1String("Dir") ? chooser.Dir : chooser.File;
        typedInto->setFocus();
        // Letters typed soon after those of the row before would go on with them.
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        QTest::keyClicks(typedInto, letters);
        QTest::keyClick(typedInto, key == QLatin1String("Enter") ? Qt::Key_Return : Qt::Key_Escape);
        QTRY_COMPARE(chooser.path(), named(shown.arg(m_sites.path())));
        QVERIFY(!popup());
        QCOMPARE(main.TxtVeld[target]->text(), written.isEmpty() ? QString() : named(written.arg(m_sites.path())));
        // Enter in the folders opens one; Enter or Escape in the pages goes back to the main screen.
        QCOMPARE(main.isVisible(), list == QLatin1String("File"));
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
    std::string oddFolder() const { return fs::native(site(QStringLiteral("site"))) + "/caf\xe9"; }
    QString home() const { return m_sites.filePath(QStringLiteral("home")); }
    // A path of a table or of this test, with \xNN for a byte that is not UTF-8, as the chooser carries it.
    QString named(const QString &path) const
    {
        const QByteArray bytes = test::unescape(path.startsWith(QLatin1Char('/')) ? path : site(path));
        return path.isEmpty() ? QString() : fs::fromNative(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    }
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
