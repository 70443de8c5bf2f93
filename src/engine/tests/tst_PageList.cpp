#include "engine/run/PageList.h"

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

QTEST_GUILESS_MAIN(TestPageList)
#include "tst_PageList.moc"
