#pragma once

#include "engine/core/RunOptions.h"

#include <QList>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace tagsmith {

// The main options screen: the HTML folder and main page of a run, the META line options with their
// values, and the progress of a run. Other screens read the options straight from its controls. It owns
// the run: StartMeta.
class FrmTsMain : public QWidget
{
    Q_OBJECT
public:
    explicit FrmTsMain(QWidget *parent = nullptr);

    // 0 HTML folder, 1 main page, 2 site description.
    std::array<QLineEdit *, 3> TxtVeld{};
    // 0 choose the folder, 1 choose the main page.
    std::array<QPushButton *, 2> CmdKnop{};
    // 0 description, 1 generator, 2 revisit-after, 3 minimum word length, 4 case conversion,
    // 5 upper case, 6 lower case, 7 backup, 8 robots.
    std::array<QCheckBox *, 9> ChkVeld{};
    // 0 revisit months, 1 minimum word length, 2 which keywords (every word, the most telling words),
    // 3 which description (the text above on every page, each page's own).
    std::array<QComboBox *, 4> CmbSel{};
    // 0 how many most telling words.
    std::array<QSpinBox *, 1> SpnVeld{};
    // Captions; 11 the page under work and 12 its backup name during a run, 13 and 14 their captions.
    std::array<QLabel *, 18> LblVeld{};
    QLabel *Image1 = nullptr;
    // How far a run is: page i of n. Shown only during a run.
    QProgressBar *Progress = nullptr;
    // "Preview…": what a run would write, without writing anything.
    QPushButton *PreviewButton = nullptr;
    // "Keep undo data" with its caption, and "Undo last run…" for the folder in TxtVeld(0). They share
    // the row of the progress labels and are hidden during a run.
    QCheckBox *ChkUndo = nullptr;
    QLabel *LblUndo = nullptr;
    QPushButton *CmdUndo = nullptr;
    // "Site address": empty, or the site's address for canonical links, sharing tags and the sitemap.
    // On the row of the backup name, and hidden with the undo row during a run.
    QLabel *LblSiteUrl = nullptr;
    QLineEdit *TxtSiteUrl = nullptr;
    // Stops a run or a preview after the page under work; shown beside the progress during a run.
    QPushButton *CmdCancel = nullptr;
    // "Remember my choices": the choices of this screen and the language come back at the next start.
    // Off at first. On the row of the progress, and hidden with it during a run.
    QCheckBox *ChkRemember = nullptr;

    // Where undo data is kept: the program's data folder.
    static QString undoDataFolder();

    // One generation run over the folder and main page of this screen with the options of this screen
    // and the template texts of the meta tag format screen. Returns when the run is over.
    void StartMeta();
    // The same run with the writing switched off; shows the report of what it would do.
    void Preview();

    // Whether a description is the prompt of the description box, in either language.
    static bool holdsPrompt(const QString &description);

    // The options a run takes from the screens, as they stand now.
    RunOptions runOptions() const;

    // The controls in the order the Tab key visits them.
    QList<QWidget *> focusOrder() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void chkVeldClick(int index);
    // The description choice goes with the description line.
    void choiceRules();
    void cmdKnopClick(int index);
    void cmdUndoClick();
    void showRunLabels(bool visible);
    // A run, or with dryRun a preview; its report in a window of its own when it started.
    void runAndReport(bool dryRun);
    void applyFocusOrder();
};

} // namespace tagsmith
