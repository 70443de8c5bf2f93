// Module1's start-up: always in English, and a start that fails telling why.

#include "TestSupport.h"
#include "gui/Module1.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tagsmith;

class TestModule1 : public QObject
{
    Q_OBJECT
private slots:
    void alwaysStartsInEnglish()
    {
        Module1::LangOffset = DutchOffset;
        QVERIFY(Module1::Main(m_folder.path()));
        QCOMPARE(Module1::LangOffset, EnglishOffset);
    }

    void failedStartTellsWhyAndShowsNoFrame()
    {
        Module1::destroyScreens();
        QTemporaryDir broken;
        const QString garbage = broken.filePath(QStringLiteral("Tagsmith.mdb"));
        QVERIFY(test::writeFile(garbage, QByteArray(4096, 'x')));

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
        QCOMPARE(test::readFile(garbage), QByteArray(4096, 'x'));
    }

    void frameWholeOnScreen_data()
    {
        QTest::addColumn<QRect>("room");
        QTest::addColumn<QPoint>("placed");
        const QPoint wanted(67, 67);
        QTest::newRow("a large screen: where it always went") << QRect(0, 0, 1920, 1040) << wanted;
        // 1280 × 900 at a scale factor of 2, a panel above.
        QTest::newRow("scale factor 2") << QRect(0, 12, 640, 438) << QPoint(67, 12);
        QTest::newRow("a screen smaller than the frame") << QRect(0, 0, 400, 300) << QPoint(0, 0);
        QTest::newRow("a second screen to the right") << QRect(1920, 0, 1280, 1024) << QPoint(1920, 67);
    }

    void frameWholeOnScreen()
    {
        QFETCH(QRect, room);
        QFETCH(QPoint, placed);
        QCOMPARE(Module1::framePosition(QPoint(67, 67), QSize(464, 400), room), placed);
    }

private:
    QTemporaryDir m_folder;
};

QTEST_MAIN(TestModule1)
#include "tst_module1.moc"
