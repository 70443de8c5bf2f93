// tagsmith-shot: starts Tagsmith in a scratch folder and saves a picture of its frame (or of a
// message popup) as PNG, for the documentation.
//
//   tagsmith-shot OUTPUT.png [--dutch] [--screen FrmTsSet] [--message TITLEID,TEXTID] [--window-frame]
//
// --dutch switches the language as the navigation bar does; --screen shows that content screen in
// place of the main options screen; --message raises a message and pictures the popup;
// --window-frame takes the picture from the screen, with the title bar a window manager draws
// (scripts/screenshot.sh runs one under Xvfb).

#include "frame/FrmMdiTs.h"
#include "frame/FrmPopUpOK.h"
#include "frame/Module1.h"
#include "text/StringTable.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

using namespace tagsmith;

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QWidget *screenNamed(const QString &name)
{
    return Module1::screens().mdi->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly);
}

int fail(const QString &message)
{
    std::fprintf(stderr, "tagsmith-shot: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("output"), QStringLiteral("PNG file to write"));
    const QCommandLineOption dutch(QStringLiteral("dutch"), QStringLiteral("Switch to Dutch first."));
    const QCommandLineOption screen(QStringLiteral("screen"), QStringLiteral("Content screen to show."),
                                    QStringLiteral("name"));
    const QCommandLineOption message(QStringLiteral("message"), QStringLiteral("Raise a message and picture it."),
                                     QStringLiteral("titleid,textid"));
    const QCommandLineOption windowFrame(QStringLiteral("window-frame"),
                                         QStringLiteral("Picture the window with its title bar, from the screen."));
    parser.addOptions({dutch, screen, message, windowFrame});
    parser.addHelpOption();
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        return fail(QStringLiteral("give one output file"));
    const QString output = parser.positionalArguments().constFirst();

    QTemporaryDir folder;
    if (!folder.isValid())
        return fail(QStringLiteral("no scratch folder"));
    if (!Module1::Main(folder.path()))
        return fail(QStringLiteral("the program did not start"));

    if (parser.isSet(dutch)) {
        Module1::LangOffset = DutchOffset;
        Module1::LocaliseAll();
    }
    if (parser.isSet(screen)) {
        QWidget *wanted = screenNamed(parser.value(screen));
        if (!wanted)
            return fail(QStringLiteral("no content screen %1").arg(parser.value(screen)));
        Module1::HideChildForms();
        wanted->show();
    }
    QWidget *subject = Module1::screens().mdi;
    if (parser.isSet(message)) {
        const QStringList ids = parser.value(message).split(QLatin1Char(','));
        if (ids.size() != 2)
            return fail(QStringLiteral("--message wants two ids"));
        Module1::showMessage(ids[0].toInt(), ids[1].toInt());
        subject = Module1::popup();
    }
    QPixmap picture;
    if (parser.isSet(windowFrame)) {
        // The window manager needs a moment to frame and draw the window.
        settle(1500);
        picture = subject->screen()->grabWindow(0, subject->frameGeometry().x(), subject->frameGeometry().y(),
                                                subject->frameGeometry().width(), subject->frameGeometry().height());
    } else {
        settle(300);
        picture = subject->grab();
    }
    const bool saved = !picture.isNull() && picture.save(output, "PNG");
    Module1::destroyScreens();
    return saved ? 0 : fail(QStringLiteral("cannot write %1").arg(output));
}
