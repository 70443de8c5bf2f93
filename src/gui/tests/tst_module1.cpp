// Module1's start-up: always in English, the screens made once, and a start that fails telling why.

#include "gui/FrmMdiTs.h"
#include "gui/FrmTsDir.h"
#include "gui/FrmTsInfo.h"
#include "gui/FrmTsMain.h"
#include "gui/FrmTsSet.h"
#include "gui/FrmTsTop.h"
#include "gui/Module1.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tagsmith;

class TestModule1 : public QObject
{
    Q_OBJECT
private slots:
    void alwaysStartsInEnglish();
    void hideChildForms();
    void failedStartTellsWhyAndShowsNoFrame();

private:
    QTemporaryDir m_folder;
};

void TestModule1::alwaysStartsInEnglish()
{
    Module1::LangOffset = DutchOffset;
    QVERIFY(Module1::Main(m_folder.path()));
    QCOMPARE(Module1::LangOffset, EnglishOffset);
}

void TestModule1::hideChildForms()
{
    const Module1::Screens &s = Module1::screens();
    const QWidgetList children{s.main, s.dir, s.set, s.info};
    for (QWidget *w : children)
        w->show();
    Module1::HideChildForms();
    for (QWidget *w : children)
        QVERIFY(!w->isVisible());
    QVERIFY(s.top->isVisible());
    // A screen shown again is the same one, not a new one.
    s.set->show();
    QCOMPARE(s.mdi->findChildren<FrmTsSet *>().size(), 1);
}

void TestModule1::failedStartTellsWhyAndShowsNoFrame()
{
    Module1::destroyScreens();
    QTemporaryDir broken;
    QFile garbage(broken.filePath(QStringLiteral("Tagsmith.mdb")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();

    QString told;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            told = box->text();
            box->accept();
        }
    });
    poll.start(20);
    QVERIFY(!Module1::Main(broken.path()));
    poll.stop();
    QVERIFY2(told.contains(QStringLiteral("file is not a database")), qPrintable(told));
    QVERIFY(!Module1::screens().mdi);
    QCOMPARE(QFile(garbage.fileName()).size(), 4096);
}

QTEST_MAIN(TestModule1)
#include "tst_module1.moc"
