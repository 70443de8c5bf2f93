#include "gui/FrmUndo.h"

#include "gui/Module1.h"
#include "text/StringTable.h"
#include "text/UndoText.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <optional>

namespace tagsmith {
namespace {

// Messages of the undo: a file error goes to the popup at the end; pages left alone are in the
// report already.
class UndoObserver final : public RunObserver
{
public:
    void message(const Message &msg) override
    {
        if (msg.titleId == ids::ErrorTitle && !m_error)
            m_error = msg;
    }
    void pageStarted(const QString &, std::int64_t index, std::int64_t) override
    {
        if (index % 64 == 0)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    std::optional<Message> m_error;
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

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttons);
    resize(twipsToPixels(7200), twipsToPixels(3600));
}

void FrmUndo::carryOut()
{
    const int lang = Module1::LangOffset;
    CmdUndo->setEnabled(false);
    CmdCancel->setEnabled(false);
    UndoObserver observer;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        undoLastRun(m_dataFolder, m_folder, observer, &m_done);
    } catch (...) {
        // Nothing may escape into the event loop; every page is whole whatever stopped the undo.
        observer.m_error = Message{ids::ErrorTitle, ids::FileErrorBase + 57, m_folder};
    }
    QApplication::restoreOverrideCursor();

    // What was done with every page, then what failed.
    QStringList lines{m_done.folder, undoDoneLine(m_done, lang)};
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

} // namespace tagsmith
