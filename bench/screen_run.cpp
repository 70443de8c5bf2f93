// A run started from the screens, timed (a benchmark, not a test). The program starts as a user
// starts it (Module1::Main, in a scratch program folder), the folder and the main page are typed
// into the main options screen, and the start button of the navigation bar is clicked. The click
// returns when the run is over, as it does for the user.
//
// Usage: tagsmith-screen-run FOLDER [--main PAGE] [--preview]   (offscreen unless QT_QPA_PLATFORM says
// otherwise). With --preview the "Preview…" button is clicked instead: the report window with the change
// of every page, as the user then has it.
// Prints: seconds from the click until the run is over, the processor seconds of the process during the
// run, and the peak resident memory of the process.

#include "gui/FrmTsMain.h"
#include "gui/FrmTsTop.h"
#include "gui/Module1.h"
#include "gui/PictureButton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <sys/resource.h>

namespace {

double processorSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool preview = args.removeAll(QStringLiteral("--preview")) > 0;
    if (args.isEmpty() || (args.size() != 1 && (args.size() != 3 || args[1] != QLatin1String("--main")))) {
        std::fprintf(stderr, "usage: tagsmith-screen-run FOLDER [--main PAGE] [--preview]\n");
        return 2;
    }
    QTemporaryDir programFolder;
    if (!programFolder.isValid() || !tagsmith::Module1::Main(programFolder.path()))
        return 1;
    const tagsmith::Module1::Screens &screens = tagsmith::Module1::screens();
    screens.main->TxtVeld[0]->setText(args[0]);
    screens.main->TxtVeld[1]->setText(args.size() == 3 ? args[2] : QString());
    QCoreApplication::processEvents();

    const double cpuBefore = processorSeconds();
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(preview ? static_cast<QWidget *>(screens.main->PreviewButton) : screens.top->CmdKnop[2],
                      Qt::LeftButton);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%.3f s  processor %.3f s  peak %ld KiB\n", seconds, processorSeconds() - cpuBefore, usage.ru_maxrss);
    return 0;
}
