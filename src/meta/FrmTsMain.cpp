#include "meta/FrmTsMain.h"

namespace tagsmith {

FrmTsMain::FrmTsMain(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmTsMain"));
}

} // namespace tagsmith
