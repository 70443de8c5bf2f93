#include "gui/FrmTsTop.h"

#include "gui/FrmTsInfo.h"
#include "gui/FrmTsMain.h"
#include "gui/FrmTsSet.h"
#include "gui/Module1.h"
#include "gui/PictureButton.h"
#include "gui/ScreenControls.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFrame>
#include <QtDebug>

#include <exception>

namespace tagsmith {

FrmTsTop::FrmTsTop(QWidget *parent) : QWidget(parent)
{
    using controls::create;
    controls::prepareScreen(this, QStringLiteral("FrmTsTop"), ScreenWidth, 790);

    struct ButtonSpec
    {
        int left;
        int toolTip;
        const char *face;
        const char *pressed;
    };
    // The stored tooltips; the seeding before every localisation gives every button its own.
    static constexpr ButtonSpec specs[] = {
        {1560, 1040, "bar-options", nullptr}, {2160, 1041, "bar-format", nullptr},
        {2760, 1042, "bar-start", nullptr},   {3600, 1039, "bar-lang-nl", "bar-lang-en"},
        {4200, 1039, "bar-info", nullptr},    {5040, 1039, "bar-exit", nullptr},
    };
    auto *group = new QButtonGroup(this);
    const QSize iconSize(32, 32);
    for (int i = 0; i < 6; ++i) {
        // The row stays in the middle of the bar, which is wider than it was laid out for.
        auto *button = create<PictureButton>(this, controls::elementName("CmdKnop", i), specs[i].left + ExtraWidth / 2,
                                             0, 615, 615);
        const QPixmap face = controls::picture(QString::fromLatin1(specs[i].face), iconSize);
        button->setFacePicture(face);
        button->setPressedPicture(specs[i].pressed ? controls::picture(QString::fromLatin1(specs[i].pressed), iconSize)
                                                   : face);
        button->setDisabledPicture(face);
        controls::setToolTipId(button, specs[i].toolTip);
        group->addButton(button, i);
        CmdKnop[i] = button;
    }
    connect(group, &QButtonGroup::idClicked, this, &FrmTsTop::cmdKnopClick);

    // The two lines that group the buttons: screens | run | language, about | exit.
    for (int left : {3480, 4920}) {
        auto *line = create<QFrame>(this, QStringLiteral("Line_%1").arg(left), left + ExtraWidth / 2, 0, 15, 600);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Sunken);
        line->setMinimumWidth(2);
    }
}

void FrmTsTop::cmdKnopClick(int index)
{
    // The frame and every screen take no input while the action runs.
    QWidget *frame = window();
    frame->setEnabled(false);
    auto &screens = Module1::screens();
    try {
        switch (index) {
        case 0:
            Module1::showChildForm(screens.main);
            break;
        case 1:
            Module1::showChildForm(screens.set);
            break;
        case 2:
            Module1::showChildForm(screens.main);
            if (screens.main)
                screens.main->StartMeta();
            break;
        case 3:
            switchLanguage();
            break;
        case 4:
            Module1::showChildForm(screens.info);
            break;
        case 5:
            quitProgram();
            return;
        default:
            break;
        }
    } catch (const std::exception &e) {
        qWarning("Navigation bar: %s", e.what());
    } catch (...) {
        qWarning("Navigation bar: action failed");
    }
    frame->setEnabled(true);
}

void FrmTsTop::switchLanguage()
{
    Module1::LangOffset = Module1::LangOffset != 0 ? 0 : 100;
    // The language button shows where it goes: its face and pressed pictures change places.
    PictureButton *button = CmdKnop[3];
    button->setDisabledPicture(button->pressedPicture());
    button->setPressedPicture(button->facePicture());
    button->setFacePicture(button->disabledPicture());
    Module1::LocaliseAll();
}

void FrmTsTop::quitProgram()
{
    // Nothing is asked; the choices are kept as the screens go, when the user asked for that. The screens
    // go once this click is over, the bar being one of them; the frame stays disabled until then.
    QMetaObject::invokeMethod(
        qApp,
        [] {
            Module1::destroyScreens();
            QCoreApplication::exit(0);
        },
        Qt::QueuedConnection);
}

} // namespace tagsmith
