#include "gui/FrmMdiTs.h"

#include "gui/ScreenControls.h"

#include <QCloseEvent>
#include <QIcon>

namespace tagsmith {
namespace {

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48})
        icon.addPixmap(controls::svgPicture(QStringLiteral(":/frame/tagsmith.svg"), QSize(size, size)));
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
