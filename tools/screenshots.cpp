// tagsmith-screenshots: starts Tagsmith in a scratch folder with a small example site, uses it as a user
// would (a run without a folder, the chooser, the options, a run, the screens of the bar, the language
// button) and saves every picture of the documentation as PNG into the folder given:
//
//   frame.png              the frame right after start        popup.png           a message
//   screen-bar-en.png      the navigation bar                 screen-main-en.png  the options, filled in
//   screen-chooser-en.png  choosing the main page             screen-run-en.png   a run under way, Cancel
//   screen-format-en.png   the meta tag format screen         screen-about-en.png the about screen
//   screen-main-nl.png     the options after the language button, the keywords list open
//   screen-undo-en.png     the undo window after two runs, one page edited since: the runs kept
//   preview-en.png         the preview, the main page selected
//   report-en.png          the run report after the run       report-nl.png       the same in Dutch
//
// Windows are taken from the screen with the title bar a window manager gives them; scripts/screenshot.sh
// runs the tool under Xvfb with one:
//
//   scripts/screenshot.sh            (writes into docs/)

#include "gui/FrmUndo.h"
#include "gui/RunReportWindow.h"
#include "gui/tests/ProgramUnderTest.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTimer>

#include <cstdio>

using namespace tagsmith;
using namespace tagsmith::testing;

namespace {

QString g_output;
bool g_ok = true;

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A window as the screen shows it, title bar included; any other widget as it paints itself.
void save(QWidget *subject, const char *name)
{
    QPixmap picture;
    if (subject->isWindow()) {
        settle(400); // the window manager frames and draws the window
        for (int waited = 0; subject->frameGeometry() == subject->geometry() && waited < 3000; waited += 100)
            settle(100); // a window just shown learns its title bar a moment later
        const QRect frame = subject->frameGeometry();
        picture = subject->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    } else {
        picture = subject->grab();
    }
    const QString path = g_output + QLatin1Char('/') + QLatin1String(name);
    if (picture.isNull() || !picture.save(path, "PNG")) {
        std::fprintf(stderr, "tagsmith-screenshots: cannot write %s\n", qPrintable(path));
        g_ok = false;
    }
}

// Pictures the frame once, at the first page a run shows.
class RunPicture : public QObject
{
public:
    bool taken() const { return m_taken; }

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
    // Absolute: the program makes the root of its volume the current folder.
    g_output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(g_output);

    QTemporaryDir program;
    // A short path that is the same at every run, so that it shows whole in the fields and lists and the
    // pictures change only when the screens do. Somebody else's folder of that name is left alone.
    const QString site = QDir::tempPath() + QStringLiteral("/example.org");
    if (QFileInfo::exists(site)) {
        std::fprintf(stderr, "tagsmith-screenshots: %s is in the way\n", qPrintable(site));
        return 1;
    }
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

    settle(1000); // the window manager's first frame takes a moment longer
    save(frame(), "frame.png");
    save(&bar, "screen-bar-en.png");

    // A run before any folder is chosen answers with a message.
    click(bar.CmdKnop[2]);
    if (popup())
        save(popup(), "popup.png");
    closePopup();

    // The folder, then the main page, through the chooser.
    click(main.CmdKnop[0]);
    chooser.setPath(site);
    click(chooser.CmdKnop[0]);
    click(main.CmdKnop[1]);
    clickEntry(chooser.File, QStringLiteral("index.htm"));
    save(frame(), "screen-chooser-en.png");
    click(chooser.CmdKnop[0]);

    QTest::mouseClick(main.TxtVeld[2], Qt::LeftButton);
    main.TxtVeld[2]->selectAll();
    QTest::keyClicks(main.TxtVeld[2], QStringLiteral("Handmade furniture from our workshop"));
    main.TxtVeld[2]->setCursorPosition(0);
    save(frame(), "screen-main-en.png");

    // What the run will do, before it runs: the main page's change, the last row.
    click(main.PreviewButton);
    if (RunReportWindow *preview = RunReportWindow::current()) {
        auto *pages = preview->findChild<QTableView *>(QStringLiteral("Pages"));
        pages->selectRow(pages->model()->rowCount() - 1);
        save(preview, "preview-en.png");
        preview->close();
    } else {
        std::fprintf(stderr, "tagsmith-screenshots: the preview showed no report\n");
        g_ok = false;
    }

    RunPicture runPicture;
    main.LblVeld[11]->installEventFilter(&runPicture);
    click(bar.CmdKnop[2]);
    main.LblVeld[11]->removeEventFilter(&runPicture);
    if (!runPicture.taken()) {
        std::fprintf(stderr, "tagsmith-screenshots: the run showed no page\n");
        g_ok = false;
    }
    while (popup())
        closePopup();
    // The report opens by itself after the run; it waits, hidden, for the language switch below.
    RunReportWindow *report = RunReportWindow::current();
    if (report) {
        save(report, "report-en.png");
        report->hide();
    } else {
        std::fprintf(stderr, "tagsmith-screenshots: the run showed no report\n");
        g_ok = false;
    }

    // A second run with the most telling words: the undo window lists both runs. Its report takes the
    // place of the first one's.
    main.CmbSel[2]->setCurrentIndex(1);
    click(bar.CmdKnop[2]);
    while (popup())
        closePopup();
    report = RunReportWindow::current();
    if (report)
        report->hide();

    // The undo of that run, after one page was edited by hand.
    writeFile(site + QStringLiteral("/contact.html"),
              head + "<body>Telephone, address and opening hours.</body></html>");
    click(main.CmdUndo);
    FrmUndo *undo = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *shown = qobject_cast<FrmUndo *>(window); shown && shown->isVisible())
            undo = shown;
    if (undo) {
        save(undo, "screen-undo-en.png");
        click(undo->CmdCancel);
    } else {
        std::fprintf(stderr, "tagsmith-screenshots: no undo window\n");
        g_ok = false;
    }

    click(bar.CmdKnop[1]);
    save(frame(), "screen-format-en.png");
    click(bar.CmdKnop[4]);
    save(frame(), "screen-about-en.png");

    // Dutch through the language button, as a user switches: the button's picture changes with it.
    click(bar.CmdKnop[0]);
    click(bar.CmdKnop[3]);
    // Each page's own description, and the keywords list open: the longest choices, whole.
    main.CmbSel[3]->setCurrentIndex(1);
    main.CmbSel[2]->showPopup();
    settle(300);
    save(frame(), "screen-main-nl.png");
    main.CmbSel[2]->hidePopup();
    if (report) {
        report->show();
        report->raise();
        save(report, "report-nl.png");
        report->close();
    }

    Module1::destroyScreens();
    QDir(site).removeRecursively();
    return g_ok ? 0 : 1;
}
