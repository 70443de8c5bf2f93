#include "gui/FrmUndo.h"

#include "gui/Module1.h"
#include "text/StringTable.h"
#include "text/UndoText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <optional>

namespace tagsmith {
namespace {

// Messages of the undo: a file error goes to the popup at the end; pages left alone are in the
// report already. The progress shows page i of n, as a run's does, and Cancel stops after the page
// under work.
class UndoObserver final : public RunObserver
{
public:
    explicit UndoObserver(QProgressBar *progress) : m_progress(progress) {}

    void message(const Message &msg) override
    {
        if (msg.titleId == ids::ErrorTitle && !m_error)
            m_error = msg;
    }
    void pageStarted(const QString &, std::int64_t index, std::int64_t count) override
    {
        m_reached = index + 1;
        m_count = count;
        if (index == 0 || !m_sincePaint.isValid() || m_sincePaint.elapsed() >= 100) {
            m_progress->setRange(0, int(std::clamp<std::int64_t>(count, 1, INT_MAX)));
            m_progress->setValue(int(std::clamp<std::int64_t>(index + 1, 0, INT_MAX)));
            QCoreApplication::processEvents();
            m_sincePaint.start();
        }
    }
    bool stopRequested() const override { return m_stop; }

    std::optional<Message> m_error;
    bool m_stop = false;
    std::int64_t m_reached = 0;
    std::int64_t m_count = 0;

private:
    QProgressBar *m_progress;
    QElapsedTimer m_sincePaint;
};

} // namespace

FrmUndo::FrmUndo(const QString &dataFolder, const QString &folder, const UndoPlan &plan, QWidget *parent)
    : QDialog(parent), m_dataFolder(dataFolder), m_folder(folder)
{
    setObjectName(QStringLiteral("FrmUndo"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    const int lang = Module1::LangOffset;
    setWindowTitle(localText(ids::UndoTitle, lang));

    LblPlan = new QLabel(this);
    LblPlan->setObjectName(QStringLiteral("LblPlan"));
    LblPlan->setTextFormat(Qt::PlainText);
    LblPlan->setWordWrap(true);
    LblPlan->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LblPlan->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The runs kept are in the list below, not in these lines.
    UndoPlan withoutRuns = plan;
    withoutRuns.runs.clear();
    LblPlan->setText(plan.folder + QLatin1Char('\n') + undoPlanLines(withoutRuns, lang).join(QLatin1Char('\n')));
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(LblPlan);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);

    auto *buttons = new QDialogButtonBox(this);
    CmdUndo = buttons->addButton(localText(ids::UndoConfirm, lang), QDialogButtonBox::AcceptRole);
    CmdUndo->setObjectName(QStringLiteral("CmdUndo"));
    CmdCancel = buttons->addButton(localText(ids::UndoCancel, lang), QDialogButtonBox::RejectRole);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    CmdCancel->setDefault(true);
    // Nothing to put back: the undo would only remove the undo data.
    CmdUndo->setEnabled(
        plan.count(UndoAction::Restore) + plan.count(UndoAction::Remove) + plan.count(UndoAction::AsBefore) > 0);
    connect(CmdUndo, &QPushButton::clicked, this, &FrmUndo::carryOut);
    connect(CmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    Progress = new QProgressBar(this);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setFormat(QStringLiteral("%v / %m"));
    Progress->hide();

    LblRuns = new QLabel(this);
    LblRuns->setObjectName(QStringLiteral("LblRuns"));
    LblRuns->setTextFormat(Qt::PlainText);
    Runs = new QTreeWidget(this);
    Runs->setObjectName(QStringLiteral("Runs"));
    Runs->setRootIsDecorated(false);
    Runs->setSelectionMode(QAbstractItemView::NoSelection);
    Runs->setFocusPolicy(Qt::NoFocus);
    Runs->setHeaderLabels({localText(ids::RunsStarted, lang), localText(ids::RunsPages, lang),
                           localText(ids::RunsSize, lang), localText(ids::RunsOnUndo, lang)});
    Runs->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Runs->header()->setStretchLastSection(true);
    LblDropped = new QLabel(this);
    LblDropped->setObjectName(QStringLiteral("LblDropped"));
    LblDropped->setTextFormat(Qt::PlainText);
    LblDropped->setWordWrap(true);
    LblRuns->setBuddy(Runs);
    showRuns();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(LblRuns);
    layout->addWidget(Runs);
    layout->addWidget(LblDropped);
    layout->addWidget(Progress);
    layout->addWidget(buttons);
    resize(twipsToPixels(7200), twipsToPixels(4500));
}

void FrmUndo::showRuns()
{
    const int lang = Module1::LangOffset;
    const QLocale locale(lang == DutchOffset ? QLocale::Dutch : QLocale::English);
    KeptFolder kept;
    try {
        if (std::vector<KeptFolder> folders = keptUndoData(m_dataFolder, m_folder); !folders.empty())
            kept = std::move(folders.front());
    } catch (...) {
        // The list is only shown; the undo itself reads the undo data again and says what fails.
    }
    LblRuns->setText(localText(ids::UndoRunsKept, lang).arg(kept.runs.size()));
    Runs->clear();
    for (auto run = kept.runs.rbegin(); run != kept.runs.rend(); ++run) {
        QStringList marks;
        if (run == kept.runs.rbegin())
            marks << localText(ids::RunsNext, lang);
        if (!run->finished)
            marks << localText(ids::RunsUnfinished, lang);
        auto *item = new QTreeWidgetItem(
            Runs, {QDateTime::fromMSecsSinceEpoch(run->startedMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                   run->pages < 0 ? QStringLiteral("?") : locale.toString(run->pages),
                   locale.formattedDataSize(run->space), marks.join(QStringLiteral(", "))});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    // As tall as its runs (ten at most): the room left goes to what the undo will do.
    Runs->setFixedHeight(Runs->header()->sizeHint().height() +
                         int(std::max<std::size_t>(kept.runs.size(), 1)) * std::max(Runs->sizeHintForRow(0), 1) +
                         2 * Runs->frameWidth());
    // The runs of the screens keep within the usual budget.
    LblDropped->setText(undoDroppedLine(kept, UndoStore::DefaultBudget, lang));
    LblDropped->setVisible(!LblDropped->text().isEmpty());
}

void FrmUndo::carryOut()
{
    const int lang = Module1::LangOffset;
    CmdUndo->setEnabled(false);
    // During the undo Cancel stops it after the page under work; the undo can be run again for the rest.
    UndoObserver observer(Progress);
    m_stop = &observer.m_stop;
    Progress->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    RunResult result = RunResult::Failed;
    try {
        result = undoLastRun(m_dataFolder, m_folder, observer, &m_done);
    } catch (...) {
        // Nothing may escape into the event loop; every page is whole whatever stopped the undo.
        observer.m_error = Message{ids::ErrorTitle, ids::FileErrorBase + 57, m_folder};
    }
    QApplication::restoreOverrideCursor();
    m_stop = nullptr;
    Progress->hide();

    // What was done with every page, then what failed.
    QStringList lines{m_done.folder, undoDoneLine(m_done, lang)};
    if (result == RunResult::Cancelled)
        lines << localText(ids::StoppedAfter, lang).arg(observer.m_reached).arg(observer.m_count);
    for (const UndoPage &page : m_done.pages)
        if (page.action == UndoAction::ChangedSince || page.action == UndoAction::CopyLost)
            lines << QStringLiteral("    ") + page.page;
    if (observer.m_error) {
        const Message &msg = *observer.m_error;
        lines << localText(msg.titleId, lang) + QLatin1Char(' ') + localText(msg.textId, lang)
              << QStringLiteral("    ") + msg.page;
    }
    LblPlan->setText(lines.join(QLatin1Char('\n')));
    showRuns();
    CmdUndo->hide();
    CmdCancel->setText(localText(ids::Ok, lang));
    CmdCancel->setEnabled(true);
    CmdCancel->setFocus();
}

void FrmUndo::reject()
{
    // Cancel, Escape or the window's close button while the undo runs: it stops after the page under
    // work, and the dialog shows what was done.
    if (m_stop) {
        *m_stop = true;
        return;
    }
    QDialog::reject();
}

void FrmUndo::closeEvent(QCloseEvent *event)
{
    if (m_stop) {
        *m_stop = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace tagsmith
