#include "gui/RememberedChoices.h"

#include "engine/fs/FileSystem.h"
#include "gui/FrmTsMain.h"
#include "gui/FrmTsTop.h"
#include "gui/Localise.h"
#include "gui/Module1.h"
#include "gui/ScreenControls.h"
#include "text/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include <cstdio>

namespace tagsmith::RememberedChoices {
namespace {

const QString Language = QStringLiteral("Language");

QString databasePath()
{
    return Module1::dataFile(QStringLiteral("Tagsmith.mdb"));
}

QByteArray bytesOf(const QString &text)
{
    const std::string native = fs::native(text);
    return QByteArray(native.data(), qsizetype(native.size()));
}

QString textOf(const QByteArray &bytes)
{
    return fs::fromNative(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

// Every box, list and text of the main screen but "Remember my choices" itself.
QList<QWidget *> choiceControls(const FrmTsMain &screen)
{
    QList<QWidget *> found;
    for (QWidget *control : screen.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (control != screen.ChkRemember &&
            (qobject_cast<QCheckBox *>(control) || qobject_cast<QComboBox *>(control) ||
             qobject_cast<QLineEdit *>(control) || qobject_cast<QSpinBox *>(control)))
            found << control;
    }
    return found;
}

// A text that follows the language (the prompt of the description box) is no choice of the user's.
bool followsLanguage(const QWidget *control)
{
    return !control->property(TagProperty).toString().isEmpty();
}

QString failure(const QString &error)
{
    return loadString(ids::ChoicesNotKept + Module1::LangOffset).value_or(QStringLiteral("%1")).arg(error);
}

} // namespace

Choices current()
{
    Choices choices;
    const FrmTsMain *screen = Module1::screens().main;
    if (!screen)
        return choices;
    for (QWidget *control : choiceControls(*screen)) {
        QString value;
        if (const auto *box = qobject_cast<QCheckBox *>(control))
            value = box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        else if (const auto *list = qobject_cast<QComboBox *>(control))
            value = list->isEditable() ? list->currentText() : QString::number(list->currentIndex());
        else if (const auto *spin = qobject_cast<QSpinBox *>(control))
            value = QString::number(spin->value());
        else if (followsLanguage(control))
            continue;
        else
            value = qobject_cast<QLineEdit *>(control)->text();
        choices[control->objectName()] = bytesOf(value);
    }
    choices[Language] = QByteArray::number(Module1::LangOffset);
    return choices;
}

void apply(const Choices &choices)
{
    const Module1::Screens &screens = Module1::screens();
    if (!screens.main)
        return;
    // The language first, so that its texts do not replace the description kept.
    if (const auto language = choices.find(Language); language != choices.end() && screens.top) {
        const int offset = language->second.toInt();
        if ((offset == DutchOffset || offset == EnglishOffset) && offset != Module1::LangOffset)
            screens.top->switchLanguage();
    }
    for (QWidget *control : choiceControls(*screens.main)) {
        const auto found = choices.find(control->objectName());
        if (found == choices.end())
            continue;
        const QString value = textOf(found->second);
        bool number = false;
        const int n = value.toInt(&number);
        // Each change runs the screen's rules, as the user's click would.
        if (auto *box = qobject_cast<QCheckBox *>(control)) {
            box->setChecked(value == QLatin1String("1"));
        } else if (auto *list = qobject_cast<QComboBox *>(control)) {
            if (list->isEditable())
                list->setEditText(value);
            else if (number && n >= 0 && n < list->count())
                list->setCurrentIndex(n);
        } else if (auto *spin = qobject_cast<QSpinBox *>(control)) {
            if (number)
                spin->setValue(n);
        } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            edit->setText(value);
            if (followsLanguage(edit))
                controls::clearTag(edit);
        }
    }
}

void restoreAtStart()
{
    FrmTsMain *screen = Module1::screens().main;
    if (!screen)
        return;
    QString error;
    const std::optional<Choices> stored = readChoices(databasePath(), &error);
    if (!stored) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(failure(error)));
        return;
    }
    if (stored->empty())
        return;
    apply(*stored);
    const QSignalBlocker quiet(screen->ChkRemember);
    screen->ChkRemember->setChecked(true);
}

void keep(bool quiet)
{
    const FrmTsMain *screen = Module1::screens().main;
    if (!screen || !screen->ChkRemember->isChecked())
        return;
    QString error;
    if (writeChoices(databasePath(), current(), &error))
        return;
    if (quiet)
        std::fprintf(stderr, "%s\n", qUtf8Printable(failure(error)));
    else
        Module1::showMessage(ids::ErrorTitle, ids::ChoicesNotKept, QString(), error);
}

void forget()
{
    QString error;
    if (!forgetChoices(databasePath(), &error))
        Module1::showMessage(ids::ErrorTitle, ids::ChoicesNotKept, QString(), error);
}

} // namespace tagsmith::RememberedChoices
