// tagsmith-screenshots: starts Tagsmith in a scratch folder with a small example site, uses it as a user
// would (the chooser, the options, a run, the language button) and saves a picture of every screen as
// PNG into the folder given, for the documentation. Run it under Xvfb:
//
//   xvfb-run -a build/tests/tagsmith-screenshots docs

#include "frame/tests/ProgramUnderTest.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

QString g_output;
bool g_ok = true;

void settle()
{
    QEventLoop loop;
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
}

void save(QWidget *subject, const char *name)
{
    const QString path = g_output + QLatin1Char('/') + QLatin1String(name);
    if (!subject->grab().save(path, "PNG")) {
        std::fprintf(stderr, "tagsmith-screenshots: cannot write %s\n", qPrintable(path));
        g_ok = false;
    }
}

// Pictures the frame once, at the first page a run shows.
class RunPicture : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *label = static_cast<QLabel *>(watched);
        if (event->type() == QEvent::Paint && !m_taken && label->isVisible() && !label->text().isEmpty()) {
            m_taken = true;
            // Not inside a paint: the run lets the window paint again right after.
            QMetaObject::invokeMethod(
                this, [] { save(frame(), "screen-run-en.png"); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_taken = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tagsmith-screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    g_output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_output);

    QTemporaryDir program;
    QTemporaryDir sites;
    const QString site = sites.filePath(QStringLiteral("www.example.org"));
    const QByteArray head = "<html><head><title>Example</title></head>";
    writeFile(site + QStringLiteral("/index.htm"), head + "<body>Welcome to our workshop!</body></html>");
    writeFile(site + QStringLiteral("/about.htm"), head + "<body>Carpenters since 1921.</body></html>");
    writeFile(site + QStringLiteral("/contact.html"), head + "<body>Telephone and address.</body></html>");
    writeFile(site + QStringLiteral("/products.htm"), head + "<body>Tables, chairs, cupboards.</body></html>");
    if (!startProgram(program)) {
        std::fprintf(stderr, "tagsmith-screenshots: the program did not start\n");
        return 1;
    }
    FrmTsMain &main = *screens().main;
    FrmTsDir &chooser = *screens().dir;
    FrmTsTop &bar = *screens().top;

    // The folder, then the main page, through the chooser.
    click(main.CmdKnop[0]);
    chooser.setPath(site);
    click(chooser.CmdKnop[0]);
    click(main.CmdKnop[1]);
    clickEntry(chooser.File, QStringLiteral("index.htm"));
    settle();
    save(frame(), "screen-chooser-en.png");
    click(chooser.CmdKnop[0]);

    QTest::mouseClick(main.TxtVeld[2], Qt::LeftButton);
    main.TxtVeld[2]->selectAll();
    QTest::keyClicks(main.TxtVeld[2], QStringLiteral("Handmade furniture from our workshop"));
    main.TxtVeld[2]->setCursorPosition(0);
    settle();
    save(frame(), "screen-main-en.png");
    save(screens().top, "screen-bar-en.png");

    RunPicture runPicture;
    main.LblVeld[11]->installEventFilter(&runPicture);
    click(bar.CmdKnop[2]);
    main.LblVeld[11]->removeEventFilter(&runPicture);
    while (popup())
        closePopup();

    click(bar.CmdKnop[1]);
    settle();
    save(frame(), "screen-format-en.png");
    click(bar.CmdKnop[4]);
    settle();
    save(frame(), "screen-about-en.png");

    click(bar.CmdKnop[0]);
    click(bar.CmdKnop[3]);
    settle();
    save(frame(), "screen-main-nl.png");

    Module1::destroyScreens();
    return g_ok ? 0 : 1;
}
