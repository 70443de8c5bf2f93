#pragma once

#include <QStringList>
#include <QWidget>

#include <array>

class QComboBox;
class QKeyEvent;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QShowEvent;

namespace tagsmith {

// The folder and index-page chooser: a drive list (the mounted volumes), a directory list and a file
// list (the folder's pages). It writes the chosen folder or main page into the field of the main options
// screen that BrowseTarget names. A run uses the same lists as its view of the folder.
class FrmTsDir : public QWidget
{
    Q_OBJECT
public:
    explicit FrmTsDir(QWidget *parent = nullptr);

    // The mounted volumes by their mount points: "/" first, then the others in mount point order.
    QComboBox *Drive = nullptr;
    // The current folder: its path from "/" down, then its subfolders. A double click or Enter opens a
    // folder; typing a name's first letters selects it.
    QListWidget *Dir = nullptr;
    // The pages of the current folder, as a run takes them. A double click or Enter chooses a page.
    QListWidget *File = nullptr;
    // The selection text; written only by the program.
    std::array<QLineEdit *, 1> TxtVeld{};
    // 0 OK: accept the selection.
    std::array<QPushButton *, 1> CmdKnop{};

    // The mount point of the selected volume.
    QString drive() const;
    // The current folder of the directory and file lists: no trailing "/" except for the root.
    QString path() const { return m_path; }
    // The pages in the file list, bare names in list order (a byte that is not UTF-8 as fs::fromNative
    // carries it).
    QStringList fileList() const;
    bool hasFiles() const;

    // Moves the directory and file lists to folder, as a double click does. Returns 0, or the run-time
    // error number when the folder cannot be read; the lists then stay where they were.
    int setPath(const QString &folder);
    // What a run does with its folder: select its drive, then the folder. Returns 0 when the lists show
    // the folder, -1 when its drive could not be read (already reported), else the folder's error number.
    int pointAt(const QString &folder);
    // Before the chooser opens: the lists move to folder (the main screen's HTML folder) when it is a
    // folder they do not show yet; an empty or unreadable one leaves them where they are.
    void startAt(const QString &folder);

    // The volumes the drive list offers; start-up offers the mounted volumes.
    void setDriveList(const QStringList &roots);
    static QStringList mountedVolumes();
    // Where the chooser starts before any folder is given: the user's home folder.
    static QString homeFolder();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void driveChange(int index);
    void openFolder(const QString &folder);
    void cmdKnopClick(int index);
    void choosePage(QListWidgetItem *item);
    void UpdateSelection();
    int driveIndexOf(const QString &folder) const;
    void fillDirectoryList();

    QString m_path;
};

} // namespace tagsmith
