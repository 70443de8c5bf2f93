#include "gui/FrmUndo.h"

#include "gui/Module1.h"
#include "text/StringTable.h"
#include "text/UndoText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
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
    LblPlan->setText(plan.folder + QLatin1Char('\n') + undoPlanLines(plan, lang).join(QLatin1Char('\n')));
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

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(Progress);
    layout->addWidget(buttons);
    resize(twipsToPixels(7200), twipsToPixels(3600));
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
