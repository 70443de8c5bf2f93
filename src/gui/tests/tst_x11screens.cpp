// The screens as the X server shows them, under a window manager: run by x11-session.sh, which starts
// Xvfb and openbox. What is checked is read back from the root window with xwd, as a screenshot tool
// reads it, and the mouse is moved and clicked with xdotool, through the window manager.

#include "gui/FrmPopUpOK.h"
#include "gui/tests/ProgramUnderTest.h"
#include "text/StringTable.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QImage>
#include <QProcess>
#include <QToolTip>
#include <QtEndian>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

QByteArray runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return process.readAllStandardOutput();
}

// The screen as the root window holds it: an XWD dump of a TrueColor screen of 24 or 32 bits a pixel.
QImage rootCapture()
{
    const QByteArray dump = runTool(QStringLiteral("xwd"), {QStringLiteral("-root"), QStringLiteral("-silent")});
    if (dump.size() < 100)
        return {};
    const auto field = [&dump](int i) { return qFromBigEndian<quint32>(dump.constData() + 4 * i); };
    const quint32 headerSize = field(0), width = field(4), height = field(5), lsbFirst = field(7) == 0;
    const quint32 bitsPerPixel = field(11), bytesPerLine = field(12), colours = field(19);
    const quint32 masks[] = {field(14), field(15), field(16)};
    const qint64 start = qint64(headerSize) + qint64(colours) * 12;
    if ((bitsPerPixel != 24 && bitsPerPixel != 32) || start + qint64(bytesPerLine) * height > dump.size())
        return {};
    const int bytes = int(bitsPerPixel / 8);
    QImage image(int(width), int(height), QImage::Format_RGB32);
    for (quint32 y = 0; y < height; ++y) {
        const auto *row = reinterpret_cast<const uchar *>(dump.constData() + start + qint64(y) * bytesPerLine);
        for (quint32 x = 0; x < width; ++x) {
            quint32 value = 0;
            for (int b = 0; b < bytes; ++b)
                value |= quint32(row[x * bytes + b]) << (8 * (lsbFirst ? b : bytes - 1 - b));
            int channel[3];
            for (int c = 0; c < 3; ++c)
                channel[c] = int((value & masks[c]) >> qCountTrailingZeroBits(masks[c]));
            image.setPixel(int(x), int(y), qRgb(channel[0], channel[1], channel[2]));
        }
    }
    return image;
}

// The share of a window's pixels that the screen shows as the window paints them.
double shownShare(QWidget *window)
{
    const QImage painted = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect place = window->geometry();
    const QImage screen = rootCapture();
    if (screen.isNull() || painted.size() != place.size())
        return 0;
    int same = 0;
    for (int y = 0; y < place.height(); ++y) {
        for (int x = 0; x < place.width(); ++x) {
            const QPoint at = place.topLeft() + QPoint(x, y);
            if (!screen.rect().contains(at))
                continue;
            const QRgb a = painted.pixel(x, y), b = screen.pixel(at);
            if (qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b)) <= 24)
                ++same;
        }
    }
    const double share = double(same) / (place.width() * place.height());
    if (share < 0.9)
        screen.copy(place).save(QStringLiteral("x11-%1.png").arg(window->objectName()));
    return share;
}

void moveMouse(const QPoint &global, bool clickToo = false)
{
    QStringList arguments{QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())};
    if (clickToo)
        arguments << QStringLiteral("click") << QStringLiteral("1");
    runTool(QStringLiteral("xdotool"), arguments);
}

QWidget *openToolTip()
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->inherits("QTipLabel") && window->isVisible())
            return window;
    }
    return nullptr;
}

// Waits until the window is on the screen and has been drawn there.
bool settled(QWidget *window)
{
    if (!window || !QTest::qWaitForWindowExposed(window))
        return false;
    QTest::qWait(300);
    return true;
}

enum class Shown { Message, ToolTip, MonthsList };

} // namespace

class TestX11Screens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void windowShowsItsContent_data();
    void windowShowsItsContent();
    void messageStaysAboveFrame();

private:
    QTemporaryDir m_program;
};

void TestX11Screens::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QVERIFY(startProgram(m_program));
    QVERIFY(settled(frame()));
}

void TestX11Screens::cleanup()
{
    QToolTip::hideText();
    screens().main->CmbSel[0]->hidePopup();
    while (popup())
        closePopup();
    moveMouse(frame()->geometry().bottomRight() + QPoint(50, 50));
    QTest::qWait(100);
}

void TestX11Screens::windowShowsItsContent_data()
{
    QTest::addColumn<Shown>("shown");
    QTest::addColumn<int>("button"); // of the bar, for a tooltip

    QTest::newRow("message raised by a run") << Shown::Message << -1;
    QTest::newRow("tooltip of the options button") << Shown::ToolTip << 0;
    QTest::newRow("tooltip of the language button") << Shown::ToolTip << 3;
    QTest::newRow("list of the months box") << Shown::MonthsList << -1;
}

void TestX11Screens::windowShowsItsContent()
{
    QFETCH(Shown, shown);
    QFETCH(int, button);

    QWidget *window = nullptr;
    switch (shown) {
    case Shown::Message:
        click(screens().top->CmdKnop[2]); // a run without a folder
        window = popup();
        break;
    case Shown::ToolTip: {
        const PictureButton *target = screens().top->CmdKnop[button];
        moveMouse(target->mapToGlobal(target->rect().center()));
        QTRY_VERIFY_WITH_TIMEOUT(openToolTip(), 5000);
        window = openToolTip();
        break;
    }
    case Shown::MonthsList:
        screens().main->CmbSel[0]->showPopup();
        window = screens().main->CmbSel[0]->view()->window();
        break;
    }
    QVERIFY(settled(window));
    QVERIFY2(shownShare(window) >= 0.9, "the screen does not show what the window paints");
}

void TestX11Screens::messageStaysAboveFrame()
{
    Module1::showMessage(ids::ErrorTitle, ids::NoDirectory);
    QWidget *message = popup();
    QVERIFY(settled(message));
    // A click on the frame beside the message, where the bar has no button.
    moveMouse(frame()->mapToGlobal(QPoint(10, 10)), true);
    QTest::qWait(500);
    QVERIFY2(shownShare(message) >= 0.9, "the frame covers the message");
}

QTEST_MAIN(TestX11Screens)
#include "tst_x11screens.moc"
