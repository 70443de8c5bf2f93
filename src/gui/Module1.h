#pragma once

#include <QRect>
#include <QString>

#include <array>
#include <functional>

class QWidget;

namespace tagsmith {

class FrmMdiTs;
class FrmPopUpOK;
class FrmTsTop;
class FrmTsMain;
class FrmTsDir;
class FrmTsSet;
class FrmTsInfo;

// The state and routines that more than one screen uses. What only a run uses lives in the run
// (meta/Run.h), not here.
namespace Module1 {

// Language selector added to every base resource id: 0 Dutch, 100 English. English at every start.
extern int LangOffset;
// The separator that joins the program's folder and a file name: "/" unless the folder is the root.
extern QString AppDir;
// The program's folder as the system reports it (no trailing separator unless it is the root).
extern QString AppPath;
// The folder of the database and the program's other data, decided at start (storage/DataFolder.h):
// AppPath for a portable copy, else the user's data folder.
extern QString DataPath;
// Base resource ids of the message popup's title and text.
extern int PopTitleId;
extern int PopTextId;
// What stands for "%1" in the popup's text (a number the run counted); empty when the text has none.
extern QString PopTextArgument;
// Which field of the main options screen the folder chooser fills: 0 the HTML folder, 1 the main page.
extern int BrowseTarget;
// Turns a check box value (0 clear, 1 ticked) into an enabled state.
inline constexpr std::array<bool, 2> CheckToBool{false, true};

// The height of the content screens in twips: the main options screen's rows, the choices of
// keywords and description included, and its progress below them.
inline constexpr int ContentHeight = 5410;

// The single instance of every screen, created by Main in this order.
struct Screens
{
    FrmMdiTs *mdi = nullptr;
    FrmTsTop *top = nullptr;
    FrmTsMain *main = nullptr;
    FrmTsDir *dir = nullptr;
    FrmTsSet *set = nullptr;
    FrmTsInfo *info = nullptr;
};
Screens &screens();

// Path of a file beside the program: AppPath, AppDir, name.
QString appFile(const QString &name);
// Path of a file of the program's data: DataPath, its separator, name.
QString dataFile(const QString &name);

// Start-up: decides the data folder for a program in appFolder, compacts the database there, builds and shows the frame
// with every screen, in English. Returns false (after telling the user why) when the program cannot start.
bool Main(const QString &appFolder);

// Where the frame of the given size goes: where it is wanted, moved as little as it takes to be whole
// on the screen's free area room (a large scale factor makes the frame large for the screen).
QPoint framePosition(QPoint wanted, QSize size, const QRect &room);

// Hides the four content screens, in the order FrmTsMain, FrmTsDir, FrmTsSet, FrmTsInfo.
void HideChildForms();
// Switches the content screen: HideChildForms, then shows screen in front.
void showChildForm(QWidget *screen);

// Applies LangOffset to every screen: SeedToolTips, then LocaliseForm on each screen.
void LocaliseAll();
// Writes the tooltip ids that must follow every language switch back into their controls.
void SeedToolTips();
void LocaliseForm(QWidget *form);

// Raises a message: sets PopTitleId and PopTextId, disables the frame and shows the popup without
// waiting. An open popup takes the new text and comes to the front. The detail line (the page a file
// error is about) is shown under the text, argument in place of the text's "%1". The popup stays above
// the run report while one is open, else above the frame.
void showMessage(int titleId, int textId, const QString &detail = QString(), const QString &argument = QString());
// Puts the open popup, if any, back above the window it belongs to now: a run report opened or closed.
void keepPopupInFront();

// Asks whether to go on: the title and the text (argument in place of its "%1") in the current language,
// a button with goOnId's text and Cancel, which is the default; true when the user goes on. Waits for
// the answer. The program's tests put an answer of their own here.
extern std::function<bool(int titleId, int textId, const QString &argument, int goOnId)> askToGoOn;

// The open message popup, or nullptr when none is open.
FrmPopUpOK *popup();

// Destroys every screen, in the order FrmPopUpOK, FrmTsDir, FrmTsSet, FrmTsMain, FrmTsTop, FrmMdiTs,
// and forgets them. Ending the program does this; so do tests between two starts.
void destroyScreens();

} // namespace Module1

// Every screen fills the inside of the frame, ExtraWidth twips wider than the screens were first laid
// out for, so that the longest template line and the Dutch texts show whole; the controls that hold
// long texts take the extra width.
inline constexpr int ExtraWidth = 480;
inline constexpr int ScreenWidth = 6490 + ExtraWidth;

// Screen geometry is given in twips; 15 twips make one pixel at 96 dpi.
constexpr int twipsToPixels(int twips)
{
    return (twips + 7) / 15;
}

// A rectangle given as Left, Top, Width, Height in twips.
constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

} // namespace tagsmith
