#include "gui/Module1.h"

#include "Version.h"
#include "gui/FrmMdiTs.h"
#include "gui/FrmPopUpOK.h"
#include "gui/FrmTsDir.h"
#include "gui/FrmTsInfo.h"
#include "gui/FrmTsMain.h"
#include "gui/FrmTsSet.h"
#include "gui/FrmTsTop.h"
#include "gui/Localise.h"
#include "gui/RememberedChoices.h"
#include "gui/RunReportWindow.h"
#include "gui/ScreenColormap.h"
#include "gui/ScreenControls.h"
#include "storage/DataFolder.h"
#include "storage/Startup.h"
#include "text/ReportTexts.h"
#include "text/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <initializer_list>

#include <cstdio>

namespace tagsmith::Module1 {

int LangOffset = EnglishOffset;
QString AppDir;
QString AppPath;
QString DataPath;
int PopTitleId = 0;
int PopTextId = 0;
QString PopTextArgument;
int BrowseTarget = 0;

namespace {

QPointer<FrmPopUpOK> openPopup;

// Keeps an open message on top of the frame or the report, whichever the user brings to the front.
void followFrontWindow();

// Every content screen shares the rectangle below the navigation bar.
const QRect ContentRect = twipsRect(0, 800, ScreenWidth, Module1::ContentHeight);

template <typename Screen> Screen *createScreen(FrmMdiTs *frame, const QRect &rect)
{
    auto *screen = new Screen(frame);
    markAsScreen(screen);
    screen->setGeometry(rect);
    return screen;
}

// Sets the tooltip of element index of a control array on a screen; an element that the screen does
// not have is passed over.
void seedToolTip(QWidget *screen, const char *array, int index, int id)
{
    if (!screen)
        return;
    if (auto *control = screen->findChild<QWidget *>(controls::elementName(array, index)))
        controls::setToolTipId(control, id);
}

// The smallest frame that shows every control of the screens, those shown only during a run included,
// with the screens' own margin to the right and below.
QSize roomForControls(std::initializer_list<QWidget *> screensOfFrame)
{
    QRect needed;
    for (const QWidget *screen : screensOfFrame) {
        for (const QWidget *control : screen->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            needed |= control->geometry().translated(screen->pos());
    }
    return QSize(needed.right() + 1, needed.bottom() + 1) + QSize(twipsToPixels(120), twipsToPixels(120));
}

void hideScreen(QWidget *screen)
{
    if (screen)
        screen->hide();
}

} // namespace

QPoint framePosition(QPoint wanted, QSize size, const QRect &room)
{
    // The window manager's title bar and borders, not known before the frame is shown.
    const QSize outer = size + QSize(16, 40);
    const auto within = [](int at, int extent, int first, int roomExtent) {
        return std::clamp(at, first, std::max(first, first + roomExtent - extent));
    };
    return {within(wanted.x(), outer.width(), room.left(), room.width()),
            within(wanted.y(), outer.height(), room.top(), room.height())};
}

Screens &screens()
{
    static Screens instance;
    return instance;
}

QString appFile(const QString &name)
{
    return AppPath + AppDir + name;
}

QString dataFile(const QString &name)
{
    return DataPath + appDirFor(DataPath) + name;
}

bool Main(const QString &appFolder)
{
    LangOffset = EnglishOffset; // always English at start
    ScreenColormap::install();
    AppPath = appFolder;
    AppDir = appDirFor(appFolder);

    const DataFolder data = locateDataFolder(appFolder);
    DataPath = data.path;
    StartupResult database = makeDataFolder(data);
    if (database.ok)
        database = prepareDatabase(data.path);
    if (!database.ok) {
        // Also for whoever started the program from a terminal or a script.
        std::fprintf(stderr, "%s\n", qUtf8Printable(database.cause));
        QMessageBox::critical(nullptr, QString::fromUtf8(version::Title), database.cause);
        return false;
    }

    Screens &s = screens();
    s.mdi = new FrmMdiTs;
    markAsScreen(s.mdi);
    s.mdi->move(twipsToPixels(1000), twipsToPixels(1000));
    s.mdi->resize(twipsToPixels(ScreenWidth + 10), twipsToPixels(800 + Module1::ContentHeight + 10));
    s.mdi->setWindowTitle(versionCaption());
    followFrontWindow();
    QObject::connect(s.mdi, &FrmMdiTs::closing, [] {
        RememberedChoices::keep(true);
        if (openPopup)
            openPopup->close();
    });

    s.top = createScreen<FrmTsTop>(s.mdi, twipsRect(0, 0, ScreenWidth, 790));
    s.top->show();
    s.main = createScreen<FrmTsMain>(s.mdi, ContentRect);
    s.main->show();
    s.dir = createScreen<FrmTsDir>(s.mdi, ContentRect);
    s.dir->hide();
    s.set = createScreen<FrmTsSet>(s.mdi, ContentRect);
    s.set->hide();
    s.info = createScreen<FrmTsInfo>(s.mdi, ContentRect);
    s.info->hide();

    LocaliseAll();
    // Every start is in English with the defaults, unless the user asked for the last choices.
    RememberedChoices::restoreAtStart();
    s.mdi->setMinimumSize(roomForControls({s.top, s.main, s.dir, s.set, s.info}));
    if (const QScreen *screen = s.mdi->screen())
        s.mdi->move(
            framePosition(s.mdi->pos(), s.mdi->size().expandedTo(s.mdi->minimumSize()), screen->availableGeometry()));

    s.mdi->setEnabled(true);
    s.mdi->showNormal();
    s.mdi->raise();
    s.mdi->activateWindow();
    return true;
}

void HideChildForms()
{
    const Screens &s = screens();
    hideScreen(s.main);
    hideScreen(s.dir);
    hideScreen(s.set);
    hideScreen(s.info);
}

void showChildForm(QWidget *screen)
{
    HideChildForms();
    if (screen) {
        screen->show();
        screen->raise();
    }
}

void LocaliseAll()
{
    SeedToolTips();
    const Screens &s = screens();
    LocaliseForm(s.mdi);
    LocaliseForm(s.dir);
    LocaliseForm(s.main);
    LocaliseForm(s.set);
    LocaliseForm(s.top);
    LocaliseForm(s.info);
    if (RunReportWindow *report = RunReportWindow::current())
        report->localise();
}

void SeedToolTips()
{
    const Screens &s = screens();
    for (int i = 0; i <= 4; ++i)
        seedToolTip(s.top, "CmdKnop", i, 1038 + i);
    // NOTE: the exit button says "Exit Tagsmith" / "Sluit Tagsmith"; seeded with the others, it follows
    // every language switch as they do.
    seedToolTip(s.top, "CmdKnop", 5, 1051);
    if (s.main && s.main->PreviewButton)
        controls::setToolTipId(s.main->PreviewButton, ids::report::PreviewTip);
    for (int i = 0; i <= 2; ++i)
        seedToolTip(s.main, "TxtVeld", i, 1043 + i);
    if (s.main) {
        controls::setToolTipId(s.main->ChkUndo, ids::KeepUndoTip);
        controls::setToolTipId(s.main->CmdUndo, ids::UndoButtonTip);
        controls::setToolTipId(s.main->CmdCancel, ids::CancelTip);
        controls::setToolTipId(s.main->ChkRemember, ids::RememberChoicesTip);
    }
    seedToolTip(s.main, "CmbSel", 2, ids::KeywordsTip);
    seedToolTip(s.main, "SpnVeld", 0, ids::KeywordCountTip);
    seedToolTip(s.main, "CmbSel", 3, ids::DescriptionTip);
    for (int i = 0; i <= 1; ++i)
        seedToolTip(s.set, "CmdKnop", i, 1052 + i);
    if (s.dir) {
        const std::array<QWidget *, 4> chooser{s.dir->Drive, s.dir->Dir, s.dir->File, s.dir->TxtVeld[0]};
        for (int i = 0; i < int(chooser.size()); ++i)
            controls::setToolTipId(chooser[i], ids::ChooserTips + i);
    }
}

void LocaliseForm(QWidget *form)
{
    localiseForm(form, LangOffset);
    if (form)
        controls::nameForAccessibility(form);
}

namespace {

// The window of the program the user brought to the front last: the frame or the report of a run.
QPointer<QWidget> frontWindow;

// The window a message belongs to, which the window manager keeps it above: the frame or the report of a
// run, whichever the user brought to the front last (a run's messages come before its report, which
// would otherwise cover them: the report counts as brought to the front when it opens).
QWidget *popupOwner()
{
    if (frontWindow && frontWindow->isVisible())
        return frontWindow;
    return screens().mdi;
}

// The window manager keeps a window above the one it belongs to; it learns to which when the window is
// shown, so a popup that changes owner is shown anew. Only a new message takes the keyboard from the
// window the user works in.
void stackPopup(FrmPopUpOK *popup, bool activate = true)
{
    QWidget *owner = popupOwner();
    QWindow *ownerWindow = owner ? owner->windowHandle() : nullptr;
    popup->winId();
    if (popup->windowHandle()->transientParent() != ownerWindow) {
        const bool shown = popup->isVisible();
        if (shown)
            popup->hide();
        popup->windowHandle()->setTransientParent(ownerWindow);
        popup->setAttribute(Qt::WA_ShowWithoutActivating, !activate);
        if (shown)
            popup->show();
        popup->setAttribute(Qt::WA_ShowWithoutActivating, false);
    }
    popup->raise();
    if (activate)
        popup->activateWindow();
}

// Follows the user between the frame and the report of a run: an open message goes along and stays on
// top of the one in front, as a window belonging to the program's main window stays on top of it.
class FrontWindowFollower : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::WindowActivate || !watched->isWidgetType())
            return false;
        auto *window = static_cast<QWidget *>(watched);
        if ((window != screens().mdi && !qobject_cast<RunReportWindow *>(window)) || window == frontWindow)
            return false;
        frontWindow = window;
        if (openPopup)
            stackPopup(openPopup, false);
        return false;
    }
};

