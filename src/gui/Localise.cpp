#include "gui/Localise.h"

#include "text/IdConversion.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

#include <optional>

namespace tagsmith {
namespace {

constexpr char ScreenProperty[] = "tagsmithScreen";

// The id a property holds; nothing when the object has no such property.
std::optional<QString> tagOf(const QObject *object)
{
    const QVariant tag = object->property(TagProperty);
    if (!tag.isValid())
        return std::nullopt;
    return tag.toString();
}

// The text of a strictly converted id, or nothing when either step fails.
std::optional<QString> strictText(const std::optional<QString> &stored, int langOffset)
{
    if (!stored)
        return std::nullopt;
    const std::optional<int> id = strictId(*stored);
    if (!id)
        return std::nullopt;
    return localString(*id, langOffset);
}

std::optional<QString> strictText(const QVariant &stored, int langOffset)
{
    if (!stored.isValid())
        return std::nullopt;
    return strictText(std::optional<QString>(stored.toString()), langOffset);
}

bool isMenuEntry(const QAction *action)
{
    if (action->isSeparator())
        return false;
    const QList<QObject *> owners = action->associatedObjects();
    for (const QObject *owner : owners) {
        if (qobject_cast<const QMenu *>(owner) || qobject_cast<const QMenuBar *>(owner))
            return true;
    }
    return false;
}

void localiseTabBar(QTabBar *bar, int langOffset)
{
    for (int i = 0; i < bar->count(); ++i) {
        if (const auto text = strictText(bar->tabData(i), langOffset))
            bar->setTabText(i, *text);
        if (const auto tip = strictText(std::optional<QString>(bar->tabToolTip(i)), langOffset))
            bar->setTabToolTip(i, *tip);
    }
}

void localiseToolBar(QToolBar *bar, int langOffset)
{
    const QList<QAction *> actions = bar->actions();
    for (QAction *action : actions) {
        if (const auto tip = strictText(std::optional<QString>(action->toolTip()), langOffset))
            action->setToolTip(*tip);
    }
}

void localiseHeader(QHeaderView *header, int langOffset)
{
    QAbstractItemModel *model = header->model();
    if (!model)
        return;
    const int sections = header->orientation() == Qt::Horizontal ? model->columnCount() : model->rowCount();
    for (int i = 0; i < sections; ++i) {
        if (const auto text = strictText(model->headerData(i, header->orientation(), HeaderTagRole), langOffset))
            model->setHeaderData(i, header->orientation(), *text, Qt::DisplayRole);
    }
}

// The entries of a list of choices that are the program's own texts.
void localiseItems(QComboBox *combo, int langOffset)
{
    for (int i = 0; i < combo->count(); ++i) {
        if (const auto text = strictText(combo->itemData(i, ItemTagRole), langOffset))
            combo->setItemText(i, *text);
    }
}

// Caption from the Tag id, where the control has a caption.
void setCaption(QWidget *control, const QString &text)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        button->setText(text);
    else if (auto *group = qobject_cast<QGroupBox *>(control))
        group->setTitle(text);
}

// Text from the Tag id, where the control has a text: a text box's or combo box's content.
void setText(QWidget *control, const QString &text)
{
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->setText(text);
    else if (auto *combo = qobject_cast<QComboBox *>(control))
        combo->isEditable() ? combo->setEditText(text) : combo->setCurrentText(text);
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(control))
        plain->setPlainText(text);
    else if (auto *rich = qobject_cast<QTextEdit *>(control))
        rich->setPlainText(text);
}

void localiseOther(QWidget *control, int langOffset)
{
    // A tool button that shows an action takes its texts from the action (see the tool bar).
    if (const auto *tool = qobject_cast<QToolButton *>(control); tool && tool->defaultAction())
        return;
    if (auto *combo = qobject_cast<QComboBox *>(control))
        localiseItems(combo, langOffset);
    if (const auto tag = tagOf(control)) {
        const int id = lenientId(*tag);
        if (id > 0) {
            if (const auto text = localString(id, langOffset)) {
                setCaption(control, *text);
                setText(control, *text);
            }
        }
    }
    const int tipId = lenientId(control->toolTip());
    if (tipId > 0) {
        if (const auto tip = localString(tipId, langOffset))
            control->setToolTip(*tip);
    }
}

void localiseControl(QObject *object, int langOffset)
{
    if (auto *label = qobject_cast<QLabel *>(object)) {
        if (const auto text = strictText(tagOf(label), langOffset))
            label->setText(*text);
    } else if (auto *action = qobject_cast<QAction *>(object)) {
        // NOTE: a menu entry holds its id in its own caption, so the first pass replaces it for good.
        if (isMenuEntry(action)) {
            if (const auto text = strictText(std::optional<QString>(action->text()), langOffset))
                action->setText(*text);
        }
    } else if (auto *tabs = qobject_cast<QTabBar *>(object)) {
        localiseTabBar(tabs, langOffset);
    } else if (auto *tools = qobject_cast<QToolBar *>(object)) {
        localiseToolBar(tools, langOffset);
    } else if (auto *header = qobject_cast<QHeaderView *>(object)) {
        localiseHeader(header, langOffset);
    } else if (auto *control = qobject_cast<QWidget *>(object)) {
        localiseOther(control, langOffset);
    }
}

// Depth first, each control before the controls it holds: the order of findChildren.
void walk(QObject *parent, int langOffset)
{
    const QObjectList children = parent->children();
    for (QObject *child : children) {
        if (isScreen(child))
            continue;
        localiseControl(child, langOffset);
        walk(child, langOffset);
    }
}

} // namespace

void markAsScreen(QWidget *screen)
{
    screen->setProperty(ScreenProperty, true);
}

bool isScreen(const QObject *object)
{
    return object->property(ScreenProperty).toBool();
}

void localiseForm(QWidget *form, int langOffset)
{
    if (!form)
        return;
    if (const auto title = strictText(tagOf(form), langOffset))
        form->setWindowTitle(*title);
    walk(form, langOffset);
}

} // namespace tagsmith
