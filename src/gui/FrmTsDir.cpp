#include "gui/FrmTsDir.h"

#include "engine/fs/FileError.h"
#include "engine/fs/FileSystem.h"
#include "engine/run/PageList.h"
#include "gui/FrmTsMain.h"
#include "gui/Module1.h"
#include "gui/ScreenControls.h"
#include "text/StringTable.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

namespace tagsmith {
namespace {

const QChar Separator = QLatin1Char('/');
// An entry's own data: a folder's full path or a page's name, as fs::fromNative carries its bytes.
constexpr int PathRole = Qt::UserRole;
// How far in a folder of the directory list stands.
constexpr int DepthRole = Qt::UserRole + 1;

// Draws each entry of the directory list further in by its depth. The entry's text stays the folder's
// name alone, so that typing its first letters finds it.
class IndentedEntries final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem moved = option;
        moved.rect.setLeft(option.rect.left() + indent(option, index));
        QStyledItemDelegate::paint(painter, moved, index);
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(option, index), 0);
    }

private:
    static int indent(const QStyleOptionViewItem &option, const QModelIndex &index)
    {
        return index.data(DepthRole).toInt() * option.fontMetrics.horizontalAdvance(QStringLiteral("  "));
    }
};

// A folder as the lists report it: absolute, no "." or "..", no trailing separator except for the root.
QString cleanFolder(const QString &folder)
{
    return fs::absoluteCleanPath(folder);
}

} // namespace

FrmTsDir::FrmTsDir(QWidget *parent) : QWidget(parent)
{
    using controls::create;
    controls::prepareScreen(this, QStringLiteral("FrmTsDir"), ScreenWidth, 4690);

    Drive = create<QComboBox>(this, QStringLiteral("Drive"), 960, 120, 4095, 315);
    Dir = create<QListWidget>(this, QStringLiteral("Dir"), 960, 480, 1815, 1665);
    File = create<QListWidget>(this, QStringLiteral("File"), 2880, 480, 2175, 1650);
    TxtVeld[0] = create<QLineEdit>(this, controls::elementName("TxtVeld", 0), 960, 2280, 4095, 285);
    TxtVeld[0]->setEnabled(false);
    CmdKnop[0] = create<QPushButton>(this, controls::elementName("CmdKnop", 0), 3720, 2640, 1335, 255);
    controls::setTag(CmdKnop[0], ids::Ok);

    Dir->setSelectionMode(QAbstractItemView::SingleSelection);
    Dir->setItemDelegate(new IndentedEntries(Dir));
    File->setSelectionMode(QAbstractItemView::SingleSelection);
    setTabOrder(Drive, Dir);
    setTabOrder(Dir, File);
    setTabOrder(File, TxtVeld[0]);
    setTabOrder(TxtVeld[0], CmdKnop[0]);

    auto *buttons = new QButtonGroup(this);
    buttons->addButton(CmdKnop[0], 0);
    connect(buttons, &QButtonGroup::idClicked, this, &FrmTsDir::cmdKnopClick);
    connect(Drive, &QComboBox::currentIndexChanged, this, &FrmTsDir::driveChange);
    // The folder is opened once the double click is over: the list it was made in is filled anew.
    connect(Dir, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        const QString folder = item->data(PathRole).toString();
        QMetaObject::invokeMethod(
            this, [this, folder] { openFolder(folder); }, Qt::QueuedConnection);
    });
    // Every click counts, also one on the page that is selected already (it may have been selected while
    // the folder was chosen); moving with the keys selects as well.
    connect(File, &QListWidget::itemClicked, this, &FrmTsDir::UpdateSelection);
    connect(File, &QListWidget::itemSelectionChanged, this, &FrmTsDir::UpdateSelection);
    // A double click or Enter on a page chooses it, as OK does.
    connect(File, &QListWidget::itemActivated, this, &FrmTsDir::choosePage);

    setDriveList(mountedVolumes());
    const QString programFolder =
        Module1::AppPath.isEmpty() ? QCoreApplication::applicationDirPath() : Module1::AppPath;
    const int start = driveIndexOf(cleanFolder(programFolder));
    // NOTE: the root of the program's own volume is the current folder of the program, so a folder or
    // main page typed without its full path is found from there, whatever folder the program was started in.
    fs::setCurrentFolder(Drive->itemData(start).toString());
    {
        const QSignalBlocker quiet(Drive);
        Drive->setCurrentIndex(start);
    }
    // The lists start in the user's home folder; on that root when there is none to read.
    const QString home = homeFolder();
    if (home.isEmpty() || setPath(home) != 0)
        driveChange(start);
}

