#include "gui/FrmTsInfo.h"

#include "gui/ScreenControls.h"
#include "storage/Startup.h"

#include <QLabel>

namespace tagsmith {

FrmTsInfo::FrmTsInfo(QWidget *parent) : QWidget(parent)
{
    using controls::create;
    controls::prepareScreen(this, QStringLiteral("FrmTsInfo"), ScreenWidth, 4690);

    // The name and version line is the frame's caption; the texts of the version information below it
    // follow the language like every other text.
    for (int i = 0; i < 4; ++i) {
        // Wide, and the legal notice on two lines: the version texts are longer than a name.
        auto *label = create<QLabel>(this, controls::elementName("LblVeld", i), 1800, i * 342, 4575 + ExtraWidth,
                                     i == 3 ? 480 : 255);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(i == 3);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (i == 0)
            label->setText(versionCaption());
        else
            controls::setTag(label, 3029 + i);
        LblVeld[i] = label;
    }
    // The maker's texts: a caption and its text on each line, the last line on its own.
    struct Place
    {
        int index, left, top, width;
    };
    static constexpr Place makers[] = {
        {4, 1800, 1560, 2160},  {5, 3960, 1560, 2410 + ExtraWidth},
        {6, 1800, 1820, 2160},  {7, 3960, 1820, 2410 + ExtraWidth},
        {8, 1800, 2080, 2160},  {9, 3960, 2080, 2410 + ExtraWidth},
        {10, 1800, 2340, 3495},
    };
    for (const Place &place : makers) {
        auto *label = create<QLabel>(this, controls::elementName("LblVeld", place.index), place.left, place.top,
                                     place.width, 255);
        label->setTextFormat(Qt::PlainText);
        controls::setTag(label, 1001 + place.index - 4);
        LblVeld[place.index] = label;
    }

    struct Picture
    {
        int left, top, width, height;
        const char *name;
    };
    static constexpr Picture pictures[] = {
        {5400, 2400, 480, 480, "info-mail"},
        {1320, 2640, 4140, 645, "info-banner"},
        {360, 2640, 780, 1515, "info-stripes"},
        {120, 0, 1500, 1590, "tagsmith"},
    };
    for (int i = 0; i < 4; ++i) {
        const Picture &p = pictures[i];
        auto *image = create<QLabel>(this, QStringLiteral("Image%1").arg(i + 1), p.left, p.top, p.width, p.height);
        image->setPixmap(controls::picture(QString::fromLatin1(p.name), image->size()));
        Image[i] = image;
    }
}

} // namespace tagsmith
