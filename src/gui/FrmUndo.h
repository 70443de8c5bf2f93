#pragma once

#include "engine/undo/Undo.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace tagsmith {

// "Undo last run": what the undo of a folder's last run will do (the pages of that run, how many go
// back, which were changed since and stay as they are, the space the undo data takes), the runs of
// the folder kept, the confirmation, and after the undo what it did.
class FrmUndo : public QDialog
{
    Q_OBJECT
public:
    FrmUndo(const QString &dataFolder, const QString &folder, const UndoPlan &plan, QWidget *parent = nullptr);

    QLabel *LblPlan = nullptr;
    // The runs of the folder kept, the newest (the one the undo puts back) first: when each started,
    // its pages and the room its undo data takes; below, whether older runs were dropped to make room.
    QLabel *LblRuns = nullptr;
    QTreeWidget *Runs = nullptr;
    QLabel *LblDropped = nullptr;
    QPushButton *CmdUndo = nullptr;   // carries the undo out
    QPushButton *CmdCancel = nullptr; // closes; stops the undo while it runs; after the undo it reads OK
    QProgressBar *Progress = nullptr; // page i of n, during the undo

    // What the undo did, once it ran.
    const UndoPlan &done() const { return m_done; }

protected:
    void reject() override;
    void closeEvent(QCloseEvent *event) override;

private:
    void carryOut();
    void showRuns();

    QString m_dataFolder;
    QString m_folder;
    UndoPlan m_done;
    bool *m_stop = nullptr; // while the undo runs: set to stop it
};

} // namespace tagsmith
