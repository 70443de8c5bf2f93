#pragma once

#include <QtCore/qnamespace.h>

class QObject;
class QWidget;

namespace tagsmith {

// Where a control keeps the base resource id of its text: the dynamic property "Tag" (a decimal
// number as text). Tooltip ids sit in the control's tooltip until the first pass replaces them.
inline constexpr char TagProperty[] = "Tag";
// Item data role that holds the Tag of a list or tree view's column header.
inline constexpr int HeaderTagRole = Qt::UserRole;
// Item data role that holds the Tag of an entry of a combo box whose entries are the program's texts.
inline constexpr int ItemTagRole = Qt::UserRole + 1;

// Marks a widget as a screen of its own. A pass over a screen does not go into the screens it holds
// (the frame holds every content screen, yet localises only its own controls).
void markAsScreen(QWidget *screen);
bool isScreen(const QObject *object);

// Applies the language langOffset selects to one screen and its controls: the screen's title from its
// Tag; then, in the order of the screen's control tree, labels, menu entries, tab bars, tool bars,
// view headers, and every other control's caption, text and tooltip. Whatever fails (no Tag, a text
// that is no id, an id the string table lacks) leaves that one text as it was.
void localiseForm(QWidget *form, int langOffset);

} // namespace tagsmith
