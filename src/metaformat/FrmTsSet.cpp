#include "metaformat/FrmTsSet.h"

namespace tagsmith {

FrmTsSet::FrmTsSet(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrmTsSet"));
}

} // namespace tagsmith
