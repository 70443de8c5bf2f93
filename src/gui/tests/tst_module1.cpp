// Module1's start-up: in English with the defaults unless the choices were to be remembered, and a start
// that fails telling why.

#include "TestSupport.h"
#include "engine/fs/FileSystem.h"
#include "gui/FrmTsMain.h"
#include "gui/FrmTsTop.h"
#include "gui/Module1.h"
#include "gui/PictureButton.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
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

    // The user's choices, then a new start: "Remember my choices" ticked brings them back, in the language
    // they were made in; cleared (or never ticked) the start is the same as ever.
    void rememberedChoices_data()
    {
        QTest::addColumn<QString>("clicks"); // on "Remember my choices"
        QTest::newRow("remembered") << "on";
        QTest::newRow("never ticked") << "";
        QTest::newRow("ticked, then cleared") << "on off";
    }

    void rememberedChoices()
    {
        QFETCH(QString, clicks);
        QTemporaryDir program;
        Module1::destroyScreens();
        QVERIFY(Module1::Main(program.path()));
        const QStringList defaults = screenState();
        FrmTsMain &main = *Module1::screens().main;
        // The box first: what is chosen after it is kept as the program ends.
        const qsizetype times = clicks.split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
        for (qsizetype i = 0; i < times; ++i)
            QTest::mouseClick(main.ChkRemember, Qt::LeftButton, {}, QPoint(6, main.ChkRemember->height() / 2));
        main.TxtVeld[0]->setText(fs::fromNative("/sites/caf\xe9"));
        main.TxtVeld[1]->setText(QStringLiteral("/sites/index.htm"));
        QTest::keyClicks(main.TxtVeld[2], QStringLiteral(" of oak"));
        QTest::mouseClick(Module1::screens().top->CmdKnop[3], Qt::LeftButton); // Dutch
        for (QAbstractButton *box : {main.ChkVeld[1], main.ChkVeld[5], main.ChkVeld[7], main.ChkUndo})
            QTest::mouseClick(box, Qt::LeftButton);
        main.CmbSel[1]->setEditText(QStringLiteral("4"));
        main.CmbSel[2]->setCurrentIndex(1);
        main.SpnVeld[0]->setValue(22);
        main.TxtSiteUrl->setText(QStringLiteral("https://example.org"));
        const QStringList chosen = screenState();
        QVERIFY(!Module1::popup());

        Module1::destroyScreens();
        QVERIFY(Module1::Main(program.path()));
        QCOMPARE(screenState(), clicks == QLatin1String("on") ? chosen : defaults);
        Module1::destroyScreens();
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
    // The language, and every box, list and text of the main screen with whether it takes input.
    static QStringList screenState()
    {
        QStringList state{QString::number(Module1::LangOffset)};
        for (QWidget *control : Module1::screens().main->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            QString value;
            if (auto *box = qobject_cast<QCheckBox *>(control))
                value = box->text() + QString::number(box->isChecked());
            else if (auto *list = qobject_cast<QComboBox *>(control))
                value = list->currentText();
            else if (auto *edit = qobject_cast<QLineEdit *>(control))
                value = edit->text();
            else if (auto *spin = qobject_cast<QSpinBox *>(control))
                value = spin->text();
            else
                continue;
            state << QStringLiteral("%1=%2 %3").arg(control->objectName(), value).arg(control->isEnabled());
        }
        return state;
    }

    QTemporaryDir m_folder;
};

QTEST_MAIN(TestModule1)
#include "tst_module1.moc"
