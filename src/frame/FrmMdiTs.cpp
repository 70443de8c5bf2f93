#include "frame/FrmMdiTs.h"

#include <QCloseEvent>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace tagsmith {
namespace {

QIcon programIcon()
{
    QSvgRenderer renderer(QStringLiteral(":/frame/tagsmith.svg"));
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

FrmMdiTs::FrmMdiTs(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmMdiTs"));
    setWindowIcon(programIcon());
}

void FrmMdiTs::closeEvent(QCloseEvent *event)
{
    emit closing();
    event->accept();
}

} // namespace tagsmith
