#pragma once

#include "engine/undo/Undo.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace tagsmith {

// "Undo last run": what the undo of a folder's last run will do (the pages of that run, how many go
// back, which were changed since and stay as they are, the space the undo data takes), the
// confirmation, and after the undo what it did.
class FrmUndo : public QDialog
{
    Q_OBJECT
public:
    FrmUndo(const QString &dataFolder, const QString &folder, const UndoPlan &plan, QWidget *parent = nullptr);

    QLabel *LblPlan = nullptr;
    QPushButton *CmdUndo = nullptr;   // carries the undo out
    QPushButton *CmdCancel = nullptr; // closes; after the undo it reads OK

    // What the undo did, once it ran.
    const UndoPlan &done() const { return m_done; }

private:
    void carryOut();

    QString m_dataFolder;
    QString m_folder;
    UndoPlan m_done;
};

} // namespace tagsmith
