#include "engine/PageList.h"
#include "engine/FileError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tagsmith;

class TestPageList : public QObject
{
    Q_OBJECT

private slots:
    void pagesInOrder();
    void folderErrors_data();
    void folderErrors();
};

void TestPageList::pagesInOrder()
{
    QTemporaryDir dir;
    QDir folder(dir.path());
    for (const char *name : {"b.htm", "A.HTML", "c.Htm", "a2.html", "B1.htm", ".hidden.htm", "notes.txt",
                             "page.htm.bak", "page.htmx", "index.tmp", "x.shtml"}) {
        QFile file(folder.filePath(QString::fromUtf8(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(folder.mkdir(QStringLiteral("sub.htm")));
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("b.htm")), folder.filePath(QStringLiteral("linked.htm"))));
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("gone.txt")), folder.filePath(QStringLiteral("dangling.htm"))));
    QVERIFY(QFile::link(folder.filePath(QStringLiteral("sub.htm")), folder.filePath(QStringLiteral("dirlink.htm"))));

    int error = -1;
    const QStringList pages = listPages(dir.path(), &error);
    QCOMPARE(error, 0);
    QCOMPARE(pages, (QStringList{QStringLiteral("A.HTML"), QStringLiteral("a2.html"), QStringLiteral("b.htm"),
                                 QStringLiteral("B1.htm"), QStringLiteral("c.Htm"), QStringLiteral("linked.htm")}));
}

void TestPageList::folderErrors_data()
{
    QTest::addColumn<QString>("folder"); // "@" stands for a temporary folder
    QTest::addColumn<int>("error");
    QTest::newRow("empty folder") << QStringLiteral("@") << 0;
    QTest::newRow("missing folder") << QStringLiteral("@/missing") << fileerr::PathNotFound;
    QTest::newRow("a file") << QStringLiteral("@/file.htm") << fileerr::PathNotFound;
    QTest::newRow("no folder text") << QString() << fileerr::PathNotFound;
}

void TestPageList::folderErrors()
{
    QFETCH(QString, folder);
    QFETCH(int, error);
    QTemporaryDir dir;
    folder.replace(QLatin1Char('@'), dir.path());
    if (folder.endsWith(QLatin1String("file.htm"))) {
        QFile file(folder);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    int got = -1;
    QVERIFY(listPages(folder, &got).isEmpty());
    QCOMPARE(got, error);
}

QTEST_GUILESS_MAIN(TestPageList)
#include "tst_PageList.moc"
