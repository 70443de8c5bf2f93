#include "chooser/FrmTsDir.h"

namespace tagsmith {

FrmTsDir::FrmTsDir(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmTsDir"));
}

} // namespace tagsmith
