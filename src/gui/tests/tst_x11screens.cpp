// The screens as the X server shows them, under a window manager (x11-session.sh starts Xvfb and
// openbox): the screen is read back from the root window with xwd, as screenshot tools read it, and the
// mouse goes through the window manager with xdotool.

#include "gui/RunReportWindow.h"
#include "gui/tests/ProgramUnderTest.h"
#include "text/StringTable.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QToolTip>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

QByteArray shell(const QString &command)
{
    QProcess process;
    process.start(QStringLiteral("bash"), {QStringLiteral("-c"), command});
    process.waitForFinished(10000);
    return process.readAllStandardOutput();
}

// The share of a window's pixels that the screen shows as the window paints them.
double shownShare(QWidget *window)
{
    const QImage painted = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage screen = QImage::fromData(shell(QStringLiteral("xwd -root -silent | xwdtopnm 2>/dev/null")))
                              .convertToFormat(QImage::Format_RGB32)
                              .copy(window->geometry());
    int same = 0;
    for (int y = 0; y < screen.height() && y < painted.height(); ++y) {
        for (int x = 0; x < screen.width() && x < painted.width(); ++x) {
            const QRgb a = painted.pixel(x, y), b = screen.pixel(x, y);
            same += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b)) <= 24;
        }
    }
    return double(same) / (painted.width() * painted.height());
}

void mouse(const QPoint &global, const char *then = "")
{
    shell(QStringLiteral("xdotool mousemove %1 %2 %3").arg(global.x()).arg(global.y()).arg(QLatin1String(then)));
}

QWidget *toolTip()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto tip = std::find_if(windows.begin(), windows.end(),
                                  [](QWidget *w) { return w->inherits("QTipLabel") && w->isVisible(); });
    return tip == windows.end() ? nullptr : *tip;
}

// The window the window manager keeps on top of all others.
WId topmostWindow()
{
    const QByteArray list = shell(QStringLiteral("xprop -root _NET_CLIENT_LIST_STACKING"));
    const QByteArray last = list.mid(list.lastIndexOf(' ') + 1).trimmed();
    bool ok = false;
    const WId id = last.toULongLong(&ok, 16);
    return ok ? id : 0;
}

// On the screen and drawn there.
bool settled(QWidget *window)
{
    const bool exposed = window && QTest::qWaitForWindowExposed(window);
    QTest::qWait(300);
    return exposed;
}

} // namespace

class TestX11Screens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY(startProgram(m_program));
        QVERIFY(settled(frame()));
    }

    void cleanup()
    {
        QToolTip::hideText();
        screens().main->CmbSel[0]->hidePopup();
        while (popup())
            closePopup();
        mouse(frame()->geometry().bottomRight() + QPoint(50, 50));
    }

    void windowShowsItsContent_data()
    {
        QTest::addColumn<int>("shown"); // 0 a message, 1 a tooltip of the bar, 2 the months list
        QTest::addColumn<int>("button");
        QTest::newRow("message raised by a run") << 0 << 2;
        QTest::newRow("tooltip of the options button") << 1 << 0;
        QTest::newRow("tooltip of the language button") << 1 << 3;
        QTest::newRow("list of the months box") << 2 << 0;
    }

    void windowShowsItsContent()
    {
        QFETCH(int, shown);
        QFETCH(int, button);
        QWidget *bar = screens().top->CmdKnop[button];
        QWidget *window = nullptr;
        if (shown == 0) {
            click(screens().top->CmdKnop[button]); // a run without a folder
            window = popup();
        } else if (shown == 1) {
            mouse(bar->mapToGlobal(bar->rect().center()));
            QTRY_VERIFY_WITH_TIMEOUT(toolTip(), 5000);
            window = toolTip();
        } else {
            screens().main->CmbSel[0]->showPopup();
            window = screens().main->CmbSel[0]->view()->window();
        }
        QVERIFY(settled(window));
        // A loaded machine may take a while to show it; a window that stays black never passes. A tooltip
        // goes (and is deleted) ten seconds after it shows: then the mouse points at the button anew.
        QPointer<QWidget> shownWindow = window;
        QElapsedTimer sincePointed;
        const auto showsWindow = [&] {
            if (shown == 1 && !shownWindow) {
                shownWindow = toolTip();
                if (!shownWindow && (!sincePointed.isValid() || sincePointed.elapsed() > 3000)) {
                    mouse(bar->mapToGlobal(bar->rect().bottomRight()) + QPoint(20, 20));
                    mouse(bar->mapToGlobal(bar->rect().center()));
                    sincePointed.start();
                }
            }
            return shownWindow && shownShare(shownWindow) >= 0.9;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(showsWindow(), "the screen does not show what the window paints", 15000);
    }

    void messageStaysAboveFrame()
    {
        Module1::showMessage(ids::ErrorTitle, ids::NoDirectory);
        QVERIFY(settled(popup()));
        mouse(frame()->mapToGlobal(QPoint(10, 10)), "click 1"); // the bar, beside its buttons
        QTest::qWait(500);                                      // the window manager raises what was clicked
        QTRY_VERIFY2_WITH_TIMEOUT(shownShare(popup()) >= 0.9, "the frame covers the message", 10000);
    }

    void runMessageStaysAboveReport()
    {
        // A page without a head: the run says it appends the block at the end, then shows its report.
        QTemporaryDir sites;
        screens().main->TxtVeld[0]->setText(copySite(sites));
        click(screens().top->CmdKnop[2]);
        QTRY_VERIFY_WITH_TIMEOUT(RunReportWindow::current() && RunReportWindow::current()->isVisible(), 20000);
        QVERIFY(settled(RunReportWindow::current()));
        QVERIFY(popup());
        QTRY_COMPARE_WITH_TIMEOUT(topmostWindow(), popup()->winId(), 10000);
        QTRY_VERIFY2_WITH_TIMEOUT(shownShare(popup()) >= 0.9, "the report covers the message", 10000);
        // The frame, then the report, brought to the front while the message is open: it stays on top.
        for (QWidget *raised : {frame(), static_cast<QWidget *>(RunReportWindow::current())}) {
            shell(QStringLiteral("xdotool windowactivate %1").arg(raised->winId()));
            QTest::qWait(500);
            QTRY_COMPARE_WITH_TIMEOUT(topmostWindow(), popup()->winId(), 10000);
        }
        // The popup asks the window manager for no minimise button and no minimising (the Motif hints: flags,
        // functions, decorations), so that it cannot be put away unread.
        const QByteArray motif = shell(QStringLiteral("xprop -id %1 _MOTIF_WM_HINTS").arg(popup()->winId()));
        const QList<QByteArray> hints = motif.mid(motif.indexOf('=') + 1).split(',');
        QCOMPARE(hints.size(), 5);
        const auto hint = [&](int i) { return hints[i].trimmed().toUInt(nullptr, 16); };
        QCOMPARE(hint(0) & 3, 3u);        // functions and decorations given
        QCOMPARE(hint(1) & (1 | 8), 0u);  // neither all functions nor minimise
        QCOMPARE(hint(2) & (1 | 32), 0u); // neither all decorations nor the minimise button
        RunReportWindow::current()->close();
    }

private:
    QTemporaryDir m_program;
};

QTEST_MAIN(TestX11Screens)
#include "tst_x11screens.moc"
