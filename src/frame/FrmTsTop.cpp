#include "frame/FrmTsTop.h"

namespace tagsmith {

FrmTsTop::FrmTsTop(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmTsTop"));
}

} // namespace tagsmith