void followFrontWindow()
{
    static QPointer<FrontWindowFollower> follower;
    if (!follower) {
        follower = new FrontWindowFollower;
        follower->setParent(qApp);
        qApp->installEventFilter(follower);
    }
}

} // namespace

void showMessage(int titleId, int textId, const QString &detail, const QString &argument)
{
    PopTitleId = titleId;
    PopTextId = textId;
    PopTextArgument = argument;
    if (screens().mdi)
        screens().mdi->setEnabled(false);
    if (openPopup) {
        // The open popup shows the latest message: an older one left open would otherwise stand for a
        // failure it does not describe.
        openPopup->load(detail);
        stackPopup(openPopup);
        return;
    }
    auto *popup = new FrmPopUpOK(detail);
    openPopup = popup;
    QObject::connect(popup, &FrmPopUpOK::closed, [popup] {
        if (openPopup == popup)
            openPopup = nullptr;
        if (screens().mdi)
            screens().mdi->setEnabled(true);
    });
    QRect area;
    if (QWidget *owner = popupOwner())
        area = owner->geometry();
    else if (const QScreen *screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    popup->move(area.center() - popup->rect().center());
    // The popup has no parent widget, so that the disabled frame does not disable it too; the window
    // manager still learns which window it belongs to and keeps it above that one.
    stackPopup(popup);
    popup->show();
    popup->raise();
    popup->activateWindow();
}

void keepPopupInFront()
{
    RunReportWindow *report = RunReportWindow::current();
    frontWindow = report && report->isVisible() ? report : nullptr;
    if (openPopup)
        stackPopup(openPopup);
}

namespace {

bool askInBox(int titleId, int textId, const QString &argument, int goOnId)
{
    const auto text = [](int id) { return loadString(id + LangOffset).value_or(QString()); };
    // No parent widget: the frame is disabled while its action asks. The window manager still keeps the
    // question above the frame.
    QMessageBox box(QMessageBox::Warning, text(titleId), text(textId).arg(argument));
    QPushButton *goOn = box.addButton(text(goOnId), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(text(ids::UndoCancel), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    goOn->setObjectName(QStringLiteral("GoOn"));
    cancel->setObjectName(QStringLiteral("Cancel"));
    if (screens().mdi && screens().mdi->windowHandle()) {
        box.winId();
        box.windowHandle()->setTransientParent(screens().mdi->windowHandle());
    }
    box.exec();
    return box.clickedButton() == goOn;
}

} // namespace

std::function<bool(int titleId, int textId, const QString &argument, int goOnId)> askToGoOn = askInBox;

FrmPopUpOK *popup()
{
    return openPopup;
}

void destroyScreens()
{
    // The program ends: the choices as they stand, when they are to be remembered.
    RememberedChoices::keep(true);
    if (openPopup) {
        FrmPopUpOK *popup = openPopup;
        openPopup = nullptr;
        delete popup;
    }
    Screens &s = screens();
    delete s.dir;
    delete s.set;
    delete s.main;
    delete s.top;
    delete s.info;
    delete s.mdi;
    s = Screens{};
}

} // namespace tagsmith::Module1
