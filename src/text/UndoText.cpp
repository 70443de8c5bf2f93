#include "text/UndoText.h"

#include "text/ReportTexts.h"
#include "text/StringTable.h"

#include <QDateTime>
#include <QLocale>

namespace tagsmith {

QString localText(int baseId, int langOffset)
{
    return loadString(baseId + langOffset).value_or(QString::number(baseId));
}

QStringList undoPlanLines(const UndoPlan &plan, int langOffset)
{
    const QLocale locale(langOffset == DutchOffset ? QLocale::Dutch : QLocale::English);
    const QString started =
        QDateTime::fromMSecsSinceEpoch(plan.startedMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QStringList lines;
    lines << countText(ids::UndoPagesOfRun, std::int64_t(plan.pages.size()), langOffset).arg(started);
    if (!plan.finished)
        lines << localText(ids::UndoRunUnfinished, langOffset);
    lines << countText(ids::UndoWillRestore, plan.count(UndoAction::Restore), langOffset);
    if (const int made = plan.count(UndoAction::Remove); made > 0)
        lines << countText(ids::UndoWillRemove, made, langOffset);
    if (const int same = plan.count(UndoAction::AsBefore); same > 0)
        lines << localText(ids::UndoAlreadyBefore, langOffset).arg(same);
    const int left = plan.count(UndoAction::ChangedSince) + plan.count(UndoAction::CopyLost);
    if (left > 0) {
        lines << countText(ids::UndoWillLeave, left, langOffset);
        for (const UndoPage &page : plan.pages)
            if (page.action == UndoAction::ChangedSince || page.action == UndoAction::CopyLost)
                lines << QStringLiteral("    ") + page.page;
    }
    lines << localText(ids::UndoSpace, langOffset).arg(locale.formattedDataSize(plan.space));
    // Each undo steps back one run: the runs before this one can be undone after it.
    if (plan.runs.size() > 1) {
        QStringList runs;
        for (auto run = plan.runs.rbegin(); run != plan.runs.rend(); ++run)
            runs << QDateTime::fromMSecsSinceEpoch(run->startedMs).toString(QStringLiteral("yyyy-MM-dd HH:mm")) +
                        QStringLiteral(" (") + locale.formattedDataSize(run->space) + QLatin1Char(')');
        lines << localText(ids::UndoRunsKept, langOffset).arg(runs.join(QStringLiteral(", ")));
    }
    if (plan.moved)
        lines << localText(ids::UndoFoundMoved, langOffset) << QStringLiteral("    ") + plan.movedFrom;
    return lines;
}

QString undoDroppedLine(const KeptFolder &kept, std::int64_t budget, int langOffset)
{
    if (kept.dropped <= 0)
        return {};
    // Fewer runs than the most kept: the budget made room.
    if (kept.runs.size() < UndoStore::MostRuns) {
        const QLocale locale(langOffset == DutchOffset ? QLocale::Dutch : QLocale::English);
        return localText(ids::RunsDroppedBudget, langOffset).arg(kept.dropped).arg(locale.formattedDataSize(budget));
    }
    return localText(ids::RunsDroppedDepth, langOffset).arg(kept.dropped).arg(UndoStore::MostRuns);
}

QString undoDoneLine(const UndoPlan &done, int langOffset)
{
    return countText(ids::UndoDone, done.count(UndoAction::Restore), langOffset)
        .arg(done.count(UndoAction::Remove))
        .arg(done.count(UndoAction::ChangedSince) + done.count(UndoAction::CopyLost));
}

} // namespace tagsmith