QString FrmTsDir::homeFolder()
{
    // As bytes: a home folder whose name is not UTF-8 is found all the same.
    const QByteArray home = qgetenv("HOME");
    return home.isEmpty() ? QString() : fs::fromNative(std::string_view(home.constData(), std::size_t(home.size())));
}

QStringList FrmTsDir::mountedVolumes()
{
    // Files mounted on their own (a container's resolv.conf, say) are no place for a site.
    QStringList roots = fs::volumeRoots();
    roots.removeDuplicates();
    std::sort(roots.begin(), roots.end(), [](const QString &a, const QString &b) {
        if ((a == QStringLiteral("/")) != (b == QStringLiteral("/")))
            return a == QStringLiteral("/");
        return a < b;
    });
    if (roots.isEmpty())
        roots << QStringLiteral("/");
    return roots;
}

void FrmTsDir::setDriveList(const QStringList &roots)
{
    const QSignalBlocker quiet(Drive);
    Drive->clear();
    for (const QString &root : roots)
        Drive->addItem(root, root);
    if (!m_path.isEmpty())
        Drive->setCurrentIndex(driveIndexOf(m_path));
}

QString FrmTsDir::drive() const
{
    return Drive->currentData().toString();
}

QStringList FrmTsDir::fileList() const
{
    QStringList names;
    for (int i = 0; i < File->count(); ++i)
        names << File->item(i)->data(PathRole).toString();
    return names;
}

bool FrmTsDir::hasFiles() const
{
    return File->count() > 0;
}

