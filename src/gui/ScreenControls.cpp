#include "gui/ScreenControls.h"

#include "gui/Localise.h"

#include <QGuiApplication>
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
