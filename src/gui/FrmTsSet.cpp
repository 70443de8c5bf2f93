#include "gui/FrmTsSet.h"

#include "gui/Module1.h"
#include "gui/ScreenControls.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtDebug>

#include <climits>

namespace tagsmith {

FrmTsSet::FrmTsSet(QWidget *parent) : QWidget(parent)
{
    using controls::create;
    using controls::elementName;
    controls::prepareScreen(this, QStringLiteral("FrmTsSet"), ScreenWidth, 4690);

    struct Place
    {
        int index, left, top, width, id;
    };
    static constexpr Place labels[] = {
        {4, 120, 360, 1455, 1055},  {0, 120, 720, 1455, 1019},  {1, 120, 1080, 1455, 1020},
        {2, 120, 1440, 1455, 1021}, {3, 120, 1800, 1455, 1022},
    };
    for (const Place &place : labels) {
        // A little wider than laid out, so that "Meta ReVisit after:" shows whole.
        auto *label =
            create<QLabel>(this, elementName("LblVeld", place.index), place.left, place.top, place.width + 90, 255);
        label->setTextFormat(Qt::PlainText);
        controls::setTag(label, place.id);
        LblVeld[place.index] = label;
    }
    static constexpr Place fields[] = {
        {0, 1680, 720, 3855 + ExtraWidth, 0},  {1, 5640 + ExtraWidth, 720, 615, 0},
        {2, 1680, 1080, 3855 + ExtraWidth, 0}, {3, 5640 + ExtraWidth, 1080, 615, 0},
        {4, 1680, 1440, 4575 + ExtraWidth, 0}, {5, 1680, 1800, 3375 + ExtraWidth, 0},
        {6, 5160 + ExtraWidth, 1800, 1095, 0}, {7, 1680, 360, 4575 + ExtraWidth, 0},
    };
    for (const Place &place : fields)
        TxtVeld[place.index] =
            create<QLineEdit>(this, elementName("TxtVeld", place.index), place.left, place.top, place.width, 285);
    for (QLineEdit *field : TxtVeld)
        field->setMaxLength(INT_MAX); // no length limit of its own

    auto *buttons = new QButtonGroup(this);
    static constexpr Place buttonPlaces[] = {{0, 1680, 2520, 1455, 1025}, {1, 3240, 2520, 1455, 1026}};
    static constexpr int toolTips[] = {1052, 1053};
    for (const Place &place : buttonPlaces) {
        auto *button =
            create<QPushButton>(this, elementName("CmdKnop", place.index), place.left, place.top, place.width, 375);
        controls::setTag(button, place.id);
        controls::setToolTipId(button, toolTips[place.index]);
        buttons->addButton(button, place.index);
        CmdKnop[place.index] = button;
    }
    connect(buttons, &QButtonGroup::idClicked, this, &FrmTsSet::cmdKnopClick);

    QWidget *focusOrder[] = {TxtVeld[0], TxtVeld[2], TxtVeld[4], TxtVeld[5], CmdKnop[0],
                             CmdKnop[1], TxtVeld[1], TxtVeld[3], TxtVeld[6], TxtVeld[7]};
    for (std::size_t i = 1; i < std::size(focusOrder); ++i)
        setTabOrder(focusOrder[i - 1], focusOrder[i]);

    Inlezen();
}

void FrmTsSet::Inlezen()
{
    for (QLineEdit *field : TxtVeld)
        field->setEnabled(false);
    QString error;
    const auto rows = readSettingsRows(Module1::dataFile(QStringLiteral("Tagsmith.mdb")), &error);
    if (!rows) {
        // Start-up has opened this database already; should it have gone since, the fields keep their texts.
        qWarning("Settings not read: %s", qUtf8Printable(error));
        return;
    }
    // Fewer than eight rows leave the remaining fields empty; rows past the eighth have no field.
    const Templates texts = templatesFromRows(*rows);
    for (int i = 0; i < TemplateCount; ++i) {
        TxtVeld[i]->setText(texts[i]);
        TxtVeld[i]->setCursorPosition(0); // show where the line starts
    }
}

Templates FrmTsSet::templates() const
{
    Templates texts;
    for (int i = 0; i < TemplateCount; ++i)
        texts[i] = TxtVeld[i]->text();
    return texts;
}

void FrmTsSet::cmdKnopClick(int index)
{
    switch (index) {
    case 0:
        Inlezen();
        break;
    case 1:
        for (QLineEdit *field : TxtVeld)
            field->setEnabled(true);
        break;
    default:
        break;
    }
}

} // namespace tagsmith
