#pragma once

#include "gui/Module1.h"

#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

namespace tagsmith::controls {

// Gives a screen its name, its size in twips, its own background and the small font its geometry was laid
// out for.
void prepareScreen(QWidget *screen, const QString &name, int widthTwips, int heightTwips);

// The object name of element index of a control array: "CmdKnop_2". The localisation and the tests find
// the elements by it.
QString elementName(const char *array, int index);

// Puts the base resource id of a control's caption or text into its Tag, where the localisation pass
// looks for it.
void setTag(QWidget *control, int id);

// Clears the Tag: the control keeps its text through later language switches.
void clearTag(QWidget *control);

// Stores a tooltip's base resource id as its text; the localisation pass replaces it by the text.
void setToolTipId(QWidget *control, int id);

// Gives every control of a screen an accessible name and description in the language of its texts now:
// its text, else the caption beside it, else its tooltip; the tooltip as the description.
void nameForAccessibility(QWidget *screen);

// Creates a control of a screen with its object name at a position given in twips.
template <class Control> Control *create(QWidget *parent, const QString &name, int left, int top, int width, int height)
{
    auto *control = new Control(parent);
    control->setObjectName(name);
    control->setGeometry(twipsRect(left, top, width, height));
    return control;
}

// A picture among the program's resources (":/frame/popup.svg"), drawn at the given size in
// device-independent pixels.
QPixmap svgPicture(const QString &resource, const QSize &size);

// One of the screens' pictures (resources/screens/NAME.svg).
inline QPixmap picture(const QString &name, const QSize &size)
{
    return svgPicture(QStringLiteral(":/screens/%1.svg").arg(name), size);
}

} // namespace tagsmith::controls
