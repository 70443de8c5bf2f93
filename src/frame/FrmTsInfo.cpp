#include "frame/FrmTsInfo.h"

namespace tagsmith {

FrmTsInfo::FrmTsInfo(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmTsInfo"));
}

} // namespace tagsmith
