#pragma once

#include "engine/undo/Undo.h"

#include <QString>
#include <QStringList>

namespace tagsmith {

// What an undo will do, in sentences of the given language (LangOffset): the pages of the run, how
// many go back, which stay as they are, and the space the undo data takes.
QStringList undoPlanLines(const UndoPlan &plan, int langOffset);

// Why the folder keeps fewer runs than it had, in a sentence: older runs dropped to stay within the most
// runs kept or within budget (the bytes its undo data may take); empty when none were dropped.
QString undoDroppedLine(const KeptFolder &kept, std::int64_t budget, int langOffset);

// One sentence on what an undo did.
QString undoDoneLine(const UndoPlan &done, int langOffset);

// The text of a string table entry in a language, or the id when there is none.
QString localText(int baseId, int langOffset);

} // namespace tagsmith
