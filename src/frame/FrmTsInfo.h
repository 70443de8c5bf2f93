#pragma once

#include <QWidget>

namespace tagsmith {

class FrmTsInfo : public QWidget
{
    Q_OBJECT
public:
    explicit FrmTsInfo(QWidget *parent = nullptr);
};

} // namespace tagsmith
