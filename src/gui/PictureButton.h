#pragma once

#include <QPixmap>
#include <QPushButton>

namespace tagsmith {

// A command button that shows a picture and no caption: its face picture normally, its pressed picture
// while it is held down, and its disabled picture (greyed) while it is disabled.
class PictureButton : public QPushButton
{
    Q_OBJECT
public:
    explicit PictureButton(QWidget *parent = nullptr);

    QPixmap facePicture() const { return m_face; }
    QPixmap pressedPicture() const { return m_pressed; }
    QPixmap disabledPicture() const { return m_disabled; }
    void setFacePicture(const QPixmap &picture);
    void setPressedPicture(const QPixmap &picture);
    void setDisabledPicture(const QPixmap &picture);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_face;
    QPixmap m_pressed;
    QPixmap m_disabled;
};

} // namespace tagsmith
