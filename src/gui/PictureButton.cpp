#include "gui/PictureButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace tagsmith {

PictureButton::PictureButton(QWidget *parent) : QPushButton(parent) {}

void PictureButton::setFacePicture(const QPixmap &picture)
{
    m_face = picture;
    update();
}

void PictureButton::setPressedPicture(const QPixmap &picture)
{
    m_pressed = picture;
    update();
}

void PictureButton::setDisabledPicture(const QPixmap &picture)
{
    m_disabled = picture;
    update();
}

void PictureButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    // The picture is the button's whole face: no caption, no icon of the style's own.
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButton, option);

    QPixmap shown = m_face;
    if (!isEnabled()) {
        const QPixmap &source = m_disabled.isNull() ? m_face : m_disabled;
        QStyleOption greyed;
        greyed.initFrom(this);
        shown = source.isNull() ? source : style()->generatedIconPixmap(QIcon::Disabled, source, &greyed);
    } else if (isDown() && !m_pressed.isNull()) {
        shown = m_pressed;
    }
    if (shown.isNull())
        return;
    const QSize size = shown.deviceIndependentSize().toSize();
    QPoint at((width() - size.width()) / 2, (height() - size.height()) / 2);
    if (isDown())
        at += QPoint(1, 1);
    painter.drawPixmap(at, shown);
}

} // namespace tagsmith
