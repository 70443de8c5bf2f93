#include "gui/ScreenControls.h"

#include "gui/Localise.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSvgRenderer>
#include <QVariant>

namespace tagsmith::controls {

void prepareScreen(QWidget *screen, const QString &name, int widthTwips, int heightTwips)
{
    screen->setObjectName(name);
    screen->resize(twipsToPixels(widthTwips), twipsToPixels(heightTwips));
    // The frame behind the screens is darker; a screen has the ordinary window colours of its own.
    QPalette own = screen->palette();
    own.setColor(QPalette::Window, QGuiApplication::palette().color(QPalette::Window));
    screen->setPalette(own);
    screen->setAutoFillBackground(true);
    QFont font = screen->font();
    font.setPointSizeF(8);
    screen->setFont(font);
}

namespace {

// The caption beside a control on its row: the nearest label whose middle lies within the control's height.
QString captionOf(const QWidget *control)
{
    const QLabel *nearest = nullptr;
    int distance = 0;
    const QRect place = control->geometry();
    for (const QLabel *label : control->parentWidget()->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        const QRect at = label->geometry();
        if (label->text().trimmed().isEmpty() || at.center().y() < place.top() || at.center().y() > place.bottom())
            continue;
        const int apart = at.left() >= place.right() ? at.left() - place.right() : place.left() - at.right();
        if (apart >= 0 && (!nearest || apart < distance)) {
            nearest = label;
            distance = apart;
        }
    }
    return nearest ? nearest->text().remove(QLatin1Char('&')).trimmed() : QString();
}

} // namespace

void nameForAccessibility(QWidget *screen)
{
    for (QWidget *control : screen->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const auto *button = qobject_cast<QAbstractButton *>(control);
        if (!button && !qobject_cast<QLineEdit *>(control) && !qobject_cast<QComboBox *>(control) &&
            !qobject_cast<QAbstractSpinBox *>(control) && !qobject_cast<QAbstractItemView *>(control))
            continue;
        // A button is named by its text, a picture button by its tooltip; a box or a list by the caption
        // beside it, else its tooltip. The tooltip describes it.
        QString name = button ? button->text().remove(QLatin1Char('&')).trimmed() : captionOf(control);
        if (name.isEmpty())
            name = control->toolTip();
        if (name.isEmpty())
            name = captionOf(control);
        control->setAccessibleName(name);
        control->setAccessibleDescription(control->toolTip());
    }
}

QString elementName(const char *array, int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(array)).arg(index);
}

void setTag(QWidget *control, int id)
{
    control->setProperty(TagProperty, QString::number(id));
}

void clearTag(QWidget *control)
{
    control->setProperty(TagProperty, QString());
}

void setToolTipId(QWidget *control, int id)
{
    control->setToolTip(QString::number(id));
}

QPixmap svgPicture(const QString &resource, const QSize &size)
{
    QSvgRenderer renderer(resource);
    if (!renderer.isValid())
        return {};
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

} // namespace tagsmith::controls
