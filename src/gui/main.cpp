#include "Version.h"
#include "gui/Module1.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace {

// For checks of an installed copy, which start the program where no one can press a button: with this
// variable set, the program ends by itself once it has started, or once it has shown why it cannot.
constexpr char QuitAfterStart[] = "TAGSMITH_QUIT_AFTER_START";

void quitOnceStarted(QApplication &app)
{
    QTimer::singleShot(0, &app, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
        else
            QCoreApplication::quit();
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Ties the window to its desktop entry, so the desktop shows the entry's name and icon for it.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(tagsmith::version::AppId));
    if (qEnvironmentVariableIsSet(QuitAfterStart))
        quitOnceStarted(app);
    if (!tagsmith::Module1::Main(QCoreApplication::applicationDirPath()))
        return 1;
    return app.exec();
}
