#pragma once

#include <QWidget>

namespace tagsmith {

class FrmTsMain : public QWidget
{
    Q_OBJECT
public:
    explicit FrmTsMain(QWidget *parent = nullptr);
};

} // namespace tagsmith