int FrmTsDir::driveIndexOf(const QString &folder) const
{
    int best = 0;
    qsizetype bestLength = -1;
    for (int i = 0; i < Drive->count(); ++i) {
        const QString root = Drive->itemData(i).toString();
        const bool inside = folder == root || folder.startsWith(root.endsWith(Separator) ? root : root + Separator);
        if (inside && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    return best;
}

void FrmTsDir::driveChange(int index)
{
    if (index < 0)
        return;
    const int error = setPath(Drive->itemData(index).toString());
    if (error == 0)
        return;
    // The volume cannot be read: say why, and go back to the drive of the folder the lists still show.
    // NOTE: the lists stay on that folder rather than on the root of its drive, so neither the user's place
    // nor a run that was pointing them elsewhere lands on a folder nobody chose.
    Module1::showMessage(ids::ErrorTitle, ids::FileErrorBase + error);
    {
        const QSignalBlocker quiet(Drive);
        Drive->setCurrentIndex(driveIndexOf(m_path));
    }
    UpdateSelection();
}

int FrmTsDir::setPath(const QString &folder)
{
    const QString target = cleanFolder(folder);
    if (!fs::isFolder(target))
        return fileerr::PathNotFound;
    int error = 0;
    const QStringList pages = listPages(target, &error);
    if (error != 0)
        return error;

    m_path = target;
    {
        const QSignalBlocker quiet(Drive);
        Drive->setCurrentIndex(driveIndexOf(m_path));
    }
    fillDirectoryList();
    {
        const QSignalBlocker quiet(File);
        File->clear();
        // A byte of a name that is not UTF-8 shows as the replacement character; the entry keeps the name.
        for (const QString &page : pages)
            (new QListWidgetItem(fs::withReplacements(page), File))->setData(PathRole, page);
    }
    UpdateSelection();
    return 0;
}

void FrmTsDir::startAt(const QString &folder)
{
    if (folder.isEmpty())
        return;
    const QString target = cleanFolder(folder);
    // The lists already there keep their selection (a page clicked, the text of the last OK).
    if (target != m_path && fs::isFolder(target))
        setPath(target);
}

int FrmTsDir::pointAt(const QString &folder)
{
    const QString target = cleanFolder(folder);
    const int drive = driveIndexOf(target);
    if (drive != Drive->currentIndex()) {
        Drive->setCurrentIndex(drive);
        if (Drive->currentIndex() != drive)
            return -1;
    }
    return setPath(target);
}

void FrmTsDir::fillDirectoryList()
{
    const QSignalBlocker quiet(Dir);
    Dir->clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The path from the root down, one line per folder, each further in than the one above it.
    QStringList parts = m_path.split(Separator, Qt::SkipEmptyParts);
    QString walked = QStringLiteral("/");
    int depth = 0;
    auto add = [this](const QIcon &icon, const QString &name, const QString &folder, int level) {
        auto *item = new QListWidgetItem(icon, fs::withReplacements(name), Dir);
        item->setData(PathRole, folder);
        item->setData(DepthRole, level);
        item->setToolTip(fs::shown(folder));
        return item;
    };
    QListWidgetItem *current = add(open, walked, walked, depth);
    for (const QString &part : parts) {
        walked = walked.endsWith(Separator) ? walked + part : walked + Separator + part;
        current = add(open, part, walked, ++depth);
    }
    const QString parent = m_path.endsWith(Separator) ? m_path : m_path + Separator;
    for (const QString &name : fs::subfolders(m_path))
        add(closed, name, parent + name, depth + 1);
    Dir->setCurrentItem(current);
}

void FrmTsDir::openFolder(const QString &folder)
{
    const int error = setPath(folder);
    if (error != 0)
        Module1::showMessage(ids::ErrorTitle, ids::FileErrorBase + error, folder);
}

void FrmTsDir::UpdateSelection()
{
    QString text = File->count() == 0 ? QString() : m_path;
    if (!text.isEmpty() && Module1::BrowseTarget == 1) {
        if (!text.endsWith(Separator))
            text += Separator;
        const QList<QListWidgetItem *> selected = File->selectedItems();
        if (!selected.isEmpty())
            text += selected.first()->data(PathRole).toString();
    }
    TxtVeld[0]->setText(text);
}

void FrmTsDir::choosePage(QListWidgetItem *item)
{
    // Enter chooses the page the keys stand on, also one they only reached.
    if (item && !item->isSelected())
        File->setCurrentItem(item);
    cmdKnopClick(0);
}

void FrmTsDir::keyPressEvent(QKeyEvent *event)
{
    // Escape goes back to the main screen and leaves its fields as they are.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Module1::showChildForm(Module1::screens().main);
        return;
    }
    QWidget::keyPressEvent(event);
}

void FrmTsDir::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The keys work at once: in the pages when a page is wanted and there are any, else in the folders.
    (Module1::BrowseTarget == 1 && hasFiles() ? File : Dir)->setFocus();
}

void FrmTsDir::cmdKnopClick(int index)
{
    if (index != 0)
        return;
    const QString text = TxtVeld[0]->text();
    if (text.isEmpty()) {
        Module1::showMessage(ids::ErrorTitle, ids::NoDirectory);
        return;
    }
    // NOTE: a main page is a page that exists; a folder is no answer here, even one with a dot in its name
    // (a run could not write its META lines into it).
    const int target = Module1::BrowseTarget == 1 ? 1 : 0;
    if (target == 1 && !fs::isFile(text)) {
        Module1::showMessage(ids::ErrorTitle, ids::NoFile);
        return;
    }
    FrmTsMain *main = Module1::screens().main;
    if (main)
        main->TxtVeld[target]->setText(text);
    Module1::BrowseTarget = 0;
    UpdateSelection();
    Module1::showChildForm(main);
}

} // namespace tagsmith
